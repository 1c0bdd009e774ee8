#pragma once
// Helpers of the tree tests: named nodes, a message pump, and a checker of the node
// store's invariants.
#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/messages.h"
#include "support/pump.h"
#include "treeview/vststrings.h"

namespace treeview::test {

// Every test node carries a short name in its data area.
struct NamedData {
    char name[16];
};

inline void SetName(TBaseVastTree& tree, PVastNode node, const std::string& name) {
    auto* data = tree.GetNodeData<NamedData>(node);
    std::strncpy(data->name, name.c_str(), sizeof(data->name) - 1);
}

inline std::string Name(TBaseVastTree& tree, PVastNode node) {
    return node ? tree.GetNodeData<NamedData>(node)->name : "-";
}

inline PVastNode Add(TBaseVastTree& tree, PVastNode parent, const std::string& name) {
    PVastNode node = tree.AddChild(parent);
    SetName(tree, node, name);
    return node;
}

// Names of the nodes met by a walk, space separated.
inline std::string Walk(TBaseVastTree& tree, PVastNode first, const std::function<PVastNode(PVastNode)>& step) {
    std::string result;
    for (PVastNode run = first; run; run = step(run)) result += (result.empty() ? "" : " ") + Name(tree, run);
    return result;
}

// Runs posted messages, timers and calls carried from other threads.
inline constexpr auto& Pump = testsupport::PumpMessages;

// The first broken invariant of the subtree below node ("" when all hold): sibling
// links and indexes, child counts, total counts and heights, and (outside update
// brackets) the hidden-children flag. Adds the shown nodes to shown.
inline std::string CheckSubtree(TBaseVastTree& tree, PVastNode node, bool shownPath, std::uint32_t& shown,
                                std::uint32_t& nodes) {
    std::ostringstream why;
    std::uint32_t count = 0, total = 1;
    std::uint64_t height = node->NodeHeight;
    bool anyVisible = false;
    PVastNode previous = nullptr;
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) {
        if (child->Parent != node) return "parent link";
        if (child->PrevSibling != previous) return "previous-sibling link";
        if (child->Index != count) {
            why << "index " << child->Index << " at position " << count;
            return why.str();
        }
        bool childShown = shownPath && (node->States & vsExpanded) && (child->States & vsVisible);
        if (childShown) ++shown;
        ++nodes;
        std::string inner = CheckSubtree(tree, child, childShown, shown, nodes);
        if (!inner.empty()) return inner;
        total += child->TotalCount;
        if ((node->States & vsExpanded) && (child->States & vsVisible)) height += child->TotalHeight;
        if (child->States & vsVisible) anyVisible = true;
        previous = child;
        ++count;
    }
    if (node->LastChild != previous) return "last-child link";
    if (node->ChildCount != count) {
        why << "child count " << node->ChildCount << " for " << count << " children";
        return why.str();
    }
    if (node->TotalCount != total) {
        why << "total count " << node->TotalCount << " for " << total;
        return why.str();
    }
    if (node->TotalHeight != height) {
        why << "total height " << node->TotalHeight << " for " << height;
        return why.str();
    }
    if (node != tree.RootNode() && count > 0 && tree.UpdateCount() == 0 &&
        bool(node->States & vsAllChildrenHidden) == anyVisible)
        return "hidden-children flag";
    if (node != tree.RootNode() && count == 0 && (node->States & vsExpanded)) return "expanded without children";
    return "";
}

inline std::string CheckInvariants(TBaseVastTree& tree) {
    std::uint32_t shown = 0, nodes = 0;
    std::string why = CheckSubtree(tree, tree.RootNode(), true, shown, nodes);
    if (!why.empty()) return why;
    if (tree.VisibleCount() != shown)
        return "visible count " + std::to_string(tree.VisibleCount()) + " for " + std::to_string(shown);
    if (tree.RootNode()->TotalCount != nodes + 1) return "root total count";
    if (tree.RootNodeCount() != tree.RootNode()->ChildCount) return "root node count";
    return "";
}

}  // namespace treeview::test
