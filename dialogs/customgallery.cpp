// The player page's three template galleries: a "None" button, one thumbnail per template
// of a folder beside the program, a "More" button, and a frame around the chosen one.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <exception>

#include "dialogs/customfrm.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/report.h"
#include "platform/core/files.h"
#include "platform/core/shell.h"
#include "skinctrl/dvxresdef.h"

using namespace platform;

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

// The buttons and frames of a gallery: the controls its scroll box owns.
std::vector<TControl*> GalleryControls(const TScrollBox* box) {
    std::vector<TControl*> controls;
    for (int i = 0; i < box->ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TControl*>(box->Components(i))) controls.push_back(control);
    return controls;
}

// Template names serve as control names: letters, digits and "_", not beginning with a digit.
bool IsTemplateName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

struct GalleryKind {
    const char* more;     // the "More" button's name and picture base
    const char* page;     // the maker's page of further templates
};
const GalleryKind kKinds[3] = {
    {"PlayerMore", "player-skins/"},
    {"EffectMore", "effects/"},
    {"LoaderMore", "preloaders/"},
};

// Slot geometry: the button's rectangle and its frame's.
customrules::Rect ButtonSlot(int kind, int slot) {
    if (kind == TfrmCustom::gkPlayers) return {12, 60 * slot + 5, 276, 44};
    static const int columns[3] = {10, 110, 210};
    return {columns[slot % 3], 82 * (slot / 3) + 5, 90, 62};
}

customrules::Rect FrameSlot(int kind, int slot) {
    if (kind == TfrmCustom::gkPlayers) return {6, 60 * slot, 288, 54};
    if (slot == 0) return {7, 0, 100, 72};
    customrules::Rect button = ButtonSlot(kind, slot);
    return {button.left - 5, button.top - 5, 100, 72};
}

bool LoadInto(TPicture* picture, const std::string& path) {
    try {
        picture->LoadFromFile(path);
        return picture->Width() > 0 && picture->Height() > 0;
    } catch (const std::exception& e) {
        jobmodel::ReportJobModelProblem("The template picture \"" + path + "\" cannot be used: " + e.what());
        return false;
    }
}

char* ChoiceField(jobmodel::CustomSetting& working, int kind, std::size_t& width) {
    width = sizeof working.PlayerSkinPath;
    if (kind == TfrmCustom::gkPlayers) return working.PlayerSkinPath;
    if (kind == TfrmCustom::gkEffects) return working.EffectSkinPath;
    return working.PreloaderSkinPath;
}

}  // namespace

TScrollBox* TfrmCustom::GalleryBox(int kind) const {
    switch (kind) {
    case gkPlayers: return PlayerScrollBox;
    case gkEffects: return EffectScrollBox;
    case gkPreloaders: return LoadScrollBox;
    default: return nullptr;
    }
}

TControl* TfrmCustom::GalleryControl(int kind, const std::string& name) const {
    TScrollBox* box = GalleryBox(kind);
    if (!box || name.empty()) return nullptr;
    for (TControl* control : GalleryControls(box))
        if (!dynamic_cast<TImage*>(control) && SameName(control->Name(), name)) return control;
    return nullptr;
}

namespace {

// The selection frame of a template: the picture named by it followed by "B".
TControl* FrameOf(TScrollBox* box, const std::string& name) {
    if (!box || name.empty()) return nullptr;
    for (TControl* control : GalleryControls(box))
        if (dynamic_cast<TImage*>(control) && SameName(control->Name(), name + "B")) return control;
    return nullptr;
}

}  // namespace

void TfrmCustom::MakeGalleryButton(int kind, const std::string& name, const std::string& picture, int slot,
                                   bool withFrame, const std::string& border) {
    TScrollBox* box = GalleryBox(kind);
    if (withFrame) {
        // The frame lies under its button, larger on every side: a border when it shows.
        auto* frame = new TImage(box);
        frame->SetName(name + "B");
        frame->SetParent(box);
        frame->SetStretch(true);
        customrules::Rect f = FrameSlot(kind, slot);
        frame->SetBounds(f.left, f.top, f.width, f.height);
        LoadInto(frame->Picture(), border);
        frame->SetVisible(false);
    }
    auto* button = new skinctrl::TdvxImageButton(box);
    button->SetName(name);
    button->SetParent(box);
    button->SetCaption("");
    button->SetTag(kind);
    customrules::Rect b = ButtonSlot(kind, slot);
    button->SetBounds(b.left, b.top, b.width, b.height);
    LoadInto(button->PicNormal(), picture);
    if (!withFrame) button->SetCursor(crHandPoint);
    button->OnClick = [this](TObject* sender) { btn_Click(sender); };
}

