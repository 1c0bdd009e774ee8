// Tree streams: the byte layout, loading and appending, and hostile streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "platform/core/streams.h"
#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;
using platform::TMemoryStream;

// Every node has a name (its caption, through OnGetText/OnNewText) and a tag that
// travels in the user-data chunk when it is not 0.
struct Item {
    char name[16];
    std::uint32_t tag;
};

void Wire(TVastStringTree& tree) {
    tree.SetNodeDataSize(sizeof(Item));
    tree.OnGetText = [](TBaseVastTree* sender, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
        text = sender->GetNodeData<Item>(node)->name;
    };
    tree.OnNewText = [](TBaseVastTree* sender, PVastNode node, TColumnIndex, const std::string& text) {
        std::strncpy(sender->GetNodeData<Item>(node)->name, text.c_str(), 15);
    };
    tree.OnSaveNode = [](TBaseVastTree* sender, PVastNode node, platform::TStream& stream) {
        std::uint32_t tag = sender->GetNodeData<Item>(node)->tag;
        if (tag) stream.WriteBuffer(&tag, 4);
    };
    tree.OnLoadNode = [](TBaseVastTree* sender, PVastNode node, platform::TStream& stream) {
        stream.ReadBuffer(&sender->GetNodeData<Item>(node)->tag, 4);
    };
}

PVastNode AddItem(TBaseVastTree& tree, PVastNode parent, const char* name, std::uint32_t tag = 0) {
    PVastNode node = tree.AddChild(parent);
    std::strncpy(tree.GetNodeData<Item>(node)->name, name, 15);
    tree.GetNodeData<Item>(node)->tag = tag;
    return node;
}

std::vector<std::uint8_t> Bytes(TMemoryStream& stream) {
    return {stream.Memory(), stream.Memory() + stream.Size()};
}

std::vector<std::uint8_t> Saved(TBaseVastTree& tree, PVastNode node = nullptr) {
    TMemoryStream stream;
    tree.SaveToStream(stream, node);
    return Bytes(stream);
}

void Load(TBaseVastTree& tree, const std::vector<std::uint8_t>& bytes, bool append = false) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    stream.SetPosition(0);
    if (append)
        tree.AddFromStream(stream, tree.RootNode());
    else
        tree.LoadFromStream(stream);
}

// The tree's shape as "name[children](tag)" with states, checks and heights.
std::string Shape(TBaseVastTree& tree, PVastNode parent = nullptr) {
    std::string out;
    for (PVastNode n = (parent ? parent : tree.RootNode())->FirstChild; n; n = n->NextSibling) {
        auto* item = tree.GetNodeData<Item>(n);
        out += std::string(item->name) + "{h" + std::to_string(n->NodeHeight) + " c" +
               std::to_string(int(n->CheckType)) + "/" + std::to_string(int(n->CheckState)) +
               (n->States & vsExpanded ? " x" : "") + (n->States & vsSelected ? " s" : "") +
               (n->States & vsVisible ? "" : " hidden") + (n->States & vsDisabled ? " d" : "") +
               (item->tag ? " t" + std::to_string(item->tag) : "") + "}";
        if (n->FirstChild) out += "[" + Shape(tree, n) + "]";
    }
    return out;
}

int ErrorOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const EVastTreeError& e) {
        return e.HelpContext();
    } catch (const platform::EReadError&) {
        return -1;
    }
    return 0;
}

const std::vector<std::uint8_t> EmptyStream = {0x45, 0x20, 0x56, 0, 0x54, 0, 2, 0, 0x20, 0, 0x46, 0x20, 0, 0, 0, 0};

TEST(TreeStream, EmptyTreeIsSixteenBytesAndLoadsBackEmpty) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    EXPECT_EQ(Saved(tree), EmptyStream);
    AddItem(tree, nullptr, "gone");
    std::vector<PVastNode> copied;
    tree.OnNodeCopied = [&](TBaseVastTree*, PVastNode node) { copied.push_back(node); };
    Load(tree, EmptyStream);
    EXPECT_EQ(tree.RootNodeCount(), 0u);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0], nullptr);
    EXPECT_EQ(CheckInvariants(tree), "");
}

