#include "platform/graphics/imglist.h"

#include <algorithm>

#include "platform/graphics/gdi_objects.h"

namespace platform {

TChangeLink::~TChangeLink() {
    if (sender_) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
    if (OnChange) OnChange(sender_);
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) { std::fill(overlays_, overlays_ + 15, -1); }

TCustomImageList::TCustomImageList(int width, int height, TComponent* owner) : TCustomImageList(owner) {
    SetSize(width, height);
}

bool TCustomImageList::Overlay(int index, int overlay) {
    if (index < 0 || index >= Count() || overlay < 0 || overlay >= 15) return false;
    overlays_[overlay] = index;
    return true;
}

TCustomImageList::~TCustomImageList() {
    for (TChangeLink* l : links_) l->SetSender(nullptr);
}

void TCustomImageList::SetWidth(int w) { SetSize(w, height_); }
void TCustomImageList::SetHeight(int h) { SetSize(width_, h); }

void TCustomImageList::SetSize(int w, int h) {
    if (w <= 0 || h <= 0 || std::int64_t(w) * h > kMaxBitmapPixels)
        throw EInvalidOperation("Invalid image size " + std::to_string(w) + " x " + std::to_string(h));
    if (w == width_ && h == height_) return;
    width_ = w;
    height_ = h;
    images_.clear();
    std::fill(overlays_, overlays_ + 15, -1);
    Change();
}

void TCustomImageList::Change() {
    for (TChangeLink* l : std::vector<TChangeLink*>(links_)) l->Change();
    if (OnChange) OnChange(this);
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
    if (!link || std::find(links_.begin(), links_.end(), link) != links_.end()) return;
    link->SetSender(this);
    links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
    auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end()) return;
    (*it)->SetSender(nullptr);
    links_.erase(it);
}

int TCustomImageList::AddImages(TBitmap* image, const std::function<bool(int, int, COLORREF)>& transparent) {
    if (!image || image->Empty()) return -1;
    HBITMAP bm = image->Handle();
    int count = bm->width / width_;
    if (count == 0) return -1;
    int first = Count();
    for (int i = 0; i < count; ++i) {
        Image im;
        im.pixels.assign(std::size_t(width_) * std::size_t(height_), 0xFFFFFF);
        im.opaque.assign(im.pixels.size(), 0);
        for (int y = 0; y < height_ && y < bm->height; ++y)
            for (int x = 0; x < width_; ++x) {
                int sx = i * width_ + x;
                Pixel p = bm->get(sx, y) & 0xFFFFFF;
                std::size_t k = std::size_t(y) * std::size_t(width_) + std::size_t(x);
                im.pixels[k] = p;
                im.opaque[k] = !transparent(sx, y, ToColorRef(p));
            }
        images_.push_back(std::move(im));
    }
    Change();
    return first;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
    HBITMAP m = mask && !mask->Empty() ? mask->Handle() : nullptr;
    return AddImages(image, [&](int x, int y, COLORREF) {
        if (!m || x >= m->width || y >= m->height) return false;
        return (m->get(x, y) & 0xFFFFFF) == 0xFFFFFF;
    });
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
    if (!image || image->Empty()) return -1;
    HBITMAP bm = image->Handle();
    COLORREF key = maskColor == clDefault ? ToColorRef(bm->get(0, bm->height - 1) & 0xFFFFFF) : ColorToRGB(maskColor);
    return AddImages(image, [&](int, int, COLORREF c) { return c == key; });
}

void TCustomImageList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EInvalidOperation("Image list index out of bounds");
    images_.erase(images_.begin() + index);
    Change();
}

void TCustomImageList::Clear() {
    if (images_.empty()) return;
    images_.clear();
    std::fill(overlays_, overlays_ + 15, -1);
    Change();
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
    if (!image || index < 0 || index >= Count()) return;
    image->SetSize(width_, height_);
    HBITMAP bm = image->Handle();
    const Image& im = images_[std::size_t(index)];
    Pixel bg = ToPixel(bkColor_ == clNone ? RGB(255, 255, 255) : ColorToRGB(bkColor_));
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            std::size_t k = std::size_t(y) * std::size_t(width_) + std::size_t(x);
            bm->set(x, y, im.opaque[k] ? im.pixels[k] : bg);
        }
}