void TfrmCustom::BuildTemplateGallery(const std::string& folder, int kind) {
    if (kind < gkPlayers || kind > gkPreloaders || galleryBuilt_[std::size_t(kind)]) return;
    if (!DirectoryExists(folder)) return;
    galleryBuilt_[std::size_t(kind)] = true;
    std::vector<std::string>& gallery = galleries_[std::size_t(kind)];
    gallery.clear();
    std::string dir = IncludeTrailingPathDelimiter(folder);
    std::string border = dir + "border.bmp";

    // The thumbnails: plain "*.bmp" files in name order, the fixed pictures and names
    // that cannot be a template's passed over.
    static const char* const kFixed[] = {"none.bmp", "playermore.bmp", "effectmore.bmp", "loadermore.bmp",
                                         "border.bmp"};
    std::vector<std::string> files;
    if (DIR* listing = opendir(dir.c_str())) {
        while (dirent* entry = readdir(listing)) {
            std::string name = entry->d_name;
            std::string lower = Lower(name);
            if (name.size() <= 4 || name[0] == '.' || lower.compare(lower.size() - 4, 4, ".bmp") != 0) continue;
            if (std::find(std::begin(kFixed), std::end(kFixed), lower) != std::end(kFixed)) continue;
            struct stat info {};
            if (stat((dir + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
            files.push_back(name);
        }
        closedir(listing);
    }
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        std::string la = Lower(a), lb = Lower(b);
        return la != lb ? la < lb : a < b;
    });

    MakeGalleryButton(kind, "None", dir + "None.bmp", 0, true, border);
    int slot = 1;
    for (const std::string& file : files) {
        std::string name = file.substr(0, file.find('.'));
        bool taken = SameName(name, "None") ||
                     std::any_of(gallery.begin(), gallery.end(), [&](const std::string& g) { return SameName(g, name); });
        if (!IsTemplateName(name) || taken) {
            jobmodel::ReportJobModelProblem("The template thumbnail \"" + dir + file + "\" is passed over: its name " +
                                            (taken ? "is taken" : "cannot name a template") + ".");
            continue;
        }
        TPicture probe;
        if (!LoadInto(&probe, dir + file)) continue;  // a thumbnail that does not decode gets no slot
        MakeGalleryButton(kind, name, dir + file, slot++, true, border);
        gallery.push_back(name);
    }
    MakeGalleryButton(kind, kKinds[kind].more, dir + kKinds[kind].more + ".bmp", slot, false, border);
}

void TfrmCustom::btn_Click(TObject* sender) {
    auto* control = dynamic_cast<TComponent*>(sender);
    if (!control) return;
    std::string name = control->Name();
    for (const GalleryKind& kind : kKinds) {
        if (name == kind.more) {
            std::string page = std::string(skinctrl::DVX_URL) + kind.page;
            ShellExecuteA(Handle(), "open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            return;
        }
    }
    ChooseTemplate(name, int(control->Tag()));
}

void TfrmCustom::ChooseTemplate(const std::string& name, int kind) {
    if (kind < gkPlayers || kind > gkPreloaders) return;
    std::size_t width = 0;
    char* field = ChoiceField(Working(), kind, width);
    std::string before = jobmodel::FieldText(field, width);
    if (GalleryControl(kind, before))
        if (TControl* frame = FrameOf(GalleryBox(kind), before)) frame->SetVisible(false);
    jobmodel::CopyTextField(field, width, name.c_str());
    if (GalleryControl(kind, name))
        if (TControl* frame = FrameOf(GalleryBox(kind), name)) frame->SetVisible(true);
    RefreshPreview();
}

void TfrmCustom::HideGalleryBorders(int kind) {
    // Every frame this gallery made, whatever the working folder is now.
    TScrollBox* box = GalleryBox(kind);
    if (!box) return;
    for (TControl* control : GalleryControls(box))
        if (dynamic_cast<TImage*>(control)) control->SetVisible(false);
}

void TfrmCustom::MarkGallery(int kind) {
    HideGalleryBorders(kind);
    std::size_t width = 0;
    const char* field = ChoiceField(Working(), kind, width);
    std::string chosen = jobmodel::FieldText(field, width);
    if (GalleryControl(kind, chosen))
        if (TControl* frame = FrameOf(GalleryBox(kind), chosen)) frame->SetVisible(true);
}

std::string TfrmCustom::MarkedTemplate(int kind) const {
    TScrollBox* box = GalleryBox(kind);
    if (!box) return "";
    for (TControl* control : GalleryControls(box)) {
        if (dynamic_cast<TImage*>(control) && control->Visible()) {
            std::string name = control->Name();
            return name.substr(0, name.size() - 1);
        }
    }
    return "";
}
