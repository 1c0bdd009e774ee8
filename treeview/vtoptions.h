#pragma once
// The tree's companion objects: the option sets (TreeOptions), the colour table (Colors)
// and the scroll-bar options. Each knows its tree and tells it what to refresh when a
// value changes.
#include <cstdint>

#include "platform/core/classes.h"
#include "platform/graphics/graphics.h"

namespace treeview {

class TBaseVastTree;

enum TVTAnimationOption : std::uint8_t { toAnimatedToggle = 1u << 0 };
using TVTAnimationOptions = std::uint8_t;

enum TVTAutoOption : std::uint16_t {
    toAutoDropExpand = 1u << 0,
    toAutoExpand = 1u << 1,
    toAutoScroll = 1u << 2,
    toAutoScrollOnExpand = 1u << 3,
    toAutoSort = 1u << 4,
    toAutoSpanColumns = 1u << 5,
    toAutoTristateTracking = 1u << 6,
    toAutoHideButtons = 1u << 7,
    toAutoDeleteMovedNodes = 1u << 8,
    toDisableAutoscrollOnFocus = 1u << 9,
    toAutoChangeScale = 1u << 10,
    toAutoFreeOnCollapse = 1u << 11,
    toDisableAutoscrollOnEdit = 1u << 12,
    toAutoBidiColumnOrdering = 1u << 13,
};
using TVTAutoOptions = std::uint16_t;

enum TVTMiscOption : std::uint16_t {
    toAcceptOLEDrop = 1u << 0,
    toCheckSupport = 1u << 1,
    toEditable = 1u << 2,
    toFullRepaintOnResize = 1u << 3,
    toGridExtensions = 1u << 4,
    toInitOnSave = 1u << 5,
    toReportMode = 1u << 6,
    toToggleOnDblClick = 1u << 7,
    toWheelPanning = 1u << 8,
    toReadOnly = 1u << 9,
    toVariableNodeHeight = 1u << 10,
    toFullRowDrag = 1u << 11,
};
using TVTMiscOptions = std::uint16_t;

enum TVTPaintOption : std::uint32_t {
    toHideFocusRect = 1u << 0,
    toHideSelection = 1u << 1,
    toHotTrack = 1u << 2,
    toPopupMode = 1u << 3,
    toShowBackground = 1u << 4,
    toShowButtons = 1u << 5,
    toShowDropmark = 1u << 6,
    toShowHorzGridLines = 1u << 7,
    toShowRoot = 1u << 8,
    toShowTreeLines = 1u << 9,
    toShowVertGridLines = 1u << 10,
    toThemeAware = 1u << 11,
    toUseBlendedImages = 1u << 12,
    toGhostedIfUnfocused = 1u << 13,
    toFullVertGridLines = 1u << 14,
    toAlwaysHideSelection = 1u << 15,
    toUseBlendedSelection = 1u << 16,
    toStaticBackground = 1u << 17,
};
using TVTPaintOptions = std::uint32_t;

enum TVTSelectionOption : std::uint16_t {
    toDisableDrawSelection = 1u << 0,
    toExtendedFocus = 1u << 1,
    toFullRowSelect = 1u << 2,
    toLevelSelectConstraint = 1u << 3,
    toMiddleClickSelect = 1u << 4,
    toMultiSelect = 1u << 5,
    toRightClickSelect = 1u << 6,
    toSiblingSelectConstraint = 1u << 7,
    toCenterScrollIntoView = 1u << 8,
    toSimpleDrawSelection = 1u << 9,
};
using TVTSelectionOptions = std::uint16_t;

enum TVTStringOption : std::uint8_t {
    toSaveCaptions = 1u << 0,
    toShowStaticText = 1u << 1,
    toAutoAcceptEditChange = 1u << 2,
};
using TVTStringOptions = std::uint8_t;

constexpr TVTAutoOptions DefaultAutoOptions =
    toAutoDropExpand | toAutoScrollOnExpand | toAutoTristateTracking | toAutoDeleteMovedNodes;
constexpr TVTMiscOptions DefaultMiscOptions =
    toAcceptOLEDrop | toFullRepaintOnResize | toInitOnSave | toToggleOnDblClick | toWheelPanning;
constexpr TVTPaintOptions DefaultPaintOptions =
    toShowButtons | toShowDropmark | toShowRoot | toShowTreeLines | toThemeAware | toUseBlendedImages;
constexpr TVTStringOptions DefaultStringOptions = toSaveCaptions | toAutoAcceptEditChange;

class TCustomVastTreeOptions : public platform::TPersistent {
public:
    explicit TCustomVastTreeOptions(TBaseVastTree* owner);

