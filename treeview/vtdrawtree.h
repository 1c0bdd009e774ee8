#pragma once
// The owner-draw tree: it keeps no texts; the application draws each node's content
// (OnDrawNode) and says how wide it is (OnGetNodeWidth).
#include <functional>

#include "treeview/vasttrees.h"

namespace treeview {

class TCustomVastDrawTree : public TBaseVastTree {
public:
    explicit TCustomVastDrawTree(platform::TComponent* owner) : TBaseVastTree(owner) {}

    // Fires OnDrawNode with the cell to draw into.
    void DoPaintNode(TVTPaintInfo& paintInfo) override;
    // Twice the text margin unless OnGetNodeWidth says otherwise.
    int DoGetNodeWidth(PVastNode node, TColumnIndex column, platform::TCanvas* canvas) override;
    virtual void DoGetHintSize(PVastNode node, TColumnIndex column, platform::TRect& r);
    void DoDrawHint(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r, TColumnIndex column);

    std::function<void(TBaseVastTree* sender, const TVTPaintInfo& paintInfo)> OnDrawNode;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* hintCanvas, PVastNode node, TColumnIndex column,
                       int& nodeWidth)>
        OnGetNodeWidth;
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, platform::TRect& r)>
        OnGetHintSize;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* hintCanvas, PVastNode node, const platform::TRect& r,
                       TColumnIndex column)>
        OnDrawHint;
};

class TVastDrawTree : public TCustomVastDrawTree {
public:
    explicit TVastDrawTree(platform::TComponent* owner);
    TVastTreeOptions* TreeOptions() const;
};

}  // namespace treeview
