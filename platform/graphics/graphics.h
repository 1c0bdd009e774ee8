#pragma once
// The class library's graphics objects over the graphics API: colours, fonts, pens,
// brushes, canvases, and the pictures (bitmaps, JPEG images, icons) with their files.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/classes.h"
#include "platform/core/exceptions.h"
#include "platform/core/streams.h"
#include "platform/graphics/gdi.h"

namespace platform {

// ---- colours ----
// A TColor is an RGB value (red in the low byte) or, with the high bit set, the index of
// a system colour in the low byte.
using TColor = std::int32_t;

constexpr TColor SysColor(int index) { return TColor(0x80000000u | unsigned(index)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = 0xC0C0C0, clDkGray = 0x808080, clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6,
                 clCream = 0xF0FBFF, clMedGray = 0xA4A0A0, clNone = 0x1FFFFFFF, clDefault = 0x20000000;
constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR), clBackground = SysColor(COLOR_BACKGROUND),
                 clActiveCaption = SysColor(COLOR_ACTIVECAPTION),
                 clInactiveCaption = SysColor(COLOR_INACTIVECAPTION), clMenu = SysColor(COLOR_MENU),
                 clWindow = SysColor(COLOR_WINDOW), clWindowFrame = SysColor(COLOR_WINDOWFRAME),
                 clMenuText = SysColor(COLOR_MENUTEXT), clWindowText = SysColor(COLOR_WINDOWTEXT),
                 clCaptionText = SysColor(COLOR_CAPTIONTEXT), clActiveBorder = SysColor(COLOR_ACTIVEBORDER),
                 clInactiveBorder = SysColor(COLOR_INACTIVEBORDER), clAppWorkSpace = SysColor(COLOR_APPWORKSPACE),
                 clHighlight = SysColor(COLOR_HIGHLIGHT), clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT),
                 clBtnFace = SysColor(COLOR_BTNFACE), clBtnShadow = SysColor(COLOR_BTNSHADOW),
                 clGrayText = SysColor(COLOR_GRAYTEXT), clBtnText = SysColor(COLOR_BTNTEXT),
                 clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK), clHotLight = SysColor(COLOR_HOTLIGHT),
                 clGradientActiveCaption = SysColor(COLOR_GRADIENTACTIVECAPTION),
                 clGradientInactiveCaption = SysColor(COLOR_GRADIENTINACTIVECAPTION),
                 clMenuHighlight = SysColor(COLOR_MENUHILIGHT), clMenuBar = SysColor(COLOR_MENUBAR);

// The RGB value of a colour: system colours from the colour table (an index beyond it
// gives black); every other value unchanged.
COLORREF ColorToRGB(TColor color);

// A set of enumeration members as the class library's set properties use it.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) {
        for (E e : items) bits_ |= Bit(e);
    }
    constexpr bool Contains(E e) const { return bits_ & Bit(e); }
    constexpr TSet& Include(E e) { bits_ |= Bit(e); return *this; }
    constexpr TSet& Exclude(E e) { bits_ &= ~Bit(e); return *this; }
    constexpr bool Empty() const { return bits_ == 0; }
    friend constexpr TSet operator+(TSet a, TSet b) { a.bits_ |= b.bits_; return a; }
    friend constexpr TSet operator-(TSet a, TSet b) { a.bits_ &= ~b.bits_; return a; }
    friend constexpr TSet operator*(TSet a, TSet b) { a.bits_ &= b.bits_; return a; }
    friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }

private:
    static constexpr std::uint64_t Bit(E e) { return std::uint64_t(1) << unsigned(e); }
    std::uint64_t bits_ = 0;
};

// ---- fonts, pens, brushes ----
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TFontQuality { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType };
using TFontCharset = BYTE;

// Shared by fonts, pens and brushes: a lazily made API handle, remade after a change,
// and OnChange.
class TGraphicsObject : public TPersistent {
public:
    ~TGraphicsObject() override;
    TNotifyEvent OnChange;
    bool HandleAllocated() const { return handle_ != nullptr; }

protected:
    void Changed();
    HGDIOBJ handle_ = nullptr;
};

