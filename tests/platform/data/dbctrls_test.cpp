// The data-aware controls on a headless form over an in-memory database: what they show
// as the record moves, how typing and picking start an edit and write back, what a
// read-only link and Escape do, a value the field refuses at focus exit, pictures from
// blobs, and the grid's highlight, keys, clicks, wheel and scroll information.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/controls/controls_fixture.h"
#include "platform/controls/dbctrls.h"
#include "platform/controls/dbgrids.h"
#include "platform/data/sqlitedb.h"

using namespace platform;

namespace {

class DBControls : public test::ControlsFixture {
protected:
    void SetUp() override {
        ControlsFixture::SetUp();
        db.SetDatabaseName(":memory:");
        db.ExecSQL(
            "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT NOT NULL, n INTEGER, colour TEXT, kind INTEGER, pic BLOB);"
            "INSERT INTO t(name, n, colour, kind) VALUES ('one', 1, 'Red', 2), ('two', 2, 'Green', 1), ('three', 3, 'Blue', 3);"
            "CREATE TABLE kinds(k INTEGER, label TEXT);"
            "INSERT INTO kinds VALUES (1, 'small'), (2, 'medium'), (3, 'large');");
        ds = new TSQLiteDataSet(form);
        ds->SetDatabase(&db);
        ds->SetTableName("t");
        src = new TDataSource(form);
        src->SetDataSet(ds);
        ds->Open();
    }
    template <class T>
    T* Place(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(x, y, w, h);
        return c;
    }
    template <class T>
    T* Place(int x, int y, int w, int h, const char* field) {
        T* c = Place<T>(x, y, w, h);
        Bind(c, field);
        return c;
    }
    template <class T>
    void Bind(T* c, const char* field) {
        c->SetDataSource(src);
        c->SetDataField(field);
    }
    std::string Stored(const std::string& sql) {
        TSQLiteDataSet q;
        q.SetDatabase(&db);
        q.SetSQL(sql);
        q.Open();
        return q.Fields(0)->Text();
    }

