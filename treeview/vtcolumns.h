#pragma once
// The column model of a tree with a header: one column (TVastTreeColumn) and the
// collection of them (TVastTreeColumns), which keeps the order in which the columns are
// shown apart from the order in which they were made, and answers the questions the
// rest of the tree asks: which column lies under a point, where a column starts and
// which one comes next.
//
// Display order: Position 0 is at the left. PositionToIndex()[p] is the collection index
// of the column shown at position p; once positions are fixed it is a permutation of
// 0..Count-1. Left is measured from the left edge of the first column, unscrolled; hidden
// columns keep the running sum at their place but add no width.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/stdctrls.h"
#include "platform/core/classes.h"
#include "platform/core/streams.h"
#include "platform/graphics/imglist.h"
#include "treeview/vttypes.h"

namespace treeview {

class TBaseVastTree;
class TVTHeader;
class TVastTreeColumns;

using TColumnPosition = std::uint32_t;

enum TVTColumnOption : std::uint16_t {
    coAllowClick = 0x0001,
    coDraggable = 0x0002,
    coEnabled = 0x0004,
    coParentBidiMode = 0x0008,
    coParentColor = 0x0010,
    coResizable = 0x0020,
    coShowDropMark = 0x0040,
    coVisible = 0x0080,
    coAutoSpring = 0x0100,
    coFixed = 0x0200,
    coSmartResize = 0x0400,
    coAllowFocus = 0x0800,
    coDisableAnimatedResize = 0x1000,
};
using TVTColumnOptions = std::uint16_t;
constexpr TVTColumnOptions DefaultColumnOptions = coAllowClick | coDraggable | coEnabled | coParentBidiMode |
                                                  coParentColor | coResizable | coShowDropMark | coVisible |
                                                  coAllowFocus;

enum TVastTreeColumnStyle { vsText, vsOwnerDraw };
enum TVTHeaderColumnLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The XP look of a header cell, drawn without themes.
void DrawXPButton(platform::HDC dc, const platform::TRect& r, bool drawSplitter, bool down, bool hover);
// The header's 16 x 16 utility images: drop marks (0, 1), sort glyphs (2 descending, 3
// ascending; 4 and 5 themed), hot-tracking bar pieces (6 to 8).
platform::TCustomImageList* HeaderUtilityImages();

class TVastTreeColumn : public platform::TCollectionItem {
public:
    explicit TVastTreeColumn(platform::TCollection* collection);
    ~TVastTreeColumn() override;

    TVastTreeColumns* Owner() const;
    const std::string& Text() const { return text_; }
    void SetText(const std::string& value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value) { hint_ = value; }
    int Left() const { return left_; }
    int Width() const { return width_; }
    void SetWidth(int value);
    TColumnPosition Position() const { return position_; }
    void SetPosition(TColumnPosition value);
    int MinWidth() const { return minWidth_; }
    void SetMinWidth(int value);
    int MaxWidth() const { return maxWidth_; }
    void SetMaxWidth(int value);
    TVastTreeColumnStyle Style() const { return style_; }
    void SetStyle(TVastTreeColumnStyle value);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value);
    platform::TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(platform::TBiDiMode value);
    TVTHeaderColumnLayout Layout() const { return layout_; }
    void SetLayout(TVTHeaderColumnLayout value);
    int Margin() const { return margin_; }
    void SetMargin(int value);
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);
    TVTColumnOptions Options() const { return options_; }
    void SetOptions(TVTColumnOptions value);
    std::int32_t Tag() const { return tag_; }
    void SetTag(std::int32_t value) { tag_ = value; }
    platform::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(platform::TAlignment value);
    int LastWidth() const { return lastWidth_; }
    platform::TColor Color() const { return color_; }
    void SetColor(platform::TColor value);
    float SpringRest() const { return springRest_; }
    void SetSpringRest(float value) { springRest_ = value; }

    // Left, minus the horizontal scroll position unless the column is visible and fixed.
    int GetLeft() const;
    void GetAbsoluteBounds(int& left, int& right) const;
    // Places image, caption and sort glyph inside client (a header cell); outputs are
    // left alone when there is nothing to place.
    virtual void ComputeHeaderLayout(platform::HDC dc, const platform::TRect& client, bool useHeaderGlyph,
                                     bool useSortGlyph, platform::TPoint& headerGlyphPos,
                                     platform::TPoint& sortGlyphPos, platform::TRect& textBounds);
    // The header rectangle narrowed to the column, unscrolled.
    virtual platform::TRect GetRect() const;
    void RestoreLastWidth();
    bool UseRightToLeftReading() const { return biDiMode_ != platform::bdLeftToRight; }
    void ParentBiDiModeChanged();
    void ParentColorChanged();
    // The caption when it is all Latin-1, else "Column <index>".
    std::string GetDisplayName() const;
    void Assign(platform::TPersistent* source) override;
    bool Equals(const TVastTreeColumn* other) const;
    void LoadFromStream(platform::TStream* stream, int version);
    void SaveToStream(platform::TStream* stream) const;

private:
    friend class TVastTreeColumns;
    TBaseVastTree* Tree() const;
    bool TreeLoading() const;
    TVastTreeColumns* OwnerColumns() const { return Owner(); }

    std::string text_, hint_;
    int left_ = 0;
    int width_ = 50;
    TColumnPosition position_ = 0;
    int minWidth_ = 10;
    int maxWidth_ = 10000;
    TVastTreeColumnStyle style_ = vsText;
    int imageIndex_ = -1;
    platform::TBiDiMode biDiMode_ = platform::bdLeftToRight;
    TVTHeaderColumnLayout layout_ = blGlyphLeft;
    int margin_ = 4;
    int spacing_ = 4;
    TVTColumnOptions options_ = DefaultColumnOptions;
    std::int32_t tag_ = 0;
    platform::TAlignment alignment_ = platform::taLeftJustify;
    int lastWidth_ = 50;
    platform::TColor color_ = platform::clWindow;
    float springRest_ = 0;
};