// A (checked check box, 20 pixels, expanded, tag 0x78) with child B; B has no tag, so
// it has no user-data chunk.
TEST(TreeStream, TwoLevelTreeIsWrittenByteForByte) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    PVastNode a = AddItem(tree, nullptr, "A", 0x78);
    AddItem(tree, a, "B");
    tree.SetCheckType(a, ctCheckBox);
    tree.SetCheckState(a, csCheckedNormal);
    tree.SetNodeHeight(a, 20);
    tree.SetExpanded(a, true);
    const std::vector<std::uint8_t> expected = {
        0x45, 0x20, 0x56, 0, 0x54, 0, 2, 0, 0x20, 0, 0x46, 0x20, 1, 0, 0, 0,
        1, 0, 0, 0, 0x5A, 0, 0, 0,                    // A: node chunk, 90 bytes
        2, 0, 0, 0, 0x3C, 0, 0, 0,                    //   base chunk, 60 bytes
        1, 0, 0, 0, 20, 0, 0, 0, 0xE1, 0, 50, 2, 2, 0, 0, 0, 0,  // one child, height 20, states, 50, checked box
        1, 0, 0, 0, 0x23, 0, 0, 0,                    //   B: node chunk, 35 bytes
        2, 0, 0, 0, 0x11, 0, 0, 0,                    //     base chunk, 17 bytes
        0, 0, 0, 0, 18, 0, 0, 0, 0x81, 0, 50, 0, 0, 0, 0, 0, 0,
        3, 0, 0, 0, 2, 0, 0, 0, 'B', 0,               //     caption "B"
        4, 0, 0, 0, 4, 0, 0, 0, 0x78, 0, 0, 0,        //   user data of A
        3, 0, 0, 0, 2, 0, 0, 0, 'A', 0,               //   caption "A"
    };
    EXPECT_EQ(Saved(tree), expected);

    TVastStringTree other(nullptr);
    Wire(other);
    Load(other, expected);
    EXPECT_EQ(Shape(other), "A{h20 c2/2 x t120}[B{h18 c0/0}]");
    EXPECT_EQ(CheckInvariants(other), "");
}

TEST(TreeStream, CaptionsTravelAsUtf16AndCanBeLeftOut) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    AddItem(tree, nullptr, "\xC3\xA9\xF0\x9F\x98\x80");  // é and an emoji (a surrogate pair)
    std::vector<std::uint8_t> bytes = Saved(tree);
    const std::vector<std::uint8_t> caption = {3, 0, 0, 0, 6, 0, 0, 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE};
    ASSERT_GE(bytes.size(), caption.size());
    EXPECT_TRUE(std::equal(caption.begin(), caption.end(), bytes.end() - std::ptrdiff_t(caption.size())));
    TVastStringTree other(nullptr);
    Wire(other);
    Load(other, bytes);
    EXPECT_EQ(other.GetText(other.GetFirst(), NoColumn), "\xC3\xA9\xF0\x9F\x98\x80");

    tree.TreeOptions()->SetStringOptions(0);
    EXPECT_EQ(Saved(tree).size(), 16u + 8 + 8 + 17);
}

