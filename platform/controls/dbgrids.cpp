// The data grid.
#include "platform/controls/dbgrids.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

// The whole thumb position: the bar's own track position when it matches the message's
// 16 bits, else the nearest value with those low bits.
int WholePosition(HWND h, int bar, WORD word, int current) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (!h || !GetScrollInfo(h, bar, &si)) return word;
    if (WORD(si.nTrackPos) == word) return si.nTrackPos;
    int base = current - (current & 0xFFFF);
    int best = base + word;
    for (int candidate : {base - 0x10000 + word, base + 0x10000 + word})
        if (std::abs(candidate - current) < std::abs(best - current)) best = candidate;
    return best;
}

int TypeWidth(TFieldType type) {
    switch (type) {
        case ftString:
        case ftMemo: return 120;
        case ftFloat: return 72;
        case ftBoolean: return 48;
        default: return 64;
    }
}

}  // namespace

class TDBGrid::TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TDBGrid* grid) : grid_(grid) { SetVisualControl(true); }
    TDBGrid* grid_;

protected:
    void ActiveChanged() override {
        if (grid_) grid_->LinkActive();
    }
    void DataSetChanged() override {
        if (grid_) grid_->LinkDataChanged();
    }
    void DataSetScrolled(int) override {
        if (grid_) grid_->LinkDataChanged();
    }
    void LayoutChanged() override {
        if (grid_) grid_->LinkLayoutChanged();
    }
    void EditingChanged() override {
        if (grid_) grid_->LinkEditingChanged();
    }
    void RecordChanged(TField*) override {
        if (grid_) grid_->Invalidate();
    }
};

TDBGrid::TDBGrid(TComponent* owner)
    : TCustomControl(owner), link_(std::make_unique<TGridDataLink>(this)), titleFont_(std::make_unique<TFont>()) {
    SetBounds(left_, top_, 320, 120);
    SetColor(clWindow);
    SetTabStop(true);
    controlStyle_ |= csOpaque;
}

TDBGrid::~TDBGrid() {
    link_->grid_ = nullptr;
    link_->SetDataSource(nullptr);
}

TDataSource* TDBGrid::DataSource() const { return link_->DataSource(); }

TDataLink* TDBGrid::DataLink() const { return link_.get(); }

void TDBGrid::SetDataSource(TDataSource* value) {
    if (value == link_->DataSource()) return;
    if (link_->DataSource()) RemoveFreeNotification(link_->DataSource());
    link_->SetDataSource(value);
    if (value) FreeNotification(value);
    LinkActive();
}

void TDBGrid::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == opRemove && component == link_->DataSource()) {
        link_->SetDataSource(nullptr);
        LinkActive();
    }
}

TDataSet* TDBGrid::ActiveDataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }

void TDBGrid::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_VSCROLL | WS_HSCROLL;
    if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TDBGrid::CreateWnd() {
    TCustomControl::CreateWnd();
    UpdateScrollBars();
}

void TDBGrid::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    if (HandleAllocated()) RecreateWnd();
}

void TDBGrid::SetFixedColor(TColor value) {
    if (fixedColor_ == value) return;
    fixedColor_ = value;
    Refreshed();
}

void TDBGrid::SetDefaultRowHeight(int value) {
    if (value < 1 || value == rowHeight_) return;
    rowHeight_ = value;
    KeepCurrentInView();
    Refreshed();
}

void TDBGrid::SetSelectedIndex(int value) {
    if (columns_.empty()) return;
    value = std::clamp(value, 0, ColumnCount() - 1);
    if (value == selectedIndex_) return;
    selectedIndex_ = value;
    ScrollColumnIntoView();
    Invalidate();
}

// ---- the link's news ----

void TDBGrid::BuildColumns() {
    columns_.clear();
    if (TDataSet* ds = ActiveDataSet()) {
        for (int i = 0; i < ds->FieldCount(); ++i) {
            TColumn c;
            c.Field = ds->Fields(i);
            c.Title = c.Field->FieldName();
            c.Width = TypeWidth(c.Field->DataType());
            columns_.push_back(c);
        }
    }
    selectedIndex_ = std::clamp(selectedIndex_, 0, std::max(0, ColumnCount() - 1));
    leftCol_ = std::clamp(leftCol_, 0, std::max(0, ColumnCount() - 1));
}

void TDBGrid::LinkActive() {
    BuildColumns();
    topRecord_ = 0;
    KeepCurrentInView();
    UpdateScrollBars();
    Invalidate();
}

