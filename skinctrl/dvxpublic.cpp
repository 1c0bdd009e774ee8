#include "skinctrl/dvxpublic.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/graphics/resources.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxfiletheme.h"

namespace skinctrl {

using namespace platform;

namespace {

HDC DcOf(TBitmap* bitmap) { return bitmap->Canvas()->Handle(); }

// Copies (x, y, w, h) of the source bitmap to (dx, dy) of the canvas, skipping key pixels
// when keyed; with a different destination size the source is stretched (nearest pixel).
void Blit(TCanvas* canvas, const TRect& dst, TBitmap* source, const TRect& src, bool keyed, TColor key) {
    if (dst.Width() <= 0 || dst.Height() <= 0 || src.Width() <= 0 || src.Height() <= 0) return;
    HDC d = canvas->Handle();
    HDC s = DcOf(source);
    if (keyed)
        TransparentBlt(d, dst.left, dst.top, dst.Width(), dst.Height(), s, src.left, src.top, src.Width(),
                       src.Height(), UINT(ColorToRGB(key)));
    else
        StretchBlt(d, dst.left, dst.top, dst.Width(), dst.Height(), s, src.left, src.top, src.Width(), src.Height(),
                   SRCCOPY);
}

TRect ClampTo(TRect r, int w, int h) {
    r.left = std::clamp(r.left, 0, w);
    r.right = std::clamp(r.right, 0, w);
    r.top = std::clamp(r.top, 0, h);
    r.bottom = std::clamp(r.bottom, 0, h);
    return r;
}

}  // namespace

// ---------------------------------------------------------------- pictures

void SpitBitmap(TBitmap* source, TBitmap* dest, int count, int index) {
    if (!dest) return;
    int frameWidth = (source && count > 0) ? source->Width() / count : 0;
    if (!source || count < 1 || index < 1 || index > count || frameWidth <= 0 || source->Height() <= 0) {
        dest->SetSize(0, 0);
        return;
    }
    int height = source->Height();
    int left = index == count ? source->Width() - frameWidth : frameWidth * (index - 1);
    TBitmap frame;
    frame.SetPixelFormat(pf32bit);
    frame.SetSize(frameWidth, height);
    BitBlt(DcOf(&frame), 0, 0, frameWidth, height, DcOf(source), left, 0, SRCCOPY);
    dest->SetHeight(height);
    dest->SetWidth(frameWidth);
    BitBlt(DcOf(dest), 0, 0, frameWidth, height, DcOf(&frame), 0, 0, SRCCOPY);
}

void SpitDraw(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool transparent) {
    if (!bitmap || !canvas || bitmap->Empty()) return;
    const int W = bitmap->Width(), H = bitmap->Height();
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;

    // A corner: the part of its source rectangle that fits its quarter of the destination,
    // taken from the picture's outer corner, drawn unscaled; returns the rectangle covered.
    auto corner = [&](TRect src, TRect quarter, bool right, bool bottom) {
        src = ClampTo(src, W, H);
        int cw = std::max(0, std::min(src.Width(), quarter.Width()));
        int ch = std::max(0, std::min(src.Height(), quarter.Height()));
        int x = right ? rect.right - cw : 0;
        int y = bottom ? rect.bottom - ch : 0;
        TRect covered(x, y, x + cw, y + ch);
        if (cw > 0 && ch > 0) {
            int sx = right ? src.right - cw : src.left;
            int sy = bottom ? src.bottom - ch : src.top;
            Blit(canvas, covered, bitmap, TRect(sx, sy, sx + cw, sy + ch), transparent, DVX_KEY_COLOR);
        }
        return covered;
    };
    enum Cut { Left, Right, Top, Bottom };
    // An edge or the centre: the source stretched over dst, key pixels left out; a source
    // thicker than dst across the edge is first cut to its outer part.
    auto stretch = [&](TRect src, const TRect& dst, int cut) {
        if (dst.Width() <= 0 || dst.Height() <= 0) return;
        src = ClampTo(src, W, H);
        if (cut == Left && dst.Width() < src.Width()) src.right = src.left + dst.Width();
        if (cut == Right && dst.Width() < src.Width()) src.left = src.right - dst.Width();
        if (cut == Top && dst.Height() < src.Height()) src.bottom = src.top + dst.Height();
        if (cut == Bottom && dst.Height() < src.Height()) src.top = src.bottom - dst.Height();
        Blit(canvas, dst, bitmap, src, true, DVX_KEY_COLOR);
    };

    const int W2 = W / 2, H2 = H / 2, w2 = w / 2, h2 = h / 2;
    TRect tl = corner(TRect(0, 0, W2, H2), TRect(0, 0, w2, h2), false, false);
    TRect bl = corner(TRect(0, H - H2 + 1, W2, H), TRect(0, h - h2 + 1, w2, h), false, true);
    stretch(TRect(0, H2, W2, H - H2), TRect(0, tl.bottom, tl.right, bl.top), Left);
    TRect tr = corner(TRect(W - W2 + 1, 0, W, H2), TRect(w - w2 + 1, 0, w, h2), true, false);
    TRect br = corner(TRect(W - W2 + 1, H - H2 + 1, W, H), TRect(w - w2 + 1, h - h2 + 1, w, h), true, true);
    stretch(TRect(W - W2 + 1, H - H2, W, H2 + 2), TRect(tr.left, tr.bottom, tr.right, br.top), Right);
    stretch(TRect(W2, 0, W - W2 + 1, H2), TRect(tl.right, 0, tr.left, tl.bottom), Top);
    stretch(TRect(W2, H2, W - W2 + 1, H - H2), TRect(tl.right, tl.bottom, tr.left, br.top - 1), -1);
    stretch(TRect(W2, H - H2, W - W2 + 1, H), TRect(tl.right - 1, bl.top - 1, br.left, br.bottom), Bottom);
}

namespace {

// The three-frame stretches share this: ends unscaled, the middle stretched.
void ThreeFrames(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool masked, TColor mask, bool fill,
                 TColor fillColor, int middleBottom) {
    if (!bitmap || !canvas || bitmap->Empty()) return;
    const int fw = bitmap->Width() / 3, H = bitmap->Height();
    if (fw <= 0) return;
    if (rect.Width() < fw) {
        int cut = std::max(0, rect.Width());
        Blit(canvas, TRect(rect.left, rect.top, rect.left + cut, rect.top + H), bitmap, TRect(0, 0, cut, H), masked,
             mask);
        return;
    }
    Blit(canvas, TRect(rect.left, rect.top, rect.left + fw, rect.top + H), bitmap, TRect(0, 0, fw, H), masked, mask);
    Blit(canvas, TRect(rect.right - fw, rect.top, rect.right, rect.top + H), bitmap, TRect(2 * fw, 0, 3 * fw, H),
         masked, mask);
    TRect middle(rect.left + fw, rect.top, rect.right - fw, middleBottom);
    if (!fill) {
        Blit(canvas, middle, bitmap, TRect(fw, 0, 2 * fw, H), masked, mask);
        return;
    }
    TBitmap piece;
    piece.SetPixelFormat(pf32bit);
    piece.SetSize(fw, H);
    piece.Canvas()->Brush()->SetColor(fillColor);
    piece.Canvas()->FillRect(TRect(0, 0, fw, H));
    Blit(piece.Canvas(), TRect(0, 0, fw, H), bitmap, TRect(fw, 0, 2 * fw, H), masked, mask);
    Blit(canvas, middle, &piece, TRect(0, 0, fw, H), false, 0);
}

}  // namespace

void SpitDrawHorizontal(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool usePixelAsMask, TColor fillColor,
                        bool maskPixelFromTop) {
    if (!bitmap || bitmap->Empty()) return;
    TColor mask = DVX_KEY_COLOR;
    if (usePixelAsMask) mask = bitmap->Canvas()->Pixels(0, maskPixelFromTop ? 0 : bitmap->Height() - 1);
    ThreeFrames(bitmap, canvas, rect, true, mask, true, fillColor, rect.bottom);
}

void SpitDrawHorizontal2(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool masked, TColor maskColor) {
    if (!bitmap || bitmap->Empty()) return;
    ThreeFrames(bitmap, canvas, rect, masked, maskColor, false, 0, rect.top + bitmap->Height());
}

void ResizeImage(TBitmap* bitmap, TCanvas* canvas, const TRect& rect) {
    if (!bitmap || !canvas || bitmap->Empty()) return;
    HDC dc = canvas->Handle();
    int old = SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, rect.left, rect.top, rect.Width(), rect.Height(), DcOf(bitmap), 0, 0, bitmap->Width(),
               bitmap->Height(), SRCCOPY);
    SetStretchBltMode(dc, old);
}