class TVastTreeColumns : public platform::TCollection {
public:
    explicit TVastTreeColumns(TVTHeader* header);
    ~TVastTreeColumns() override;

    TVTHeader* Header() const { return header_; }
    TVastTreeColumn* Add() { return static_cast<TVastTreeColumn*>(TCollection::Add()); }
    TVastTreeColumn* Items(int index) const { return static_cast<TVastTreeColumn*>(TCollection::Items(index)); }
    int GetCount() const { return Count(); }
    void Clear() override;
    bool Clearing() const { return clearing_; }

    const std::vector<std::int32_t>& PositionToIndex() const { return positionToIndex_; }
    bool NeedPositionsFix() const { return needPositionsFix_; }
    TColumnIndex HoverIndex() const { return hoverIndex_; }
    TColumnIndex DownIndex() const { return downIndex_; }
    TColumnIndex TrackIndex() const { return trackIndex_; }
    void SetTrackIndex(TColumnIndex value) { trackIndex_ = value; }
    TColumnIndex ClickIndex() const { return clickIndex_; }
    TColumnIndex DragIndex() const { return dragIndex_; }
    TColumnIndex DropTarget() const { return dropTarget_; }
    bool DropBefore() const { return dropBefore_; }
    platform::TBitmap* HeaderBitmap() const { return headerBitmap_; }

    // Header-relative point (client y plus the header height); InvalidColumn for none.
    virtual TColumnIndex ColumnFromPosition(platform::TPoint p, bool relative = true) const;
    virtual TColumnIndex ColumnFromPosition(TColumnPosition positionIndex) const;
    TColumnIndex GetColumnAndBounds(platform::TPoint p, int& left, int& right, bool relative = true) const;
    void GetColumnBounds(TColumnIndex column, int& left, int& right) const;
    TColumnIndex GetFirstVisibleColumn(bool considerAllowFocus = false) const;
    TColumnIndex GetLastVisibleColumn(bool considerAllowFocus = false) const;
    TColumnIndex GetNextColumn(TColumnIndex column) const;
    TColumnIndex GetPreviousColumn(TColumnIndex column) const;
    TColumnIndex GetNextVisibleColumn(TColumnIndex column, bool considerAllowFocus = false) const;
    TColumnIndex GetPreviousVisibleColumn(TColumnIndex column, bool considerAllowFocus = false) const;
    std::vector<TVastTreeColumn*> GetVisibleColumns() const;
    int GetVisibleFixedWidth() const;
    // The horizontal scroll step: the average width of the scrolling columns.
    int GetScrollWidth() const;
    int TotalWidth() const;
    bool IsValidColumn(TColumnIndex column) const { return column >= 0 && column < Count(); }

    void AdjustAutoSize(TColumnIndex currentIndex, bool force = false);
    TColumnIndex AdjustDownColumn(platform::TPoint p);
    bool AdjustHoverColumn(platform::TPoint p);
    // Changes a column's width in 32 steps a millisecond apart, repainting per step.
    void AnimatedResize(TColumnIndex column, int newWidth);
    bool CanSplitterResize(platform::TPoint p, TColumnIndex column) const;
    virtual void HandleClick(platform::TPoint p, platform::TMouseButton button, bool force, bool dblClick);
    // Paints the header area r (header coordinates) onto dc through HeaderBitmap, the
    // non-fixed columns shifted by hOffset.
    virtual void PaintHeader(platform::HDC dc, const platform::TRect& r, int hOffset);
    void DrawButtonText(platform::HDC dc, const std::string& caption, platform::TRect bounds, bool enabled, bool hot,
                        unsigned drawFormat);
    void UpdatePositions(bool force = false);
    void InitializePositionArray();
    void FixPositions();
    void ReorderColumns(bool rightToLeft);
    // Reads a collection record of the given version (-1 to 4). Lengths and counts are
    // checked against the bytes left; a position array that is no permutation becomes
    // the identity order.
    void LoadFromStream(platform::TStream* stream, int version);
    void SaveToStream(platform::TStream* stream) const;
    void Assign(platform::TPersistent* source) override;
    bool Equals(const TVastTreeColumns* other) const;

protected:
    void Update(platform::TCollectionItem* item) override;

private:
    friend class TVastTreeColumn;
    friend class TVTHeader;  // the header's mouse moves the hover, pressed and drop marks
    TBaseVastTree* Tree() const;
    void AdjustPosition(TVastTreeColumn* column, TColumnPosition position);
    // Repairs the position array and the column references when a column goes.
    void ColumnGoing(TColumnIndex index);
    void InvalidateColumn(TColumnIndex column);

    TVTHeader* header_;
    platform::TBitmap* headerBitmap_ = nullptr;
    TColumnIndex hoverIndex_ = NoColumn, downIndex_ = NoColumn, trackIndex_ = NoColumn, clickIndex_ = NoColumn;
    std::vector<std::int32_t> positionToIndex_;
    bool needPositionsFix_ = false;
    bool clearing_ = false;
    TColumnIndex dragIndex_ = NoColumn, dropTarget_ = NoColumn;
    bool dropBefore_ = false;
};

}  // namespace treeview