void TDBGrid::LinkLayoutChanged() { LinkActive(); }

void TDBGrid::LinkDataChanged() {
    KeepCurrentInView();
    UpdateScrollBars();
    Invalidate();
}

void TDBGrid::LinkEditingChanged() { Invalidate(); }

int TDBGrid::VisibleRowCount() const { return std::max(1, (ClientHeight() - rowHeight_ - 1) / (rowHeight_ + 1)); }

void TDBGrid::KeepCurrentInView() {
    TDataSet* ds = ActiveDataSet();
    if (!ds || ds->RecordCount() == 0) {
        topRecord_ = 0;
        return;
    }
    int cur = std::max(0, ds->CurrentRow());
    int rows = VisibleRowCount();
    if (cur < topRecord_) topRecord_ = cur;
    if (cur >= topRecord_ + rows) topRecord_ = cur - rows + 1;
    topRecord_ = std::clamp(topRecord_, 0, std::max(0, ds->RecordCount() - rows));
    if (cur < topRecord_) topRecord_ = cur;
}

int TDBGrid::ColumnLeft(int dataCol) const {
    int x = indicatorWidth_ + 1;
    for (int c = leftCol_; c < dataCol; ++c) x += columns_[std::size_t(c)].Width + 1;
    return x;
}

void TDBGrid::ScrollColumnIntoView() {
    if (columns_.empty()) return;
    if (selectedIndex_ < leftCol_) leftCol_ = selectedIndex_;
    while (leftCol_ < selectedIndex_ &&
           ColumnLeft(selectedIndex_) + columns_[std::size_t(selectedIndex_)].Width > ClientWidth())
        ++leftCol_;
    UpdateScrollBars();
}

int TDBGrid::RecordAt(int row) const {
    TDataSet* ds = ActiveDataSet();
    if (!ds || row < 1) return -1;
    int record = topRecord_ + row - 1;
    return record < ds->RecordCount() ? record : -1;
}

TRect TDBGrid::CellRect(int col, int row) const {
    int y = row == 0 ? 0 : rowHeight_ + 1 + (row - 1) * (rowHeight_ + 1);
    if (col == 0) return TRect(0, y, indicatorWidth_, y + rowHeight_);
    int dataCol = col - 1;
    if (dataCol < leftCol_ || dataCol >= ColumnCount()) return TRect();
    int x = ColumnLeft(dataCol);
    return TRect(x, y, x + columns_[std::size_t(dataCol)].Width, y + rowHeight_);
}

void TDBGrid::UpdateScrollBars() {
    if (!HandleAllocated()) return;
    TDataSet* ds = ActiveDataSet();
    SCROLLINFO v;
    v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    v.nMin = 1;
    v.nMax = ds ? std::max(1, ds->RecordCount()) : 1;
    v.nPage = 1;
    v.nPos = ds ? std::max(1, ds->RecNo()) : 1;
    if (!ds || ds->RecordCount() < 2) v.nMax = 0, v.nMin = 0, v.nPos = 0;
    SetScrollInfo(WindowHandle(), SB_VERT, &v, TRUE);
    // Horizontally: the columns, a page being those that fit.
    int fit = 0, x = indicatorWidth_ + 1;
    for (int c = leftCol_; c < ColumnCount(); ++c) {
        x += columns_[std::size_t(c)].Width + 1;
        if (x > ClientWidth()) break;
        ++fit;
    }
    SCROLLINFO h;
    h.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    h.nMin = 0;
    h.nMax = std::max(0, ColumnCount() - 1);
    h.nPage = UINT(std::max(1, fit));
    h.nPos = leftCol_;
    if (leftCol_ == 0 && fit >= ColumnCount()) h.nMax = 0, h.nPage = 0;
    SetScrollInfo(WindowHandle(), SB_HORZ, &h, TRUE);
}

// ---- painting ----

