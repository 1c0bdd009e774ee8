// Answers to the tree-view query messages (TVM_GETNEXTITEM, TVM_GETITEMRECT, TVM_GETITEM).
// A handle comes from outside: it is used only once it is found among this tree's nodes,
// so a stale or foreign pointer is refused instead of followed.
#include "treeview/vtqueries.h"

#include <algorithm>
#include <cstring>

#include "platform/windows/messages.h"
#include "treeview/vststrings.h"

namespace treeview {

using namespace platform;

namespace {

LRESULT ItemHandle(PVastNode node) { return reinterpret_cast<LRESULT>(node); }

}  // namespace

PVastNode TBaseVastTree::NodeFromHandle(const void* handle) const {
    if (!handle) return nullptr;
    for (PVastNode run = GetFirstNoInit(); run; run = GetNextNoInit(run))
        if (run == handle) return run;
    return nullptr;
}

bool TBaseVastTree::HandleQueryMessage(TMessage& message) {
    switch (message.Msg) {
        case WM_GETOBJECT:
            // Answered here alone: never passed on to the default handling.
            WMGetObject(message);
            return true;
        case CM_HINTSHOW:
            CMHintShow(message);
            return true;
        case CM_HINTSHOWPAUSE:
            CMHintShowPause(message);
            return true;
        case TVM_GETNEXTITEM: {
            message.Result = 0;
            WPARAM code = message.WParam;
            if (code == TVGN_ROOT) {
                message.Result = ItemHandle(GetFirst());
            } else if (code == TVGN_FIRSTVISIBLE) {
                message.Result = ItemHandle(GetFirstVisible());
            } else if (code == TVGN_LASTVISIBLE) {
                message.Result = ItemHandle(GetLastVisible());
            } else if (code == TVGN_DROPHILITE) {
                message.Result = ItemHandle(dropTargetNode_);
            } else if (code == TVGN_CARET) {
                message.Result = ItemHandle(focusedNode_);
            } else if (PVastNode node = NodeFromHandle(reinterpret_cast<const void*>(message.LParam))) {
                switch (code) {
                    case TVGN_NEXT: message.Result = ItemHandle(GetNextSibling(node)); break;
                    case TVGN_PREVIOUS: message.Result = ItemHandle(GetPreviousSibling(node)); break;
                    case TVGN_PARENT: message.Result = ItemHandle(node->Parent == root_ ? nullptr : node->Parent); break;
                    case TVGN_CHILD: message.Result = ItemHandle(GetFirstChild(node)); break;
                    case TVGN_NEXTVISIBLE: message.Result = ItemHandle(GetNextVisible(node)); break;
                    case TVGN_PREVIOUSVISIBLE: message.Result = ItemHandle(GetPreviousVisible(node)); break;
                    default: break;
                }
            }
            return true;
        }
        case TVM_GETITEMRECT: {
            message.Result = 0;
            auto* buffer = reinterpret_cast<RECT*>(message.LParam);
            if (!buffer) return true;
            void* handle = nullptr;
            std::memcpy(&handle, buffer, sizeof(handle));
            PVastNode node = NodeFromHandle(handle);
            if (!node || !(node->States & vsVisible)) return true;
            message.Result = 1;
            TRect r = GetDisplayRect(node, NoColumn, message.WParam != 0);
            *buffer = RECT{r.left, r.top, r.right, r.bottom};
            return true;
        }
        case TVM_GETITEMA: {
            message.Result = 0;
            auto* item = reinterpret_cast<TVITEMA*>(message.LParam);
            if (!item || !(item->mask & TVIF_HANDLE)) return true;
            PVastNode node = NodeFromHandle(item->hItem);
            if (!node) return true;
            bool ghosted = false;
            if (item->mask & TVIF_CHILDREN) item->cChildren = int(node->ChildCount);
            if (item->mask & TVIF_IMAGE) item->iImage = DoGetImageIndex(node, ikNormal, NoColumn, ghosted);
            if (item->mask & TVIF_SELECTEDIMAGE)
                item->iSelectedImage = DoGetImageIndex(node, ikSelected, NoColumn, ghosted);
            if (item->mask & TVIF_STATE) {
                item->stateMask = 0xFF2F;
                UINT state = 0;
                if (node == focusedNode_) state |= TVIS_FOCUSED;
                if (node->States & vsSelected) state |= TVIS_SELECTED;
                if (node->States & vsCutOrCopy) state |= TVIS_CUT;
                if (node == dropTargetNode_) state |= TVIS_DROPHILITED;
                if (node->States & vsExpanded) state |= TVIS_EXPANDED;
                state |= UINT(DoGetImageIndex(node, ikState, NoColumn, ghosted) + 1) << 12 & 0xF000;
                state |= UINT(DoGetImageIndex(node, ikOverlay, NoColumn, ghosted) + 1) << 8 & 0x0F00;
                item->state = state;
            }
            if ((item->mask & TVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
                std::string text;
                TRect r;
                GetTextInfo(node, NoColumn, nullptr, r, text);
                std::size_t count = std::min(text.size(), std::size_t(item->cchTextMax - 1));
                std::memcpy(item->pszText, text.data(), count);
                item->pszText[count] = '\0';
            }
            message.Result = 1;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace treeview
