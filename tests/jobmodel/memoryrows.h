#pragma once
// A list of job rows kept in memory, for testing the job model's rules without a tree
// control. Each row holds a zero-filled MediaItem; the list never releases a record's
// sub-records (the rules under test do, as over the window's lists).
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "jobmodel/rows.h"

namespace jobmodel::testing {

class MemoryRows : public JobRows {
public:
    MemoryRows() = default;
    MemoryRows(const MemoryRows&) = delete;
    MemoryRows& operator=(const MemoryRows&) = delete;

    MediaItem* Item(Row row) const override { return row ? &N(row)->item : nullptr; }
    Row Parent(Row row) const override { return row ? R(N(row)->parent) : nullptr; }
    Row FirstChild(Row parent) const override {
        const auto& c = Children(N(parent));
        return c.empty() ? nullptr : R(c.front());
    }
    Row LastChild(Row parent) const override {
        const auto& c = Children(N(parent));
        return c.empty() ? nullptr : R(c.back());
    }
    Row NextSibling(Row row) const override { return Sibling(N(row), 1); }
    Row PreviousSibling(Row row) const override { return Sibling(N(row), -1); }
    int TopCount() const override { return static_cast<int>(top_.size()); }

    Row Add(Row parent) override {
        nodes_.push_back(std::make_unique<Node>());
        Node* node = nodes_.back().get();
        node->parent = N(parent);
        Children(node->parent).push_back(node);
        return R(node);
    }
    void Delete(Row row) override {
        Node* node = N(row);
        while (!node->children.empty()) Delete(R(node->children.back()));
        auto& siblings = Children(node->parent);
        siblings.erase(std::find(siblings.begin(), siblings.end(), node));
        focused_ = focused_ == node ? nullptr : focused_;
        nodes_.erase(std::find_if(nodes_.begin(), nodes_.end(), [&](const auto& n) { return n.get() == node; }));
    }
    void Move(Row row, Row target, bool before) override {
        Node* node = N(row);
        Node* t = N(target);
        auto& from = Children(node->parent);
        from.erase(std::find(from.begin(), from.end(), node));
        auto& to = Children(t->parent);
        auto at = std::find(to.begin(), to.end(), t);
        to.insert(before ? at : at + 1, node);
        node->parent = t->parent;
    }

    void TakeCheckFromItem(Row row) override { N(row)->checked = N(row)->item.row.checkState == 2; }
    bool Checked(Row row) const override { return N(row)->checked; }
    void SetChecked(Row row, bool checked) override { N(row)->checked = checked; }
    std::vector<Row> CheckedRows() const override { return InOrder([](const Node& n) { return n.checked; }); }

    std::vector<Row> SelectedRows() const override { return InOrder([](const Node& n) { return n.selected; }); }
    Row FirstSelected() const override {
        const auto rows = SelectedRows();
        return rows.empty() ? nullptr : rows.front();
    }
    int SelectedCount() const override { return static_cast<int>(SelectedRows().size()); }
    bool Selected(Row row) const override { return N(row)->selected; }
    void SetSelected(Row row, bool selected) override { N(row)->selected = selected; }
    void ClearSelection() override {
        for (auto& n : nodes_) n->selected = false;
    }
    void Focus(Row row, bool) override { focused_ = N(row); }
    bool Expanded(Row row) const override { return N(row)->expanded; }
    void SetExpanded(Row row, bool expanded) override { N(row)->expanded = expanded; }

    Row Focused() const { return R(focused_); }

private:
    struct Node {
        MediaItem item{};
        Node* parent = nullptr;
        std::vector<Node*> children;
        bool checked = false, selected = false, expanded = false;
    };
    static Node* N(Row row) { return reinterpret_cast<Node*>(row); }
    static Row R(Node* node) { return reinterpret_cast<Row>(node); }

    std::vector<Node*>& Children(Node* parent) { return parent ? parent->children : top_; }
    const std::vector<Node*>& Children(Node* parent) const { return parent ? parent->children : top_; }
    Row Sibling(Node* node, int step) const {
        if (!node) return nullptr;
        const auto& siblings = Children(node->parent);
        const auto at = std::find(siblings.begin(), siblings.end(), node) - siblings.begin() + step;
        return at >= 0 && at < static_cast<long>(siblings.size()) ? R(siblings[at]) : nullptr;
    }
    template <class Keep>
    std::vector<Row> InOrder(Keep keep) const {
        std::vector<Row> rows;
        for (Row row = NextRowInOrder(*this, nullptr); row; row = NextRowInOrder(*this, row))
            if (keep(*N(row))) rows.push_back(row);
        return rows;
    }

    std::vector<std::unique_ptr<Node>> nodes_;
    std::vector<Node*> top_;
    Node* focused_ = nullptr;
};

}  // namespace jobmodel::testing
