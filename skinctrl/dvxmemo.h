#pragma once
// The skinned memo: the platform memo with the library's border band, and optionally two
// skinned scroll bars (siblings placed by the user) laid over its own bars and kept in step
// with them both ways.
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxedit.h"
#include "skinctrl/dvxscrollbar.h"

namespace skinctrl {

// Copies the state of a window's own scroll bar into a skinned one: hidden when the window
// cannot describe it; disabled without a thumb when the native bar is hidden or unavailable
// or enabled is false; otherwise the native thumb's length. Range and position follow the
// native scroll information (Max = nMax - nPage + 1). Returns the native bar's page.
int CopyNativeScrollBar(platform::HWND window, bool vertical, TdvxScrollBar* bar, bool enabled);
// Scrolls the window as a thumb dragged to position would, the whole position carried (a
// WM_VSCROLL/WM_HSCROLL word holds only 16 bits of it).
void ScrollToBarPosition(platform::TWinControl* control, bool vertical, int position);
// Whether attached bars lie on the left: a right-to-left BiDiMode in a right-to-left locale.
bool BarsOnTheLeft(const platform::TControl* control);
// Puts a window's native vertical bar on the side its attached bar takes, so the bar covers
// the native one and not the start of the text.
void PlaceNativeBarUnderAttached(const platform::TControl* control, platform::TCreateParams& params);

class TdvxMemo : public TdvxBorderedEdit<platform::TCustomMemo> {
public:
    explicit TdvxMemo(platform::TComponent* owner);
    ~TdvxMemo() override;
    void Dispatch(platform::TMessage& message) override;
    void Loaded() override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

    TdvxScrollBar* VScrollBar() const { return vBar_; }
    void SetVScrollBar(TdvxScrollBar* value) { SetBar(vBar_, value, true); }
    TdvxScrollBar* HScrollBar() const { return hBar_; }
    void SetHScrollBar(TdvxScrollBar* value) { SetBar(hBar_, value, false); }

    // The memo's own ScrollBars follow the attached bars.
    void UpdateInnerScrollBars();
    // Lays the attached bars over the memo's border (parent coordinates).
    void UpdateScrollBarsPos();
    // Copies the native bars' state into the attached ones.
    void UpdateScrollBars();

protected:
    void CreateParams(platform::TCreateParams& params) override;
    void UIStyleChanged() override;

private:
    void SetBar(TdvxScrollBar*& field, TdvxScrollBar* value, bool vertical);
    void BarMoved(bool vertical);

    TdvxScrollBar* vBar_ = nullptr;
    TdvxScrollBar* hBar_ = nullptr;
    bool dragging_ = false;
    bool scrollingFromBar_ = false;
    bool updatingBars_ = false;
};

}  // namespace skinctrl
