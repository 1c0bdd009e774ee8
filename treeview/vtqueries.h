#pragma once
// The tree-view query messages the tree answers for senders in the same process (test
// tools, accessibility helpers): item handles are node pointers.
#include <cstdint>

#include "platform/core/wintypes.h"

namespace treeview {

constexpr platform::UINT TVM_GETITEMRECT = 0x1104;
constexpr platform::UINT TVM_GETNEXTITEM = 0x110A;
constexpr platform::UINT TVM_GETITEMA = 0x110C;

constexpr platform::WPARAM TVGN_ROOT = 0x0, TVGN_NEXT = 0x1, TVGN_PREVIOUS = 0x2, TVGN_PARENT = 0x3,
                           TVGN_CHILD = 0x4, TVGN_FIRSTVISIBLE = 0x5, TVGN_NEXTVISIBLE = 0x6,
                           TVGN_PREVIOUSVISIBLE = 0x7, TVGN_DROPHILITE = 0x8, TVGN_CARET = 0x9,
                           TVGN_LASTVISIBLE = 0xA;

constexpr platform::UINT TVIF_TEXT = 0x1, TVIF_IMAGE = 0x2, TVIF_STATE = 0x8, TVIF_HANDLE = 0x10,
                         TVIF_SELECTEDIMAGE = 0x20, TVIF_CHILDREN = 0x40;
constexpr platform::UINT TVIS_FOCUSED = 0x1, TVIS_SELECTED = 0x2, TVIS_CUT = 0x4, TVIS_DROPHILITED = 0x8,
                         TVIS_EXPANDED = 0x20;

struct TVITEMA {
    platform::UINT mask = 0;
    void* hItem = nullptr;
    platform::UINT state = 0;
    platform::UINT stateMask = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    int iSelectedImage = 0;
    int cChildren = 0;
    platform::LPARAM lParam = 0;
};

}  // namespace treeview
