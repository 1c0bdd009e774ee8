// The DVD window.
#include "app/dvdfrm.h"

#include "jobmodel/itemtree.h"

TfrmDVD* frmDVD = nullptr;

TfrmDVD::TfrmDVD(platform::TComponent* owner)
    : TSkinnedForm(owner, "dvdloader", "dvdLoadFormCreate", "dvd", "dvdLoadPanel", 740, 480) {
    SetCaption("DVD");
    NodeTree = new treeview::TVastStringTree(this);
    NodeTree->SetName("NodeTree");
    NodeTree->SetParent(background);
    NodeTree->SetBounds(400, 54, 320, 350);
    jobmodel::PrepareItemTree(*NodeTree);
    TakeSkin();
}

TfrmDVD::~TfrmDVD() { jobmodel::ClearItemTree(*NodeTree); }