class TFont : public TGraphicsObject {
public:
    TFont();
    void Assign(TPersistent* source) override;
    // Creates the handle on first use; it stays owned by the font.
    HFONT Handle();
    // Takes over a handle's description (the font keeps its own handle).
    void SetHandle(HFONT font);

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    int Size() const;  // points at PixelsPerInch
    void SetSize(int points);
    int Height() const { return height_; }  // pixels; negative: character height
    void SetHeight(int height);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    TFontCharset Charset() const { return charset_; }
    void SetCharset(TFontCharset charset);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch pitch);
    TFontQuality Quality() const { return quality_; }
    void SetQuality(TFontQuality quality);
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int ppi) { if (ppi > 0) pixelsPerInch_ = ppi; }

private:
    std::string name_ = "MS Sans Serif";
    int height_ = -11;
    TColor color_ = clWindowText;
    TFontStyles style_;
    TFontCharset charset_ = DEFAULT_CHARSET;
    TFontPitch pitch_ = fpDefault;
    TFontQuality quality_ = fqDefault;
    int pixelsPerInch_ = 96;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
    pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
public:
    void Assign(TPersistent* source) override;
    HPEN Handle();
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode mode);
    int Rop2() const;  // the binary raster operation of Mode

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
class TBitmap;

class TBrush : public TGraphicsObject {
public:
    TBrush();
    ~TBrush() override;
    void Assign(TPersistent* source) override;
    HBRUSH Handle();
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    // A pattern brush from the bitmap (the brush keeps a copy of its pixels); null ends it.
    TBitmap* Bitmap() const { return bitmap_; }
    void SetBitmap(TBitmap* bitmap);

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    TBitmap* bitmap_ = nullptr;
};

// ---- canvas ----
class TGraphic;

constexpr DWORD cmBlackness = BLACKNESS, cmDstInvert = DSTINVERT, cmMergeCopy = MERGECOPY, cmMergePaint = MERGEPAINT,
                cmNotSrcCopy = NOTSRCCOPY, cmNotSrcErase = NOTSRCERASE, cmPatCopy = PATCOPY, cmPatInvert = PATINVERT,
                cmPatPaint = PATPAINT, cmSrcAnd = SRCAND, cmSrcCopy = SRCCOPY, cmSrcErase = SRCERASE,
                cmSrcInvert = SRCINVERT, cmSrcPaint = SRCPAINT, cmWhiteness = WHITENESS;