    TBaseVastTree* Owner() const { return owner_; }
    TVTAnimationOptions AnimationOptions() const { return animationOptions_; }
    TVTAutoOptions AutoOptions() const { return autoOptions_; }
    TVTMiscOptions MiscOptions() const { return miscOptions_; }
    TVTPaintOptions PaintOptions() const { return paintOptions_; }
    TVTSelectionOptions SelectionOptions() const { return selectionOptions_; }
    void SetAnimationOptions(TVTAnimationOptions value);
    void SetAutoOptions(TVTAutoOptions value);
    void SetMiscOptions(TVTMiscOptions value);
    void SetPaintOptions(TVTPaintOptions value);
    void SetSelectionOptions(TVTSelectionOptions value);

protected:
    void AssignTo(platform::TPersistent* dest) override;

private:
    TBaseVastTree* owner_;
    TVTPaintOptions paintOptions_ = DefaultPaintOptions;
    TVTAnimationOptions animationOptions_ = 0;
    TVTAutoOptions autoOptions_ = DefaultAutoOptions;
    TVTSelectionOptions selectionOptions_ = 0;
    TVTMiscOptions miscOptions_ = DefaultMiscOptions;
};

class TVastTreeOptions : public TCustomVastTreeOptions {
public:
    using TCustomVastTreeOptions::TCustomVastTreeOptions;
};

class TCustomStringTreeOptions : public TCustomVastTreeOptions {
public:
    explicit TCustomStringTreeOptions(TBaseVastTree* owner) : TCustomVastTreeOptions(owner) {}
    TVTStringOptions StringOptions() const { return stringOptions_; }
    void SetStringOptions(TVTStringOptions value);

protected:
    void AssignTo(platform::TPersistent* dest) override;

private:
    TVTStringOptions stringOptions_ = DefaultStringOptions;
};

class TStringTreeOptions : public TCustomStringTreeOptions {
public:
    using TCustomStringTreeOptions::TCustomStringTreeOptions;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TScrollBarStyle { sbmRegular, sbmFlat, sbm3D };

class TScrollBarOptions : public platform::TPersistent {
public:
    explicit TScrollBarOptions(TBaseVastTree* owner) : owner_(owner) {}
    void Assign(platform::TPersistent* source) override;

    bool AlwaysVisible() const { return alwaysVisible_; }
    void SetAlwaysVisible(bool value);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    TScrollBarStyle ScrollBarStyle() const { return scrollBarStyle_; }
    // Only sbmRegular is supported; the others raise and leave the value alone.
    void SetScrollBarStyle(TScrollBarStyle value);
    // 1..10000; values outside are brought into the range.
    int HorizontalIncrement() const { return horizontalIncrement_; }
    void SetHorizontalIncrement(int value);
    int VerticalIncrement() const { return verticalIncrement_; }
    void SetVerticalIncrement(int value);

private:
    bool alwaysVisible_ = false;
    TBaseVastTree* owner_;
    TScrollStyle scrollBars_ = ssBoth;
    TScrollBarStyle scrollBarStyle_ = sbmRegular;
    std::uint16_t horizontalIncrement_ = 20;
    std::uint16_t verticalIncrement_ = 20;
};

class TVTColors : public platform::TPersistent {
public:
    enum Index {
        DisabledColor,
        DropMarkColor,
        DropTargetColor,
        FocusedSelectionColor,
        GridLineColor,
        TreeLineColor,
        UnfocusedSelectionColor,
        BorderColor,
        HotColor,
        FocusedSelectionBorderColor,
        UnfocusedSelectionBorderColor,
        DropTargetBorderColor,
        SelectionRectangleBlendColor,
        SelectionRectangleBorderColor,
        HeaderHotColor,
        Count
    };
    explicit TVTColors(TBaseVastTree* owner);
    void Assign(platform::TPersistent* source) override;
    // An index outside the table reads clNone and is ignored when set.
    platform::TColor GetColor(int index) const;
    void SetColor(int index, platform::TColor value);

private:
    TBaseVastTree* owner_;
    platform::TColor colors_[Count];
};

}  // namespace treeview
