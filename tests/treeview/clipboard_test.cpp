// Trees on the clipboard inside the process: formats, the data object and its
// enumerator, copy, cut and paste, and data from elsewhere.
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>

#include "tree_support.h"
#include "treeview/vtclipboard.h"

namespace treeview {
namespace {

using namespace test;
using namespace platform;

struct Texts {
    static void Wire(TVastStringTree& tree) {
        tree.SetNodeDataSize(sizeof(NamedData));
        tree.SetClipboardFormats({"Vast Tree Data", "Plain text", "Unicode text"});
        tree.OnGetText = [](TBaseVastTree* sender, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
            text = Name(*sender, node);
        };
        tree.OnNewText = [](TBaseVastTree* sender, PVastNode node, TColumnIndex, const std::string& text) {
            SetName(*sender, node, text);
        };
    }
};

std::string Top(TBaseVastTree& tree) {
    return Walk(tree, tree.GetFirstChild(nullptr), [&](PVastNode n) { return tree.GetNextSibling(n); });
}

std::string ClipboardText() {
    IDataObject* raw = nullptr;
    OleGetClipboard(&raw);
    TComPtr<IDataObject> data = TComPtr<IDataObject>::Attach(raw);
    FORMATETC request;
    request.cfFormat = CF_TEXT;
    STGMEDIUM medium;
    if (!data || data->GetData(&request, &medium) != S_OK) return "<none>";
    std::string text(static_cast<const char*>(GlobalLock(medium.hGlobal)));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return text;
}

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        OleSetClipboard(nullptr);
        for (TVastStringTree* tree : {&a, &b}) Texts::Wire(*tree);
        a1 = Add(a, nullptr, "a1");
        a2 = Add(a, nullptr, "a2");
        a3 = Add(a, nullptr, "a3");
        Add(a, a2, "a21");
        Add(b, nullptr, "b1");
        a.TreeOptions()->SetSelectionOptions(toMultiSelect);
    }
    void TearDown() override { OleSetClipboard(nullptr); }
    TVastStringTree a{nullptr}, b{nullptr};
    PVastNode a1, a2, a3;
};

TEST_F(ClipboardTest, FormatListsAcceptOnlyWhatTheClassRenders) {
    TBaseVastTree base(nullptr);
    EXPECT_EQ(base.ClipboardFormats()->Add("vast tree data"), 0);
    for (const char* refused : {"CSV", "HTML Format", "Plain text", "Unicode text", "Rich Text Format", "Nonsense"})
        EXPECT_EQ(base.ClipboardFormats()->Add(refused), -1) << refused;
    TVastStringTree text(nullptr);
    for (const char* accepted : {"Vast Tree Data", "HTML Format", "Rich Text Format Without Objects",
                                 "Rich Text Format", "CSV", "Unicode text", "Plain text"})
        EXPECT_GE(text.ClipboardFormats()->Add(accepted), 0) << accepted;
    EXPECT_EQ(text.ClipboardFormats()->Count(), 7);
    EXPECT_EQ(text.ClipboardFormats()->Add("csv"), text.ClipboardFormats()->IndexOf("CSV"));
    EXPECT_THROW(text.ClipboardFormats()->Insert(0, "CSV"), EStringListError);
    EXPECT_EQ(GetVTClipboardFormatDescription(CF_UNICODETEXT), "Unicode text");
    EXPECT_EQ(GetVTClipboardFormatDescription(0x7777), "");
    EXPECT_EQ(RegisterVTClipboardFormat(CLIPFORMAT(0), TreeIsA<TBaseVastTree>, 10), 0);
}

