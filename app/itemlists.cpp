// The item lists of the main and DVD windows.
#include "app/dvdfrm.h"
#include "app/mainfrm.h"
#include "jobmodel/itemtree.h"

TfrmMain* frmMain = nullptr;
TfrmDVD* frmDVD = nullptr;

namespace {

treeview::TVastStringTree* NewItemTree() {
    auto* tree = new treeview::TVastStringTree(nullptr);
    jobmodel::PrepareItemTree(*tree);
    return tree;
}

void FreeItemTree(treeview::TVastStringTree* tree) {
    jobmodel::ClearItemTree(*tree);
    delete tree;
}

}  // namespace

TfrmMain::TfrmMain() : NodeTree(NewItemTree()) {}
TfrmMain::~TfrmMain() { FreeItemTree(NodeTree); }

TfrmDVD::TfrmDVD() : NodeTree(NewItemTree()) {}
TfrmDVD::~TfrmDVD() { FreeItemTree(NodeTree); }
