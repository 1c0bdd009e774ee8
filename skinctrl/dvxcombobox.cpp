// The skinned combo box: the platform's box paints first, then the frame, the button and
// the arrow go over it; the dropped list gets a frame painted inside its own window (there
// is no screen-wide DC to draw round it).
#include "skinctrl/dvxcombobox.h"

#include "platform/core/exceptions.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/resources.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

namespace {

// Frames the whole window (client and non-client area) in outer and, when inner is not
// clNone, the ring inside it in inner.
void FrameWholeWindow(HWND hwnd, TColor outer, TColor inner) {
    if (!hwnd || !IsWindow(hwnd)) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT r;
    GetWindowRect(hwnd, &r);
    OffsetRect(&r, -r.left, -r.top);
    HBRUSH b = CreateSolidBrush(ColorToRGB(outer));
    FrameRect(dc, &r, b);
    DeleteObject(b);
    if (inner != clNone) {
        InflateRect(&r, -1, -1);
        HBRUSH i = CreateSolidBrush(ColorToRGB(inner));
        FrameRect(dc, &r, i);
        DeleteObject(i);
    }
    ReleaseDC(hwnd, dc);
}

}  // namespace

TdvxCustomComboBox::TdvxCustomComboBox(TComponent* owner) : TdvxControl(owner) {
    controlStyle_ |= csOpaque;
    ApplyStyleColors();
}

TdvxCustomComboBox::~TdvxCustomComboBox() {
    // The platform box frees the list after this part is gone: its hook goes first.
    if (hookedList_ && hookedList_ == ListControl()) hookedList_->WindowProc = listProc_;
}

void TdvxCustomComboBox::ApplyStyleColors() {
    arrowColor_ = clBlack;
    TdvxUIStyle style;
    if (UsingTheme(style)) {
        borderColor_ = fileTheme_->GetColor(SKIN2_CONTROLBORDERCOLOR);
        buttonColor_ = fileTheme_->GetColor(SKIN2_CONTROLCOLOR);
    } else {
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
        buttonColor_ = GetInsideThemeColor(style, DVX_THEME_FORM_COLOR);
    }
}

void TdvxCustomComboBox::UIStyleChanged() {
    ApplyStyleColors();
    RefreshFrame();
}

void TdvxCustomComboBox::RefreshFrame() {
    // The frame lies over the non-client edge, which a client repaint leaves alone.
    if (IsLive()) RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TdvxCustomComboBox::SetBorderColor(TColor value) {
    if (!Store(borderColor_, value)) return;
    RefreshFrame();
    Refreshed();
}

void TdvxCustomComboBox::SetButtonColor(TColor value) {
    if (!Store(buttonColor_, value)) return;
    Refreshed();
}

void TdvxCustomComboBox::SetArrowColor(TColor value) {
    if (!Store(arrowColor_, value)) return;
    Refreshed();
}

void TdvxCustomComboBox::PaintWindow(HDC dc) {
    TdvxControl::PaintWindow(dc);
    DrawButton(dc);
}

void TdvxCustomComboBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_ERASEBKGND:
            TdvxControl::Dispatch(m);
            if (m.WParam) DrawButton(reinterpret_cast<HDC>(m.WParam));
            return;
        case CM_COLORCHANGED:
            TdvxControl::Dispatch(m);
            RefreshFrame();
            return;
        case WM_NCPAINT:
            // A frame-only repaint would cover the skinned frame with the sunken edge.
            TdvxControl::Dispatch(m);
            if (HandleAllocated() && Style() != csSimple) FrameWholeWindow(handle_, borderColor_, Color());
            return;
        default: TdvxControl::Dispatch(m); return;
    }
}

void TdvxCustomComboBox::DrawButton(HDC dc) {
    if (!dc || !HandleAllocated()) return;
    COMBOBOXINFO info;
    info.cbSize = 52;
    if (!DVXGetComboBoxInfo(handle_, &info)) return;
    if (Style() == csSimple) return;
    // The frame: the outer line in BorderColor, the line inside it in the box's colour, over
    // the sunken edge round the client area.
    FrameWholeWindow(handle_, borderColor_, Color());
    if (DroppedDown()) FrameList();

    TCanvas canvas;
    canvas.SetHandle(dc);
    TRect button(info.rcButton);
    TdvxUIStyle style = uiStyle_;
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
        canvas.Brush()->SetColor(buttonColor_);
        canvas.FillRect(button);
        bool rightToLeft = BiDiMode() == bdRightToLeft && SysLocale.MiddleEast;
        int x = rightToLeft ? button.right - 1 : button.left;
        canvas.Pen()->SetStyle(psSolid);
        canvas.Pen()->SetWidth(1);
        canvas.Pen()->SetColor(borderColor_);
        canvas.MoveTo(x, button.top - 1);
        canvas.LineTo(x, button.bottom + 1);
    }
    int ax = (button.right - button.left) / 2 + button.left - 3;
    int ay = (button.bottom - button.top) / 2;
    if (style != WinXP) DrawArrow(&canvas, ax, ay);
    canvas.SetHandle(nullptr);
}

void TdvxCustomComboBox::DrawArrow(TCanvas* canvas, int x, int y) {
    auto triangle = [&](int dx, TColor color) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(color);
        canvas->Pen()->SetStyle(psSolid);
        canvas->Pen()->SetWidth(1);
        canvas->Pen()->SetColor(color);
        canvas->Polygon({TPoint(x + dx, y + dx), TPoint(x + dx + 6, y + dx), TPoint(x + dx + 3, y + dx + 3)});
    };
    if (Enabled()) {
        triangle(0, arrowColor_);
        return;
    }
    triangle(1, clWhite);
    triangle(0, TColor(RGB(128, 128, 128)));
}

void TdvxCustomComboBox::HookList() {
    TCustomListBox* list = ListControl();
    if (!list || list == hookedList_) return;
    hookedList_ = list;
    listProc_ = list->WindowProc;
    list->WindowProc = [this, list](TMessage& m) {
        listProc_(m);
        if ((m.Msg == WM_PAINT || m.Msg == WM_NCPAINT) && DroppedDown() && list == ListControl()) FrameList();
    };
}

void TdvxCustomComboBox::FrameList() {
    TCustomListBox* list = ListControl();
    if (list && list->HandleAllocated()) FrameWholeWindow(list->WindowHandle(), borderColor_, clNone);
}

void TdvxCustomComboBox::DropDown() {
    HookList();
    TdvxControl::DropDown();
}

void TdvxCustomComboBox::CloseUp() {
    TdvxControl::CloseUp();
    if (Parent()) Parent()->Invalidate();
}

}  // namespace skinctrl
