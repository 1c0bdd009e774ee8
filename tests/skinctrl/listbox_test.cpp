// The skinned list boxes: owner drawing (selected and disabled colours, focus rectangle,
// indent, measuring), the border, and the attached bar (shown once the native bar is,
// placement, moving the list, past 65535) on the list box and its folder and file twins.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "edits_support.h"
#include "platform/core/sysutils.h"
#include "skinctrl/dvxlistbox.h"

using namespace platform;
using namespace skinctrl;
using namespace skintest;

namespace {

class SkinList : public SkinForm {
protected:
    TdvxListBox* List(int items) {
        auto* l = Place<TdvxListBox>(20, 20, 150, 100);
        for (int i = 0; i < items; ++i) l->Items()->Add("Item " + std::to_string(i));
        Pump();
        return l;
    }
    TdvxScrollBar* Bar() { return Place<TdvxScrollBar>(300, 20, 16, 60); }
    // How many pixels of (nearly) colour c lie in row y between x0 and x1 of window h.
    static int Count(HWND h, int y, int x0, int x1, COLORREF c) {
        int n = 0;
        for (int x = x0; x < x1; ++x) n += Near(Px(h, x, y), c, 40);
        return n;
    }
    static int CountArea(HWND h, int y0, int y1, int x0, int x1, COLORREF c) {
        int n = 0;
        for (int y = y0; y < y1; ++y) n += Count(h, y, x0, x1, c);
        return n;
    }
};

TEST_F(SkinList, SelectedAndDisabledColoursWithDisabledWinning) {
    TdvxListBox* l = List(5);
    l->SetSelectedColor(TColor(RGB(0, 120, 0)));
    l->SetSelectedTextColor(TColor(RGB(255, 255, 0)));
    l->SetDisabledTextColor(TColor(RGB(200, 0, 200)));
    l->SetItemIndex(1);
    Pump();
    HWND h = l->Handle();
    int ih = l->ItemHeight();
    Shot(h, "listbox");
    // Border band, then rows from the client's top (2 pixels in).
    EXPECT_EQ(Hex(Px(h, 0, 0)), Hex(RGB(0, 0, 0)));
    int row1 = 2 + ih;
    EXPECT_EQ(Hex(Px(h, 100, row1 + ih / 2)), Hex(RGB(0, 120, 0)));
    EXPECT_GT(CountArea(h, row1, row1 + ih, 2, 80, RGB(255, 255, 0)), 0);
    l->SetEnabled(false);
    Pump();
    Shot(h, "listbox_disabled");
    EXPECT_EQ(Hex(Px(h, 100, row1 + ih / 2)), Hex(RGB(0, 120, 0))) << "selected rows keep SelectedColor";
    EXPECT_GT(CountArea(h, row1, row1 + ih, 2, 80, RGB(200, 0, 200)), 0);
    EXPECT_EQ(CountArea(h, row1, row1 + ih, 2, 80, RGB(255, 255, 0)), 0) << "the disabled colour wins";
    EXPECT_GT(CountArea(h, 2, 2 + ih, 2, 80, RGB(200, 0, 200)), 0) << "every row of a disabled list";
}

TEST_F(SkinList, FocusRectangleIndentAndMeasuring) {
    TdvxListBox* l = List(3);
    l->SetColor(clWhite);
    l->SetSelectedColor(clWhite);
    l->SetSelectedTextColor(clBlack);
    l->SetItemIndex(0);
    l->SetFocus();
    Pump();
    HWND h = l->Handle();
    auto dotted = [&] { return Count(h, 2, 2, 140, RGB(0, 0, 0)); };  // the focus rectangle's top
    EXPECT_GT(dotted(), 20);
    l->SetShowFocusRect(false);
    Pump();
    EXPECT_EQ(dotted(), 0);
    l->SetShowFocusRect(true);
    l->OnDrawItem = [](TWinControl* c, int, TRect rect, TOwnerDrawState) {
        static_cast<TdvxListBox*>(c)->Canvas()->FillRect(rect);
    };
    l->Invalidate();
    Pump();
    EXPECT_EQ(dotted(), 0) << "no focus rectangle around an item the owner draws";
    l->OnDrawItem = nullptr;
    // Left-to-right: the text starts 2 pixels in.
    l->SetShowFocusRect(false);
    l->SetItemIndex(-1);
    Pump();
    int firstInk = -1;
    for (int x = 2; x < 20 && firstInk < 0; ++x)
        for (int y = 2; y < 2 + l->ItemHeight(); ++y)
            if (Px(h, x, y) != RGB(255, 255, 255)) {
                firstInk = x;
                break;
            }
    EXPECT_GE(firstInk, 2 + 2);
    // Measuring: one line's height, capped at 255; the width for width <= 0.
    int line = l->MeasureString("Item", 100);
    EXPECT_GT(line, 5);
    EXPECT_LE(line, 255);
    EXPECT_EQ(l->MeasureString("Item", 0), l->Canvas()->TextWidth("Item"));
    l->Font()->SetHeight(-400);
    EXPECT_EQ(l->MeasureString("Item", 100), 255);
}

TEST_F(SkinList, AttachedBarShowsOnceTheNativeBarDoesAndMovesTheList) {
    TdvxListBox* l = List(2);
    TdvxScrollBar* v = Bar();
    l->SetVScrollBar(v);
    EXPECT_EQ(v->BoundsRect(), TRect(20 + 150 - 16 - 2, 21, 20 + 150 - 2, 21 + 98));
    EXPECT_FALSE(v->Visible()) << "few items: no native bar, no skinned one";
    for (int i = 2; i < 40; ++i) l->Items()->Add("Item " + std::to_string(i));
    EXPECT_TRUE(v->Visible());
    EXPECT_TRUE(v->Enabled());
    EXPECT_GE(v->LineButton(), 16);
    v->SetPosition(10);
    EXPECT_EQ(l->TopIndex(), 10);
    l->SetFocus();
    Key(VK_END);
    EXPECT_GT(l->TopIndex(), 10);
    EXPECT_EQ(v->Position(), l->TopIndex());
    Shot(Top(), "listbox_bar");
    // Narrower than its bar: the bar goes to the list's left edge.
    l->SetWidth(10);
    EXPECT_EQ(v->Left(), 20);
}

TEST_F(SkinList, AttachedBarTakesTheReadingStartSideOnlyForRightToLeftInARightToLeftLocale) {
    struct Case {
        const char* what;
        TBiDiMode mode;
        bool middleEast;
        int left;
    } cases[] = {
        {"left to right", bdLeftToRight, true, 20 + 150 - 16 - 2},
        {"right to left", bdRightToLeft, true, 22},
        {"right to left, no align", bdRightToLeftNoAlign, true, 22},
        {"right to left, other locale", bdRightToLeft, false, 20 + 150 - 16 - 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SysLocale.MiddleEast = c.middleEast;
        TdvxListBox* l = List(40);
        TdvxScrollBar* v = Bar();
        l->SetVScrollBar(v);
        l->SetTopIndex(5);
        l->SetItemIndex(9);
        // The reading order changes while the window and its bar exist.
        l->SetBiDiMode(c.mode);
        Pump();
        EXPECT_EQ(v->BoundsRect(), TRect(c.left, 21, c.left + 16, 21 + 98));
        EXPECT_TRUE(v->Visible());
        // The native bar lies under the skinned one, and the rows start past it.
        bool left = c.left < 100;
        HWND h = l->Handle();
        int cx = NativeVBar(h).Width();
        EXPECT_EQ(NativeVBar(h).left, left ? 22 : 168 - cx);
        EXPECT_EQ(ClientInParent(h).left, left ? 22 + cx : 22);
        EXPECT_EQ(ClientInParent(h).Width(), 150 - 4 - cx);
        EXPECT_EQ(l->TopIndex(), 5) << "nothing lost with the window's change";
        EXPECT_EQ(l->ItemIndex(), 9);
        EXPECT_EQ(l->Count(), 40);
        v->SetPosition(7);
        EXPECT_EQ(l->TopIndex(), 7) << "moves the list from either side";
        if (c.mode == bdRightToLeft && c.middleEast) {
            Pump();
            Shot(Top(), "listbox_bar_rtl");
        }
        delete l;
        delete v;
    }
    SysLocale.MiddleEast = false;
}

TEST_F(SkinList, BarCarriesPositionsPast65535) {
    auto* l = Place<TdvxListBox>(20, 20, 150, 100);
    l->SetStyle(lbVirtualOwnerDraw);
    l->OnData = [](TWinControl*, int index, std::string& s) { s = std::to_string(index); };
    l->SetCount(200000);
    TdvxScrollBar* v = Bar();
    l->SetVScrollBar(v);
    ASSERT_GT(v->Max(), 150000);
    v->SetPosition(150000);
    EXPECT_EQ(l->TopIndex(), 150000);
}

TEST_F(SkinList, FolderAndFileTwinsTakeTheBorderAndTheBar) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("skin_list_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    for (int i = 0; i < 30; ++i) std::ofstream(dir / ("file" + std::to_string(i) + ".txt")) << "x";
    std::ofstream(dir / "bad\xff\xfename.txt") << "x";  // not UTF-8
    auto* files = Place<TdvxFileListBox>(20, 20, 150, 100);
    files->SetDirectory(dir.string());
    auto* folders = Place<TdvxDirectoryListBox>(200, 20, 150, 100);
    folders->SetDirectory(dir.string());
    TdvxScrollBar* v = Bar();
    files->SetVScrollBar(v);
    Pump();
    EXPECT_EQ(files->Count(), 31) << "a name that is not UTF-8 is listed too";
    EXPECT_TRUE(v->Visible());
    v->SetPosition(5);
    EXPECT_EQ(files->TopIndex(), 5);
    EXPECT_EQ(Hex(Px(files->Handle(), 0, 0)), Hex(RGB(0, 0, 0)));
    EXPECT_EQ(Hex(Px(folders->Handle(), 0, 0)), Hex(RGB(0, 0, 0)));
    EXPECT_GT(folders->Count(), 0);
    Shot(Top(), "file_twins");
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
