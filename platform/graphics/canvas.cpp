// Colours, fonts, pens, brushes and the canvas.
#include <cstring>

#include "platform/graphics/gdi_objects.h"
#include "platform/graphics/graphics.h"

namespace platform {

COLORREF ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(int(color & 0xFF));
    return COLORREF(color);
}

// ---- graphics objects ----
TGraphicsObject::~TGraphicsObject() {
    if (handle_) DeleteObject(handle_);
}

void TGraphicsObject::Changed() {
    if (handle_) {
        // A handle still selected somewhere is freed once it is deselected.
        DeleteObject(handle_);
        handle_ = nullptr;
    }
    if (OnChange) OnChange(this);
}

// ---- font ----
TFont::TFont() = default;

void TFont::Assign(TPersistent* source) {
    if (auto* f = dynamic_cast<TFont*>(source)) {
        name_ = f->name_;
        height_ = f->height_;
        color_ = f->color_;
        style_ = f->style_;
        charset_ = f->charset_;
        pitch_ = f->pitch_;
        quality_ = f->quality_;
        pixelsPerInch_ = f->pixelsPerInch_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

HFONT TFont::Handle() {
    if (!handle_) {
        LOGFONT lf;
        lf.lfHeight = height_;
        lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = style_.Contains(fsItalic);
        lf.lfUnderline = style_.Contains(fsUnderline);
        lf.lfStrikeOut = style_.Contains(fsStrikeOut);
        lf.lfCharSet = charset_;
        lf.lfQuality = BYTE(quality_);
        lf.lfPitchAndFamily = BYTE(pitch_);
        std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
        handle_ = CreateFontIndirect(&lf);
    }
    return static_cast<HFONT>(handle_);
}

void TFont::SetHandle(HFONT font) {
    LOGFONT lf;
    if (!font || GetObject(font, sizeof lf, &lf) != int(sizeof lf)) return;
    name_ = lf.lfFaceName;
    height_ = lf.lfHeight;
    TFontStyles s;
    if (lf.lfWeight >= FW_SEMIBOLD) s.Include(fsBold);
    if (lf.lfItalic) s.Include(fsItalic);
    if (lf.lfUnderline) s.Include(fsUnderline);
    if (lf.lfStrikeOut) s.Include(fsStrikeOut);
    style_ = s;
    charset_ = lf.lfCharSet;
    Changed();
}

void TFont::SetName(const std::string& name) {
    if (name.empty() || name == name_) return;
    name_ = name.substr(0, LF_FACESIZE - 1);
    Changed();
}

int TFont::Size() const {
    // Points from pixels, rounded as MulDiv rounds.
    long v = -long(height_) * 72;
    long q = (v >= 0 ? v + pixelsPerInch_ / 2 : v - pixelsPerInch_ / 2) / pixelsPerInch_;
    return int(q);
}

void TFont::SetSize(int points) {
    long v = long(points) * pixelsPerInch_;
    SetHeight(-int((v >= 0 ? v + 36 : v - 36) / 72));
}

void TFont::SetHeight(int height) {
    if (height == height_) return;
    height_ = height;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    // The colour is not part of the handle.
    if (OnChange) OnChange(this);
}

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TFont::SetCharset(TFontCharset c) {
    if (c == charset_) return;
    charset_ = c;
    Changed();
}

void TFont::SetPitch(TFontPitch p) {
    if (p == pitch_) return;
    pitch_ = p;
    Changed();
}

void TFont::SetQuality(TFontQuality q) {
    if (q == quality_) return;
    quality_ = q;
    Changed();
}

// ---- pen ----
void TPen::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TPen*>(source)) {
        color_ = p->color_;
        width_ = p->width_;
        style_ = p->style_;
        mode_ = p->mode_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

HPEN TPen::Handle() {
    if (!handle_) {
        static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        handle_ = CreatePen(styles[style_], width_, ColorToRGB(color_));
    }
    return static_cast<HPEN>(handle_);
}

void TPen::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    Changed();
}
void TPen::SetWidth(int w) {
    if (w < 0 || w == width_) return;
    width_ = w;
    Changed();
}
void TPen::SetStyle(TPenStyle s) {
    if (s == style_ || s < psSolid || s > psInsideFrame) return;
    style_ = s;
    Changed();
}
void TPen::SetMode(TPenMode m) {
    if (m == mode_ || m < pmBlack || m > pmNotXor) return;
    mode_ = m;
    if (OnChange) OnChange(this);
}
int TPen::Rop2() const {
    static const int rops[] = {R2_BLACK,       R2_WHITE,      R2_NOP,        R2_NOT,        R2_COPYPEN,
                               R2_NOTCOPYPEN,  R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN,
                               R2_MERGEPEN,    R2_NOTMERGEPEN, R2_MASKPEN,    R2_NOTMASKPEN, R2_XORPEN,
                               R2_NOTXORPEN};
    return rops[mode_];
}

// ---- brush ----
TBrush::TBrush() = default;
TBrush::~TBrush() = default;

void TBrush::Assign(TPersistent* source) {
    if (auto* b = dynamic_cast<TBrush*>(source)) {
        color_ = b->color_;
        style_ = b->style_;
        bitmap_ = b->bitmap_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

HBRUSH TBrush::Handle() {
    if (!handle_) {
        if (bitmap_ && !bitmap_->Empty()) {
            handle_ = CreatePatternBrush(bitmap_->Handle());
        } else if (style_ == bsClear) {
            LOGBRUSH lb;
            lb.lbStyle = BS_NULL;
            handle_ = CreateBrushIndirect(&lb);
        } else if (style_ == bsSolid) {
            handle_ = CreateSolidBrush(ColorToRGB(color_));
        } else {
            static const int hatches[] = {HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS,
                                          HS_DIAGCROSS};
            handle_ = CreateHatchBrush(hatches[style_ - bsHorizontal], ColorToRGB(color_));
        }
    }
    return static_cast<HBRUSH>(handle_);
}

void TBrush::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    if (style_ == bsClear) style_ = bsSolid;
    Changed();
}
void TBrush::SetStyle(TBrushStyle s) {
    if (s == style_ || s < bsSolid || s > bsDiagCross) return;
    style_ = s;
    Changed();
}
void TBrush::SetBitmap(TBitmap* b) {
    bitmap_ = b;
    Changed();
}

// ---- canvas ----
TCanvas::TCanvas() {
    font_.OnChange = [this](TObject*) { Refresh(); };
    pen_.OnChange = [this](TObject*) { Refresh(); };
    brush_.OnChange = [this](TObject*) { Refresh(); };
}

TCanvas::~TCanvas() { DeselectHandles(); }

HDC TCanvas::RawHandle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
    return dc_;
}

HDC TCanvas::Handle() {
    HDC dc = RawHandle();
    if (!stateSelected_) SelectState(dc);
    return dc;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) return;
    DeselectHandles();
    dc_ = dc;
}

