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

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::TCustomImageList(int width, int height, TComponent* owner) : TComponent(owner) {
    SetSize(width, height);
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

Region TCustomImageList::Shape(const Image& im, bool darkOnly) const {
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
    return Region::FromRows(0, rows);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
    if (!canvas || index < 0 || index >= Count()) return;
    const Image& im = images_[std::size_t(index)];
    HDC dc = canvas->Handle();
    if (!enabled) {
        // The image's dark shape, once in the highlight colour one pixel down and right,
        // then in the shadow colour at its place.
        Region shape = Shape(im, true);
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
    HBITMAP tmp = NewBitmap(width_, height_, 32, false);
    if (!tmp) return;
    std::copy(im.pixels.begin(), im.pixels.end(), tmp->row32(0));
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, tmp);
    if (!masked_ && bkColor_ == clNone) {
        BitBlt(dc, x, y, width_, height_, mem, 0, 0, SRCCOPY);
    } else {
        if (bkColor_ != clNone) {
            HBRUSH b = CreateSolidBrush(ColorToRGB(bkColor_));
            RECT r{x, y, x + width_, y + height_};
            FillRect(dc, &r, b);
            DeleteObject(b);
        }
        Region shape = Shape(im, false);
        for (const RECT& r : shape.rects())
            BitBlt(dc, x + r.left, y + r.top, r.right - r.left, r.bottom - r.top, mem, r.left, r.top, SRCCOPY);
    }
    DeleteDC(mem);
    DeleteObject(tmp);
}

}  // namespace platform
