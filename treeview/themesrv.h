#pragma once
// Theme services: the layer between the tree's drawing and a platform visual-styles
// library. It decides whether themed drawing is in force, keeps one theme handle per
// kind of control, turns the element enumerations into part and state numbers and
// draws an element. No visual-styles library exists on this platform: loading it fails,
// themes are reported as not available and every caller takes the classic drawing
// path; the interface stays so that a themed look can be added later.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/core/wintypes.h"
#include "platform/graphics/graphics.h"

namespace treeview {

// The kinds of control, each with the theme class name its handle is opened under.
enum TThemedElement : std::uint8_t {
    teButton,
    teClock,
    teComboBox,
    teEdit,
    teExplorerBar,
    teHeader,
    teListView,
    teMenu,
    tePage,
    teProgress,
    teRebar,
    teScrollBar,
    teSpin,
    teStartPanel,
    teStatus,
    teTab,
    teTaskBand,
    teTaskBar,
    teToolBar,
    teToolTip,
    teTrackBar,
    teTrayNotify,
    teTreeview,
    teWindow,
};
constexpr int ThemedElementCount = 24;
const char* ThemeClassName(TThemedElement element);

struct TThemedElementDetails {
    TThemedElement Element;
    std::int32_t Part;   // 0 for the whole control
    std::int32_t State;  // counted from 1 within the part
};

// The element enumerations: a DontCare and a Root member (part 0), then one run of
// members per part, the members of a run being the part's states in order.
enum TThemedButton {
    tbButtonDontCare,
    tbButtonRoot,
    tbPushButtonNormal,
    tbPushButtonHot,
    tbPushButtonPressed,
    tbPushButtonDisabled,
    tbPushButtonDefaulted,
    tbRadioButtonUncheckedNormal,
    tbRadioButtonUncheckedHot,
    tbRadioButtonUncheckedPressed,
    tbRadioButtonUncheckedDisabled,
    tbRadioButtonCheckedNormal,
    tbRadioButtonCheckedHot,
    tbRadioButtonCheckedPressed,
    tbRadioButtonCheckedDisabled,
    tbCheckBoxUncheckedNormal,
    tbCheckBoxUncheckedHot,
    tbCheckBoxUncheckedPressed,
    tbCheckBoxUncheckedDisabled,
    tbCheckBoxCheckedNormal,
    tbCheckBoxCheckedHot,
    tbCheckBoxCheckedPressed,
    tbCheckBoxCheckedDisabled,
    tbCheckBoxMixedNormal,
    tbCheckBoxMixedHot,
    tbCheckBoxMixedPressed,
    tbCheckBoxMixedDisabled,
    tbGroupBoxNormal,
    tbGroupBoxDisabled,
    tbUserButton,
};
enum TThemedClock {
    tcClockDontCare,
    tcClockRoot,
    tcTimeNormal,
};
enum TThemedComboBox {
    tcComboBoxDontCare,
    tcComboBoxRoot,
    tcDropDownButtonNormal,
    tcDropDownButtonHot,
    tcDropDownButtonPressed,
    tcDropDownButtonDisabled,
};
enum TThemedEdit {
    teEditDontCare,
    teEditRoot,
    teEditTextNormal,
    teEditTextHot,
    teEditTextSelected,
    teEditTextDisabled,
    teEditTextFocused,
    teEditTextReadOnly,
    teEditTextAssist,
    teEditCaret,
};
enum TThemedExplorerBar {
    tebExplorerBarDontCare,
    tebExplorerBarRoot,
    tebHeaderBackgroundNormal,
    tebHeaderBackgroundHot,
    tebHeaderBackgroundPressed,
    tebHeaderCloseNormal,
    tebHeaderCloseHot,
    tebHeaderClosePressed,
    tebHeaderPinNormal,
    tebHeaderPinHot,
    tebHeaderPinPressed,
    tebHeaderPinSelectedNormal,
    tebHeaderPinSelectedHot,
    tebHeaderPinSelectedPressed,
    tebIEBarMenuNormal,
    tebIEBarMenuHot,
    tebIEBarMenuPressed,
    tebNormalGroupBackground,
    tebNormalGroupCollapseNormal,
    tebNormalGroupCollapseHot,
    tebNormalGroupCollapsePressed,
    tebNormalGroupExpandNormal,
    tebNormalGroupExpandHot,
    tebNormalGroupExpandPressed,
    tebNormalGroupHead,
    tebSpecialGroupBackground,
    tebSpecialGroupCollapseSpecial,
    tebSpecialGroupCollapseHot,
    tebSpecialGroupCollapsePressed,
    tebSpecialGroupExpandSpecial,
    tebSpecialGroupExpandHot,
    tebSpecialGroupExpandPressed,
    tebSpecialGroupHead,
};
enum TThemedHeader {
    thHeaderDontCare,
    thHeaderRoot,
    thHeaderItemNormal,
    thHeaderItemHot,
    thHeaderItemPressed,
    thHeaderItemLeftNormal,
    thHeaderItemLeftHot,
    thHeaderItemLeftPressed,
    thHeaderItemRightNormal,
    thHeaderItemRightHot,
    thHeaderItemRightPressed,
    thHeaderSortArrowSortedUp,
    thHeaderSortArrowSortedDown,
};
enum TThemedListview {
    tlListviewDontCare,
    tlListviewRoot,
    tlListItemNormal,
    tlListItemHot,
    tlListItemSelected,
    tlListItemDisabled,
    tlListItemSelectedNotFocus,
    tlListGroup,
    tlListDetail,
    tlListSortDetail,
    tlEmptyText,
};
enum TThemedMenu {
    tmMenuDontCare,
    tmMenuRoot,
    tmMenuItemNormal,
    tmMenuItemSelected,
    tmMenuItemDemoted,
    tmMenuDropDown,
    tmMenuBarItem,
    tmMenuBarDropDown,
    tmChevron,
    tmSeparator,
};
enum TThemedPage {
    tpPageDontCare,
    tpPageRoot,
    tpUpNormal,
    tpUpHot,
    tpUpPressed,
    tpUpDisabled,
    tpDownNormal,
    tpDownHot,
    tpDownPressed,
    tpDownDisabled,
    tpUpHorzNormal,
    tpUpHorzHot,
    tpUpHorzPressed,
    tpUpHorzDisabled,
    tpDownHorzNormal,
    tpDownHorzHot,
    tpDownHorzPressed,
    tpDownHorzDisabled,
};
enum TThemedProgress {
    tpProgressDontCare,
    tpProgressRoot,
    tpBar,
    tpBarVert,
    tpChunk,
    tpChunkVert,
};
enum TThemedRebar {
    trRebarDontCare,
    trRebarRoot,
    trGripper,
    trGripperVert,
    trBandNormal,
    trBandHot,
    trBandPressed,
    trBandDisabled,
    trBandChecked,
    trBandHotChecked,
    trChevronNormal,
    trChevronHot,
    trChevronPressed,
    trChevronDisabled,
    trChevronVertNormal,
    trChevronVertHot,
    trChevronVertPressed,
    trChevronVertDisabled,
};
enum TThemedScrollBar {
    tsScrollBarDontCare,
    tsScrollBarRoot,
    tsArrowBtnUpNormal,
    tsArrowBtnUpHot,
    tsArrowBtnUpPressed,
    tsArrowBtnUpDisabled,
    tsArrowBtnDownNormal,
    tsArrowBtnDownHot,
    tsArrowBtnDownPressed,
    tsArrowBtnDownDisabled,
    tsArrowBtnLeftNormal,
    tsArrowBtnLeftHot,
    tsArrowBtnLeftPressed,
    tsArrowBtnLeftDisabled,
    tsArrowBtnRightNormal,
    tsArrowBtnRightHot,
    tsArrowBtnRightPressed,
    tsArrowBtnRightDisabled,
    tsThumbBtnHorzNormal,
    tsThumbBtnHorzHot,
    tsThumbBtnHorzPressed,
    tsThumbBtnHorzDisabled,
    tsThumbBtnVertNormal,
    tsThumbBtnVertHot,
    tsThumbBtnVertPressed,
    tsThumbBtnVertDisabled,
    tsLowerTrackHorzNormal,
    tsLowerTrackHorzHot,
    tsLowerTrackHorzPressed,
    tsLowerTrackHorzDisabled,
    tsUpperTrackHorzNormal,
    tsUpperTrackHorzHot,
    tsUpperTrackHorzPressed,
    tsUpperTrackHorzDisabled,
    tsLowerTrackVertNormal,
    tsLowerTrackVertHot,
    tsLowerTrackVertPressed,
    tsLowerTrackVertDisabled,
    tsUpperTrackVertNormal,
    tsUpperTrackVertHot,
    tsUpperTrackVertPressed,
    tsUpperTrackVertDisabled,
    tsGripperHorzNormal,
    tsGripperHorzHot,
    tsGripperHorzPressed,
    tsGripperHorzDisabled,
    tsGripperVertNormal,
    tsGripperVertHot,
    tsGripperVertPressed,
    tsGripperVertDisabled,
    tsSizeBoxRightAlign,
    tsSizeBoxLeftAlign,
};
enum TThemedSpin {
    tsSpinDontCare,
    tsSpinRoot,
    tsUpNormal,
    tsUpHot,
    tsUpPressed,
    tsUpDisabled,
    tsDownNormal,
    tsDownHot,
    tsDownPressed,
    tsDownDisabled,
    tsUpHorzNormal,
    tsUpHorzHot,
    tsUpHorzPressed,
    tsUpHorzDisabled,
    tsDownHorzNormal,
    tsDownHorzHot,
    tsDownHorzPressed,
    tsDownHorzDisabled,
};
enum TThemedStartPanel {
    tspStartPanelDontCare,
    tspStartPanelRoot,
    tspUserPane,
    tspMorePrograms,
    tspMoreProgramsArrowNormal,
    tspMoreProgramsArrowHot,
    tspMoreProgramsArrowPressed,
    tspProgList,
    tspProgListSeparator,
    tspPlacesList,
    tspPlacesListSeparator,
    tspLogOff,
    tspLogOffButtonsNormal,
    tspLogOffButtonsHot,
    tspLogOffButtonsPressed,
    tspUserPicture,
    tspPreview,
};
enum TThemedStatus {
    tsStatusDontCare,
    tsStatusRoot,
    tsPane,
    tsGripperPane,
    tsGripper,
};
enum TThemedTab {
    ttTabDontCare,
    ttTabRoot,
    ttTabItemNormal,
    ttTabItemHot,
    ttTabItemSelected,
    ttTabItemDisabled,
    ttTabItemFocused,
    ttTabItemLeftEdgeNormal,
    ttTabItemLeftEdgeHot,
    ttTabItemLeftEdgeSelected,
    ttTabItemLeftEdgeDisabled,
    ttTabItemLeftEdgeFocused,
    ttTabItemRightEdgeNormal,
    ttTabItemRightEdgeHot,
    ttTabItemRightEdgeSelected,
    ttTabItemRightEdgeDisabled,
    ttTabItemRightEdgeFocused,
    ttTabItemBothEdgeNormal,
    ttTabItemBothEdgeHot,
    ttTabItemBothEdgeSelected,
    ttTabItemBothEdgeDisabled,
    ttTabItemBothEdgeFocused,
    ttTopTabItemNormal,
    ttTopTabItemHot,
    ttTopTabItemSelected,
    ttTopTabItemDisabled,
    ttTopTabItemFocused,
    ttTopTabItemLeftEdgeNormal,
    ttTopTabItemLeftEdgeHot,
    ttTopTabItemLeftEdgeSelected,
    ttTopTabItemLeftEdgeDisabled,
    ttTopTabItemLeftEdgeFocused,
    ttTopTabItemRightEdgeNormal,
    ttTopTabItemRightEdgeHot,
    ttTopTabItemRightEdgeSelected,
    ttTopTabItemRightEdgeDisabled,
    ttTopTabItemRightEdgeFocused,
    ttTopTabItemBothEdgeNormal,
    ttTopTabItemBothEdgeHot,
    ttTopTabItemBothEdgeSelected,
    ttTopTabItemBothEdgeDisabled,
    ttTopTabItemBothEdgeFocused,
    ttPane,
    ttBody,
};
enum TThemedTaskBand {
    ttbTaskBandDontCare,
    ttbTaskBandRoot,
    ttbGroupCount,
    ttbFlashButton,
    ttpFlashButtonGroupMenu,
};
enum TThemedTaskBar {
    ttTaskBarDontCare,
    ttTaskBarRoot,
    ttbTimeNormal,
};
enum TThemedToolBar {
    ttbToolBarDontCare,
    ttbToolBarRoot,
    ttbButtonNormal,
    ttbButtonHot,
    ttbButtonPressed,
    ttbButtonDisabled,
    ttbButtonChecked,
    ttbButtonCheckedHot,
    ttbDropDownButtonNormal,
    ttbDropDownButtonHot,
    ttbDropDownButtonPressed,
    ttbDropDownButtonDisabled,
    ttbDropDownButtonChecked,
    ttbDropDownButtonCheckedHot,
    ttbSplitButtonNormal,
    ttbSplitButtonHot,
    ttbSplitButtonPressed,
    ttbSplitButtonDisabled,
    ttbSplitButtonChecked,
    ttbSplitButtonCheckedHot,
    ttbSplitButtonDropDownNormal,
    ttbSplitButtonDropDownHot,
    ttbSplitButtonDropDownPressed,
    ttbSplitButtonDropDownDisabled,
    ttbSplitButtonDropDownChecked,
    ttbSplitButtonDropDownCheckedHot,
    ttbSeparatorNormal,
    ttbSeparatorHot,
    ttbSeparatorPressed,
    ttbSeparatorDisabled,
    ttbSeparatorChecked,
    ttbSeparatorCheckedHot,
    ttbSeparatorVertNormal,
    ttbSeparatorVertHot,
    ttbSeparatorVertPressed,
    ttbSeparatorVertDisabled,
    ttbSeparatorVertChecked,
    ttbSeparatorVertCheckedHot,
};
enum TThemedToolTip {
    tttToolTipDontCare,
    tttToolTipRoot,
    tttStandardNormal,
    tttStandardLink,
    tttStandardTitleNormal,
    tttStandardTitleLink,
    tttBaloonNormal,
    tttBaloonLink,
    tttBaloonTitleNormal,
    tttBaloonTitleLink,
    tttCloseNormal,
    tttCloseHot,
    tttClosePressed,
};
enum TThemedTrackBar {
    ttbTrackBarDontCare,
    ttbTrackBarRoot,
    ttbTrack,
    ttbTrackVert,
    ttbThumbNormal,
    ttbThumbHot,
    ttbThumbPressed,
    ttbThumbFocused,
    ttbThumbDisabled,
    ttbThumbBottomNormal,
    ttbThumbBottomHot,
    ttbThumbBottomPressed,
    ttbThumbBottomFocused,
    ttbThumbBottomDisabled,
    ttbThumbTopNormal,
    ttbThumbTopHot,
    ttbThumbTopPressed,
    ttbThumbTopFocused,
    ttbThumbTopDisabled,
    ttbThumbVertNormal,
    ttbThumbVertHot,
    ttbThumbVertPressed,
    ttbThumbVertFocused,
    ttbThumbVertDisabled,
    ttbThumbLeftNormal,
    ttbThumbLeftHot,
    ttbThumbLeftPressed,
    ttbThumbLeftFocused,
    ttbThumbLeftDisabled,
    ttbThumbRightNormal,
    ttbThumbRightHot,
    ttbThumbRightPressed,
    ttbThumbRightFocused,
    ttbThumbRightDisabled,
    ttbThumbTics,
    ttbThumbTicsVert,
};
enum TThemedTrayNotify {
    ttnTrayNotifyDontCare,
    ttnTrayNotifyRoot,
    ttnBackground,
    ttnAnimBackground,
};
enum TThemedTreeview {
    ttTreeviewDontCare,
    ttTreeviewRoot,
    ttItemNormal,
    ttItemHot,
    ttItemSelected,
    ttItemDisabled,
    ttItemSelectedNotFocus,
    ttGlyphClosed,
    ttGlyphOpened,
    ttBranch,
};
enum TThemedWindow {
    twWindowDontCare,
    twWindowRoot,
    twCaptionActive,
    twCaptionInactive,
    twCaptionDisabled,
    twSmallCaptionActive,
    twSmallCaptionInactive,
    twSmallCaptionDisabled,
    twMinCaptionActive,
    twMinCaptionInactive,
    twMinCaptionDisabled,
    twSmallMinCaptionActive,
    twSmallMinCaptionInactive,
    twSmallMinCaptionDisabled,
    twMaxCaptionActive,
    twMaxCaptionInactive,
    twMaxCaptionDisabled,
    twSmallMaxCaptionActive,
    twSmallMaxCaptionInactive,
    twSmallMaxCaptionDisabled,
    twFrameLeftActive,
    twFrameLeftInactive,
    twFrameRightActive,
    twFrameRightInactive,
    twFrameBottomActive,
    twFrameBottomInactive,
    twSmallFrameLeftActive,
    twSmallFrameLeftInactive,
    twSmallFrameRightActive,
    twSmallFrameRightInactive,
    twSmallFrameBottomActive,
    twSmallFrameBottomInactive,
    twSysButtonNormal,
    twSysButtonHot,
    twSysButtonPushed,
    twSysButtonDisabled,
    twSysButtonInactive,
    twMDISysButtonNormal,
    twMDISysButtonHot,
    twMDISysButtonPushed,
    twMDISysButtonDisabled,
    twMDISysButtonInactive,
    twMinButtonNormal,
    twMinButtonHot,
    twMinButtonPushed,
    twMinButtonDisabled,
    twMinButtonInactive,
    twMDIMinButtonNormal,
    twMDIMinButtonHot,
    twMDIMinButtonPushed,
    twMDIMinButtonDisabled,
    twMDIMinButtonInactive,
    twMaxButtonNormal,
    twMaxButtonHot,
    twMaxButtonPushed,
    twMaxButtonDisabled,
    twMaxButtonInactive,
    twCloseButtonNormal,
    twCloseButtonHot,
    twCloseButtonPushed,
    twCloseButtonDisabled,
    twCloseButtonInactive,
    twSmallCloseButtonNormal,
    twSmallCloseButtonHot,
    twSmallCloseButtonPushed,
    twSmallCloseButtonDisabled,
    twSmallCloseButtonInactive,
    twMDICloseButtonNormal,
    twMDICloseButtonHot,
    twMDICloseButtonPushed,
    twMDICloseButtonDisabled,
    twMDICloseButtonInactive,
    twRestoreButtonNormal,
    twRestoreButtonHot,
    twRestoreButtonPushed,
    twRestoreButtonDisabled,
    twRestoreButtonInactive,
    twMDIRestoreButtonNormal,
    twMDIRestoreButtonHot,
    twMDIRestoreButtonPushed,
    twMDIRestoreButtonDisabled,
    twMDIRestoreButtonInactive,
    twHelpButtonNormal,
    twHelpButtonHot,
    twHelpButtonPushed,
    twHelpButtonDisabled,
    twHelpButtonInactive,
    twMDIHelpButtonNormal,
    twMDIHelpButtonHot,
    twMDIHelpButtonPushed,
    twMDIHelpButtonDisabled,
    twMDIHelpButtonInactive,
    twHorzScrollNormal,
    twHorzScrollHot,
    twHorzScrollPushed,
    twHorzScrollDisabled,
    twHorzThumbNormal,
    twHorzThumbHot,
    twHorzThumbPushed,
    twHorzThumbDisabled,
    twVertScrollNormal,
    twVertScrollHot,
    twVertScrollPushed,
    twVertScrollDisabled,
    twVertThumbNormal,
    twVertThumbHot,
    twVertThumbPushed,
    twVertThumbDisabled,
    twDialog,
    twCaptionSizingTemplate,
    twSmallCaptionSizingTemplate,
    twFrameLeftSizingTemplate,
    twSmallFrameLeftSizingTemplate,
    twFrameRightSizingTemplate,
    twSmallFrameRightSizingTemplate,
    twFrameBottomSizingTemplate,
    twSmallFrameBottomSizingTemplate,
};

TThemedElementDetails GetElementDetails(TThemedButton value);
TThemedElementDetails GetElementDetails(TThemedClock value);
TThemedElementDetails GetElementDetails(TThemedComboBox value);
TThemedElementDetails GetElementDetails(TThemedEdit value);
TThemedElementDetails GetElementDetails(TThemedExplorerBar value);
TThemedElementDetails GetElementDetails(TThemedHeader value);
TThemedElementDetails GetElementDetails(TThemedListview value);
TThemedElementDetails GetElementDetails(TThemedMenu value);
TThemedElementDetails GetElementDetails(TThemedPage value);
TThemedElementDetails GetElementDetails(TThemedProgress value);
TThemedElementDetails GetElementDetails(TThemedRebar value);
TThemedElementDetails GetElementDetails(TThemedScrollBar value);
TThemedElementDetails GetElementDetails(TThemedSpin value);
TThemedElementDetails GetElementDetails(TThemedStartPanel value);
TThemedElementDetails GetElementDetails(TThemedStatus value);
TThemedElementDetails GetElementDetails(TThemedTab value);
TThemedElementDetails GetElementDetails(TThemedTaskBand value);
TThemedElementDetails GetElementDetails(TThemedTaskBar value);
TThemedElementDetails GetElementDetails(TThemedToolBar value);
TThemedElementDetails GetElementDetails(TThemedToolTip value);
TThemedElementDetails GetElementDetails(TThemedTrackBar value);
TThemedElementDetails GetElementDetails(TThemedTrayNotify value);
TThemedElementDetails GetElementDetails(TThemedTreeview value);
TThemedElementDetails GetElementDetails(TThemedWindow value);

// ---- the loader of the visual-styles library ----

// The export names bound when the library loads, in table order.
constexpr int ThemeEntryPointCount = 47;
const char* ThemeEntryPointName(int index);
// Takes one reference (also when loading fails); true when the library is loaded.
bool InitThemeLibrary();
// Drops one reference; the library goes with the last one.
void FreeThemeLibrary();
// The library is loaded and the application is themed with an active theme.
bool UseThemes();
int ThemeLibraryReferenceCount();
bool ThemeLibraryLoaded();
// An entry point by table index; nullptr while the library is not loaded.
void* ThemeEntryPoint(int index);

using HTHEME = void*;

class TThemeServices {
public:
    explicit TThemeServices(platform::HWND window);
    virtual ~TThemeServices();
    TThemeServices(const TThemeServices&) = delete;
    TThemeServices& operator=(const TThemeServices&) = delete;

