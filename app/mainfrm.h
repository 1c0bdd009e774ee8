#pragma once
// The main window. Its job list (NodeTree) holds one MediaItem per row; the conversion
// reads the checked rows from it.
#include "treeview/vststrings.h"

class TfrmMain {
public:
    TfrmMain();
    ~TfrmMain();  // releases every row's records
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    treeview::TVastStringTree* NodeTree;
};

extern TfrmMain* frmMain;
