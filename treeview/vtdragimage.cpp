// The drag image: the picture of the dragged rows blended over a saved copy of the screen
// and shown in a popup window of its own that follows the pointer. The window lets the
// pointer through (WS_EX_TRANSPARENT), so the drag still finds the window below it.
#include "treeview/vtdragimage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/core/messages.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"

namespace treeview {

using namespace platform;

namespace {

const char* const DragImageClassName = "VTDragImageWindow";

LRESULT DragImageWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            auto* image = reinterpret_cast<TVTDragImage*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
            if (dc && image && image->Composition()) {
                TBitmap* picture = image->Composition();
                BitBlt(dc, 0, 0, picture->Width(), picture->Height(), picture->Canvas()->Handle(), 0, 0, SRCCOPY);
            }
            EndPaint(hwnd, &paint);
            return 0;
        }
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

std::unique_ptr<TBitmap> MakeBitmap(int width, int height) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(width, height);
    return bitmap;
}

}  // namespace

TDragRectangles FillDragRectangles(int w, int h, int dx, int dy) {
    TDragRectangles r;
    r.Clip = TRect(0, 0, w, h);
    if (dx < 0) {
        r.FirstRestore = Bounds(0, 0, -dx, h);
        if (dy < 0) {
            r.Scroll = TRect(-dx, -dy, w, h);
            r.SecondRestore = Bounds(-dx, 0, w + dx, -dy);
            r.FirstSample = Bounds(0, h + dy, w + dx, -dy);
            r.SecondSample = Bounds(w + dx, 0, -dx, h);
        } else if (dy == 0) {
            r.Scroll = TRect(-dx, 0, w, h);
            r.FirstSample = Bounds(w + dx, 0, -dx, h);
        } else {
            r.Scroll = TRect(-dx, 0, w, h);
            r.SecondRestore = Bounds(-dx, h - dy, w + dx, dy);
            r.FirstSample = Bounds(0, 0, w + dx, dy);
            r.SecondSample = Bounds(w + dx, 0, -dx, h);
        }
    } else if (dx == 0) {
        if (dy < 0) {
            r.Scroll = TRect(0, -dy, w, h);
            r.SecondRestore = Bounds(0, 0, w, -dy);
            r.SecondSample = Bounds(0, h + dy, w, -dy);
        } else if (dy > 0) {
            r.Scroll = TRect(0, 0, w, h - dy);
            r.SecondRestore = Bounds(0, h - dy, w, dy);
            r.SecondSample = Bounds(0, 0, w, dy);
        }
    } else {
        r.FirstSample = Bounds(0, 0, dx, h);
        if (dy < 0) {
            r.Scroll = TRect(0, -dy, w - dx, h);
            r.FirstRestore = Bounds(0, 0, w - dx, -dy);
            r.SecondRestore = Bounds(w - dx, 0, dx, h);
            r.SecondSample = Bounds(dx, h + dy, w - dx, -dy);
        } else if (dy == 0) {
            r.Scroll = TRect(0, 0, w - dx, h);
            r.FirstRestore = Bounds(w - dx, 0, dx, h);
        } else {
            r.Scroll = TRect(0, 0, w - dx, h - dy);
            r.FirstRestore = Bounds(0, h - dy, w - dx, dy);
            r.SecondRestore = Bounds(w - dx, 0, dx, h);
            r.SecondSample = Bounds(dx, 0, w - dx, dy);
        }
    }
    return r;
}

TVTDragImage::TVTDragImage(TBaseVastTree* owner) : owner_(owner) {}

TVTDragImage::~TVTDragImage() {
    EndDrag();
    if (window_) DestroyWindow(window_);
}

bool TVTDragImage::Visible() const {
    return (states_ & (disInDrag | disPrepared)) == (disInDrag | disPrepared) &&
           !(states_ & (disHidden | disSystemSupport));
}