    TSQLiteDatabase db;
    TSQLiteDataSet* ds = nullptr;
    TDataSource* src = nullptr;
};

TEST_F(DBControls, EditFollowsTheRecordAndWritesWhatIsTyped) {
    auto* edit = Place<TDBEdit>(10, 10, 150, 22, "name");
    auto* other = Place<TDBEdit>(10, 40, 150, 22, "n");
    EXPECT_EQ(edit->Text(), "one");
    ds->Next();
    EXPECT_EQ(edit->Text(), "two");
    EXPECT_EQ(reinterpret_cast<TFieldDataLink*>(edit->Perform(CM_GETDATALINK)), edit->DataLink());

    edit->SetFocus();
    Pump();
    Key(VK_END);
    Type("!");
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(edit->Text(), "two!");
    other->SetFocus();  // leaving writes the value into the field
    Pump();
    EXPECT_EQ(ds->FieldByName("name")->Text(), "two!");
    ds->Post();
    EXPECT_EQ(Stored("SELECT name FROM t WHERE id = 2"), "two!");

    // Escape shows the field's value again.
    edit->SetFocus();
    Pump();
    Type("xyz");
    Key(VK_ESCAPE, 27);
    EXPECT_EQ(edit->Text(), "two!");
    ds->Cancel();

    // A read-only link: typing changes nothing and starts no edit.
    edit->SetReadOnly(true);
    Type("q");
    EXPECT_EQ(edit->Text(), "two!");
    EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DBControls, AValueTheFieldRefusesKeepsTheFocusAtExit) {
    auto* number = Place<TDBEdit>(10, 10, 150, 22, "n");
    number->SetFocus();
    Pump();
    Key(VK_END);
    Type("x");
    EXPECT_EQ(number->Text(), "1x");
    EXPECT_THROW(number->Perform(CM_EXIT), EDatabaseError);
    EXPECT_TRUE(number->Focused());
    EXPECT_EQ(number->Text(), "1x");  // what the user typed stays to be mended
    EXPECT_EQ(ds->State(), dsEdit);
    Key(VK_END);  // the refused text is selected for retyping; mend it instead
    Key(VK_BACK, 8);
    EXPECT_NO_THROW(number->Perform(CM_EXIT));
    ds->Post();
    EXPECT_EQ(Stored("SELECT n FROM t WHERE id = 1"), "1");
}

TEST_F(DBControls, ListsAndCombosPickValuesAndKeys) {
    auto* list = Place<TDBListBox>(10, 10, 100, 80);
    for (const char* c : {"Red", "Green", "Blue"}) list->Items()->Add(c);
    Bind(list, "colour");
    auto* combo = Place<TDBComboBox>(120, 10, 100, 22);
    combo->SetStyle(csDropDownList);
    for (const char* c : {"Red", "Green", "Blue"}) combo->Items()->Add(c);
    Bind(combo, "colour");
    auto* kinds = new TSQLiteDataSet(form);
    kinds->SetDatabase(&db);
    kinds->SetTableName("kinds");
    auto* kindSrc = new TDataSource(form);
    kindSrc->SetDataSet(kinds);
    kinds->Open();
    auto* lookup = Place<TDBLookupComboBox>(230, 10, 100, 22, "kind");
    lookup->SetListSource(kindSrc);
    lookup->SetKeyField("k");
    lookup->SetListField("label");
    auto* lookupList = Place<TDBLookupListBox>(230, 40, 100, 80, "kind");
    lookupList->SetListSource(kindSrc);
    lookupList->SetKeyField("k");
    lookupList->SetListField("label");
    Pump();
    EXPECT_EQ(list->ItemIndex(), 0);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(lookup->Text(), "medium");
    EXPECT_EQ(lookupList->ItemIndex(), 1);
    ds->Next();
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(lookup->Text(), "small");

    // A click on "Blue" writes it; the lookup list writes the key behind "large".
    TRect blue = list->ItemRect(2);
    Click(list->Left() + blue.left + 5, list->Top() + blue.top + 3);
    EXPECT_EQ(list->ItemIndex(), 2);
    TRect large = lookupList->ItemRect(2);
    Click(lookupList->Left() + large.left + 5, lookupList->Top() + large.top + 3);
    ds->Post();
    EXPECT_EQ(Stored("SELECT colour || '/' || kind FROM t WHERE id = 2"), "Blue/3");
    EXPECT_EQ(lookup->Text(), "large");

    // A read-only link takes no pick.
    list->SetReadOnly(true);
    TRect red = list->ItemRect(0);
    Click(list->Left() + red.left + 5, list->Top() + red.top + 3);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DBControls, ImageShowsPicturesAndNothingForOtherBytes) {
    TBitmap art;
    art.SetPixelFormat(pf24bit);
    art.SetSize(20, 10);
    art.Canvas()->Brush()->SetColor(TColor(RGB(200, 0, 0)));
    art.Canvas()->FillRect(TRect(0, 0, 20, 10));
    TPngImage png;
    png.Bitmap()->Assign(&art);
    std::vector<BYTE> bytes = png.SaveToBytes();
    ds->Edit();
    ds->FieldByName("pic")->SetAsBytes(std::string(bytes.begin(), bytes.end()));
    ds->Post();
    ds->Next();
    ds->Edit();
    ds->FieldByName("pic")->SetAsBytes("\x89PNG\r\n\x1A\n but then garbage");
    ds->Post();
    ds->First();
    auto* image = Place<TDBImage>(10, 10, 60, 40, "pic");
    image->SetBorderStyle(bsNone);
    Pump();
    EXPECT_EQ(image->Picture()->Width(), 20);
    EXPECT_EQ(GetWindowSurfacePixel(Top(), 10 + 30, 10 + 20), RGB(200, 0, 0));
    test::Shot(Top(), "dbimage.png");
    ds->Next();
    Pump();
    EXPECT_EQ(image->Picture()->Graphic(), nullptr);
    EXPECT_EQ(GetWindowSurfacePixel(Top(), 10 + 30, 10 + 20), ColorToRGB(clWindow));
}

// A grid that logs its cells' states.
class LoggingGrid : public TDBGrid {
public:
    using TDBGrid::TDBGrid;
    std::vector<std::pair<int, int>> selected, focused;
    int fixed = 0;

protected:
    void DrawCell(int col, int row, TRect rect, TGridDrawState state) override {
        if (state & gdFixed) ++fixed;
        if (state & gdSelected) selected.push_back({col, row});
        if (state & gdFocused) focused.push_back({col, row});
        TDBGrid::DrawCell(col, row, rect, state);
    }
};

TEST_F(DBControls, GridShowsMovesAndReportsItsPosition) {
    db.ExecSQL("WITH RECURSIVE c(i) AS (SELECT 4 UNION ALL SELECT i + 1 FROM c WHERE i < 20)"
               " INSERT INTO t(name, n) SELECT 'row ' || i, i FROM c");
    ds->Refresh();
    auto* grid = Place<LoggingGrid>(10, 10, 360, 150);
    grid->SetDataSource(src);
    int columnCells = 0;
    grid->OnDrawColumnCell = [&](TObject*, const TRect&, int, TColumn*, TGridDrawState) { ++columnCells; };
    grid->SetFocus();
    Pump();
    ASSERT_EQ(grid->ColumnCount(), 6);
    EXPECT_EQ(grid->Columns(1)->Title, "name");
    EXPECT_GT(grid->fixed, 0);
    EXPECT_GT(columnCells, 0);
    // The current record's row is selected; its first column's cell also focused.
    ASSERT_FALSE(grid->selected.empty());
    for (auto [col, row] : grid->selected) EXPECT_EQ(row, 1);
    EXPECT_EQ(grid->focused, (std::vector<std::pair<int, int>>{{1, 1}}));
    TRect cell = grid->CellRect(3, 1);
    EXPECT_EQ(GetWindowSurfacePixel(Top(), 10 + 2 + cell.right - 3, 10 + 2 + cell.top + 1), ColorToRGB(clHighlight));
    test::Shot(Top(), "dbgrid.png");

    auto vpos = [&] {
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        GetScrollInfo(grid->WindowHandle(), SB_VERT, &si);
        return std::to_string(si.nMin) + ".." + std::to_string(si.nMax) + "@" + std::to_string(si.nPos);
    };
    EXPECT_EQ(vpos(), "1..20@1");
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_EQ(vpos(), "1..20@3");
    Chord(VK_CONTROL, VK_END);
    EXPECT_EQ(ds->RecNo(), 20);
    EXPECT_EQ(grid->TopRecord(), 20 - grid->VisibleRowCount());
    InputMouseWheel(Top(), 100, 100, 240);
    Pump();
    EXPECT_EQ(ds->RecNo(), 18);
    // A click on the first row shown makes its record current.
    TRect first = grid->CellRect(2, 1);
    Click(10 + 2 + first.left + 4, 10 + 2 + first.top + 4);
    EXPECT_EQ(ds->RecNo(), grid->TopRecord() + 1);
    // The bar's thumb: positions beyond 16 bits are not needed here, the rule is.
    grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 5), 0);
    EXPECT_EQ(ds->RecNo(), 5);
    grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    EXPECT_EQ(ds->RecNo(), 1);
    EXPECT_TRUE(ds->Bof());
    // Closing empties the grid.
    ds->Close();
    Pump();
    EXPECT_EQ(grid->ColumnCount(), 0);
}

}  // namespace