TEST(TreeStream, MarkerAndVersionEdgeCases) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int error;
    };
    std::vector<std::uint8_t> noSpace = EmptyStream;
    noSpace[8] = 'x';
    std::vector<std::uint8_t> version3 = EmptyStream;
    version3[6] = 3;
    std::vector<std::uint8_t> wrong = EmptyStream;
    wrong[2] = 'W';
    const Case cases[] = {
        {"eleven bytes", std::vector<std::uint8_t>(EmptyStream.begin(), EmptyStream.begin() + 11), 2004},
        {"fifth unit not a space", noSpace, 0},
        {"version 3", version3, 2003},
        {"wrong marker", wrong, 2002},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVastStringTree tree(nullptr);
        Wire(tree);
        AddItem(tree, nullptr, "kept");
        EXPECT_EQ(ErrorOf([&] { Load(tree, c.bytes); }), c.error);
        // A refused stream leaves the tree as it was.
        EXPECT_EQ(tree.RootNodeCount(), c.error ? 1u : 0u);
        EXPECT_EQ(CheckInvariants(tree), "");
    }
}

TEST(TreeStream, SelectionFollowsTheTargetsSelectionMode) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    PVastNode a = AddItem(tree, nullptr, "A");
    AddItem(tree, nullptr, "B");
    PVastNode c = AddItem(tree, nullptr, "C");
    tree.AddToSelection(a);
    tree.AddToSelection(c);
    std::vector<std::uint8_t> bytes = Saved(tree);

    TVastStringTree multi(nullptr);
    Wire(multi);
    multi.TreeOptions()->SetSelectionOptions(toMultiSelect);
    Load(multi, bytes);
    EXPECT_EQ(multi.SelectedCount(), 2);
    EXPECT_EQ(Name(multi, multi.GetFirstSelected()), "A");

    TVastStringTree single(nullptr);
    Wire(single);
    Load(single, bytes);
    EXPECT_EQ(single.SelectedCount(), 0);
    EXPECT_EQ(single.GetFirstSelected(), nullptr);
}

TEST(TreeStream, SubtreeAppendedToAnotherTreeKeepsShapeAndData) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    AddItem(tree, nullptr, "other");
    PVastNode p = AddItem(tree, nullptr, "P", 7);
    PVastNode q = AddItem(tree, p, "Q", 8);
    AddItem(tree, q, "R");
    PVastNode s = AddItem(tree, p, "S");
    tree.SetCheckType(s, ctRadioButton);
    tree.SetCheckState(s, csCheckedNormal);
    tree.SetNodeHeight(q, 30);
    tree.SetExpanded(p, true);
    tree.SetDisabled(s, true);
    tree.SetVisible(q, false);
    std::vector<std::uint8_t> bytes = Saved(tree, p);

    TVastStringTree target(nullptr);
    Wire(target);
    AddItem(target, nullptr, "first");
    PVastNode copiedTo = reinterpret_cast<PVastNode>(1);
    target.OnNodeCopied = [&](TBaseVastTree*, PVastNode node) { copiedTo = node; };
    Load(target, bytes, true);
    Load(target, bytes, true);
    EXPECT_EQ(copiedTo, nullptr);
    const std::string subtree = "P{h18 c0/0 x t7}[Q{h30 c0/0 hidden t8}[R{h18 c0/0}]S{h18 c3/2 d}]";
    EXPECT_EQ(Shape(target), "first{h18 c0/0}" + subtree + subtree);
    EXPECT_EQ(CheckInvariants(target), "");
    EXPECT_EQ(target.VisibleCount(), 5u);
}

TEST(TreeStream, UninitialisedNodeWithChildrenReadsBack) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    tree.TreeOptions()->SetMiscOptions(tree.TreeOptions()->MiscOptions() & ~toInitOnSave);
    tree.SetRootNodeCount(1);
    PVastNode node = tree.GetFirstNoInit();
    tree.SetChildCount(node, 3);  // children made before the node was initialised
    ASSERT_FALSE(node->States & vsInitialized);
    std::vector<std::uint8_t> bytes = Saved(tree);
    TVastStringTree other(nullptr);
    Wire(other);
    EXPECT_EQ(ErrorOf([&] { Load(other, bytes); }), 0);
    EXPECT_EQ(other.RootNodeCount(), 1u);
    EXPECT_EQ(CheckInvariants(other), "");
}

