// A form of skinned data-aware controls over a database file, for the desktop smoke test:
// a grid, an edit, a bound check box, a radio group and a navigator. It prints "ready" once
// shown and "nav N" after each navigator click; Escape closes it.
//   skin_dbform <database file>
#include <cstdio>
#include <string>

#include "platform/controls/forms.h"
#include "platform/data/sqlitedb.h"
#include "platform/windows/backend.h"
#include "skinctrl/dvxdbctrls.h"
#include "skinctrl/dvxdbnavigator.h"

using namespace platform;
using namespace skinctrl;

namespace {

std::string gFile;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class TDBForm : public TForm {
public:
    explicit TDBForm(TComponent* owner) : TForm(owner) {
        const std::string& file = gFile;
        SetBounds(50, 50, 480, 330);
        SetCaption("skin dbform");
        SetKeyPreview(true);
        data_ = new TSQLiteDataSet(this);
        data_->SetDatabaseName(file);
        data_->SetTableName("t");
        source_ = new TDataSource(this);
        source_->SetDataSet(data_);
        auto* grid = new TdvxDBGrid(this);
        grid->SetParent(this);
        grid->SetBounds(10, 10, 460, 120);
        grid->SetDataSource(source_);
        auto* edit = new TdvxDBEdit(this);
        edit->SetParent(this);
        edit->SetBounds(10, 140, 200, 24);
        edit->SetDataSource(source_);
        edit->SetDataField("name");
        auto* box = new TdvxDBCheckBox(this);
        box->SetParent(this);
        box->SetBounds(230, 140, 120, 24);
        box->SetCaption("done");
        box->SetValueCheck("Yes;Y");
        box->SetValueUncheck("No;N");
        box->SetDataSource(source_);
        box->SetDataField("done");
        auto* group = new TdvxDBRadioGroup(this);
        group->SetParent(this);
        group->SetBounds(10, 175, 200, 60);
        group->SetCaption("colour");
        TStringList items;
        items.Add("Red");
        items.Add("Green");
        group->SetItems(&items);
        group->SetDataSource(source_);
        group->SetDataField("colour");
        auto* nav = new TdvxDBNavigator(this);
        nav->SetParent(this);
        nav->SetBounds(10, 250, 250, 30);
        nav->SetDataSource(source_);
        nav->OnClick = [](TObject*, TNavigateBtn b) { Say("nav " + std::to_string(int(b))); };
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
            if (key == VK_ESCAPE) Close();
        };
        data_->Open();
    }

private:
    TSQLiteDataSet* data_;
    TDataSource* source_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_dbform <database file>\n");
        return 2;
    }
    gFile = argv[1];
    try {
        Application->Initialize();
        Application->SetTitle("skin dbform");
        TDBForm* form = nullptr;
        Application->CreateForm(form);
        bool told = false;
        Application->OnIdle = [&](TObject*, bool& done) {
            done = true;
            if (!told && !HasPendingPaint()) {
                told = true;
                Say("ready");
            }
        };
        Application->Run();
        Application->DestroyComponents();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skin_dbform: %s\n", e.what());
        return 1;
    }
    return 0;
}
