// Feeds arbitrary bytes to the header record reader. A record is read whole or refused
// with the stream read error; either way the column order stays a permutation, and a
// record that was read writes back to one that reads the same.
#include <cstdint>
#include <cstdlib>

#include "platform/core/streams.h"
#include "treeview/vststrings.h"
#include "treeview/vtheader.h"

namespace {

bool OrderWhole(treeview::TVastTreeColumns* columns) {
    if (columns->PositionToIndex().size() != std::size_t(columns->Count())) return false;
    for (int i = 0; i < columns->Count(); ++i)
        if (columns->PositionToIndex()[columns->Items(i)->Position()] != i) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* tree = new treeview::TVastStringTree(nullptr);
    platform::TMemoryStream input;
    input.WriteBuffer(data, std::int64_t(size));
    input.SetPosition(0);
    bool read = true;
    try {
        tree->Header()->LoadFromStream(&input);
    } catch (const platform::EReadError&) {
        read = false;
    }
    treeview::TVTHeader* header = tree->Header();
    if ((header->States() & treeview::hsLoading) || !OrderWhole(header->Columns())) std::abort();
    if (!read) return 0;
    platform::TMemoryStream output;
    header->SaveToStream(&output);
    output.SetPosition(0);
    treeview::TVastStringTree again(nullptr);
    again.Header()->LoadFromStream(&output);
    if (!again.Header()->Columns()->Equals(header->Columns()) || output.Position() != output.Size()) std::abort();
    return 0;
}