    bool ThemesAvailable() const { return themesAvailable_; }
    // The one test callers make before themed drawing.
    bool GetThemesEnabled() const { return themesAvailable_ && useThemes_ && controlsEnabled_; }
    // The handle for one kind of control, opened on first use; 0 without themes.
    HTHEME GetTheme(TThemedElement element);
    void UpdateThemes();
    void UnloadThemeData();
    // Handles WM_THEMECHANGED (recomputes the flags, then DoOnThemeChange); true when
    // the message was one of the service's.
    bool WindowProc(platform::UINT msg);

    // Drawing and queries; without themes they draw nothing.
    void DrawElement(platform::HDC dc, const TThemedElementDetails& details, const platform::TRect& rect,
                     const platform::TRect* clip = nullptr);
    void DrawEdge(platform::HDC dc, const TThemedElementDetails& details, const platform::TRect& rect,
                  unsigned edge, unsigned flags, platform::TRect* contentRect = nullptr);
    void DrawIcon(platform::HDC dc, const TThemedElementDetails& details, const platform::TRect& rect,
                  void* imageList, int index);
    void DrawText(platform::HDC dc, const TThemedElementDetails& details, const std::string& text,
                  const platform::TRect& rect, unsigned flags, unsigned flags2);
    // The content area of an element's background; the bounds themselves without themes.
    platform::TRect ContentRect(platform::HDC dc, const TThemedElementDetails& details,
                                const platform::TRect& bounds);
    bool HasTransparentParts(const TThemedElementDetails& details);
    // A system colour (top bit set) through the theme when details are given; any
    // other colour unchanged.
    platform::TColor ColorToRGB(platform::TColor color, const TThemedElementDetails* details = nullptr);
    void DrawParentBackground(platform::HWND window, platform::HDC dc, const TThemedElementDetails* details,
                              bool onlyIfTransparent, const platform::TRect* bounds = nullptr);
    // Paints a themed client edge; nothing without themes or without the client-edge style.
    void PaintBorder(platform::HWND window, bool eraseLowerRightCorner);

    std::function<void(TThemeServices* sender)> OnThemeChange;

protected:
    virtual void DoOnThemeChange();

private:
    bool themesAvailable_ = false;
    bool useThemes_ = false;
    bool controlsEnabled_ = false;
    platform::HWND window_ = nullptr;
    HTHEME themes_[ThemedElementCount] = {};
};

// The process-wide services, created on first use.
TThemeServices* ThemeServices();

}  // namespace treeview