void TVTDragImage::PrepareDrag(TBitmap* dragImage, TPoint imagePosition, TPoint hotSpot, IDataObject*) {
    // No desktop service draws drag images here: the image is always our own.
    states_ &= ~disSystemSupport;
    if (!dragImage || dragImage->Width() <= 0 || dragImage->Height() <= 0 || !MMXAvailable) return;
    EndDrag();
    const int width = dragImage->Width(), height = dragImage->Height();
    // The picture in 32 bits, whatever it came in.
    std::unique_ptr<TBitmap> converted;
    TBitmap* source = dragImage;
    if (dragImage->PixelFormat() != pf32bit) {
        converted = MakeBitmap(width, height);
        BitBlt(converted->Canvas()->Handle(), 0, 0, width, height, dragImage->Canvas()->Handle(), 0, 0, SRCCOPY);
        source = converted.get();
    }
    lastPosition_ = hotSpot;
    dragPicture_ = MakeBitmap(width, height);
    background_ = MakeBitmap(width, height);
    composition_ = MakeBitmap(width, height);
    if (prepareBias_ != 0)
        AlphaBlend(source->Canvas()->Handle(), dragPicture_->Canvas()->Handle(), TRect(0, 0, width, height),
                   TPoint{0, 0}, bmConstantAlpha, 255, prepareBias_);
    else
        BitBlt(dragPicture_->Canvas()->Handle(), 0, 0, width, height, source->Canvas()->Handle(), 0, 0, SRCCOPY);
    MakeAlphaChannel(source, dragPicture_.get());
    imagePosition_ = imagePosition;
    states_ |= disHidden | disInDrag | disPrepared;
}

void TVTDragImage::MakeAlphaChannel(TBitmap* source, TBitmap* target) const {
    if (!target || target->Width() <= 0 || target->Height() <= 0) return;
    const int w = target->Width(), h = target->Height();
    const double longer = std::max(w, h);
    const int cx = w / 2, cy = h / 2;
    const bool keyed = keyColor_ != clNone && source && source->PixelFormat() == pf32bit;
    const COLORREF key = keyed ? ColorToRGB(keyColor_) : 0;
    for (int y = 0; y < h; ++y) {
        auto* row = static_cast<std::uint8_t*>(target->ScanLine(y));
        const std::uint8_t* from = keyed && y < source->Height() ? static_cast<std::uint8_t*>(source->ScanLine(y)) : nullptr;
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* s = from && x < source->Width() ? from + x * 4 : nullptr;
            if (s && s[0] == GetBValue(key) && s[1] == GetGValue(key) && s[2] == GetRValue(key)) {
                row[x * 4 + 3] = 0;
                continue;
            }
            const double fx = (x - cx) / longer, fy = (y - cy) / longer;
            row[x * 4 + 3] = std::uint8_t(std::lround(255.0 * std::exp(-8.0 * std::sqrt(fx * fx + fy * fy))));
        }
    }
}

