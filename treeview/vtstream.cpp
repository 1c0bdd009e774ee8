// Tree streams: a marker with a version, a node count, and nested length-prefixed chunks
// per node (node chunk 1 holding a base chunk 2 with the node's body and its children's
// node chunks, an optional user-data chunk 4 and, in the text tree, a caption chunk 3).
// Chunk sizes are back-patched after writing; unknown chunks are skipped by their size.
//
// Streams come from files, the clipboard and other programs' drops, so the reader trusts
// nothing: every chunk must lie inside its enclosing chunk and the stream, nesting is
// bounded, and a subtree whose reading failed is put right (counts, heights, flags,
// selection) before the error leaves.
#include <cstring>
#include <memory>
#include <vector>

#include "treeview/vasttrees.h"
#include "treeview/vtinternal.h"
#include "treeview/vststrings.h"
#include "treeview/vtutf.h"

namespace treeview {

using namespace platform;

namespace {

constexpr int StreamVersion = 2;
constexpr int NodeChunk = 1, BaseChunk = 2, CaptionChunk = 3, UserChunk = 4;
constexpr std::uint16_t WrittenStates = 0xDDE9;
// Read states keep what is written, less the marks of operations in progress.
constexpr std::uint16_t ReadStates = WrittenStates & ~(vsClearing | vsToggling);
// Deeper nesting is refused rather than risking the reader's stack.
constexpr int MaxStreamDepth = 1000;

const char* const NotEnoughData = "Unable to load tree structure, not enough data available.";
const char* const WrongFormat = "Unable to load tree structure, the format is wrong.";
const char* const UnknownVersion = "Unable to load tree structure, the version is unknown.";
const char* const AnchorMissing = "Stream data corrupt. A node's anchor chunk is missing.";
const char* const DataAfterEnd = "Stream data corrupt. Unexpected data after node's end position.";

void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
std::uint16_t GetU16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t GetU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void WriteChunkHeader(TStream& stream, std::int32_t type, std::int32_t size) {
    std::uint8_t bytes[8];
    PutU32(bytes, std::uint32_t(type));
    PutU32(bytes + 4, std::uint32_t(size));
    stream.WriteBuffer(bytes, 8);
}

// The version of a marker whose fixed units match, else -1.
int MarkerVersion(const std::uint8_t* marker) {
    if (GetU16(marker) != 0x2045 || GetU16(marker + 2) != 'V' || GetU16(marker + 4) != 'T' ||
        GetU16(marker + 10) != 0x2046)
        return -1;
    return GetU16(marker + 6);
}

// Keeps the chunk limit and the depth of the reader across a nested read, also when
// the read fails.
struct ReaderScope {
    std::int64_t& limit;
    int& depth;
    std::int64_t savedLimit;
    ReaderScope(std::int64_t& l, int& d) : limit(l), depth(d), savedLimit(l) { ++depth; }
    ~ReaderScope() {
        limit = savedLimit;
        --depth;
    }
};

}  // namespace

// ---- writing ----

void TBaseVastTree::SaveToStream(TStream& stream, PVastNode node) {
    std::uint8_t head[16];
    const std::uint16_t units[6] = {0x2045, 'V', 'T', StreamVersion, 0x0020, 0x2046};
    for (int i = 0; i < 6; ++i) PutU16(head + 2 * i, units[i]);
    if (!node || node == root_) {
        PutU32(head + 12, root_->ChildCount);
        stream.WriteBuffer(head, 16);
        for (PVastNode run = root_->FirstChild; run; run = run->NextSibling) WriteNode(stream, run);
    } else {
        PutU32(head + 12, 1);
        stream.WriteBuffer(head, 16);
        WriteNode(stream, node);
    }
}

void TBaseVastTree::SaveToFile(const std::string& fileName) {
    // Built in memory and written in one call: a file stream moves every small write
    // through the system.
    TMemoryStream memory;
    SaveToStream(memory, nullptr);
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(memory.Memory(), memory.Size());
}

void TBaseVastTree::WriteNode(TStream& stream, PVastNode node) {
    if (options_->MiscOptions() & toInitOnSave) {
        InitIfNeeded(node);
        CreateChildrenIfNeeded(node);
    }
    std::int64_t start = stream.Position();
    WriteChunkHeader(stream, NodeChunk, 0);
    WriteChunks(stream, node);
    FinishChunkHeader(stream, start, stream.Position());
}

void TBaseVastTree::WriteChunks(TStream& stream, PVastNode node) {
    std::int64_t start = stream.Position();
    bool initialized = node->States & vsInitialized;
    // The children of an uninitialised node are not written, so neither is their count:
    // a reader expects as many child chunks as the count says.
    std::uint8_t bytes[8 + 17] = {};
    PutU32(bytes, BaseChunk);
    PutU32(bytes + 8, initialized ? node->ChildCount : 0);
    PutU32(bytes + 12, node->NodeHeight);
    PutU16(bytes + 16, node->States & WrittenStates);
    bytes[18] = node->VerticalAlignment;
    bytes[19] = node->CheckState;
    bytes[20] = node->CheckType;
    stream.WriteBuffer(bytes, sizeof bytes);
    if (initialized)
        for (PVastNode child = node->FirstChild; child; child = child->NextSibling) WriteNode(stream, child);
    FinishChunkHeader(stream, start, stream.Position());

    std::int64_t userStart = stream.Position();
    WriteChunkHeader(stream, UserChunk, 0);
    DoSaveUserData(node, stream);
    std::int64_t userEnd = stream.Position();
    if (userEnd == userStart + 8) {
        stream.SetSize(stream.Size() - 8);
        stream.SetPosition(userStart);
    } else {
        FinishChunkHeader(stream, userStart, userEnd);
    }
}

void TBaseVastTree::FinishChunkHeader(TStream& stream, std::int64_t chunkStart, std::int64_t chunkEnd) {
    std::uint8_t size[4];
    PutU32(size, std::uint32_t(chunkEnd - chunkStart - 8));
    stream.SetPosition(chunkStart + 4);
    stream.WriteBuffer(size, 4);
    stream.SetPosition(chunkEnd);
}

void TBaseVastTree::DoSaveUserData(PVastNode node, TStream& stream) {
    if (OnSaveNode) OnSaveNode(this, EventNode(node), stream);
}

bool TBaseVastTree::DoLoadUserData(PVastNode node, TStream& stream) {
    std::int64_t before = stream.Position();
    if (OnLoadNode) OnLoadNode(this, EventNode(node), stream);
    return stream.Position() != before;
}

// ---- reading ----

void TBaseVastTree::ReadNode(TStream& stream, int version, PVastNode node) {
    ReaderScope scope(streamChunkLimit_, streamDepth_);
    if (streamDepth_ > MaxStreamDepth) throw EVastTreeError(AnchorMissing, 2005);
    std::int64_t start = stream.Position();
    std::uint8_t header[8];
    if (scope.savedLimit - start < 8) throw EVastTreeError(AnchorMissing, 2005);
    stream.ReadBuffer(header, 8);
    auto type = std::int32_t(GetU32(header));
    auto size = std::int32_t(GetU32(header + 4));
    if (type != NodeChunk || size < 0 || size > scope.savedLimit - start - 8)
        throw EVastTreeError(AnchorMissing, 2005);
    std::int64_t end = start + 8 + size;
    for (std::int64_t position = start + 8; position < end; position = stream.Position()) {
        if (end - position < 8) throw EVastTreeError(DataAfterEnd, 2006);
        stream.ReadBuffer(header, 8);
        auto chunkType = std::int32_t(GetU32(header));
        auto chunkSize = std::int32_t(GetU32(header + 4));
        if (chunkSize < 0 || chunkSize > end - position - 8) throw EVastTreeError(DataAfterEnd, 2006);
        std::int64_t chunkEnd = position + 8 + chunkSize;
        streamChunkLimit_ = chunkEnd;
        ReadChunk(stream, version, node, chunkType, chunkSize);
        streamChunkLimit_ = end;
        std::int64_t reached = stream.Position();
        if (reached > chunkEnd) throw EVastTreeError(DataAfterEnd, 2006);
        if (reached < chunkEnd) stream.SetPosition(chunkEnd);
    }
    if (stream.Position() != end) throw EVastTreeError(DataAfterEnd, 2006);
}

bool TBaseVastTree::ReadChunk(TStream& stream, int version, PVastNode node, int chunkType, std::int32_t chunkSize) {
    std::int64_t start = stream.Position();
    if (chunkType == BaseChunk) {
        const std::int32_t bodySize = version == 1 ? 12 : 17;
        if (chunkSize < bodySize) throw EVastTreeError(DataAfterEnd, 2006);
        std::uint8_t body[17];
        stream.ReadBuffer(body, bodySize);
        std::uint32_t childCount = GetU32(body);
        std::uint32_t height = GetU32(body + 4);
        std::uint16_t states;
        std::size_t rest = 10;
        if (version == 1) {
            std::uint8_t old = body[8];
            states = std::uint16_t((old & 0x7F & ReadStates) | vsVisible);
            if (old & 0x80) states |= vsSelected;
            rest = 9;
        } else {
            states = GetU16(body + 8) & ReadStates;
        }
        std::uint8_t alignment = body[rest], checkState = body[rest + 1], checkType = body[rest + 2];
        if (height > 65535 || checkState > csMixedPressed || checkType > ctButton)
            throw EVastTreeError(DataAfterEnd, 2006);
        node->States = states;
        node->NodeHeight = std::uint16_t(height);
        node->TotalHeight = height;
        node->VerticalAlignment = alignment;
        node->CheckState = TCheckState(checkState);
        node->CheckType = TCheckType(checkType);
        // Children are counted as they come, so the count never promises more than exists.
        for (std::uint32_t i = 0; i < childCount; ++i) {
            PVastNode child = MakeNewNode();
            LinkLastChild(node, child);
            ++node->ChildCount;
            ReadNode(stream, version, child);
        }
        return true;
    }
    if (chunkType == UserChunk) {
        if (chunkSize <= 0) return true;
        bool consumed = DoLoadUserData(node, stream);
        // A handler that read too little or too much does not derail the reader.
        stream.SetPosition(start + chunkSize);
        return consumed;
    }
    stream.SetPosition(start + chunkSize);
    return false;
}

void TBaseVastTree::SkipNode(TStream& stream) {
    std::int64_t start = stream.Position();
    std::uint8_t header[8];
    if (stream.Size() - start < 8) throw EVastTreeError(AnchorMissing, 2005);
    stream.ReadBuffer(header, 8);
    auto type = std::int32_t(GetU32(header));
    auto size = std::int32_t(GetU32(header + 4));
    if (type != NodeChunk || size < 0 || size > stream.Size() - start - 8) throw EVastTreeError(AnchorMissing, 2005);
    stream.SetPosition(start + 8 + size);
}

void TBaseVastTree::InternalAddFromStream(TStream& stream, int version, PVastNode node) {
    Require(node && node != root_, "The root node cannot be loaded from stream.");
    PVastNode parent = node->Parent;
    std::uint32_t oldTotalCount = node->TotalCount;
    std::uint32_t oldContribution =
        (parent->States & vsExpanded) && (node->States & vsVisible) ? node->TotalHeight : 0;
    std::uint32_t oldShown = IsShown(node) ? CountVisibleChildren(node) + 1 : 0;
    TScopeExit settle([&] { SettleReadSubtree(node, oldTotalCount, oldContribution, oldShown); });
    ReadNode(stream, version, node);
}

void TBaseVastTree::SettleReadSubtree(PVastNode node, std::uint32_t oldTotalCount, std::uint32_t oldContribution,
                                      std::uint32_t oldShown) {
    // Flags first, from the bottom up: a node without children cannot be expanded.
    std::vector<PVastNode> order;
    for (PVastNode run = node; run;) {
        order.push_back(run);
        if (run->FirstChild) {
            run = run->FirstChild;
            continue;
        }
        while (run != node && !run->NextSibling) run = run->Parent;
        run = run == node ? nullptr : run->NextSibling;
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        PVastNode run = *it;
        if (run->ChildCount == 0) {
            run->States &= ~vsExpanded;
        } else {
            run->States |= vsHasChildren;
            DetermineHiddenChildrenFlag(run);
        }
        run->TotalCount = 1;
        run->TotalHeight = run->NodeHeight;
        for (PVastNode child = run->FirstChild; child; child = child->NextSibling) {
            run->TotalCount += child->TotalCount;
            if ((run->States & vsExpanded) && (child->States & vsVisible)) run->TotalHeight += child->TotalHeight;
        }
    }
    PVastNode parent = node->Parent;
    AdjustTotalCount(parent, std::int64_t(node->TotalCount) - oldTotalCount, true);
    std::uint32_t contribution =
        (parent->States & vsExpanded) && (node->States & vsVisible) ? node->TotalHeight : 0;
    AdjustTotalHeight(parent, std::int64_t(contribution) - oldContribution, true);
    std::uint32_t shown = IsShown(node) ? CountVisibleChildren(node) + 1 : 0;
    visibleCount_ = std::uint32_t(std::int64_t(visibleCount_) + shown - oldShown);
    if (parent != root_) {
        if (updateCount_ > 0)
            states_ |= tsUpdateHiddenChildrenNeeded;
        else
            DetermineHiddenChildrenFlag(parent);
    }

    std::vector<PVastNode> selected;
    bool multiSelect = TreeOptions()->SelectionOptions() & toMultiSelect;
    for (PVastNode run : order) {
        if (!(run->States & vsSelected)) continue;
        std::int32_t index = 0;
        if (multiSelect) {
            if (!FindNodeInSelection(run, index, -1, -1)) selected.push_back(run);
        } else {
            run->States &= ~vsSelected;
        }
    }
    if (!selected.empty()) InternalAddToSelection(selected.data(), std::int32_t(selected.size()), true);
    InvalidateCache();
}

PVastNode TBaseVastTree::ReadDetachedNode(TStream& stream) {
    PVastNode node = MakeNewNode();
    std::int64_t savedLimit = streamChunkLimit_;
    int savedDepth = streamDepth_;
    streamChunkLimit_ = stream.Size();
    streamDepth_ = 0;
    {
        // On a failure the node goes too, after the stream limits.
        TScopeFail freeNode([&] { FreeUnlinked(node); });
        TScopeExit restoreLimits([&] {
            streamChunkLimit_ = savedLimit;
            streamDepth_ = savedDepth;
        });
        ReadNode(stream, StreamVersion, node);
    }
    // Copies start unselected; flags and totals from the bottom up.
    std::vector<PVastNode> order;
    for (PVastNode run = node; run;) {
        order.push_back(run);
        if (run->FirstChild) {
            run = run->FirstChild;
            continue;
        }
        while (run != node && !run->NextSibling) run = run->Parent;
        run = run == node ? nullptr : run->NextSibling;
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        PVastNode run = *it;
        run->States &= ~vsSelected;
        if (run->ChildCount == 0) {
            run->States &= ~vsExpanded;
        } else {
            run->States |= vsHasChildren;
            DetermineHiddenChildrenFlag(run);
        }
    }
    FixupTotalCount(node);
    FixupTotalHeight(node);
    return node;
}

void TBaseVastTree::ReadStreamNodes(TStream& stream, int version, PVastNode parent) {
    std::uint32_t count = 0;
    if (version >= 2) {
        std::uint8_t bytes[4];
        if (stream.Size() - stream.Position() < 4) throw EVastTreeError(NotEnoughData, 2004);
        stream.ReadBuffer(bytes, 4);
        count = GetU32(bytes);
    }
    std::int64_t savedLimit = streamChunkLimit_;
    int savedDepth = streamDepth_;
    streamChunkLimit_ = stream.Size();
    streamDepth_ = 0;
    TScopeExit restoreLimits([&] {
        streamChunkLimit_ = savedLimit;
        streamDepth_ = savedDepth;
    });
    for (std::uint32_t read = 0; stream.Position() < stream.Size() && (version == 1 || read < count); ++read) {
        PVastNode node = MakeNewNode();
        InternalConnectNode(node, parent, this, amAddChildLast);
        InternalAddFromStream(stream, version, node);
    }
}

void TBaseVastTree::LoadFromStream(TStream& stream) {
    if (ReadOnly()) return;
    std::uint8_t marker[12];
    if (stream.Size() - stream.Position() < 12) throw EVastTreeError(NotEnoughData, 2004);
    stream.ReadBuffer(marker, 12);
    int version = MarkerVersion(marker);
    if (version < 0) throw EVastTreeError(WrongFormat, 2002);
    if (version < 1 || version > StreamVersion) throw EVastTreeError(UnknownVersion, 2003);
    // Only a stream that says it is a tree stream replaces the tree.
    Clear();
    InterruptValidation();
    Updating([&] { ReadStreamNodes(stream, version, root_); });
    DoNodeCopied(nullptr);
}

void TBaseVastTree::LoadFromFile(const std::string& fileName) {
    TMemoryStream memory;
    {
        TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
        memory.CopyFrom(file, 0);
    }
    memory.SetPosition(0);
    LoadFromStream(memory);
}

void TBaseVastTree::AddFromStream(TStream& stream, PVastNode target) {
    if (ReadOnly()) return;
    target = NodeOrRoot(target);
    if (target != root_ && !CheckOwnNode(target)) return;
    std::uint8_t marker[12];
    stream.ReadBuffer(marker, 12);
    int version = MarkerVersion(marker);
    if (version < 1 || version > StreamVersion) throw EVastTreeError(UnknownVersion, 2003);
    InterruptValidation();
    Updating([&] { ReadStreamNodes(stream, version, target); });
    DoNodeCopied(EventNode(target));
}

// ---- the text tree's caption chunk ----

void TCustomVastStringTree::WriteChunks(TStream& stream, PVastNode node) {
    TBaseVastTree::WriteChunks(stream, node);
    auto* options = static_cast<TCustomStringTreeOptions*>(TBaseVastTree::TreeOptions());
    if (!(options->StringOptions() & toSaveCaptions) || node == RootNode() || !(node->States & vsInitialized))
        return;
    std::u16string units = Utf8ToUtf16(GetText(node, MainColumn()));
    if (units.empty()) return;
    std::vector<std::uint8_t> bytes(8 + 2 * units.size());
    PutU32(bytes.data(), CaptionChunk);
    PutU32(bytes.data() + 4, std::uint32_t(2 * units.size()));
    for (std::size_t i = 0; i < units.size(); ++i) PutU16(bytes.data() + 8 + 2 * i, units[i]);
    stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

bool TCustomVastStringTree::ReadChunk(TStream& stream, int version, PVastNode node, int chunkType,
                                      std::int32_t chunkSize) {
    if (chunkType != CaptionChunk) return TBaseVastTree::ReadChunk(stream, version, node, chunkType, chunkSize);
    std::int64_t start = stream.Position();
    // An odd size leaves its last byte unread; reading goes on at the chunk's end.
    std::vector<std::uint8_t> bytes(std::size_t(chunkSize / 2) * 2);
    stream.ReadBuffer(bytes.data(), std::int64_t(bytes.size()));
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = char16_t(GetU16(bytes.data() + 2 * i));
    stream.SetPosition(start + chunkSize);
    SetText(node, MainColumn(), Utf16ToUtf8(units));
    return true;
}

}  // namespace treeview