void TCanvas::CreateHandle() {}

void TCanvas::DeselectHandles() {
    stateSelected_ = false;
    if (!dc_) return;
    SelectObject(dc_, GetStockObject(BLACK_PEN));
    SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
}

void TCanvas::Refresh() {
    // Nothing of the canvas is selected: a change of font, pen or brush has nothing to undo.
    if (stateSelected_) DeselectHandles();
}

void TCanvas::RequiredState() { SelectState(RawHandle()); }

void TCanvas::SelectState(HDC dc) {
    // Every drawing call selects the state again; most find it in place already.
    HGDIOBJ font = font_.Handle(), pen = pen_.Handle(), brush = brush_.Handle();
    if (gdi::IsLiveDc(dc)) {
        const DcState& s = dc->state;
        int bkMode = brush_.Style() == bsClear ? TRANSPARENT : OPAQUE;
        if (s.font == font && s.pen == pen && s.brush == brush && s.textColor == (ColorToRGB(font_.Color()) & 0xFFFFFF) &&
            s.rop2 == pen_.Rop2() && s.bkColor == (ColorToRGB(brush_.Color()) & 0xFFFFFF) && s.bkMode == bkMode) {
            stateSelected_ = true;
            return;
        }
    }
    SelectObject(dc, font_.Handle());
    SetTextColor(dc, ColorToRGB(font_.Color()));
    SelectObject(dc, pen_.Handle());
    SetROP2(dc, pen_.Rop2());
    SelectObject(dc, brush_.Handle());
    SetBkColor(dc, ColorToRGB(brush_.Color()));
    SetBkMode(dc, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
    stateSelected_ = true;
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

TPoint TCanvas::PenPos() {
    POINT p;
    GetCurrentPositionEx(Handle(), &p);
    return TPoint(p.x, p.y);
}
void TCanvas::SetPenPos(TPoint p) { MoveToEx(Handle(), p.x, p.y, nullptr); }

TRect TCanvas::ClipRect() {
    RECT r;
    GetClipBox(Handle(), &r);
    return TRect(r);
}

TColor TCanvas::Pixels(int x, int y) {
    COLORREF c = GetPixel(Handle(), x, y);
    return c == CLR_INVALID ? TColor(-1) : TColor(c);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
    Changing();
    SetPixel(Handle(), x, y, ColorToRGB(color));
    Changed();
}

#define CANVAS_DRAW(body) \
    Changing();           \
    RequiredState();      \
    body;                 \
    Changed()

void TCanvas::MoveTo(int x, int y) { MoveToEx(Handle(), x, y, nullptr); }
void TCanvas::LineTo(int x, int y) { CANVAS_DRAW(::platform::LineTo(dc_, x, y)); }
void TCanvas::Rectangle(int x1, int y1, int x2, int y2) { CANVAS_DRAW(::platform::Rectangle(dc_, x1, y1, x2, y2)); }
void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
    CANVAS_DRAW(::platform::RoundRect(dc_, x1, y1, x2, y2, x3, y3));
}
void TCanvas::Ellipse(int x1, int y1, int x2, int y2) { CANVAS_DRAW(::platform::Ellipse(dc_, x1, y1, x2, y2)); }
void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    CANVAS_DRAW(::platform::Arc(dc_, x1, y1, x2, y2, x3, y3, x4, y4));
}
void TCanvas::Polygon(const std::vector<TPoint>& pts) {
    CANVAS_DRAW(::platform::Polygon(dc_, pts.data(), int(pts.size())));
}
void TCanvas::Polyline(const std::vector<TPoint>& pts) {
    CANVAS_DRAW(::platform::Polyline(dc_, pts.data(), int(pts.size())));
}
void TCanvas::FillRect(const TRect& r) { CANVAS_DRAW(::platform::FillRect(dc_, &r, brush_.Handle())); }
void TCanvas::FrameRect(const TRect& r) { CANVAS_DRAW(::platform::FrameRect(dc_, &r, brush_.Handle())); }
void TCanvas::DrawFocusRect(const TRect& r) { CANVAS_DRAW(::platform::DrawFocusRect(dc_, &r)); }