void TVTDragImage::SampleScreen(const TRect& area) {
    if (area.IsEmpty()) return;
    TRect onScreen = area;
    OffsetRect(&onScreen, imagePosition_.x, imagePosition_.y);
    HRGN clip = CreateRectRgn(onScreen.left, onScreen.top, onScreen.right, onScreen.bottom);
    HDC screen = GetDCEx(nullptr, clip, DCX_INTERSECTRGN);
    DeleteObject(clip);
    if (!screen) return;
    BitBlt(background_->Canvas()->Handle(), area.left, area.top, area.Width(), area.Height(), screen, onScreen.left,
           onScreen.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

void TVTDragImage::InternalShowDragImage() {
    const int w = background_->Width(), h = background_->Height();
    HDC target = composition_->Canvas()->Handle();
    BitBlt(target, 0, 0, w, h, background_->Canvas()->Handle(), 0, 0, SRCCOPY);
    const bool perPixel = radialFade_ || keyColor_ != clNone;
    AlphaBlend(dragPicture_->Canvas()->Handle(), target, TRect(0, 0, w, h), TPoint{0, 0},
               perPixel ? bmMasterAlpha : bmConstantAlpha, imageAlpha_, showBias_);
    PutOnScreen();
}

void TVTDragImage::PutOnScreen() {
    const int w = composition_->Width(), h = composition_->Height();
    if (!window_) {
        WNDCLASSA existing{};
        if (!GetClassInfoA(DragImageClassName, &existing)) {
            WNDCLASSA cls{};
            cls.lpfnWndProc = &DragImageWindowProc;
            cls.lpszClassName = DragImageClassName;
            RegisterClassA(cls);
        }
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_TRANSPARENT, DragImageClassName, "",
                                  WS_POPUP, imagePosition_.x, imagePosition_.y, w, h, nullptr, nullptr, nullptr,
                                  nullptr);
        if (!window_) return;
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    SetWindowPos(window_, HWND_TOPMOST, imagePosition_.x, imagePosition_.y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // The composition reaches the window in one copy.
    if (HDC dc = GetDC(window_)) {
        BitBlt(dc, 0, 0, w, h, composition_->Canvas()->Handle(), 0, 0, SRCCOPY);
        ReleaseDC(window_, dc);
    }
    ValidateRect(window_, nullptr);
    PaintPendingWindows(window_);
}

void TVTDragImage::HideWindow() {
    if (window_ && IsWindowVisible(window_)) ShowWindow(window_, SW_HIDE);
}

void TVTDragImage::ShowDragImage() {
    if (states_ != (disHidden | disInDrag | disPrepared)) return;
    states_ &= ~disHidden;
    SampleScreen(TRect(0, 0, background_->Width(), background_->Height()));
    InternalShowDragImage();
}

void TVTDragImage::HideDragImage() {
    if (!Visible()) return;
    states_ |= disHidden;
    // Without the window the display shows again what lies below it.
    HideWindow();
}

void TVTDragImage::EndDrag() {
    HideDragImage();
    states_ &= ~(disInDrag | disPrepared);
    if (window_) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    dragPicture_.reset();
    background_.reset();
    composition_.reset();
}

TRect TVTDragImage::GetDragImageRect() const {
    if (!Visible()) return TRect();
    return Bounds(imagePosition_.x, imagePosition_.y, background_->Width(), background_->Height());
}

void TVTDragImage::Deltas(TPoint p, int& deltaX, int& deltaY) const {
    deltaX = moveLimit_ == dmrVerticalOnly ? 0 : lastPosition_.x - p.x;
    deltaY = moveLimit_ == dmrHorizontalOnly ? 0 : lastPosition_.y - p.y;
}

bool TVTDragImage::WillMove(TPoint p) const {
    int dx, dy;
    Deltas(p, dx, dy);
    return Visible() && (dx != 0 || dy != 0);
}

bool TVTDragImage::DragTo(TPoint p, bool forceRepaint) {
    int dx, dy;
    Deltas(p, dx, dy);
    if (dx == 0 && dy == 0 && !forceRepaint) return false;
    if (Visible()) {
        const int w = background_->Width(), h = background_->Height();
        if (std::abs(dx) >= w || std::abs(dy) >= h || forceRepaint) {
            // A new place apart from the old one, or a full refresh: the whole background is
            // read again, with the window out of the way when the places overlap.
            if (forceRepaint) {
                HideWindow();
                if (owner_ && owner_->HandleAllocated()) UpdateWindow(owner_->Handle());
            }
            imagePosition_.x -= dx;
            imagePosition_.y -= dy;
            SampleScreen(TRect(0, 0, w, h));
        } else {
            // The window's move uncovers the restore strips by itself; the saved background
            // moves with the image and only the strips it newly covers are read. They lie
            // outside the window's old place, so the window never reads itself.
            TDragRectangles r = FillDragRectangles(w, h, dx, dy);
            // One copy within the bitmap (the copy reads a snapshot of its source).
            HDC dc = background_->Canvas()->Handle();
            const int saved = SaveDC(dc);
            IntersectClipRect(dc, r.Clip.left, r.Clip.top, r.Clip.right, r.Clip.bottom);
            BitBlt(dc, r.Scroll.left + dx, r.Scroll.top + dy, r.Scroll.Width(), r.Scroll.Height(), dc, r.Scroll.left,
                   r.Scroll.top, SRCCOPY);
            RestoreDC(dc, saved);
            imagePosition_.x -= dx;
            imagePosition_.y -= dy;
            if (dx != 0) SampleScreen(r.FirstSample);
            if (dy != 0) SampleScreen(r.SecondSample);
        }
        InternalShowDragImage();
    }
    lastPosition_ = p;
    return true;
}

void TVTDragImage::RecaptureBackground(TBaseVastTree* tree, TRect r, HRGN visibleRegion, bool frame, bool redraw) {
    if (!Visible() || !tree || !tree->HandleAllocated()) return;
    const TPoint clientOrigin = tree->ClientToScreen(TPoint{0, 0});
    OffsetRect(&r, clientOrigin.x, clientOrigin.y);
    const TRect image = GetDragImageRect();
    if (!IntersectRect(&r, &r, &image)) return;
    HDC dc = background_->Canvas()->Handle();
    HRGN visible = CreateRectRgn(0, 0, 0, 0);
    if (visibleRegion) {
        CombineRgn(visible, visibleRegion, nullptr, RGN_COPY);
        OffsetRgn(visible, -imagePosition_.x, -imagePosition_.y);
    } else {
        SetRectRgn(visible, 0, 0, background_->Width(), background_->Height());
    }
    const TPoint target{r.left - imagePosition_.x, r.top - imagePosition_.y};
    // Back to the tree's own coordinates.
    OffsetRect(&r, -clientOrigin.x + tree->HorzScrollPos(), -clientOrigin.y - tree->OffsetY());
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, target.x, target.y, target.x + r.Width(), target.y + r.Height());
    ExtSelectClipRgn(dc, visible, RGN_AND);
    tree->PaintTree(background_->Canvas(), r, target,
                    poBackground | poColumnColor | poDrawFocusRect | poDrawSelection | poDrawDropMark | poGridLines,
                    pf32bit);
    if (frame) {
        // The frame (and the header strip) come from the window's own painting.
        SelectClipRgn(dc, visible);
        RECT window{};
        GetWindowRect(tree->Handle(), &window);
        SetViewportOrgEx(dc, window.left - imagePosition_.x, window.top - imagePosition_.y, nullptr);
        SendMessage(tree->Handle(), WM_PRINT, WPARAM(dc), PRF_NONCLIENT);
        SetViewportOrgEx(dc, 0, 0, nullptr);
    }
    RestoreDC(dc, saved);
    SelectClipRgn(dc, nullptr);
    DeleteObject(visible);
    if (redraw) InternalShowDragImage();
}

// ---- the tree's side ----

void TBaseVastTree::PrepareDragImage(TPoint hotSpot, IDataObject* dataObject) {
    if (!CanShowDragImage() || !dragImage_ || !HandleAllocated()) return;
    // In tree coordinates.
    const TPoint p{hotSpot.x + HorzScrollPos(), hotSpot.y - offsetY_};
    TRect image(p.x - dragWidth_ / 2, p.y - dragHeight_ / 2, p.x + dragWidth_ / 2, p.y + dragHeight_ / 2);
    if (image.Width() <= 0 || image.Height() <= 0) return;
    TRect painted = image;
    TPoint target{0, 0};
    if (painted.left < 0) {
        target.x = -painted.left;
        painted.left = 0;
    }
    if (painted.top < 0) {
        target.y = -painted.top;
        painted.top = 0;
    }
    TBitmap picture;
    picture.SetPixelFormat(pf32bit);
    picture.SetSize(image.Width(), image.Height());
    picture.Canvas()->Brush()->SetColor(Color());
    picture.Canvas()->FillRect(TRect(0, 0, image.Width(), image.Height()));
    TVTInternalPaintOptions options = poDrawSelection | poSelectedOnly;
    if (dragImageKind_ == diMainColumnOnly) options |= poMainOnly;
    PaintTree(picture.Canvas(), painted, target, options, pf32bit);
    // Back to client coordinates, then to the screen.
    const TPoint topLeft = ClientToScreen(TPoint{image.left - HorzScrollPos(), image.top + offsetY_});
    dragImage_->SetKeyColor(Color());
    dragImage_->PrepareDrag(&picture, topLeft, ClientToScreen(hotSpot), dataObject);
}

void TBaseVastTree::UpdateWindowAndDragImage(TBaseVastTree* tree, TRect treeRect, bool frame, bool reshow) {
    if (!HandleAllocated()) return;
    const TRect client = ClientRect();
    if (!IntersectRect(&treeRect, &treeRect, &client)) return;
    if (tree && tree->dragImage_) {
        // The tree's visible part on the screen: its client area.
        const TPoint origin = ClientToScreen(TPoint{0, 0});
        HRGN region = CreateRectRgn(origin.x, origin.y, origin.x + client.Width(), origin.y + client.Height());
        tree->dragImage_->RecaptureBackground(this, treeRect, region, frame, reshow);
        DeleteObject(region);
    }
    // The image is a window of its own, so the tree may paint under it without flicker: the
    // whole rectangle is redrawn at once.
    UINT flags = RDW_INVALIDATE | RDW_NOERASE | RDW_NOCHILDREN | RDW_UPDATENOW;
    if (frame) flags |= RDW_FRAME;
    RedrawWindow(Handle(), &treeRect, nullptr, flags);
}

TVTDragImage* TBaseVastTree::SourceDragImage(TObject* source) const {
    auto* tree = dynamic_cast<TBaseVastTree*>(source);
    return tree ? tree->dragImage_.get() : nullptr;
}

}  // namespace treeview
