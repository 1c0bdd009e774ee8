#pragma once
// The skinned title bar: a top-aligned strip of picture sections (left end, caption part,
// stretched middle, right end), the program icon or a control box at the left, the caption,
// and caption buttons (minimise, maximise/restore, close, help, custom) at the right. It
// drags its window, maximises on a double click and opens a small system menu. The form
// frame (dvxform.h) owns one and borrows its pictures for the window frame and region.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/controls/extctrls.h"
#include "platform/core/classes.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxmenu.h"

namespace skinctrl {

enum TdvxTitleBarBtnType : std::uint8_t { dvxMax, dvxMin, dvxClose, dvxHelp, dvxControlBox, dvxCustom };
enum TdvxTitleBarAlign : std::uint8_t { dvxLeft, dvxRight, dvxClient };
using TdvxTitleBarButtonClickEvent = std::function<void(platform::TObject* sender, int buttonIndex)>;

// Asked of a title bar's parent form: how far the bar's pictures reach out into the window
// frame (0 from a form without a skinned frame).
constexpr platform::UINT DVXM_TITLEINSET = 0x26C3;

class TdvxTitleBar;

class TdvxTitleBarSection : public platform::TCollectionItem {
public:
    explicit TdvxTitleBarSection(platform::TCollection* collection);
    void Assign(platform::TPersistent* source) override;

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    int Width() const { return width_; }
    void SetWidth(int value);
    TdvxTitleBarAlign Align() const { return align_; }
    // A second dvxClient section is refused with a message; the section keeps its value.
    void SetAlign(TdvxTitleBarAlign value);
    platform::TPicture* Picture() const { return picture_.get(); }
    void SetPicture(platform::TPicture* value);
    // The picture as a bitmap (null without a graphic).
    TBitmap* Bitmap() const;
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool CapSec() const { return capSec_; }
    void SetCapSec(bool value);

private:
    void Repaint();
    std::unique_ptr<platform::TPicture> picture_;
    bool autoSize_ = false;
    int width_ = 10;
    TdvxTitleBarAlign align_ = dvxLeft;
    bool stretch_ = false;
    bool capSec_ = false;
};

class TdvxTitleBarButton : public platform::TCollectionItem {
public:
    explicit TdvxTitleBarButton(platform::TCollection* collection);
    void Assign(platform::TPersistent* source) override;

