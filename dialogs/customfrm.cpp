// The customisation dialog.
#include "dialogs/customfrm.h"

#include <dirent.h>
#include <sys/stat.h>

#include <set>

#include "platform/core/files.h"

TfrmCustom* frmCustom = nullptr;

TfrmCustom::TfrmCustom(platform::TComponent* owner)
    : TSkinnedForm(owner, "customize", "cusFormCreate", "customize", "customize_BG1", 800, 560) {
    SetCaption("Customize");
    comProfile = new TProfileCombo(this);
    comProfile->SetName("comProfile");
    comProfile->SetParent(background);
    comProfile->SetBounds(140, 100, 260, 22);
    PrepareProfileCombo(comProfile);
    TakeSkin();
}

void TfrmCustom::BuildTemplateGallery(const std::string& folder, int kind) {
    if (kind < gkPlayers || kind > gkPreloaders) return;
    std::vector<std::string>& gallery = galleries_[std::size_t(kind)];
    gallery.clear();
    if (!platform::DirectoryExists(folder)) return;
    static const std::set<std::string> kFixed = {"None.bmp", "PlayerMore.bmp", "EffectMore.bmp", "LoaderMore.bmp",
                                                 "border.bmp"};
    std::string dir = platform::IncludeTrailingPathDelimiter(folder);
    DIR* listing = opendir(dir.c_str());
    if (!listing) return;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.size() <= 4 || name[0] == '.' || name.compare(name.size() - 4, 4, ".bmp") != 0) continue;
        if (kFixed.count(name)) continue;
        struct stat info {};
        if (stat((dir + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        gallery.push_back(name.substr(0, name.size() - 4));
    }
    closedir(listing);
}
