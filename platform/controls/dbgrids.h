#pragma once
// The data grid: one column per field of the data source's data set, one row per record,
// a title row and an indicator column (fixed cells, painted in FixedColor with TitleFont),
// and the current record highlighted: its cells are drawn with gdSelected, the cell of the
// selected column with gdFocused too while the grid has the focus. Arrow keys, Page
// Up/Down, Ctrl+Home/End, the wheel, a click and the vertical scroll bar move the current
// record; Left and Right choose the column. Cells are not edited in the grid (edits bound
// to the same source do the editing).
//
// Painting: the grid fills each cell with its plain colour (Color, or clHighlight for the
// current record; fixed cells FixedColor) and then calls DrawCell, which a descendant may
// override to paint the cell's background itself before calling the inherited DrawCell.
// DrawCell draws fixed cells itself and hands data cells to DrawColumnCell (with the
// canvas font set up); DefaultDrawColumnCell writes the field's text over what is there,
// and DrawColumnCell fires OnDrawColumnCell.
//
// The window's own scroll bars tell where the grid stands: the vertical one runs from 1 to
// RecordCount with the current RecNo as its position, the horizontal one over the columns.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/stdctrls.h"
#include "platform/data/db.h"

namespace platform {

enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

struct TColumn {
    TField* Field = nullptr;
    std::string Title;
    int Width = 64;
};

using TDrawColumnCellEvent =
    std::function<void(TObject* sender, const TRect& rect, int dataCol, TColumn* column, TGridDrawState state)>;

class TDBGrid : public TCustomControl {
public:
    explicit TDBGrid(TComponent* owner);
    ~TDBGrid() override;
    void Dispatch(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* value);
    TDataLink* DataLink() const;

    int ColumnCount() const { return int(columns_.size()); }
    TColumn* Columns(int index) { return &columns_.at(std::size_t(index)); }
    // Grid coordinates: column 0 is the indicator, row 0 the titles.
    int ColCount() const { return ColumnCount() + 1; }
    int VisibleRowCount() const;
    // The client rectangle of a cell in view (empty when not in view).
    TRect CellRect(int col, int row) const;
    // The record (0-based) a grid row shows, or -1.
    int RecordAt(int row) const;
    int TopRecord() const { return topRecord_; }
    int LeftCol() const { return leftCol_; }
    // The selected column (0-based among the columns).
    int SelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(int value);

    TColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(TColor value);
    TFont* TitleFont() const { return titleFont_.get(); }
    void SetTitleFont(TFont* value) { titleFont_->Assign(value); }
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool value) { defaultDrawing_ = value; }
    int DefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);

    // Writes the column's field text of the record the cell shows, in the canvas font,
    // over the cell's background.
    void DefaultDrawColumnCell(const TRect& rect, int dataCol, TColumn* column, TGridDrawState state);

    TDrawColumnCellEvent OnDrawColumnCell;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void Paint() override;
    virtual void DrawCell(int col, int row, TRect rect, TGridDrawState state);
    virtual void DrawColumnCell(const TRect& rect, int dataCol, TColumn* column, TGridDrawState state);
    void KeyDown(WORD& key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) override;
    // Puts the position into the window's scroll bars.
    virtual void UpdateScrollBars();

    // The link's news.
    void LinkActive();
    void LinkDataChanged();
    void LinkLayoutChanged();
    void LinkEditingChanged();

private:
    class TGridDataLink;
    friend class TGridDataLink;
    TDataSet* ActiveDataSet() const;
    void BuildColumns();
    void KeepCurrentInView();
    void ScrollColumnIntoView();
    int ColumnLeft(int dataCol) const;
    void VScroll(WORD code, WORD word);
    void HScroll(WORD code, WORD word);
    void DrawIndicator(const TRect& rect, int record);

    std::unique_ptr<TGridDataLink> link_;
    std::vector<TColumn> columns_;
    std::unique_ptr<TFont> titleFont_;
    TColor fixedColor_ = clBtnFace;
    bool defaultDrawing_ = true;
    int rowHeight_ = 18;
    int indicatorWidth_ = 11;
    int topRecord_ = 0;
    int leftCol_ = 0;
    int selectedIndex_ = 0;
    TBorderStyle borderStyle_ = bsSingle;
};

}  // namespace platform
