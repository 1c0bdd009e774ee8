// A tree shaped like the program's job list in a window of its own, for the desktop test:
//   treeview_desktop_demo [--headless-shot=FILE]
// It writes one line on stdout for each thing the user did to it (a row clicked, a text
// edited, a column resized or moved, the rows scrolled, panning started and ended). With --headless-shot
// it paints the same window on the headless backend, saves it as a PNG and ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/window.h"
#include "treeview/vststrings.h"
#include "treeview/vtheader.h"

using namespace platform;
using namespace treeview;

namespace {

void Log(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class TDemoForm : public TForm {
public:
    explicit TDemoForm(TComponent* owner) : TForm(owner) {
        SetBorderStyle(bsNone);
        SetBounds(0, 0, 420, 220);
        SetCaption("lumacast tree");
        tree = new TVastStringTree(this);
        tree->SetParent(this);
        tree->SetBorderStyle(bsNone);
        tree->SetBounds(0, 0, 420, 220);
        tree->Font()->SetName("DejaVu Sans");
        tree->Font()->SetHeight(-11);
        tree->SetNodeDataSize(sizeof(int));
        auto* options = tree->TreeOptions();
        options->SetMiscOptions(options->MiscOptions() | toCheckSupport);
        options->SetSelectionOptions(options->SelectionOptions() | toMultiSelect | toFullRowSelect);
        options->SetPaintOptions(options->PaintOptions() | toShowHorzGridLines | toShowVertGridLines);
        tree->SetCheckImageKind(ckXP);
        options->SetMiscOptions(options->MiscOptions() | toEditable);
        tree->SetEditDelay(0);
        for (const char* caption : {"Name", "Length", "Size", "Output"}) {
            TVastTreeColumn* column = tree->Header()->Columns()->Add();
            column->SetText(caption);
            column->SetWidth(100);
        }
        tree->Header()->SetOptions(tree->Header()->Options() | hoVisible | hoShowSortGlyphs);
        tree->OnGetText = [](TBaseVastTree* sender, PVastNode node, TColumnIndex column, TVSTTextType,
                             std::string& text) {
            static const char* const cells[][4] = {{"title_01.vob", "0:12:30", "120 MB", "title_01.flv"},
                                                   {"holiday.avi", "0:02:10", "18 MB", "holiday.flv"},
                                                   {"last.mov", "0:01:00", "9 MB", "last.flv"}};
            int row = *sender->GetNodeData<int>(node);
            if (column >= 0 && column < 4) text = std::to_string(row) + " " + cells[row % 3][column];
        };
        for (int i = 0; i < 40; ++i) {
            PVastNode node = tree->AddChild(nullptr);
            *tree->GetNodeData<int>(node) = i;
            tree->SetCheckType(node, ctCheckBox);
        }
        tree->OnClick = [this](TObject*) {
            PVastNode node = tree->FocusedNode();
            Log("click row " + std::to_string(node ? *tree->GetNodeData<int>(node) : -1));
        };
        tree->OnColumnResize = [](TVTHeader* header, TColumnIndex column) {
            if (header->States() & hsTracking)
                Log("resize " + std::to_string(column) + " " +
                    std::to_string(header->Columns()->Items(column)->Width()));
        };
        tree->OnHeaderDragged = [](TVTHeader* header, TColumnIndex column, int oldPosition) {
            std::string order;
            for (std::int32_t index : header->Columns()->PositionToIndex()) order += std::to_string(index);
            Log("dragged " + std::to_string(column) + " from " + std::to_string(oldPosition) + " order " + order);
        };
        tree->OnNewText = [](TBaseVastTree* sender, PVastNode node, TColumnIndex column, const std::string& text) {
            Log("new text row " + std::to_string(*sender->GetNodeData<int>(node)) + " column " +
                std::to_string(column) + ": " + text);
        };
        tree->OnScroll = [](TBaseVastTree*, int dx, int dy) {
            Log("scroll " + std::to_string(dx) + " " + std::to_string(dy));
        };
        tree->OnStateChange = [](TBaseVastTree* sender, TVastTreeStates enter, TVastTreeStates leave) {
            if (enter & tsWheelPanning) Log("panning on");
            // Called before the states change: off once neither panning state stays.
            const TVastTreeStates panning = tsWheelPanning | tsWheelScrolling;
            TVastTreeStates before = sender->TreeStates() & panning, after = ((before | enter) & ~leave) & panning;
            if (before && !after) Log("panning off");
        };
    }
    TVastStringTree* tree = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    std::string headlessShot;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--headless-shot=", 16) == 0) headlessShot = argv[i] + 16;
    if (!headlessShot.empty()) setenv("LUMACAST_HEADLESS", "1", 1);
    try {
        std::fprintf(stderr, "tree demo: %s backend\n", Backend().Name().c_str());
        Application->Initialize();
        Application->SetTitle("lumacast tree");
        TDemoForm* form = nullptr;
        Application->CreateForm(form);
        form->Show();
        form->tree->SetFocus();
        if (!headlessShot.empty()) {
            for (int i = 0; i < 20; ++i) Application->ProcessMessages();
            SaveWindowImage(form->Handle(), headlessShot);
            Application->DestroyComponents();
            return 0;
        }
        Log("ready");
        Application->Run();
        Application->DestroyComponents();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tree demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
