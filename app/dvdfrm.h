#pragma once
// The DVD window. Its title list (NodeTree): the disc row on top, its children the
// titles, theirs the chapters, each with its MediaItem; the conversion maps trims onto
// the chapters' time ranges there.
#include "treeview/vststrings.h"

class TfrmDVD {
public:
    TfrmDVD();
    ~TfrmDVD();  // releases every row's records
    TfrmDVD(const TfrmDVD&) = delete;
    TfrmDVD& operator=(const TfrmDVD&) = delete;

    treeview::TVastStringTree* NodeTree;
};

extern TfrmDVD* frmDVD;