TEST(TreeStream, LoadHandlerReadingTooLittleOrTooMuchDoesNotDerail) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    AddItem(tree, nullptr, "A", 1);
    AddItem(tree, nullptr, "B", 2);
    AddItem(tree, nullptr, "C", 3);
    std::vector<std::uint8_t> bytes = Saved(tree);
    for (int read : {0, 1, 40}) {
        SCOPED_TRACE(read);
        TVastStringTree other(nullptr);
        Wire(other);
        other.OnLoadNode = [&](TBaseVastTree*, PVastNode, platform::TStream& stream) {
            std::vector<char> sink(std::size_t(read) + 1);
            stream.Read(sink.data(), read);
        };
        EXPECT_EQ(ErrorOf([&] { Load(other, bytes); }), 0);
        EXPECT_EQ(Walk(other, other.GetFirst(), [&](PVastNode n) { return other.GetNext(n); }), "A B C");
    }
}

TEST(TreeStream, VersionOneStreamsAreRead) {
    // No node count; an 12-byte body whose state byte keeps bit 7 for "selected".
    std::vector<std::uint8_t> bytes = {0x45, 0x20, 0x56, 0, 0x54, 0, 1, 0, 0x20, 0, 0x46, 0x20};
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t node[] = {1, 0, 0, 0, 20, 0, 0, 0, 2, 0, 0, 0, 12, 0, 0, 0,
                                     0, 0, 0, 0, 22, 0, 0, 0, std::uint8_t(i ? 0x81 : 0x01), 50, 0, 0};
        bytes.insert(bytes.end(), std::begin(node), std::end(node));
    }
    TVastStringTree tree(nullptr);
    Wire(tree);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    Load(tree, bytes);
    EXPECT_EQ(Shape(tree), "{h22 c0/0}{h22 c0/0 s}");
    EXPECT_EQ(tree.SelectedCount(), 1);
    EXPECT_EQ(CheckInvariants(tree), "");
}

// One good top-level node, then a damaged one: the error names the damage, the good
// node stays and the node store is consistent.
TEST(TreeStream, DamagedStreamsAreRefusedWithTheStoreIntact) {
    TVastStringTree source(nullptr);
    Wire(source);
    PVastNode a = AddItem(source, nullptr, "A", 5);
    AddItem(source, a, "A1");
    AddItem(source, a, "A2");
    source.SetExpanded(a, true);
    const std::vector<std::uint8_t> good = Saved(source);
    // Offsets into the good stream: A's node chunk at 16, its base chunk at 24, its body
    // at 32, A1's node chunk at 49.
    auto patched = [&](std::size_t at, std::vector<std::uint8_t> value) {
        std::vector<std::uint8_t> bytes = good;
        std::copy(value.begin(), value.end(), bytes.begin() + std::ptrdiff_t(at));
        return bytes;
    };
    // 1001 nested nodes, each holding the next.
    std::vector<std::uint8_t> inner;
    for (int level = 0; level < 1001; ++level) {
        auto put = [](std::vector<std::uint8_t>& v, std::uint32_t value) {
            for (int i = 0; i < 4; ++i) v.push_back(std::uint8_t(value >> (8 * i)));
        };
        std::vector<std::uint8_t> node;
        put(node, 1);
        put(node, std::uint32_t(8 + 17 + inner.size()));
        put(node, 2);
        put(node, std::uint32_t(17 + inner.size()));
        put(node, level == 0 ? 0 : 1);
        put(node, 18);
        const std::uint8_t rest[] = {0x81, 0, 50, 0, 0, 0, 0, 0, 0};
        node.insert(node.end(), std::begin(rest), std::end(rest));
        node.insert(node.end(), inner.begin(), inner.end());
        inner.swap(node);
    }
    std::vector<std::uint8_t> deep(good.begin(), good.begin() + 16);
    deep[12] = 1;
    deep.insert(deep.end(), inner.begin(), inner.end());
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int error;
    };
    const Case cases[] = {
        {"negative node size", patched(20, {0xFF, 0xFF, 0xFF, 0xFF}), 2005},
        {"node past the stream", patched(20, {0, 0, 0, 0x10}), 2005},
        {"not a node chunk", patched(16, {7}), 2005},
        {"negative base size", patched(28, {0xFF, 0xFF, 0xFF, 0xFF}), 2006},
        {"base past its node", patched(28, {0xF0}), 2006},
        {"more children than chunks", patched(32, {9}), 2005},
        {"child past its parent's base", patched(53, {0x70}), 2005},
        {"height above 65535", patched(36, {0, 0, 1}), 2006},
        {"unknown check state", patched(43, {9}), 2006},
        {"short base body", patched(28, {4}), 2006},
        {"truncated", std::vector<std::uint8_t>(good.begin(), good.end() - 5), 2005},
        {"nested too deeply", deep, 2005},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVastStringTree tree(nullptr);
        Wire(tree);
        tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
        EXPECT_EQ(ErrorOf([&] { Load(tree, c.bytes); }), c.error);
        EXPECT_EQ(CheckInvariants(tree), "");
        EXPECT_EQ(tree.UpdateCount(), 0u);
        // The tree is usable afterwards.
        tree.Clear();
        Load(tree, good);
        EXPECT_EQ(Shape(tree), "A{h18 c0/0 x t5}[A1{h18 c0/0}A2{h18 c0/0}]");
    }
}