const Region& TCustomImageList::Shape(const Image& im, bool darkOnly) const {
    auto& cached = im.shape[darkOnly ? 1 : 0];
    if (cached && im.shapeMasked[darkOnly ? 1 : 0] == masked_) return *cached;
    std::vector<std::vector<std::pair<int, int>>> rows(static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y) {
        int x = 0;
        auto in = [&](int px) {
            std::size_t k = std::size_t(y) * std::size_t(width_) + std::size_t(px);
            return (!masked_ || im.opaque[k]) && (!darkOnly || im.pixels[k] != 0xFFFFFF);
        };
        while (x < width_) {
            while (x < width_ && !in(x)) ++x;
            int s = x;
            while (x < width_ && in(x)) ++x;
            if (x > s) rows[std::size_t(y)].emplace_back(s, x);
        }
    }
    cached = std::make_shared<const Region>(Region::FromRows(0, rows));
    im.shapeMasked[darkOnly ? 1 : 0] = masked_;
    return *cached;
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
    Draw(canvas, x, y, index, drawingStyle_, imageType_, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
                            bool enabled) {
    static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
    DoDraw(index, canvas, x, y, styles[style] | (type == itMask ? ILD_MASK : ILD_NORMAL), enabled);
}

void TCustomImageList::DoDraw(int index, TCanvas* canvas, int x, int y, UINT style, bool enabled) {
    if (!canvas) return;
    COLORREF bk = bkColor_ == clNone ? CLR_NONE : ColorToRGB(bkColor_);
    COLORREF fg = blendColor_ == clNone ? CLR_NONE : blendColor_ == clDefault ? CLR_DEFAULT : ColorToRGB(blendColor_);
    DrawEx(canvas->Handle(), index, x, y, bk, fg, style, enabled);
}

struct TCustomImageList::Image::Prepared {
    bool maskOnly = false, masked = false, transparent = false;
    Pixel bk = 0, mix = 0;
    int blend = 0;
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    bool SameAs(const Prepared& o) const {
        return maskOnly == o.maskOnly && masked == o.masked && transparent == o.transparent && bk == o.bk &&
               blend == o.blend && mix == o.mix;
    }
    Prepared() = default;
    Prepared(const Prepared& o)
        : maskOnly(o.maskOnly), masked(o.masked), transparent(o.transparent), bk(o.bk), mix(o.mix), blend(o.blend) {}
    Prepared& operator=(const Prepared&) = delete;
    ~Prepared() {
        if (dc) DeleteDC(dc);
        if (bitmap) DeleteObject(bitmap);
    }
};

// The image's pixels as they are drawn: the mask alone, or the picture with its transparent
// pixels black (drawn through the shape) or in the background colour, blended when asked.
void TCustomImageList::Fill(const Image& im, HBITMAP target, const Image::Prepared& how) const {
    for (std::size_t k = 0; k < im.pixels.size(); ++k) {
        Pixel p = im.pixels[k];
        if (how.maskOnly) p = (!how.masked || im.opaque[k]) ? 0 : 0xFFFFFF;
        else if (!im.opaque[k] && how.masked) p = how.transparent ? 0 : how.bk;
        else if (how.blend)
            for (int c = 0; c < 24; c += 8) {
                Pixel v = (((p >> c) & 0xFF) * Pixel(256 - how.blend) + ((how.mix >> c) & 0xFF) * Pixel(how.blend)) >> 8;
                p = (p & ~(Pixel(0xFF) << c)) | (v << c);
            }
        target->row32(int(k) / width_)[int(k) % width_] = p;
    }
}

void TCustomImageList::DrawEx(HDC dc, int index, int x, int y, COLORREF bk, COLORREF fg, UINT style, bool enabled) {
    if (!dc || index < 0 || index >= Count()) return;
    const Image& im = images_[std::size_t(index)];
    if (!enabled) {
        // The image's dark shape, once in the highlight colour one pixel down and right,
        // then in the shadow colour at its place.
        const Region& shape = Shape(im, true);
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        for (auto [dx, c] : {std::pair{1, COLOR_BTNHIGHLIGHT}, std::pair{0, COLOR_BTNSHADOW}}) {
            Region r = shape;
            r.offset(x + dx, y + dx);
            rgn->region = r;
            FillRgn(dc, rgn, GetSysColorBrush(c));
        }
        DeleteObject(rgn);
        return;
    }
    bool transparent = (style & ILD_TRANSPARENT) || bk == CLR_NONE || !masked_;
    if (bk == CLR_DEFAULT) bk = bkColor_ == clNone ? CLR_NONE : ColorToRGB(bkColor_);
    transparent = transparent || bk == CLR_NONE;
    // Blending mixes a quarter or half of the foreground colour into every image pixel.
    int blend = (style & ILD_BLEND50) ? 128 : (style & ILD_BLEND25) ? 64 : 0;
    if (fg == CLR_NONE) blend = 0;
    Pixel mix = ToPixel(fg == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : fg);
    bool maskOnly = style & ILD_MASK;
    Image::Prepared want;
    want.maskOnly = maskOnly;
    want.masked = masked_;
    want.transparent = transparent;
    want.bk = transparent ? 0 : ToPixel(bk);
    want.blend = blend;
    want.mix = blend ? mix : 0;
    if (!im.prepared || !im.prepared->SameAs(want)) {
        im.prepared.reset();
        auto made = std::make_shared<Image::Prepared>(want);
        made->bitmap = NewBitmap(width_, height_, 32, false);
        if (!made->bitmap) return;
        Fill(im, made->bitmap, want);
        made->dc = CreateCompatibleDC(nullptr);
        SelectObject(made->dc, made->bitmap);
        im.prepared = std::move(made);
    }
    HDC mem = im.prepared->dc;
    if (!transparent || maskOnly) {
        BitBlt(dc, x, y, width_, height_, mem, 0, 0, SRCCOPY);
    } else {
        // One copy through the image's shape, laid over the DC's clip (in device units).
        POINT at{x, y};
        LPtoDP(dc, &at, 1);
        Region shape = Shape(im, false);
        shape.offset(at.x, at.y);
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        rgn->region = std::move(shape);
        int saved = SaveDC(dc);
        ExtSelectClipRgn(dc, rgn, RGN_AND);
        BitBlt(dc, x, y, width_, height_, mem, 0, 0, SRCCOPY);
        RestoreDC(dc, saved);
        DeleteObject(rgn);
    }
    // The overlay image goes on top, drawn the same way without its own overlay.
    int overlay = int((style & ILD_OVERLAYMASK) >> 8);
    if (overlay >= 1 && overlay <= 15 && overlays_[overlay - 1] >= 0 && overlays_[overlay - 1] != index)
        DrawEx(dc, overlays_[overlay - 1], x, y, CLR_NONE, fg, (style & ~ILD_OVERLAYMASK) | ILD_TRANSPARENT, enabled);
}

BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int, int, COLORREF bk, COLORREF fg,
                      UINT style) {
    if (!list || index < 0 || index >= list->Count() || !dc) return FALSE;
    list->DrawEx(dc, index, x, y, bk, fg, style);
    return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
    return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

}  // namespace platform
