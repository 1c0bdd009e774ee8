// Feeds arbitrary bytes to the tree stream readers (loading, appending below a node, and
// the clipboard's and drops' "Vast Tree Data" block).
// The first byte picks the reader and whether a valid marker is put in front, so that
// the fuzzer spends its time inside the chunks. Every read either succeeds or raises the
// tree's error; either way the node store's invariants hold, and a tree that was read
// writes a stream that reads back to the same bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/core/streams.h"
#include "treeview/tree_support.h"
#include "treeview/vtclipboard.h"
#include "treeview/vststrings.h"

namespace {

using namespace treeview;

// Captions live beside the tree (node address to text), one tag byte in the node.
void Wire(TVastStringTree& tree, std::map<PVastNode, std::string>& captions) {
    tree.SetNodeDataSize(1);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    tree.OnGetText = [&captions](TBaseVastTree*, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
        auto found = captions.find(node);
        text = found == captions.end() ? std::string() : found->second;
    };
    tree.OnNewText = [&captions](TBaseVastTree*, PVastNode node, TColumnIndex, const std::string& text) {
        captions[node] = text;
    };
    tree.OnFreeNode = [&captions](TBaseVastTree*, PVastNode node) { captions.erase(node); };
    tree.OnLoadNode = [](TBaseVastTree* sender, PVastNode node, platform::TStream& stream) {
        stream.Read(sender->GetNodeData<char>(node), 1);
    };
    tree.OnSaveNode = [](TBaseVastTree* sender, PVastNode node, platform::TStream& stream) {
        if (char tag = *sender->GetNodeData<char>(node)) stream.WriteBuffer(&tag, 1);
    };
}

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "tree_stream_fuzz: %s\n", why);
    std::abort();
}

std::vector<std::uint8_t> Save(TBaseVastTree& tree) {
    platform::TMemoryStream out;
    tree.SaveToStream(out);
    return {out.Memory(), out.Memory() + out.Size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::uint8_t mode = data[0];
    platform::TMemoryStream input;
    if (mode & 1) {
        const std::uint8_t marker[12] = {0x45, 0x20, 0x56, 0, 0x54, 0, std::uint8_t(mode & 2 ? 1 : 2), 0,
                                         0x20, 0, 0x46, 0x20};
        input.WriteBuffer(marker, 12);
    }
    input.WriteBuffer(data + 1, std::int64_t(size - 1));
    input.SetPosition(0);

    // Made once: a tree costs more than most inputs.
    static std::map<PVastNode, std::string> captions, captionsAgain;
    static auto* made = new TVastStringTree(nullptr);
    static auto* madeAgain = new TVastStringTree(nullptr);
    static bool wired = (Wire(*made, captions), Wire(*madeAgain, captionsAgain), true);
    (void)wired;
    TVastStringTree& tree = *made;
    TVastStringTree& again = *madeAgain;
    tree.Clear();
    bool read = true;
    try {
        if (mode & 8) {
            // The clipboard's "Vast Tree Data" block: a size, then nodes without a marker.
            InitializeClipboardFormats();
            auto* block = new platform::TMemoryDataObject();
            platform::TComPtr<platform::IDataObject> held(block);
            block->Put(CF_VASTTREE, std::vector<std::uint8_t>(data + 1, data + size));
            tree.AddChild(nullptr);
            tree.ProcessOLEData(nullptr, block, tree.GetFirst(), TVTNodeAttachMode(1 + (mode >> 4) % 4), false);
        } else if (mode & 4) {
            PVastNode parent = tree.AddChild(nullptr);
            tree.AddChild(nullptr);
            tree.AddFromStream(input, parent);
        } else {
            tree.LoadFromStream(input);
        }
    } catch (const EVastTreeError&) {
        read = false;
    } catch (const platform::EReadError&) {
        read = false;
    }
    std::string broken = test::CheckInvariants(tree);
    if (!broken.empty() || tree.UpdateCount() != 0) Fail(("store after reading: " + broken).c_str());
    if (!read) return 0;
    std::vector<std::uint8_t> first = Save(tree);
    platform::TMemoryStream copy;
    copy.WriteBuffer(first.data(), std::int64_t(first.size()));
    copy.SetPosition(0);
    again.LoadFromStream(copy);
    if (Save(again) != first) {
        if (const char* dump = std::getenv("TREE_STREAM_FUZZ_DUMP")) {
            std::vector<std::uint8_t> second = Save(again);
            FILE* f = std::fopen(dump, "wb");
            std::fwrite(first.data(), 1, first.size(), f);
            std::fwrite(second.data(), 1, second.size(), f);
            std::fclose(f);
        }
        Fail("a tree that was read writes a different stream the second time");
    }
    if (!test::CheckInvariants(again).empty()) Fail("store after reading back");
    return 0;
}
