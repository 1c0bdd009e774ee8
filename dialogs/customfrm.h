#pragma once
// The customisation dialog (section "customize"): output profile and player options of a
// row. The main window fills its profile list and has its three template galleries built
// at its first showing.
#include <array>
#include <string>
#include <vector>

#include "app/skinnedform.h"
#include "app/uikinds.h"

class TfrmCustom : public TSkinnedForm {
public:
    explicit TfrmCustom(platform::TComponent* owner);

    // Gallery kinds.
    enum TGalleryKind { gkPlayers = 0, gkEffects = 1, gkPreloaders = 2 };

    // Lists a template folder's thumbnails ("*.bmp" plain files, in the order the file
    // system gives them, without "None.bmp", "PlayerMore.bmp", "EffectMore.bmp",
    // "LoaderMore.bmp" and "border.bmp") into the gallery of the kind: the template names
    // its buttons stand for. A missing folder leaves the gallery empty.
    void BuildTemplateGallery(const std::string& folder, int kind);
    const std::vector<std::string>& GalleryTemplates(int kind) const { return galleries_.at(std::size_t(kind)); }

    TProfileCombo* comProfile;

private:
    std::array<std::vector<std::string>, 3> galleries_;
};

extern TfrmCustom* frmCustom;
