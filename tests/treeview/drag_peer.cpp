// One tree in a window of its own, for the desktop test that drags rows between two
// programs:
//   treeview_drag_peer NAME X Y [accept|refuse] [keep]
// The window ("drag peer NAME", 240 x 200 at X, Y) shows the rows NAME0 to NAME4, NAME1 with
// a child NAME1.0; each node's name is its user data and travels with it. Rows may be
// dragged out (copy or move); "accept" takes drops after the row under the pointer, "refuse"
// looks at them and refuses; "keep" leaves moved rows in place (no toAutoDeleteMovedNodes).
// On stdout, one line each: "text NAME X Y" (the screen point of each top-level row's
// text), "ready", "rows: ..." after every change of the rows, "over NAME
// MODE" when the row under a drag changes, "dropped EFFECT SOURCE FORMATS" when a drop
// arrives and "dragged" when a drag from here has ended.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/clipboard.h"
#include "tree_support.h"
#include "treeview/vtheader.h"

using namespace platform;
using namespace treeview;
using treeview::test::NamedData;

namespace {

void Log(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Siblings by name, children in braces: "a0 a1 {a1.0} a2".
std::string Rows(TBaseVastTree& tree, PVastNode parent) {
    std::string out;
    for (PVastNode n = tree.GetFirstChild(parent); n; n = tree.GetNextSibling(n)) {
        out += (out.empty() ? "" : " ") + test::Name(tree, n);
        if (n->ChildCount) out += " {" + Rows(tree, n) + "}";
    }
    return out;
}

const char* ModeName(TDropMode mode) {
    static const char* const names[] = {"nowhere", "above", "on", "below"};
    return names[mode];
}

class TPeerForm : public TForm {
public:
    TPeerForm(TComponent* owner, const std::string& name, int x, int y, const std::string& drops, bool keep)
        : TForm(owner) {
        SetBorderStyle(bsNone);
        SetBounds(x, y, 240, 200);
        SetCaption("drag peer " + name);
        tree = new TVastStringTree(this);
        tree->SetParent(this);
        tree->SetBorderStyle(bsSingle);
        tree->SetBounds(0, 0, 240, 200);
        tree->Font()->SetName("DejaVu Sans");
        tree->Font()->SetHeight(-11);
        tree->SetNodeDataSize(sizeof(NamedData));
        tree->SetClipboardFormats({"Vast Tree Data", "Plain text"});
        auto* options = tree->TreeOptions();
        options->SetMiscOptions(options->MiscOptions() | toAcceptOLEDrop);
        options->SetSelectionOptions(options->SelectionOptions() | toFullRowSelect);
        if (keep) options->SetAutoOptions(options->AutoOptions() & ~toAutoDeleteMovedNodes);
        tree->OnGetText = [this](TBaseVastTree*, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
            text = test::Name(*tree, node);
        };
        // The names travel with the nodes (the tree's own data format).
        tree->OnSaveNode = [](TBaseVastTree* t, PVastNode node, TStream& stream) {
            stream.WriteBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData));
        };
        tree->OnLoadNode = [](TBaseVastTree* t, PVastNode node, TStream& stream) {
            stream.ReadBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData));
        };
        for (int i = 0; i < 5; ++i) {
            PVastNode node = test::Add(*tree, nullptr, name + std::to_string(i));
            if (i == 1) test::Add(*tree, node, name + "1.0");
        }
        tree->FullExpand();
        tree->OnDragAllowed = [](TBaseVastTree*, PVastNode, TColumnIndex, bool& allowed) { allowed = true; };
        tree->OnStructureChange = [this](TBaseVastTree*, PVastNode, TChangeReason) { rowsChanged = true; };
        tree->OnStateChange = [](TBaseVastTree* sender, TVastTreeStates, TVastTreeStates leave) {
            // Called before the state changes: the drag, deletions included, is over.
            if ((leave & tsOLEDragging) && (sender->TreeStates() & tsOLEDragging)) Log("dragged");
        };
        if (drops.empty()) return;
        const bool accept = drops == "accept";
        tree->OnDragOver = [this, accept](TBaseVastTree* sender, TObject*, TShiftState, TDragState state, TPoint,
                                          TDropMode mode, DWORD&, bool& ok) {
            ok = accept;
            std::string over = state == dsDragLeave ? "left" : "over " + test::Name(*sender, sender->DropTargetNode()) +
                                                                    " " + ModeName(mode);
            if (over != lastOver) Log(lastOver = over);
        };
        tree->OnDragDrop = [this](TBaseVastTree* sender, TObject* source, IDataObject* data,
                                  const std::vector<CLIPFORMAT>& formats, TShiftState, TPoint, DWORD& effect,
                                  TDropMode) {
            std::string names;
            for (CLIPFORMAT f : formats) {
                char buffer[128] = {};
                if (GetClipboardFormatNameA(f, buffer, sizeof buffer) > 0)
                    names += std::string(names.empty() ? "" : ",") + buffer;
            }
            DWORD asked = effect;
            sender->ProcessDrop(data, sender->DropTargetNode(), effect, amInsertAfter);
            Log("dropped " + Effect(asked) + " " + (source ? "tree" : "none") + " " + names);
            lastOver.clear();
        };
    }
    static std::string Effect(DWORD e) {
        e &= ~DROPEFFECT_SCROLL;
        return e == DROPEFFECT_COPY ? "copy" : e == DROPEFFECT_MOVE ? "move" : e == DROPEFFECT_LINK ? "link" : e ? "several" : "none";
    }
    // Logs the rows once per change, from the message loop (outside any bracket).
    void Idle() {
        if (!rowsChanged) return;
        rowsChanged = false;
        Log("rows: " + Rows(*tree, nullptr));
    }

    TVastStringTree* tree = nullptr;
    bool rowsChanged = true;
    std::string lastOver;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s NAME X Y [accept|refuse] [keep]\n", argv[0]);
        return 2;
    }
    std::string drops;
    bool keep = false;
    for (int i = 4; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "keep")
            keep = true;
        else
            drops = a;
    }
    try {
        Application->Initialize();
        Application->SetTitle(std::string("drag peer ") + argv[1]);
        auto* form = new TPeerForm(Application, argv[1], std::atoi(argv[2]), std::atoi(argv[3]), drops, keep);
        form->Show();
        Application->OnIdle = [form](TObject*, bool& done) {
            form->Idle();
            done = true;
        };
        form->Idle();
        // Where each top-level row's text lies on the screen, for the pointer.
        for (PVastNode n = form->tree->GetFirstChild(nullptr); n; n = form->tree->GetNextSibling(n)) {
            TRect r = form->tree->GetDisplayRect(n, NoColumn, true);
            TPoint p = form->tree->ClientToScreen(TPoint(r.left + 4, (r.top + r.bottom) / 2));
            Log("text " + test::Name(*form->tree, n) + " " + std::to_string(p.x) + " " + std::to_string(p.y));
        }
        Log("ready");
        Application->Run();
        Application->DestroyComponents();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "drag peer: %s\n", e.what());
        return 1;
    }
    return 0;
}
