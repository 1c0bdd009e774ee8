#pragma once
// Image lists: equal-sized images with masks, drawn by index, enabled or greyed.
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/classes.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/region.h"

namespace platform {

class TCustomImageList;
using HIMAGELIST = TCustomImageList*;

// Drawing styles of an image list; the overlay image index (1..15) goes in ILD_OVERLAYMASK
// through INDEXTOOVERLAYMASK.
constexpr UINT ILD_NORMAL = 0x0, ILD_TRANSPARENT = 0x1, ILD_BLEND25 = 0x2, ILD_BLEND50 = 0x4, ILD_MASK = 0x10,
               ILD_IMAGE = 0x20, ILD_OVERLAYMASK = 0xF00, ILD_FOCUS = ILD_BLEND25, ILD_SELECTED = ILD_BLEND50,
               ILD_BLEND = ILD_BLEND50;
constexpr UINT INDEXTOOVERLAYMASK(int i) { return UINT(i) << 8; }
constexpr COLORREF CLR_NONE = 0xFFFFFFFF, CLR_DEFAULT = 0xFF000000;

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

// Tells a user of an image list about its changes; unregisters itself when destroyed.
class TChangeLink : public TObject {
public:
    ~TChangeLink() override;
    TCustomImageList* Sender() const { return sender_; }
    void SetSender(TCustomImageList* list) { sender_ = list; }
    void Change();
    TNotifyEvent OnChange;

private:
    TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* owner = nullptr);
    TCustomImageList(int width, int height, TComponent* owner = nullptr);
    ~TCustomImageList() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Changing the size clears the list.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    int Count() const { return int(images_.size()); }
    bool Masked() const { return masked_; }
    void SetMasked(bool masked) { masked_ = masked; }
    // Behind the transparent pixels (clNone: nothing).
    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor color) { bkColor_ = color; }
    // Mixed into images drawn selected or focused (clDefault: the highlight colour).
    TColor BlendColor() const { return blendColor_; }
    void SetBlendColor(TColor color) { blendColor_ = color; }
    TDrawingStyle DrawingStyle() const { return drawingStyle_; }
    void SetDrawingStyle(TDrawingStyle style) { drawingStyle_ = style; }
    TImageType ImageType() const { return imageType_; }
    void SetImageType(TImageType type) { imageType_ = type; }
    HIMAGELIST Handle() { return this; }
    // Makes image index the overlay image overlay (0..14) for ILD_OVERLAYMASK styles.
    bool Overlay(int index, int overlay);

    // Adds the images of the bitmap (one per Width columns; a narrower rest is dropped)
    // and returns the index of the first, or -1 when nothing was added. Mask: a bitmap
    // whose white pixels are transparent; without one every pixel is drawn.
    int Add(TBitmap* image, TBitmap* mask);
    // As Add, with the pixels of maskColor transparent (clDefault: the colour of the
    // bottom-left pixel).
    int AddMasked(TBitmap* image, TColor maskColor);
    void Delete(int index);
    void Clear();
    // Copies image index into the bitmap (sized to the list), transparent pixels in the
    // background colour (white when BkColor is clNone); nothing for an index out of range.
    void GetBitmap(int index, TBitmap* image);
    // Draws image index at (x, y) in the list's drawing style and image type; a disabled
    // image is drawn embossed in the highlight and shadow colours. An index out of range
    // draws nothing.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
    void Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type, bool enabled = true);
    // Draws with ILD_ style flags, the list's background and blend colours.
    void DoDraw(int index, TCanvas* canvas, int x, int y, UINT style, bool enabled = true);
    // The drawing itself: bk behind transparent pixels (CLR_NONE: none, CLR_DEFAULT: BkColor),
    // fg mixed in by ILD_BLEND25/ILD_BLEND50 (CLR_NONE: none, CLR_DEFAULT: the highlight colour).
    void DrawEx(HDC dc, int index, int x, int y, COLORREF bk, COLORREF fg, UINT style, bool enabled = true);

    void RegisterChanges(TChangeLink* link);
    void UnRegisterChanges(TChangeLink* link);
    TNotifyEvent OnChange;

protected:
    void Change();

private:
    struct Image {
        std::vector<std::uint32_t> pixels;  // Width * Height, top-down, 0x00RRGGBB
        std::vector<std::uint8_t> opaque;
        // The drawn shapes (all pixels, dark pixels only), made on first use: the pixels
        // never change once added; masked tells which mask rule they were made under.
        mutable std::shared_ptr<const Region> shape[2];
        mutable bool shapeMasked[2] = {false, false};
        // The pixels last made ready for drawing, in a DC of their own, and how they were made.
        struct Prepared;
        mutable std::shared_ptr<Prepared> prepared;
    };
    int AddImages(TBitmap* image, const std::function<bool(int x, int y, COLORREF c)>& transparent);
    const Region& Shape(const Image& im, bool darkOnly) const;
    void Fill(const Image& im, HBITMAP target, const Image::Prepared& how) const;
    int width_ = 16, height_ = 16;
    bool masked_ = true;
    TColor bkColor_ = clNone;
    TColor blendColor_ = clNone;
    TDrawingStyle drawingStyle_ = dsNormal;
    TImageType imageType_ = itImage;
    int overlays_[15];
    std::vector<Image> images_;
    std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};

BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy, COLORREF bk, COLORREF fg,
                      UINT style);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);

}  // namespace platform
