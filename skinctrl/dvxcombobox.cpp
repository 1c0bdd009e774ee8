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

template <class Base>
TdvxComboBase<Base>::TdvxComboBase(TComponent* owner) : TdvxControl<Base>(owner) {
    this->controlStyle_ |= csOpaque;
    ApplyStyleColors();
}

template <class Base>
TdvxComboBase<Base>::~TdvxComboBase() {
    // The platform box frees the list after this part is gone: its hook goes first.
    if (hookedList_ && hookedList_ == this->ListControl()) hookedList_->WindowProc = listProc_;
}

template <class Base>
void TdvxComboBase<Base>::ApplyStyleColors() {
    arrowColor_ = clBlack;
    TdvxUIStyle style;
    if (this->UsingTheme(style)) {
        borderColor_ = this->fileTheme_->GetColor(SKIN2_CONTROLBORDERCOLOR);
        buttonColor_ = this->fileTheme_->GetColor(SKIN2_CONTROLCOLOR);
    } else {
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
        buttonColor_ = GetInsideThemeColor(style, DVX_THEME_FORM_COLOR);
    }
}

template <class Base>
void TdvxComboBase<Base>::UIStyleChanged() {
    ApplyStyleColors();
    RefreshFrame();
}

template <class Base>
void TdvxComboBase<Base>::RefreshFrame() {
    // The frame lies over the non-client edge, which a client repaint leaves alone.
    if (this->IsLive()) RedrawWindow(this->handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

template <class Base>
void TdvxComboBase<Base>::SetBorderColor(TColor value) {
    if (!this->Store(borderColor_, value)) return;
    RefreshFrame();
    this->Refreshed();
}

template <class Base>
void TdvxComboBase<Base>::SetButtonColor(TColor value) {
    if (!this->Store(buttonColor_, value)) return;
    this->Refreshed();
}

template <class Base>
void TdvxComboBase<Base>::SetArrowColor(TColor value) {
    if (!this->Store(arrowColor_, value)) return;
    this->Refreshed();
}

template <class Base>
void TdvxComboBase<Base>::PaintWindow(HDC dc) {
    TdvxControl<Base>::PaintWindow(dc);
    DrawButton(dc);
}

template <class Base>
void TdvxComboBase<Base>::Dispatch(TMessage& m) {
    // The frame and background a paint asks for on its way in are covered by the frame and
    // button the paint ends with (PaintWindow), so they skip their own.
    switch (m.Msg) {
        case WM_PAINT: {
            bool nested = painting_;
            painting_ = true;
            try {
                TdvxControl<Base>::Dispatch(m);
            } catch (...) {
                painting_ = nested;
                throw;
            }
            painting_ = nested;
            return;
        }
        case WM_ERASEBKGND:
            TdvxControl<Base>::Dispatch(m);
            if (m.WParam && !painting_) DrawButton(reinterpret_cast<HDC>(m.WParam));
            return;
        case CM_COLORCHANGED:
            TdvxControl<Base>::Dispatch(m);
            RefreshFrame();
            return;
        case WM_NCPAINT:
            // A frame-only repaint would cover the skinned frame with the sunken edge.
            TdvxControl<Base>::Dispatch(m);
            if (this->HandleAllocated() && this->Style() != csSimple && !painting_) FrameWholeWindow(this->handle_, borderColor_, this->Color());
            return;
        default: TdvxControl<Base>::Dispatch(m); return;
    }
}

template <class Base>
void TdvxComboBase<Base>::DrawButton(HDC dc) {
    if (!dc || !this->HandleAllocated()) return;
    COMBOBOXINFO info;
    info.cbSize = 52;
    if (!DVXGetComboBoxInfo(this->handle_, &info)) return;
    if (this->Style() == csSimple) return;
    // The frame: the outer line in BorderColor, the line inside it in the box's colour, over
    // the sunken edge round the client area.
    FrameWholeWindow(this->handle_, borderColor_, this->Color());
    if (this->DroppedDown()) FrameList();

    bool rightToLeft = this->BiDiMode() == bdRightToLeft && SysLocale.MiddleEast;
    DrawComboButton(dc, TRect(info.rcButton), this->uiStyle_, buttonColor_, borderColor_, arrowColor_, this->Enabled(),
                    rightToLeft);
}

template <class Base>
void TdvxComboBase<Base>::HookList() {
    TCustomListBox* list = this->ListControl();
    if (!list || list == hookedList_) return;
    hookedList_ = list;
    listProc_ = list->WindowProc;
    list->WindowProc = [this, list](TMessage& m) {
        listProc_(m);
        if ((m.Msg == WM_PAINT || m.Msg == WM_NCPAINT) && this->DroppedDown() && list == this->ListControl()) FrameList();
    };
}

template <class Base>
void TdvxComboBase<Base>::FrameList() {
    TCustomListBox* list = this->ListControl();
    if (list && list->HandleAllocated()) FrameWholeWindow(list->WindowHandle(), borderColor_, clNone);
}

template <class Base>
void TdvxComboBase<Base>::DropDown() {
    HookList();
    TdvxControl<Base>::DropDown();
}

template <class Base>
void TdvxComboBase<Base>::CloseUp() {
    TdvxControl<Base>::CloseUp();
    if (this->Parent()) this->Parent()->Invalidate();
}

template class TdvxComboBase<TCustomComboBox>;
template class TdvxComboBase<TDriveComboBox>;
template class TdvxComboBase<TFilterComboBox>;

}  // namespace skinctrl