void TDBGrid::Paint() {
    TCanvas* c = Canvas();
    TRect client = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(client);
    TDataSet* ds = ActiveDataSet();
    int cur = ds ? ds->CurrentRow() : -1;
    bool focused = Focused();
    int rows = VisibleRowCount() + 1;
    // Grid lines: the 1-pixel gaps between cells.
    c->Brush()->SetColor(clBtnFace);
    for (int row = 0; row <= rows; ++row) {
        bool exists = row == 0 || RecordAt(row) >= 0;
        if (!exists) break;
        for (int col = 0; col < ColCount(); ++col) {
            TRect r = CellRect(col, row);
            if (r.IsEmpty() || r.left >= client.right || r.top >= client.bottom) continue;
            c->Brush()->SetColor(col == 0 || row == 0 ? clBtnShadow : clSilver);
            c->FillRect(TRect(r.left, r.bottom, r.right + 1, r.bottom + 1));
            c->FillRect(TRect(r.right, r.top, r.right + 1, r.bottom + 1));
            TGridDrawState state = 0;
            if (col == 0 || row == 0) {
                state = gdFixed;
            } else if (RecordAt(row) == cur) {
                state = gdSelected;
                if (focused && col - 1 == selectedIndex_) state |= gdFocused;
            }
            c->Brush()->SetColor(state & gdFixed ? fixedColor_ : state & gdSelected ? clHighlight : Color());
            c->FillRect(r);
            DrawCell(col, row, r, state);
        }
    }
}

void TDBGrid::DrawIndicator(const TRect& r, int record) {
    TDataSet* ds = ActiveDataSet();
    if (!ds || record != ds->CurrentRow()) return;
    TCanvas* c = Canvas();
    int cx = r.left + r.Width() / 2, cy = r.top + r.Height() / 2;
    c->Brush()->SetColor(clBlack);
    c->Pen()->SetColor(clBlack);
    if (ds->State() == dsEdit || ds->State() == dsInsert) {
        // An I-beam for a record being edited, a star-like cross for a new one.
        c->FillRect(TRect(cx - 1, cy - 5, cx + 1, cy + 5));
        if (ds->State() == dsInsert) c->FillRect(TRect(cx - 4, cy - 1, cx + 4, cy + 1));
    } else {
        c->Polygon({TPoint(cx - 2, cy - 4), TPoint(cx + 2, cy), TPoint(cx - 2, cy + 4)});
    }
}

void TDBGrid::DrawCell(int col, int row, TRect rect, TGridDrawState state) {
    TCanvas* c = Canvas();
    if (state & gdFixed) {
        c->Brush()->SetColor(fixedColor_);
        c->FillRect(rect);
        if (row == 0 && col > 0 && col - 1 < ColumnCount()) {
            c->SetFont(titleFont_.get());
            c->Brush()->SetStyle(bsClear);
            c->TextRect(rect, rect.left + 2, rect.top + 2, columns_[std::size_t(col - 1)].Title);
            c->Brush()->SetStyle(bsSolid);
        } else if (col == 0 && row > 0) {
            DrawIndicator(rect, RecordAt(row));
        }
        return;
    }
    int dataCol = col - 1;
    if (dataCol < 0 || dataCol >= ColumnCount()) return;
    c->SetFont(Font());
    if (state & gdSelected) {
        c->Font()->SetColor(clHighlightText);
        c->Brush()->SetColor(clHighlight);
    } else {
        c->Brush()->SetColor(Color());
    }
    if (defaultDrawing_) DefaultDrawColumnCell(rect, dataCol, &columns_[std::size_t(dataCol)], state);
    DrawColumnCell(rect, dataCol, &columns_[std::size_t(dataCol)], state);
    if ((state & gdFocused) && defaultDrawing_) c->DrawFocusRect(rect);
}

void TDBGrid::DefaultDrawColumnCell(const TRect& rect, int /*dataCol*/, TColumn* column, TGridDrawState /*state*/) {
    TDataSet* ds = ActiveDataSet();
    if (!ds || !column || !column->Field) return;
    // The row being drawn: the grid paints rows in order, so find it from the rectangle.
    int row = rect.top / (rowHeight_ + 1);
    int record = RecordAt(row);
    if (record < 0) return;
    TRecordData data = ds->Record(record);
    std::string text = column->Field->DisplayValueText(data.values[std::size_t(column->Field->Index())]);
    TCanvas* c = Canvas();
    TBrushStyle old = c->Brush()->Style();
    c->Brush()->SetStyle(bsClear);
    int x = rect.left + 2;
    if (column->Field->IsNumeric()) x = std::max(rect.left + 2, rect.right - 2 - c->TextWidth(text));
    c->TextRect(rect, x, rect.top + 2, text);
    c->Brush()->SetStyle(old);
}

void TDBGrid::DrawColumnCell(const TRect& rect, int dataCol, TColumn* column, TGridDrawState state) {
    if (OnDrawColumnCell) OnDrawColumnCell(this, rect, dataCol, column, state);
}