void TileDraw(TCanvas* canvas, TPicture* picture, const TRect& rect) {
    if (!canvas || !picture || !picture->Graphic() || picture->Width() <= 0 || picture->Height() <= 0) return;
    const int pw = picture->Width(), ph = picture->Height();
    for (int x = 0; x < pw + rect.Width(); x += pw)
        for (int y = 0; y < ph + rect.Height(); y += ph) canvas->Draw(x, y, picture->Graphic());
}

void ScanColor(TBitmap* bitmap, TColor oldColor, TColor newColor) {
    if (!bitmap) return;
    bitmap->SetPixelFormat(pf24bit);
    COLORREF from = ColorToRGB(oldColor), to = ColorToRGB(newColor);
    for (int y = 0; y < bitmap->Height(); ++y) {
        auto* row = static_cast<BYTE*>(bitmap->ScanLine(y));
        for (int x = 0; x < bitmap->Width(); ++x) {
            BYTE* p = row + 3 * x;
            if (RGB(p[2], p[1], p[0]) == from) {
                p[0] = GetBValue(to);
                p[1] = GetGValue(to);
                p[2] = GetRValue(to);
            }
        }
    }
    bitmap->Canvas()->Refresh();
}

namespace {

TColor GradientColor(COLORREF c1, COLORREF c2, int span, int step) {
    auto part = [&](int a, int b) { return int(std::trunc(double(b - a) / span * step)) + a; };
    return RGB(BYTE(part(GetRValue(c1), GetRValue(c2))), BYTE(part(GetGValue(c1), GetGValue(c2))),
               BYTE(part(GetBValue(c1), GetBValue(c2))));
}

}  // namespace

