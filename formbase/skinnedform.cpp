// The skinned borderless window.
#include "formbase/skinnedform.h"

using namespace platform;

TSkinnedForm::TSkinnedForm(TComponent* owner, const char* section, const char* sizeItem, const char* folder,
                           const char* backgroundItem, int width, int height)
    : TForm(owner), skin(section, sizeItem, folder) {
    SetBorderStyle(bsNone);
    SetPosition(poMainFormCenter);
    SetBounds(0, 0, width, height);
    background = new skinctrl::TdvxImagePanel(this);
    background->SetName(backgroundItem);
    background->SetParent(this);
    background->SetBounds(0, 0, width, height);
    background->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
        if (button == mbLeft) StartWindowDrag(Height(), Width(), x, y, this);
    };
    table.push_back({backgroundItem, background, TSkinUse::Panel});
}

skinctrl::TdvxImageButton* TSkinnedForm::AddButton(const char* name, int left, int top, int width, int height) {
    auto* button = new skinctrl::TdvxImageButton(this);
    button->SetName(name);
    button->SetParent(background);
    button->SetBounds(left, top, width, height);
    table.push_back({name, button, TSkinUse::Button});
    return button;
}

void TSkinnedForm::TakeSkin() {
    skin.TakeSection();
    skin.Layout(table);
    skin.LoadPictures(table);
    skin.SizeBeforeCreation(this);
}

void TSkinnedForm::DoCreate() {
    MaskFloatingPointExceptions();
    skin.ApplyFrame(this);
    TForm::DoCreate();
}