// Drawing on a device context with the canvas's font, pen and brush. A canvas either
// wraps a DC it is given (SetHandle; the owner of the DC frees it) or makes its own
// (CreateHandle, as a bitmap's canvas does).
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;

    // The DC with the canvas's font, pen and brush (and their colours) selected, as the
    // class library hands it out: what a caller selects into it afterwards stays until
    // the canvas changes one of its own. Raises EInvalidOperation "Canvas does not allow
    // drawing" without one.
    HDC Handle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return dc_ != nullptr; }

    TFont* Font() { return &font_; }
    TPen* Pen() { return &pen_; }
    TBrush* Brush() { return &brush_; }
    void SetFont(TFont* font) { font_.Assign(font); }
    void SetPen(TPen* pen) { pen_.Assign(pen); }
    void SetBrush(TBrush* brush) { brush_.Assign(brush); }
    TPoint PenPos();
    void SetPenPos(TPoint p);
    DWORD CopyMode() const { return copyMode_; }
    void SetCopyMode(DWORD rop) { copyMode_ = rop; }
    // Extra ExtTextOut options for TextOut and TextRect (ETO_CLIPPED, ETO_OPAQUE, ETO_RTLREADING).
    int TextFlags() const { return textFlags_; }
    void SetTextFlags(int flags) { textFlags_ = flags; }
    TRect ClipRect();

    TColor Pixels(int x, int y);
    void SetPixels(int x, int y, TColor color);

    // The drawing calls are virtual so that a canvas that does not draw pixels (the
    // printer's, which records them) gets every call made through a TCanvas reference.
    virtual void MoveTo(int x, int y);
    virtual void LineTo(int x, int y);
    virtual void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    virtual void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    virtual void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
    virtual void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    virtual void Polygon(const std::vector<TPoint>& points);
    virtual void Polyline(const std::vector<TPoint>& points);
    virtual void FillRect(const TRect& r);
    virtual void FrameRect(const TRect& r);
    virtual void DrawFocusRect(const TRect& r);

    virtual void Draw(int x, int y, TGraphic* graphic);
    virtual void StretchDraw(const TRect& r, TGraphic* graphic);
    virtual void CopyRect(const TRect& dest, TCanvas* source, const TRect& src);

    virtual void TextOut(int x, int y, const std::string& text);
    virtual void TextRect(const TRect& r, int x, int y, const std::string& text);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }

    // Serialises drawing from several threads on one canvas.
    void Lock();
    void Unlock();
    bool TryLock();
    int LockCount() const { return lockCount_; }
    // Deselects the font, pen and brush so their handles may change underneath.
    void Refresh();

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void CreateHandle();
    // Selects the font, pen and brush and their colours into the DC.
    void RequiredState();
    void Changing();
    void Changed();

private:
    HDC RawHandle();
    void SelectState(HDC dc);
    void DeselectHandles();
    HDC dc_ = nullptr;
    bool stateSelected_ = false;
    TFont font_;
    TPen pen_;
    TBrush brush_;
    DWORD copyMode_ = SRCCOPY;
    int textFlags_ = 0;
    std::recursive_mutex lock_;
    int lockCount_ = 0;
};

// ---- pictures ----
class TGraphic : public TPersistent {
public:
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;
    virtual bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    // Files: raise EFOpenError/EFCreateError when the file cannot be opened or created
    // and EInvalidGraphic when its content is not a picture of this kind.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path);
    virtual void LoadFromBytes(const BYTE* data, std::size_t size) = 0;
    void LoadFromBytes(const std::vector<BYTE>& data) { LoadFromBytes(data.data(), data.size()); }
    virtual std::vector<BYTE> SaveToBytes() = 0;
    // Reads from the stream's position to its end (a bitmap: its own length only).
    virtual void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);

    TNotifyEvent OnChange;

protected:
    friend class TCanvas;
    virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
    virtual void Changed();
    bool transparent_ = false;
    bool modified_ = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;
    void Assign(TPersistent* source) override;

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    // Keeps the top-left part of the old pixels; new pixels are white (or index 0).
    void SetSize(int width, int height);
    TPixelFormat PixelFormat() const;
    void SetPixelFormat(TPixelFormat format);
    bool Monochrome() const { return PixelFormat() == pf1bit; }
    void SetMonochrome(bool mono) { SetPixelFormat(mono ? pf1bit : pfDevice); }

    // Row y of the pixels, top row 0, in the stored format (32 bits: blue, green, red, alpha).
    // Raises EInvalidGraphicOperation for a row outside the bitmap.
    void* ScanLine(int y);

    TCanvas* Canvas();
    HBITMAP Handle();  // null while the bitmap is empty
    // Takes the bitmap handle over (it becomes the bitmap's own); null empties the bitmap.
    void SetHandle(HBITMAP bitmap);
    HBITMAP ReleaseHandle();

    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);

    void LoadFromBytes(const BYTE* data, std::size_t size) override;  // BMP
    std::vector<BYTE> SaveToBytes() override;                          // BMP
    using TGraphic::LoadFromBytes;
    void LoadFromStream(TStream& stream) override;
    // A bitmap resource compiled into the program; raises EResNotFound when absent.
    void LoadFromResourceName(HINSTANCE instance, const std::string& name);
    void SaveToPngFile(const std::string& path, bool withAlpha = false);
    void Dormant() {}
    void FreeImage() {}

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;
    void Changed() override;