void DrawHorizontalGradient(TCanvas* canvas, const TRect& rect, TColor fromColor, TColor toColor) {
    if (!canvas || rect.bottom == rect.top) return;
    COLORREF c1 = ColorToRGB(fromColor), c2 = ColorToRGB(toColor);
    int span = rect.bottom - rect.top;
    auto row = [&](int y, TColor c) {
        canvas->Pen()->SetColor(c);
        canvas->MoveTo(rect.left, y);
        canvas->LineTo(rect.right, y);
    };
    row(rect.top, fromColor);
    for (int y = rect.top + 1; y <= rect.bottom - 2; ++y) row(y, GradientColor(c1, c2, span, y - rect.top - 1));
    row(rect.bottom - 1, toColor);
}

void DrawVerticalGradient(TCanvas* canvas, const TRect& rect, TColor fromColor, TColor toColor) {
    if (!canvas || rect.right == rect.left) return;
    COLORREF c1 = ColorToRGB(fromColor), c2 = ColorToRGB(toColor);
    int span = rect.right - rect.left;
    auto column = [&](int x, TColor c) {
        canvas->Pen()->SetColor(c);
        canvas->MoveTo(x, rect.top);
        canvas->LineTo(x, rect.bottom);
    };
    column(rect.left, fromColor);
    for (int x = rect.left + 1; x <= rect.right - 2; ++x) column(x, GradientColor(c1, c2, span, x - rect.left - 1));
    column(rect.right - 1, toColor);
}

