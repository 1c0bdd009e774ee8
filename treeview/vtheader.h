#pragma once
// TVTHeader: the header row of a tree. It owns the columns, knows its height, style and
// options, the main, sort and auto-size columns, and reads and writes its own stream
// record. The mouse handling of the header and its painting come with the tree's
// window integration.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/classes.h"
#include "platform/core/streams.h"
#include "platform/controls/controls.h"
#include "platform/graphics/graphics.h"
#include "treeview/vtcolumns.h"

namespace platform {
class TPopupMenu;
}

namespace treeview {

enum TVTHeaderOption : std::uint16_t {
    hoAutoResize = 0x0001,
    hoColumnResize = 0x0002,
    hoDblClickResize = 0x0004,
    hoDrag = 0x0008,
    hoHotTrack = 0x0010,
    hoOwnerDraw = 0x0020,
    hoRestrictDrag = 0x0040,
    hoShowHint = 0x0080,
    hoShowImages = 0x0100,
    hoShowSortGlyphs = 0x0200,
    hoVisible = 0x0400,
    hoAutoSpring = 0x0800,
    hoFullRepaintOnResize = 0x1000,
    hoDisableAnimatedResize = 0x2000,
};
using TVTHeaderOptions = std::uint16_t;

enum TVTHeaderStyle { hsThickButtons, hsFlatButtons, hsPlates, hsXPStyle };
enum THeaderState : std::uint8_t {
    hsAutoSizing = 0x01,
    hsDragging = 0x02,
    hsDragPending = 0x04,
    hsLoading = 0x08,
    hsTracking = 0x10,
    hsTrackPending = 0x20,
};
using THeaderStates = std::uint8_t;
enum TSortDirection { sdAscending, sdDescending };

class TVTDragImage;

class TVTHeader : public platform::TPersistent {
public:
    explicit TVTHeader(TBaseVastTree* owner);
    ~TVTHeader() override;

    TBaseVastTree* Treeview() const { return owner_; }
    TVastTreeColumns* Columns() const { return columns_.get(); }
    int Height() const { return height_; }
    // The translucent picture of a dragged column that follows the mouse.
    TVTDragImage* DragImage() const { return dragImage_.get(); }
    void SetHeight(int value);
    platform::TFont* Font() const { return font_.get(); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value) { parentFont_ = value; }
    TVTHeaderOptions Options() const { return options_; }
    void SetOptions(TVTHeaderOptions value);
    THeaderStates States() const { return states_; }
    void SetStates(THeaderStates value) { states_ = value; }
    TVTHeaderStyle Style() const { return style_; }
    void SetStyle(TVTHeaderStyle value);
    platform::TColor Background() const { return background_; }
    void SetBackground(platform::TColor value);
    TColumnIndex AutoSizeIndex() const { return autoSizeIndex_; }
    void SetAutoSizeIndex(TColumnIndex value);
    // MainColumn while there are columns, else NoColumn.
    TColumnIndex GetMainColumn() const { return columns_->Count() > 0 ? mainColumn_ : NoColumn; }
    TColumnIndex MainColumn() const { return GetMainColumn(); }
    // Limited to the columns there are (-1 without columns).
    void SetMainColumn(TColumnIndex value);
    TColumnIndex SortColumn() const { return sortColumn_; }
    void SetSortColumn(TColumnIndex value);
    TSortDirection SortDirection() const { return sortDirection_; }
    void SetSortDirection(TSortDirection value);
    // With toAutoSort, sorts the tree by the sort column and direction.
    void AutoSortTree();
    // Images of the column captions (not owned).
    platform::TCustomImageList* Images() const { return images_; }
    void SetImages(platform::TCustomImageList* value);
    bool GetUseColumns() const { return columns_->Count() > 0; }
    bool AllowFocus(TColumnIndex column) const {
        return columns_->IsValidColumn(column) && (columns_->Items(column)->Options() & coAllowFocus);
    }
    // Shift, Alt and Ctrl as the keyboard holds them now.
    platform::TShiftState GetShiftState() const;
    // Repaints a column's cell, or the whole header for a negative column.
    void Invalidate(TColumnIndex column, bool expandToBorder = false);
    void Assign(platform::TPersistent* source) override;

    // ---- mouse (vtheadermouse.cpp) ----
    // Whether the client point p (the header lies above the client area, at negative y)
    // is on a column's splitter: sets TrackIndex and TrackPos (the column's fixed edge).
    virtual bool DetermineSplitterIndex(platform::TPoint p);
    // Whether a client point lies in the header strip.
    bool InHeader(platform::TPoint p) const;
    // The menu a right click on the header shows; without one the tree's OnGetPopupMenu is
    // asked with no node.
    platform::TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(platform::TPopupMenu* menu) { popupMenu_ = menu; }
    virtual platform::TPopupMenu* DoGetPopupMenu(TColumnIndex column, platform::TPoint p);
    // The header's part of a tree message; true when it consumed it.
    virtual bool HandleMessage(platform::TMessage& message);
    TColumnIndex TrackIndex() const { return trackIndex_; }
    // Where the last left press in the frame happened (screen coordinates).
    platform::TPoint DragStart() const { return dragStart_; }
    // The header timer (id 3) ran out: once the mouse has left the header, the hover,
    // click and pressed columns are forgotten and the header repainted.
    void HeaderTimerExpired();
    // Moves by their share of the header's growth or shrinkage the visible columns with
    // coAutoSpring (hoAutoSpring); the tree calls it on every size change.
    void UpdateSpringColumns();
    // The header's width at the last spring update (0 before the first).
    int LastWidth() const { return lastWidth_; }
    // Column dragging (screen points): the column under start becomes the dragged one.
    void PrepareDrag(platform::TPoint p, platform::TPoint start);
    // Follows the mouse over the columns, moving the drop mark; true when it changed.
    bool DragTo(platform::TPoint p);

    // The header record: a version mark, the columns, the header's settings and font.
    // A truncated record or one with lying lengths raises EReadError; the header stays
    // usable.
    void LoadFromStream(platform::TStream* stream);
    void SaveToStream(platform::TStream* stream) const;

private:
    friend class TVastTreeColumns;
    friend class TVastTreeColumn;
    friend class TBaseVastTree;

    TBaseVastTree* owner_;
    std::unique_ptr<TVastTreeColumns> columns_;
    int height_ = 17;
    std::unique_ptr<platform::TFont> font_;
    std::unique_ptr<TVTDragImage> dragImage_;
    bool parentFont_ = false;
    TVTHeaderOptions options_ = hoColumnResize | hoDrag;
    THeaderStates states_ = 0;
    TVTHeaderStyle style_ = hsThickButtons;
    platform::TColor background_ = platform::clBtnFace;
    TColumnIndex autoSizeIndex_ = 0;
    TColumnIndex mainColumn_ = NoColumn;
    TColumnIndex sortColumn_ = NoColumn;
    TSortDirection sortDirection_ = sdAscending;
    platform::TCustomImageList* images_ = nullptr;
    platform::TPopupMenu* popupMenu_ = nullptr;
    TColumnIndex trackIndex_ = NoColumn;
    int trackPos_ = 0;
    platform::TPoint trackStart_{};
    platform::TPoint dragStart_{};
    int lastWidth_ = 0;

    bool HandleHeaderMouseMove(platform::TMessage& message);
    // The release of a column drag: moves the column or reports it dragged out.
    void FinishDrag(platform::TPoint screenPoint);
    // Escape or focus loss during a column drag: nothing moves.
    void CancelDrag();
    void StartHeaderTimer();
};

}  // namespace treeview