// ---- input ----

void TDBGrid::KeyDown(WORD& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    TDataSet* ds = ActiveDataSet();
    if (!ds || key == 0) return;
    bool ctrl = shift & ssCtrl;
    switch (key) {
        case VK_UP: ds->Prior(); break;
        case VK_DOWN: ds->Next(); break;
        case VK_PRIOR: ds->MoveBy(-VisibleRowCount()); break;
        case VK_NEXT: ds->MoveBy(VisibleRowCount()); break;
        case VK_HOME:
            if (ctrl)
                ds->First();
            else
                SetSelectedIndex(0);
            break;
        case VK_END:
            if (ctrl)
                ds->Last();
            else
                SetSelectedIndex(ColumnCount() - 1);
            break;
        case VK_LEFT: SetSelectedIndex(selectedIndex_ - 1); break;
        case VK_RIGHT: SetSelectedIndex(selectedIndex_ + 1); break;
        case VK_ESCAPE: ds->Cancel(); break;
        default: return;
    }
    key = 0;
}

void TDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (CanFocus() && !Focused()) SetFocus();
    TCustomControl::MouseDown(button, shift, x, y);
    TDataSet* ds = ActiveDataSet();
    if (!ds || button != mbLeft) return;
    for (int col = 1; col < ColCount(); ++col) {
        TRect r = CellRect(col, 0);
        if (!r.IsEmpty() && x >= r.left && x <= r.right) {
            SetSelectedIndex(col - 1);
            break;
        }
    }
    if (y < rowHeight_ + 1) return;
    int row = (y - rowHeight_ - 1) / (rowHeight_ + 1) + 1;
    int record = RecordAt(row);
    if (record >= 0 && record != ds->CurrentRow()) ds->MoveBy(record - ds->CurrentRow());
}

bool TDBGrid::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    if (TCustomControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
    TDataSet* ds = ActiveDataSet();
    if (!ds) return false;
    int notches = wheelDelta / 120;
    if (notches == 0) notches = wheelDelta > 0 ? 1 : -1;
    ds->MoveBy(-notches);
    return true;
}

void TDBGrid::VScroll(WORD code, WORD word) {
    TDataSet* ds = ActiveDataSet();
    if (!ds || ds->RecordCount() == 0) return;
    switch (code) {
        case SB_LINEUP: ds->Prior(); break;
        case SB_LINEDOWN: ds->Next(); break;
        case SB_PAGEUP: ds->MoveBy(-VisibleRowCount()); break;
        case SB_PAGEDOWN: ds->MoveBy(VisibleRowCount()); break;
        case SB_TOP: ds->First(); break;
        case SB_BOTTOM: ds->Last(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            int pos = WholePosition(WindowHandle(), SB_VERT, word, ds->RecNo());
            if (pos <= 1)
                ds->First();
            else if (pos >= ds->RecordCount())
                ds->Last();
            else
                ds->SetRecNo(pos);
            break;
        }
        default: break;
    }
}

void TDBGrid::HScroll(WORD code, WORD word) {
    int last = std::max(0, ColumnCount() - 1);
    int col = leftCol_;
    switch (code) {
        case SB_LINELEFT: --col; break;
        case SB_LINERIGHT: ++col; break;
        case SB_PAGELEFT: col -= 2; break;
        case SB_PAGERIGHT: col += 2; break;
        case SB_LEFT: col = 0; break;
        case SB_RIGHT: col = last; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: col = WholePosition(WindowHandle(), SB_HORZ, word, leftCol_); break;
        default: return;
    }
    col = std::clamp(col, 0, last);
    if (col == leftCol_) return;
    leftCol_ = col;
    UpdateScrollBars();
    Invalidate();
}

void TDBGrid::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_GETDATALINK: m.Result = reinterpret_cast<LRESULT>(link_.get()); return;
        case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
        case WM_VSCROLL:
            VScroll(LOWORD(m.WParam), HIWORD(m.WParam));
            m.Result = 0;
            return;
        case WM_HSCROLL:
            HScroll(LOWORD(m.WParam), HIWORD(m.WParam));
            m.Result = 0;
            return;
        case WM_SIZE:
            TCustomControl::Dispatch(m);
            KeepCurrentInView();
            UpdateScrollBars();
            Invalidate();
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TCustomControl::Dispatch(m);
            Invalidate();
            return;
        default: break;
    }
    TCustomControl::Dispatch(m);
}

}  // namespace platform