namespace {

// Rebuilds the bitmap from a mapping of new pixel positions to old ones.
template <class Map>
void Rotate(TBitmap* bitmap, bool swapSides, Map oldOf) {
    if (!bitmap || bitmap->Empty()) return;
    const int W = bitmap->Width(), H = bitmap->Height();
    const int nw = swapSides ? H : W, nh = swapSides ? W : H;
    bitmap->SetPixelFormat(pf32bit);
    std::vector<std::uint32_t> old(std::size_t(W) * std::size_t(H));
    for (int y = 0; y < H; ++y) {
        auto* row = static_cast<std::uint32_t*>(bitmap->ScanLine(y));
        std::copy(row, row + W, old.begin() + std::ptrdiff_t(y) * W);
    }
    TBitmap turned;
    turned.SetPixelFormat(pf32bit);
    turned.SetSize(nw, nh);
    for (int y = 0; y < nh; ++y) {
        auto* row = static_cast<std::uint32_t*>(turned.ScanLine(y));
        for (int x = 0; x < nw; ++x) {
            auto [ox, oy] = oldOf(x, y, W, H);
            row[x] = old[std::size_t(oy) * std::size_t(W) + std::size_t(ox)];
        }
    }
    bitmap->Assign(&turned);
}

}  // namespace

void RoundPicture(TBitmap* bitmap) {
    Rotate(bitmap, true, [](int x, int y, int W, int) { return std::pair{W - 1 - y, x}; });
}

void RoundPicture2(TBitmap* bitmap) {
    Rotate(bitmap, false, [](int x, int y, int W, int H) { return std::pair{W - 1 - x, H - 1 - y}; });
}

void RoundPicture3(TBitmap* bitmap) {
    Rotate(bitmap, true, [](int x, int y, int, int H) { return std::pair{y, H - 1 - x}; });
}

void DoTrans(TCanvas* canvas, TControl* control) {
    if (!canvas || !control || !control->Parent()) return;
    DrawParentImage(control, canvas->Handle());
}

void DrawControlBorder(TWinControl* control, TColor borderColor, TColor innerColor, bool drawInner) {
    if (!control) return;
    HWND hwnd = control->Handle();
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT r;
    GetWindowRect(hwnd, &r);
    OffsetRect(&r, -r.left, -r.top);
    HBRUSH border = CreateSolidBrush(ColorToRGB(borderColor));
    FrameRect(dc, &r, border);
    DeleteObject(border);
    if (drawInner) {
        InflateRect(&r, -1, -1);
        HBRUSH inner = CreateSolidBrush(ColorToRGB(innerColor));
        FrameRect(dc, &r, inner);
        DeleteObject(inner);
    }
    ReleaseDC(hwnd, dc);
}

HRGN BitmapRegion(TBitmap* bitmap, TColor transparentColor) {
    std::vector<RECT> runs;
    if (bitmap && !bitmap->Empty()) {
        const int W = bitmap->Width(), H = bitmap->Height();
        TBitmap pixels;
        pixels.Assign(bitmap);
        pixels.SetPixelFormat(pf32bit);
        COLORREF key = ColorToRGB(transparentColor);
        for (int y = 0; y < H; ++y) {
            auto* row = static_cast<std::uint32_t*>(pixels.ScanLine(y));
            bool open = false;
            int start = 0, end = 0;
            for (int x = 0; x < W; ++x) {
                std::uint32_t p = row[x];
                bool clear = RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p)) == key;
                if (!clear && x != W - 1) {
                    if (!open) start = x;
                    open = true;
                    end = x;
                } else if (open) {
                    runs.push_back(RECT{start, y, end + 1, y + 1});
                    open = false;
                }
            }
        }
    }
    return runs.empty() ? CreateRectRgn(0, 0, 0, 0) : CreateRectListRgn(runs.data(), int(runs.size()));
}

