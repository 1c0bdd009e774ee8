// The owner-draw tree: painting and measuring handed to the application.
#include "treeview/vtdrawtree.h"

namespace treeview {

using namespace platform;

void TCustomVastDrawTree::DoPaintNode(TVTPaintInfo& paintInfo) {
    if (OnDrawNode) OnDrawNode(this, paintInfo);
}

int TCustomVastDrawTree::DoGetNodeWidth(PVastNode node, TColumnIndex column, TCanvas* canvas) {
    int width = 2 * TextMargin();
    if (OnGetNodeWidth) OnGetNodeWidth(this, canvas ? canvas : Canvas(), node, column, width);
    return width;
}

void TCustomVastDrawTree::DoGetHintSize(PVastNode node, TColumnIndex column, TRect& r) {
    if (OnGetHintSize) OnGetHintSize(this, node, column, r);
}

void TCustomVastDrawTree::DoDrawHint(TCanvas* canvas, PVastNode node, const TRect& r, TColumnIndex column) {
    if (OnDrawHint) OnDrawHint(this, canvas, node, r, column);
}

TVastDrawTree::TVastDrawTree(TComponent* owner) : TCustomVastDrawTree(owner) {
    SetOptionsObject(new TVastTreeOptions(this));
}

TVastTreeOptions* TVastDrawTree::TreeOptions() const {
    return static_cast<TVastTreeOptions*>(TBaseVastTree::TreeOptions());
}

}  // namespace treeview
