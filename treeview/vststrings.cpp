// The text tree.
#include "treeview/vststrings.h"

#include <cstring>

#include "treeview/vtinternal.h"

namespace treeview {

TCustomVastStringTree::TCustomVastStringTree(platform::TComponent* owner) : TBaseVastTree(owner) {
    SetOptionsObject(new TCustomStringTreeOptions(this));
    internalDataOffset_ = AllocateInternalDataArea(sizeof(std::int32_t));
}

void TCustomVastStringTree::SetDefaultText(const std::string& value) {
    if (value == defaultText_) return;
    defaultText_ = value;
    if (!(ComponentState() & platform::csLoading)) InvalidateTree();
}

std::string TCustomVastStringTree::GetText(PVastNode node, TColumnIndex column) {
    Require(node != nullptr, "Node must not be nil.");
    ValidateNode(node, false);
    std::string text = defaultText_;
    DoGetText(node, column, ttNormal, text);
    return text;
}

void TCustomVastStringTree::SetText(PVastNode node, TColumnIndex column, const std::string& text) {
    Require(node != nullptr, "Node must not be nil.");
    DoNewText(node, column, text);
    InvalidateNode(node);
}

std::string TCustomVastStringTree::Path(PVastNode node, TColumnIndex column, TVSTTextType textType, char delimiter) {
    std::string result(1, delimiter);
    if (!node || node == RootNode()) return result;
    result.clear();
    std::string text;
    for (PVastNode run = node; run && run != RootNode(); run = run->Parent) {
        // Each level starts empty: a handler that sets nothing names nothing.
        text.clear();
        DoGetText(run, column, textType, text);
        result = text + delimiter + result;
    }
    return result;
}

void TCustomVastStringTree::DoGetText(PVastNode node, TColumnIndex column, TVSTTextType textType, std::string& text) {
    if (OnGetText) OnGetText(this, node, column, textType, text);
}

void TCustomVastStringTree::DoNewText(PVastNode node, TColumnIndex column, const std::string& text) {
    if (OnNewText) OnNewText(this, node, column, text);
    if (UpdateCount() == 0) UpdateScrollBars(true);
}

void* TCustomVastStringTree::InternalData(PVastNode node) const {
    if (!node || node == RootNode()) return nullptr;
    return reinterpret_cast<char*>(node) + internalDataOffset_;
}

std::int32_t TCustomVastStringTree::CachedTextWidth(PVastNode node) const {
    std::int32_t width = 0;
    if (void* area = InternalData(node)) std::memcpy(&width, area, sizeof(width));
    return width;
}

void TCustomVastStringTree::SetCachedTextWidth(PVastNode node, std::int32_t width) {
    if (void* area = InternalData(node)) std::memcpy(area, &width, sizeof(width));
}

void TCustomVastStringTree::ClearCachedWidths() {
    for (PVastNode run = GetFirstNoInit(); run; run = GetNextNoInit(run)) SetCachedTextWidth(run, 0);
}

bool TCustomVastStringTree::ColumnIsEmpty(PVastNode node, TColumnIndex column) {
    return GetText(node, column).empty();
}

int TCustomVastStringTree::DoIncrementalSearch(PVastNode node, const std::string& text) {
    if (text.empty()) return 1;
    return GetText(node, FocusedColumn()).compare(0, text.size(), text) == 0 ? 0 : 1;
}

void TCustomVastStringTree::ReadOldStringOptions(const std::vector<std::string>& memberNames) {
    auto* options = static_cast<TCustomStringTreeOptions*>(TBaseVastTree::TreeOptions());
    options->SetStringOptions(0);
    for (const std::string& name : memberNames) {
        if (name == "soSaveCaptions") options->SetStringOptions(options->StringOptions() | toSaveCaptions);
        if (name == "soShowStaticText") options->SetStringOptions(options->StringOptions() | toShowStaticText);
    }
}

void TCustomVastStringTree::InvalidateNode(PVastNode node) {
    TBaseVastTree::InvalidateNode(node);
    if (node && node != RootNode()) {
        SetCachedTextWidth(node, 0);
        if (node->States & vsHeightMeasured) {
            // The cache worker may be reading this word.
            InterruptValidation();
            node->States &= ~vsHeightMeasured;
        }
    }
}

void TCustomVastStringTree::ReinitNode(PVastNode node, bool recursive) {
    TBaseVastTree::ReinitNode(node, recursive);
    if (node && node != RootNode()) SetCachedTextWidth(node, 0);
}

void TCustomVastStringTree::FontChanged() {
    TBaseVastTree::FontChanged();
    ClearCachedWidths();
}

TVastStringTree::TVastStringTree(platform::TComponent* owner) : TCustomVastStringTree(owner) {
    SetOptionsObject(new TStringTreeOptions(this));
}

TStringTreeOptions* TVastStringTree::TreeOptions() const {
    return static_cast<TStringTreeOptions*>(TBaseVastTree::TreeOptions());
}

}  // namespace treeview