TEST(TreeStream, OddCaptionReadsWholeUnitsAndGoesOnAtTheChunkEnd) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    AddItem(tree, nullptr, "AB");
    AddItem(tree, nullptr, "C");
    std::vector<std::uint8_t> bytes = Saved(tree);
    // First node: node chunk at 16; caption chunk of "AB" ends its node. Make it 3 bytes
    // (the first node chunk grows by nothing: the byte after "A" is B's low byte).
    std::size_t caption = 16 + 8 + 8 + 17;
    ASSERT_EQ(bytes[caption], 3);
    bytes[caption + 4] = 3;
    bytes[20] = std::uint8_t(bytes[20] - 1);  // the node chunk ends one byte earlier...
    bytes.erase(bytes.begin() + std::ptrdiff_t(caption + 8 + 3));  // ...and so does the stream
    TVastStringTree other(nullptr);
    Wire(other);
    EXPECT_EQ(ErrorOf([&] { Load(other, bytes); }), 0);
    EXPECT_EQ(Walk(other, other.GetFirst(), [&](PVastNode n) { return other.GetNext(n); }), "A C");
}

TEST(TreeStream, FilesRoundTripAndAPythonReaderAgrees) {
    TVastStringTree tree(nullptr);
    Wire(tree);
    PVastNode a = AddItem(tree, nullptr, "Alpha", 9);
    AddItem(tree, a, "Beta");
    tree.SetCheckType(a, ctTriStateCheckBox);
    std::string file = ::testing::TempDir() + "tree_stream_test.vtd";
    tree.SaveToFile(file);
    const char* source = std::getenv("LUMACAST_SOURCE_DIR");
    ASSERT_TRUE(source);
    std::string command = std::string("python3 ") + source + "/tests/treeview/stream_decode.py " + file;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    EXPECT_EQ(out,
              "version 2 count 1\n"
              "node children=1 height=18 states=0x00c1 check=0/1 caption='Alpha' user=09000000\n"
              "  node children=0 height=18 states=0x0081 check=0/0 caption='Beta'\n");
    TVastStringTree other(nullptr);
    Wire(other);
    other.LoadFromFile(file);
    EXPECT_EQ(Shape(other), "Alpha{h18 c1/0 t9}[Beta{h18 c0/0}]");
    EXPECT_THROW(other.LoadFromFile(file + ".missing"), platform::EFOpenError);
    std::remove(file.c_str());
}

}  // namespace
}  // namespace treeview