void DrawComboButton(HDC dc, const TRect& button, TdvxUIStyle style, TColor buttonColor, TColor borderColor,
                     TColor arrowColor, bool enabled, bool rightToLeft, int arrowRaise) {
    if (!dc || button.IsEmpty()) return;
    TCanvas canvas;
    canvas.SetHandle(dc);
    if (style == MacOS || style == WinXP) {
        EnsureStyleResources();
        TBitmap picture;
        try {
            picture.LoadFromResourceName(HInstance, style == MacOS ? "MACOS_COMBOBOX_BUTTON" : "WINXP_COMBOBOX_BUTTON");
            canvas.StretchDraw(button, &picture);
        } catch (const Exception&) {
            // A missing picture leaves the platform's button showing.
        }
    } else {
        canvas.Brush()->SetStyle(bsSolid);
        canvas.Brush()->SetColor(buttonColor);
        canvas.FillRect(button);
        int x = rightToLeft ? button.right - 1 : button.left;
        canvas.Pen()->SetStyle(psSolid);
        canvas.Pen()->SetWidth(1);
        canvas.Pen()->SetColor(borderColor);
        canvas.MoveTo(x, button.top - 1);
        canvas.LineTo(x, button.bottom + 1);
    }
    if (style != WinXP) {
        int ax = (button.right - button.left) / 2 + button.left - 3;
        int ay = (button.bottom - button.top) / 2 - arrowRaise;
        auto triangle = [&](int d, TColor color) {
            canvas.Brush()->SetStyle(bsSolid);
            canvas.Brush()->SetColor(color);
            canvas.Pen()->SetStyle(psSolid);
            canvas.Pen()->SetWidth(1);
            canvas.Pen()->SetColor(color);
            canvas.Polygon({TPoint(ax + d, ay + d), TPoint(ax + d + 6, ay + d), TPoint(ax + d + 3, ay + d + 3)});
        };
        if (enabled) {
            triangle(0, arrowColor);
        } else {
            triangle(1, clWhite);
            triangle(0, TColor(RGB(128, 128, 128)));
        }
    }
    canvas.SetHandle(nullptr);
}

void SetBitmapWindow(HWND window, TBitmap* bitmap, TColor transparentColor) {
    SetWindowRgn(window, BitmapRegion(bitmap, transparentColor), TRUE);
}

void SetWinControlTransparent(TWinControl* control) {
    if (!control) return;
    control->SetControlStyle(control->ControlStyle() & ~csOpaque);
    HWND hwnd = control->Handle();
    SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | LONG(WS_EX_TRANSPARENT));
}

// ---------------------------------------------------------------- geometry and windows

bool InRect(const TPoint& point, const TRect& rect) { return InRect(point.x, point.y, rect); }

bool InRect(int x, int y, const TRect& rect) {
    return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}

void PlaceControl(TControl* control, const TPoint& point) {
    control->SetLeft(point.x);
    control->SetTop(point.y);
}

void PlaceControl(TControl* control, const TRect& rect) {
    control->SetLeft(rect.left);
    control->SetTop(rect.top);
    control->SetWidth(rect.right - rect.left);
    control->SetHeight(rect.bottom - rect.top);
}

TRect GetWorkAreaRect() {
    // One screen: the main form's screen is the primary one.
    if (Application && Application->MainForm()) return GetWorkArea();
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return TRect(r.left, r.top, r.right, r.bottom);
}