    TdvxUIStyle UIStyle() const { return uiStyle_; }
    void SetUIStyle(TdvxUIStyle value);
    TdvxTitleBarBtnType ButtonType() const { return type_; }
    // A second control box is refused with a message; the button keeps its type.
    void SetButtonType(TdvxTitleBarBtnType value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    int Top() const { return top_; }
    void SetTop(int value);
    platform::TPopupMenu* ControlBoxMenu() const { return controlBoxMenu_; }
    void SetControlBoxMenu(platform::TPopupMenu* value) { controlBoxMenu_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    TBitmap* PicNormal() const { return pics_[0].get(); }
    TBitmap* PicMouseOn() const { return pics_[1].get(); }
    TBitmap* PicMouseDown() const { return pics_[2].get(); }

    // What a click does (maximise/restore, minimise, close, the control box's menu).
    void DoClick();
    // A maximise button shows the restore glyphs while its form is maximised.
    void ProcessMaxBtn();
    // Loads the glyph triple of the button's kind from the bar's style or skin.
    void UpdateUIStyle();

private:
    TdvxTitleBar* Bar() const;
    void LoadGlyphs(int first);
    void Repaint();
    TdvxUIStyle uiStyle_ = DeepBlue;
    TdvxTitleBarBtnType type_ = dvxCustom;
    bool transparent_ = false;
    int top_ = 2;
    platform::TPopupMenu* controlBoxMenu_ = nullptr;
    bool visible_ = true;
    std::unique_ptr<TBitmap> pics_[3];
};

class TdvxTitleBarSections : public platform::TCollection {
public:
    explicit TdvxTitleBarSections(TdvxTitleBar* bar);
    TdvxTitleBar* Bar() const { return bar_; }
    TdvxTitleBarSection* Add() { return static_cast<TdvxTitleBarSection*>(TCollection::Add()); }
    TdvxTitleBarSection* Items(int index) const { return static_cast<TdvxTitleBarSection*>(TCollection::Items(index)); }

protected:
    void Update(platform::TCollectionItem* item) override;

private:
    TdvxTitleBar* bar_;
};

class TdvxTitleBarButtons : public platform::TCollection {
public:
    explicit TdvxTitleBarButtons(TdvxTitleBar* bar);
    TdvxTitleBar* Bar() const { return bar_; }
    TdvxTitleBarButton* Add() { return static_cast<TdvxTitleBarButton*>(TCollection::Add()); }
    TdvxTitleBarButton* Items(int index) const { return static_cast<TdvxTitleBarButton*>(TCollection::Items(index)); }

protected:
    void Update(platform::TCollectionItem* item) override;

private:
    TdvxTitleBar* bar_;
};

// The system menu: "Mi&nimize", "Ma&ximize/Restore", "-", "&Close", each enabled when the
// bar shows a button of that kind.
class TdvxTitleBarPopupMenu : public TdvxPopupMenu {
public:
    TdvxTitleBarPopupMenu(platform::TComponent* owner, TdvxTitleBar* bar);
    void Popup(int x, int y) override;
    platform::TMenuItem* MinimizeItem() const { return minimize_; }
    platform::TMenuItem* MaximizeItem() const { return maximize_; }
    platform::TMenuItem* CloseItem() const { return close_; }

private:
    void OnMin(platform::TObject* sender);
    void OnMax(platform::TObject* sender);
    void OnClose(platform::TObject* sender);
    TdvxTitleBar* bar_;
    platform::TMenuItem* minimize_ = nullptr;
    platform::TMenuItem* maximize_ = nullptr;
    platform::TMenuItem* close_ = nullptr;
};

class TdvxTitleBar : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxTitleBar(platform::TComponent* owner);
    ~TdvxTitleBar() override;
    void Dispatch(platform::TMessage& message) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

    bool Custom() const { return custom_; }
    void SetCustom(bool value) { custom_ = value; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    TdvxTitleBarSections* Sections() const { return sections_.get(); }
    TdvxTitleBarButtons* Buttons() const { return buttons_.get(); }
    int ButtonInterval() const { return buttonInterval_; }
    void SetButtonInterval(int value);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    bool FormActive() const { return formActive_; }
    void SetFormActive(bool value);
    void SetActive(bool value) { SetFormActive(value); }
    int LeftBtnXOffset() const { return leftBtnXOffset_; }
    void SetLeftBtnXOffset(int value);
    int RightBtnXOffset() const { return rightBtnXOffset_; }
    void SetRightBtnXOffset(int value);
    bool DrawAppIcon() const { return drawAppIcon_; }
    void SetDrawAppIcon(bool value);
    int RoundCorner() const { return roundCorner_; }
    void SetRoundCorner(int value) { roundCorner_ = value; }
    int RoundCornerBottom() const { return roundCornerBottom_; }
    void SetRoundCornerBottom(int value) { roundCornerBottom_ = value; }
    TColor InactiveCaptionColor() const { return inactiveCaptionColor_; }
    void SetInactiveCaptionColor(TColor value);
    TdvxTitleBarPopupMenu* SystemMenu() const { return systemMenu_; }

    TdvxTitleBarButtonClickEvent OnCustomBtnsClick;
    TdvxTitleBarButtonClickEvent OnHelpBtnClick;

    // The form the bar sits on (null when none).
    platform::TCustomForm* ParentForm() const;
    // The parent is a skinned form frame.
    bool InForm() const;
    // Exactly three or five sections, each with a picture.
    bool CanPaint() const;
    // -1: the full title image, -2: the frame image, else the picture of section index
    // (only with more than two sections); null when there is none.
    TBitmap* GetTitleImage(int index) const;
    // Paints at once.
    void ForcePaint();
    void ProcessMaxBtn();
    void AddHelpBtn();
    // The index of the button under the pointer at the last paint, -1 for none.
    int HotIndex() const { return hotIndex_; }
    bool Pressed() const { return pressed_; }
    int ButtonTop() const { return buttonTop_; }
    int IconTop() const { return iconTop_; }
    // Where each button was drawn at the last paint (bar coordinates; empty when hidden).
    platform::TRect ButtonRect(int index) const;
    // The caption as drawn at the last paint, and its left edge and top.
    const std::string& DrawnCaption() const { return drawnCaption_; }
    platform::TPoint CaptionPos() const { return captionPos_; }
    TColor TransparentColor() const { return transColor_; }
    TColor BackgroundColor() const { return bgColor_; }
    bool FiveSections() const { return fiveSect_; }
    // The 16 x 16 program icon the bar draws (made once).
    TBitmap* AppIcon();

    // Applies the style again (after the bar moved into or out of a frame).
    void ReapplyStyle() {
        UIStyleChanged();
        Refreshed();
    }
    // Sections and buttons ask for a repaint through this.
    void Changed();

    virtual void DrawSectionsTo(TBitmap* buffer);
    virtual void DrawButtons(TBitmap* buffer);

protected:
    void UIStyleChanged() override;
    void PaintBuffer(platform::TCanvas* canvas) override;
    void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void MouseMove(platform::TShiftState shift, int x, int y) override;
    void MouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void DblClick() override;

private:
    void UpdateInsideTheme(TdvxUIStyle style);
    void UpdateFileTheme();
    int TitleInset() const;
    bool RightToLeftCaption() const;

    std::unique_ptr<TdvxTitleBarSections> sections_;
    std::unique_ptr<TdvxTitleBarButtons> buttons_;
    TdvxTitleBarPopupMenu* systemMenu_ = nullptr;  // owned as a component
    std::unique_ptr<TBitmap> fullTitle_, frameTitle_;
    std::unique_ptr<TBitmap> appIcon_;
    bool custom_ = false;
    bool autoSize_ = false;
    int buttonInterval_ = 0;
    std::string caption_;
    bool formActive_ = true;
    int leftBtnXOffset_ = 0, rightBtnXOffset_ = 0;
    bool drawAppIcon_ = true;
    int roundCorner_ = 0, roundCornerBottom_ = 0;
    TColor inactiveCaptionColor_ = platform::clInactiveCaption;
    bool fiveSect_ = false;
    std::string shortCaption_;
    std::string drawnCaption_;
    platform::TPoint captionPos_;
    TColor bgColor_ = 0, transColor_ = 0;
    bool pressed_ = false;
    int hotIndex_ = -1;
    int buttonHeight_ = 0, buttonTop_ = 0, iconTop_ = 0, captionTop_ = 0;
    std::vector<platform::TRect> buttonRects_;
    bool applyingFileTheme_ = false;
};

}  // namespace skinctrl