private:
    friend class TBitmapCanvas;
    void Replace(HBITMAP bitmap);
    HBITMAP bitmap_ = nullptr;
    int width_ = 0, height_ = 0;  // kept while one of them is 0 and there are no pixels
    TPixelFormat format_ = pfDevice;
    std::unique_ptr<TCanvas> canvas_;
    TColor transparentColor_ = clDefault;
    TTransparentMode transparentMode_ = tmAuto;
};

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;
    void Assign(TPersistent* source) override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    int CompressionQuality() const { return quality_; }
    void SetCompressionQuality(int quality);
    bool Grayscale() const { return grayscale_; }
    void SetGrayscale(bool value);
    void LoadFromBytes(const BYTE* data, std::size_t size) override;
    std::vector<BYTE> SaveToBytes() override;
    using TGraphic::LoadFromBytes;
    // The decoded picture (made on first use).
    TBitmap* Bitmap();
    void DIBNeeded() { Bitmap(); }

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;

private:
    std::vector<BYTE> data_;
    std::unique_ptr<TBitmap> bitmap_;
    int quality_ = 90;
    bool grayscale_ = false;
};

// A PNG picture: a 32-bit bitmap with the file's alpha, drawn blended.
class TPngImage : public TGraphic {
public:
    TPngImage();
    void Assign(TPersistent* source) override;
    bool Empty() const override { return bitmap_.Empty(); }
    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    void SetWidth(int w) override { bitmap_.SetWidth(w); }
    void SetHeight(int h) override { bitmap_.SetHeight(h); }
    void LoadFromBytes(const BYTE* data, std::size_t size) override;
    std::vector<BYTE> SaveToBytes() override;
    using TGraphic::LoadFromBytes;
    TBitmap* Bitmap() { return &bitmap_; }

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;

private:
    TBitmap bitmap_;
    bool alpha_ = false;
};

// An icon: the largest image of an .ico file (or a cursor resource), with its mask as alpha.
class TIcon : public TGraphic {
public:
    TIcon();
    void Assign(TPersistent* source) override;
    bool Empty() const override { return bitmap_.Empty(); }
    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    void LoadFromBytes(const BYTE* data, std::size_t size) override;
    std::vector<BYTE> SaveToBytes() override;
    using TGraphic::LoadFromBytes;
    // The hot spot of a cursor (0, 0 for an icon).
    TPoint HotSpot() const { return hotSpot_; }
    // Premultiplied 32-bit pixels; transparent where the mask was set.
    TBitmap* Bitmap() { return &bitmap_; }

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;

private:
    TBitmap bitmap_;
    std::vector<BYTE> data_;
    TPoint hotSpot_;
};

// Holds one graphic of any kind; LoadFromFile picks the kind by the file's extension
// (bmp, jpg, jpeg, png, ico).
class TPicture : public TPersistent {
public:
    TPicture();
    ~TPicture() override;
    void Assign(TPersistent* source) override;
    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(TGraphic* graphic);  // copies it
    // The graphic as a bitmap; replaces any other kind with an empty bitmap.
    TBitmap* Bitmap();
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    // Raises EFOpenError for a file that cannot be opened and EInvalidGraphic for an
    // unknown extension or a file that does not decode; the old picture stays then.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path);
    TNotifyEvent OnChange;

private:
    void Changed(TObject* sender);
    void Take(std::unique_ptr<TGraphic> g);
    std::unique_ptr<TGraphic> graphic_;
};

// ---- helpers ----
// The bytes of a whole file; raises EFOpenError when it cannot be read.
std::vector<BYTE> ReadWholeFile(const std::string& path);
// Writes bytes to a file through a temporary name and a rename; raises EFCreateError.
void WriteWholeFile(const std::string& path, const std::vector<BYTE>& data);

}  // namespace platform