bool FormHasFocus(TCustomForm* form) {
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    if (!main) return form && form->Active();
    if (main->FormStyle() == fsMDIForm && form == main) return true;
    if (!GetActiveWindow()) return false;
    if (!form || form == main) return true;
    // An MDI child is the focused form when it is the active child of the main form's
    // client window.
    if (main->FormStyle() == fsMDIForm && form->HandleAllocated())
        if (HWND client = main->ClientHandle();
            client && reinterpret_cast<HWND>(SendMessage(client, WM_MDIGETACTIVE, 0, 0)) == form->WindowHandle())
            return true;
    return form->Active();
}

// ---------------------------------------------------------------- texts and fonts

namespace {

// Byte lengths of the UTF-8 text's first 1, 2, ... characters.
std::vector<std::size_t> CharacterEnds(const std::string& text) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        i = std::min(text.size(), i + n);
        ends.push_back(i);
    }
    return ends;
}

}  // namespace

std::string FormatStringWithWidth(TCanvas* canvas, const std::string& text, int width) {
    if (!canvas || canvas->TextWidth(text) <= width) return text;
    std::vector<std::size_t> ends = CharacterEnds(text);
    if (ends.size() < 2) return text;
    // Candidates grow wider with each character: find the longest that fits.
    std::size_t lo = 1, hi = ends.size() - 1, best = 1;
    while (lo <= hi) {
        std::size_t mid = (lo + hi) / 2;
        if (canvas->TextWidth(text.substr(0, ends[mid - 1]) + "...") <= width) {
            best = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return text.substr(0, ends[best - 1]) + "...";
}

std::string PCharToStr(const char* p) { return (p && *p) ? std::string(p) : std::string(); }

std::string GetLocaleButtonCaption(TMsgDlgBtn button) {
    switch (button) {
        case mbYes: return "&Yes";
        case mbNo: return "&No";
        case mbOK: return "OK";
        case mbCancel: return "Cancel";
        case mbAbort: return "&Abort";
        case mbRetry: return "&Retry";
        case mbIgnore: return "&Ignore";
        case mbHelp: return "&Help";
        case mbAll: return "All";
        case mbNoToAll: return "No to All";
        case mbYesToAll: return "Yes to All";
    }
    return "";
}

void GetCaptionFont(TFont*) {}

// ---------------------------------------------------------------- properties and styles

std::vector<TControl*> ChildControls(const TWinControl* container) {
    std::vector<TControl*> children;
    if (!container) return children;
    // ControlCount counts the graphic children only, while Controls indexes the windowed
    // ones after them: walk the list to its end.
    for (int i = 0;; ++i) {
        try {
            children.push_back(container->Controls(i));
        } catch (const EListError&) {
            break;
        }
    }
    return children;
}

bool IsHasProperty(TComponent* component, const std::string& name) {
    IdvxStyled* styled = AsStyled(component);
    return styled && styled->PublishesProperty(name);
}

void ContainerApplyUIStyle(TWinControl* container, TdvxUIStyle uiStyle, TdvxFileTheme* fileTheme) {
    if (!container) return;
    for (TControl* child : ChildControls(container)) {
        if (!IsHasProperty(child, "FileTheme") || !IsHasProperty(child, "UIStyle")) continue;
        IdvxStyled* styled = AsStyled(child);
        styled->SetFileTheme(fileTheme);
        styled->SetUIStyle(uiStyle);
    }
}

// ---------------------------------------------------------------- platform

bool IsWinXP() { return true; }
bool IsWinVista() { return false; }

bool DVXGetScrollBarInfo(HWND window, int objectId, SCROLLBARINFO* info) {
    return info && GetScrollBarInfo(window, objectId, info);
}

bool DVXGetComboBoxInfo(HWND window, COMBOBOXINFO* info) { return info && GetComboBoxInfo(window, info); }

bool DVXAnimateWindow(HWND window, int time, int flags) {
    return AnimateWindow(window, DWORD(time), DWORD(flags));
}

}  // namespace skinctrl