TEST_F(ClipboardTest, DataObjectAnswersByItsOfferedFormats) {
    TVastStringTree bare(nullptr);
    TComPtr<IDataObject> none(new TVTDataObject(&bare, false));
    FORMATETC request;
    request.cfFormat = CF_TEXT;
    EXPECT_EQ(none->QueryGetData(&request), DV_E_FORMATETC);
    request.cfFormat = CF_VTREFERENCE;
    STGMEDIUM medium;
    ASSERT_EQ(none->GetData(&request, &medium), S_OK);  // the reference is always there
    auto* bytes = static_cast<const std::uint32_t*>(GlobalLock(medium.hGlobal));
    EXPECT_EQ(bytes[0], std::uint32_t(getpid()));
    EXPECT_EQ(FindLiveTree(bytes[1]), &bare);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);

    TComPtr<IDataObject> data(new TVTDataObject(&a, false));
    struct Case {
        DWORD tymed, aspect;
        LONG index;
        HRESULT expected;
    };
    for (Case c : {Case{TYMED_HGLOBAL, DVASPECT_CONTENT, -1, S_OK}, Case{TYMED_GDI, DVASPECT_CONTENT, -1, DV_E_TYMED},
                   Case{TYMED_HGLOBAL, 4, -1, DV_E_DVASPECT}, Case{TYMED_HGLOBAL, DVASPECT_CONTENT, 3, DV_E_LINDEX}}) {
        FORMATETC f;
        f.cfFormat = CF_VASTTREE;
        f.tymed = c.tymed;
        f.dwAspect = c.aspect;
        f.lindex = c.index;
        EXPECT_EQ(data->QueryGetData(&f), c.expected);
    }

    IEnumFORMATETC* raw = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &raw), OLE_S_USEREG);
    EXPECT_EQ(raw, nullptr);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &raw), S_OK);
    TComPtr<IEnumFORMATETC> formats = TComPtr<IEnumFORMATETC>::Attach(raw);
    FORMATETC got[3];
    ULONG fetched = 0;
    EXPECT_EQ(formats->Skip(1), S_OK);
    EXPECT_EQ(formats->Next(3, got, &fetched), S_FALSE);  // two remain
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(got[0].cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(got[1].cfFormat, CF_TEXT);
    formats->Reset();
    EXPECT_EQ(formats->Skip(3), S_OK);
    EXPECT_EQ(formats->Skip(1), S_FALSE);
    EXPECT_EQ(formats->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

TEST_F(ClipboardTest, CutPastedIntoAnotherTreeMovesOnceAndSkipsDisabledNodes) {
    a.SetDisabled(a3, true);
    a.AddToSelection(a1);
    a.AddToSelection(a2);
    a.AddToSelection(a3);
    a.CutToClipBoard();
    EXPECT_TRUE(a.TreeStates() & tsCutPending);
    EXPECT_EQ(ClipboardText(), "a1\r\na2\r\n");  // the disabled node is left out
    EXPECT_TRUE(b.PasteFromClipboard());
    EXPECT_EQ(Top(b), "b1 a1 a2");
    EXPECT_EQ(Top(a), "a3");
    EXPECT_FALSE(a.TreeStates() & tsCutPending);
    b.PasteFromClipboard();  // the source holds no marked nodes any more: nothing comes
    EXPECT_EQ(Top(b), "b1 a1 a2");
    EXPECT_EQ(CheckInvariants(a), "");
    EXPECT_EQ(CheckInvariants(b), "");
}

TEST_F(ClipboardTest, CopyPastesTwiceKeepingOrder) {
    a.AddToSelection(a1);
    a.AddToSelection(a2);
    a.CopyToClipBoard();
    b.SetDefaultPasteMode(amAddChildFirst);
    EXPECT_TRUE(b.PasteFromClipboard());
    EXPECT_TRUE(b.PasteFromClipboard());
    EXPECT_EQ(Top(b), "a1 a2 a1 a2 b1");
    EXPECT_EQ(Top(a), "a1 a2 a3");
    EXPECT_TRUE(a.TreeStates() & tsCopyPending);
    EXPECT_EQ(CheckInvariants(b), "");
}

TEST_F(ClipboardTest, CutIntoItsOwnDescendantSkipsThatNode) {
    a.AddToSelection(a1);
    a.AddToSelection(a2);
    a.CutToClipBoard();
    a.SetFocusedNode(a2->FirstChild);
    EXPECT_TRUE(a.PasteFromClipboard());
    EXPECT_EQ(Top(a), "a2 a3");
    EXPECT_EQ(Walk(a, a.GetFirst(), [&](PVastNode n) { return a.GetNext(n); }), "a2 a21 a1 a3");
    EXPECT_EQ(CheckInvariants(a), "");
}

TEST_F(ClipboardTest, TreeGoneWhileItsCopyIsOnTheClipboard) {
    auto gone = std::make_unique<TVastStringTree>(nullptr);
    Texts::Wire(*gone);
    gone->SetSelected(Add(*gone, nullptr, "x"), true);
    gone->CopyToClipBoard();
    EXPECT_EQ(ClipboardText(), "x\r\n");
    gone.reset();
    EXPECT_FALSE(b.PasteFromClipboard());
    EXPECT_EQ(ClipboardText(), "<none>");

    // Cleared after its cut was pasted: the data leaves the clipboard too.
    a.AddToSelection(a1);
    a.CutToClipBoard();
    b.PasteFromClipboard();
    a.Clear();
    EXPECT_EQ(ClipboardText(), "<none>");
}

// Tree data from elsewhere: another process's reference is ignored (copy path), and the
// stored size is believed only as far as the block reaches.
TEST_F(ClipboardTest, DataFromAnotherProcessIsCopied) {
    TMemoryStream nodes;
    a.SaveToStream(nodes, a2);
    std::vector<std::uint8_t> block(nodes.Memory() + 16, nodes.Memory() + nodes.Size());
    std::uint32_t lie = 0x7FFFFFFF;
    block.insert(block.begin(), reinterpret_cast<std::uint8_t*>(&lie), reinterpret_cast<std::uint8_t*>(&lie) + 4);
    auto* other = new TMemoryDataObject();
    TComPtr<IDataObject> held(other);
    other->Put(CF_VASTTREE, block);
    std::uint32_t reference[2] = {std::uint32_t(getpid()) + 1, a.TreeId()};
    other->Put(CF_VTREFERENCE, {reinterpret_cast<std::uint8_t*>(reference), reinterpret_cast<std::uint8_t*>(reference) + 8});
    ASSERT_EQ(OleSetClipboard(other), S_OK);
    EXPECT_TRUE(b.PasteFromClipboard());
    EXPECT_EQ(Walk(b, b.GetFirst(), [&](PVastNode n) { return b.GetNext(n); }), "b1 a2 a21");
    EXPECT_EQ(Top(a), "a1 a2 a3");

    // Damaged data is refused with the tree's error and loses nothing.
    block[4] = 9;
    other->Put(CF_VASTTREE, block);
    EXPECT_THROW(b.PasteFromClipboard(), EVastTreeError);
    EXPECT_EQ(CheckInvariants(b), "");
    EXPECT_EQ(b.UpdateCount(), 0u);
}

TEST_F(ClipboardTest, WindowMessagesReachTheOperations) {
    a.AddToSelection(a3);
    a.Perform(WM_COPY);
    EXPECT_EQ(ClipboardText(), "a3\r\n");
    b.Perform(WM_PASTE);
    EXPECT_EQ(Top(b), "b1 a3");
    a.Perform(WM_CUT);
    EXPECT_TRUE(a.TreeStates() & tsCutPending);
}

}  // namespace
}  // namespace treeview