void TCanvas::Draw(int x, int y, TGraphic* g) {
    if (!g || g->Empty()) return;
    CANVAS_DRAW(g->Draw(this, TRect(x, y, x + g->Width(), y + g->Height())));
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* g) {
    if (!g || g->Empty()) return;
    CANVAS_DRAW(g->Draw(this, r));
}

void TCanvas::CopyRect(const TRect& d, TCanvas* source, const TRect& s) {
    if (!source) return;
    HDC src = source->Handle();
    CANVAS_DRAW(StretchBlt(dc_, d.left, d.top, d.Width(), d.Height(), src, s.left, s.top, s.Width(), s.Height(),
                           copyMode_));
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    CANVAS_DRAW({
        ExtTextOut(dc_, x, y, UINT(textFlags_), nullptr, text.data(), UINT(text.size()), nullptr);
        MoveToEx(dc_, x + TextWidth(text), y, nullptr);
    });
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    UINT options = ETO_CLIPPED | UINT(textFlags_);
    if (brush_.Style() != bsClear) options |= ETO_OPAQUE;
    CANVAS_DRAW(ExtTextOut(dc_, x, y, options, &r, text.data(), UINT(text.size()), nullptr));
}

TSize TCanvas::TextExtent(const std::string& text) {
    RequiredState();
    SIZE s;
    GetTextExtentPoint32(dc_, text.data(), int(text.size()), &s);
    return TSize(s.cx, s.cy);
}

#undef CANVAS_DRAW

void TCanvas::Lock() {
    lock_.lock();
    ++lockCount_;
}
void TCanvas::Unlock() {
    --lockCount_;
    lock_.unlock();
}
bool TCanvas::TryLock() {
    if (!lock_.try_lock()) return false;
    ++lockCount_;
    return true;
}

}  // namespace platform
