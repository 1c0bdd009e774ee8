// The tree's clipboard on a real X display: xclip lists the targets of a copy from the tree
// and reads its text; tree data written by xclip pastes into a tree (at the first paste of a
// fresh process too), damaged data is refused without a hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/backends/x11.h"
#include "platform/core/streams.h"
#include "platform/windows/backend.h"
#include "support/desktop.h"
#include "tree_support.h"
#include "treeview/vtclipboard.h"

// Last: Xlib's macros (None, Bool) would break the headers above.
#include <X11/Xlib.h>

namespace treeview {
namespace {

namespace fs = std::filesystem;
using namespace platform;
using namespace desktop;
using namespace test;

class TreeClipboardDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xclip"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(xvfb.Start());
        SetBackend(CreateX11Backend());
        dir = fs::temp_directory_path() / ("lumacast-treeclip-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void Name(TVastStringTree& tree) {
        tree.SetNodeDataSize(sizeof(NamedData));
        tree.OnGetText = [&tree](TBaseVastTree*, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
            text = test::Name(tree, node);
        };
    }
    // Runs xclip while this program keeps serving its selections; its exit status.
    int RunServing(const std::vector<std::string>& args, const std::string& out = "") {
        pid_t pid = Spawn(args, "", out);
        if (pid <= 0) return -1;
        int fd = ConnectionNumber(x11::CurrentDisplay());
        for (int i = 0; i < 3000; ++i) {
            Backend().PollInput();
            int rc = Finished(pid);
            if (rc >= 0) return rc;
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 10);
        }
        Stop(pid);
        return -2;
    }
    ::Window ClipboardOwner() {
        Display* d = x11::CurrentDisplay();
        return XGetSelectionOwner(d, XInternAtom(d, "CLIPBOARD", False));
    }
    // xclip offers the file's bytes under the target until one paste has read them.
    pid_t Offer(const std::string& target, const std::string& bytes) {
        std::ofstream(Path("in"), std::ios::binary) << bytes;
        ::Window before = ClipboardOwner();
        pid_t pid = Spawn({"xclip", "-i", "-selection", "clipboard", "-t", target, "-loops", "1", "-quiet", Path("in")},
                          "", Path("log"));
        for (int i = 0; i < 500 && (ClipboardOwner() == before || ClipboardOwner() == 0); ++i) usleep(10000);
        return pid;
    }
    // Tree data written by xclip pastes into a tree; damaged data is refused.
    void PasteFromXclip() {
        TVastStringTree source(nullptr), target(nullptr);
        Name(source);
        Name(target);
        for (TVastStringTree* t : {&source, &target}) {
            t->OnSaveNode = [t](TBaseVastTree*, PVastNode node, TStream& s) { s.WriteBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData)); };
            t->OnLoadNode = [t](TBaseVastTree*, PVastNode node, TStream& s) { s.ReadBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData)); };
        }
        PVastNode a = Add(source, nullptr, "a");
        Add(source, a, "a1");
        Add(source, nullptr, "b");
        TMemoryStream stream;
        source.SaveToStream(stream, nullptr);
        // The block: the size of the node chunks, then the chunks (the stream without its
        // marker and node count).
        const std::size_t head = 16;
        std::string block(4 + std::size_t(stream.Size()) - head, '\0');
        std::uint32_t size = std::uint32_t(stream.Size()) - head;
        std::memcpy(block.data(), &size, 4);
        std::memcpy(block.data() + 4, stream.Memory() + head, size);

        pid_t writer = Offer("application/x-vast-tree-data", block);
        ASSERT_GT(writer, 0);
        EXPECT_TRUE(target.PasteFromClipboard());
        EXPECT_EQ(Walk(target, target.GetFirst(), [&](PVastNode n) { return target.GetNext(n); }), "a a1 b");
        EXPECT_EQ(CheckInvariants(target), "");
        Stop(writer);

        // A block whose stream lies about its chunks.
        std::string damaged = block;
        damaged[4 + 20] = '\x7f';
        writer = Offer("application/x-vast-tree-data", damaged);
        ASSERT_GT(writer, 0);
        try {
            target.PasteFromClipboard();
        } catch (const EVastTreeError&) {
            // refused with its error
        }
        EXPECT_EQ(CheckInvariants(target), "");
        Stop(writer);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    Xvfb xvfb;
    fs::path dir;
};

// First in the file: in a process whose trees have not touched the clipboard yet, the
// first paste already finds the tree data another program offers.
TEST_F(TreeClipboardDesktop, AFreshTreePastesXclipsTreeDataAtTheFirstTry) { PasteFromXclip(); }

TEST_F(TreeClipboardDesktop, CopiedRowsReachXclipAndXclipsTreeDataPastes) {
    TVastStringTree tree(nullptr);
    Name(tree);
    tree.SetClipboardFormats({"Vast Tree Data", "HTML Format", "CSV", "Unicode text", "Plain text"});
    PVastNode first = Add(tree, nullptr, "caf\xC3\xA9");
    Add(tree, first, "child");
    Add(tree, nullptr, "second");
    tree.SetSelected(first, true);
    tree.CopyToClipBoard();
    ASSERT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}, Path("targets")), 0);
    std::string targets = ReadFile(Path("targets"));
    for (const char* t : {"application/x-vast-tree-data", "text/html", "text/csv",
                          "UTF8_STRING", "text/plain;charset=utf-8", "text/plain"})
        EXPECT_NE(targets.find(std::string(t) + "\n"), std::string::npos) << t << " in " << targets;
    EXPECT_EQ(targets.find("text/rtf\n"), std::string::npos) << "RTF was not asked for";
    ASSERT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, Path("text")), 0);
    EXPECT_EQ(ReadFile(Path("text")), tree.ContentToText(tstCutCopySet, '\t'));
    EXPECT_NE(ReadFile(Path("text")).find("caf\xC3\xA9"), std::string::npos);
    EXPECT_EQ(ReadFile(Path("text")).find("second"), std::string::npos) << "only the copied rows";
    // The tree data goes out as the block other programs paste: its size, then the nodes.
    ASSERT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "application/x-vast-tree-data"}, Path("data")), 0);
    std::string data = ReadFile(Path("data"));
    ASSERT_GT(data.size(), 4u);
    std::uint32_t size = 0;
    std::memcpy(&size, data.data(), 4);
    EXPECT_EQ(size, data.size() - 4);
    // The other way round, on the same display (the backend lives for the process).
    PasteFromXclip();
}


}  // namespace
}  // namespace treeview
