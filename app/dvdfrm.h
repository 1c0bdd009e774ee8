#pragma once
// The DVD window (section "dvdloader"). Its title list (NodeTree): the disc row on top, its
// children the titles, theirs the chapters, each with its MediaItem; the conversion maps
// trims onto the chapters' time ranges there.
#include "app/skinnedform.h"
#include "treeview/vststrings.h"

class TfrmDVD : public TSkinnedForm {
public:
    explicit TfrmDVD(platform::TComponent* owner);
    ~TfrmDVD() override;  // releases every row's records

    treeview::TVastStringTree* NodeTree;
};

extern TfrmDVD* frmDVD;
