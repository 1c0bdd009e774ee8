// The tree's error messages and the routine that raises them.
#include "treeview/vasttrees.h"

namespace treeview {

const char* TreeErrorText(TVTTreeError error) {
    switch (error) {
        case teEditLinkNil: return "Edit link must not be nil.";
        case teMoveIntoChild: return "Target node cannot be a child node of the node to be moved.";
        case teStreamFormat: return "Unable to load tree structure, the format is wrong.";
        case teStreamVersion: return "Unable to load tree structure, the version is unknown.";
        case teStreamSize: return "Unable to load tree structure, not enough data available.";
        case teNodeAnchorMissing: return "Stream data corrupt. A node's anchor chunk is missing.";
        case teDataAfterNodeEnd: return "Stream data corrupt. Unexpected data after node's end position.";
        case teClipboardFailed: return "Clipboard operation failed.";
        case teNoUserDataSpace:
            return "Cannot set initial user data because there is not enough user data space allocated.";
    }
    return "";
}

void RaiseTreeError(TVTTreeError error) { throw EVastTreeError(TreeErrorText(error), int(error)); }

}  // namespace treeview
