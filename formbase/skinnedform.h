#pragma once
// A borderless window that takes its look from one skin section: its background picture
// panel (whose mouse-down drags the window), the skinned controls the window adds to its
// table, its size and rounded region at creation, and a re-skin after a skin change.
#include <string>
#include <vector>

#include "formbase/skinlayout.h"
#include "platform/controls/forms.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxpanel.h"

// Floating-point exceptions stay masked on the user-interface thread. On x86-64 Linux
// they are masked from the start, so there is nothing to do; the windows call it where
// their creation handlers would.
inline void MaskFloatingPointExceptions() {}

class TSkinnedForm : public platform::TForm {
public:
    // section, size item, picture sub-folder and the background's item; the form is
    // `width` x `height` until its creation gives it the skin's size.
    TSkinnedForm(platform::TComponent* owner, const char* section, const char* sizeItem, const char* folder,
                 const char* backgroundItem, int width, int height);

    // Section again, layout, pictures; size and region stay as they were made.
    virtual void ReloadSkin() { skin.Reload(table); }
    const TSkinWindow& Skin() const { return skin; }
    skinctrl::TdvxImagePanel* Background() const { return background; }

protected:
    // Adds a picture button on the background, skinned from the item of its name.
    skinctrl::TdvxImageButton* AddButton(const char* name, int left, int top, int width, int height);
    // Runs the layout and the pictures of the table built so far (the constructor's last step).
    void TakeSkin();
    void DoCreate() override;

    TSkinWindow skin;
    std::vector<SkinEntry> table;
    skinctrl::TdvxImagePanel* background;
};
