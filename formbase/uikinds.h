#pragma once
// The drop-down list and pop-up menu classes the windows place, in one spot.
#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcombobox.h"
#include "skinctrl/dvxmenu.h"

using TProfileCombo = skinctrl::TdvxComboBox;
using TSkinPopupMenu = skinctrl::TdvxPopupMenu;

// A choose-only list.
inline void PrepareProfileCombo(TProfileCombo* combo) { combo->SetStyle(platform::csDropDownList); }
