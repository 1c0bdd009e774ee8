// The colour box: the list from the colour identifier table, the selection rules, the
// swatches, and the custom entry through the colour dialog.
#include "skinctrl/dvxcolorbox.h"

#include <cstdint>

#include "platform/controls/colortable.h"
#include "platform/controls/dialogs.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"

namespace skinctrl {

using namespace platform;

namespace {

// An entry keeps its 32-bit colour in its object slot.
TObject* AsObject(TColor color) { return reinterpret_cast<TObject*>(std::uintptr_t(std::uint32_t(color))); }
TColor FromObject(TObject* object) { return TColor(std::uint32_t(reinterpret_cast<std::uintptr_t>(object))); }

std::string PrettyName(const std::string& ident) {
    std::string name = ident.rfind("cl", 0) == 0 ? ident.substr(2) : ident;
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i > 0 && name[i] >= 'A' && name[i] <= 'Z') out += ' ';
        out += name[i];
    }
    return out;
}

}  // namespace

TdvxCustomColorBox::TdvxCustomColorBox(TComponent* owner) : TdvxCustomComboBox(owner) {
    TdvxCustomComboBox::SetStyle(csOwnerDrawFixed);
    SetItemHeight(15);
    PopulateList();
}

void TdvxCustomColorBox::CreateWnd() {
    TdvxCustomComboBox::CreateWnd();
    if (needToPopulate_) PopulateList();
}

void TdvxCustomColorBox::ColorCallBack(const std::string& name) {
    TColor color = clBlack;
    IdentToColor(name, color);
    Items()->AddObject(style_.Contains(cbPrettyNames) ? PrettyName(name) : name, AsObject(color));
}

void TdvxCustomColorBox::PopulateList() {
    if (!HandleAllocated()) {
        needToPopulate_ = true;
        return;
    }
    TStrings* items = Items();
    items->BeginUpdate();
    try {
        TColor custom = style_.Contains(cbCustomColor) && items->Count() > 0 ? GetColor(0) : clBlack;
        TColor keep = selected_;
        items->Clear();
        GetColorValues([this](const std::string& name) { ColorCallBack(name); });
        auto drop = [items](TColor color) {
            for (int i = 0; i < items->Count(); ++i)
                if (FromObject(items->Objects(i)) == color) {
                    items->Delete(i);
                    return;
                }
        };
        if (!style_.Contains(cbIncludeNone)) drop(clNone);
        if (!style_.Contains(cbIncludeDefault)) drop(clDefault);
        auto cut = [items](int from, int to) {
            for (int i = std::min(to, items->Count() - 1); i >= from; --i) items->Delete(i);
        };
        if (!style_.Contains(cbSystemColors)) cut(20, items->Count() - 1);
        if (!style_.Contains(cbExtendedColors)) cut(16, 19);
        if (!style_.Contains(cbStandardColors)) cut(0, 15);
        if (style_.Contains(cbCustomColor)) items->InsertObject(0, "Custom...", AsObject(custom));
        SetSelected(keep);
    } catch (...) {
        items->EndUpdate();
        throw;
    }
    items->EndUpdate();
    needToPopulate_ = false;
}

TColor TdvxCustomColorBox::GetColor(int index) const {
    if (index < 0 || index >= Items()->Count()) return clBlack;
    return FromObject(Items()->Objects(index));
}

std::string TdvxCustomColorBox::GetColorName(int index) const {
    if (index < 0 || index >= Items()->Count()) return std::string();
    return Items()->Get(index);
}

void TdvxCustomColorBox::SetColorAt(int index, TColor color) { Items()->PutObject(index, AsObject(color)); }

TColor TdvxCustomColorBox::GetSelected() const {
    if (!HandleAllocated()) return selected_;
    return ItemIndex() < 0 ? kNoColorSelected : GetColor(ItemIndex());
}

void TdvxCustomColorBox::SetSelected(TColor value) {
    if (HandleAllocated()) {
        // The custom entry holds a colour too (black at first): a listed colour is found
        // under its own name before the custom entry is taken.
        int first = style_.Contains(cbCustomColor) ? 1 : 0;
        int index = -1;
        for (int i = first; i < Items()->Count(); ++i)
            if (GetColor(i) == value) {
                index = i;
                break;
            }
        if (index < 0 && style_.Contains(cbCustomColor) && value != kNoColorSelected && Items()->Count() > 0) {
            SetColorAt(0, value);
            index = 0;
        }
        SetItemIndex(index);
    }
    selected_ = value;
}

void TdvxCustomColorBox::SetStyle(TColorBoxStyles value) {
    if (style_ == value) return;
    style_ = value;
    SetEnabled(style_.Contains(cbStandardColors) || style_.Contains(cbExtendedColors) ||
               style_.Contains(cbSystemColors) || style_.Contains(cbCustomColor));
    PopulateList();
    if (Items()->Count() > 0 && ItemIndex() == -1) SetItemIndex(0);
}

void TdvxCustomColorBox::SetDefaultColorColor(TColor value) {
    if (defaultColorColor_ == value) return;
    defaultColorColor_ = value;
    Invalidate();
}

void TdvxCustomColorBox::SetNoneColorColor(TColor value) {
    if (noneColorColor_ == value) return;
    noneColorColor_ = value;
    Invalidate();
}

bool TdvxCustomColorBox::PickCustomColor() {
    TColorDialog dialog(nullptr);
    COLORREF rgb = ColorToRGB(GetColor(0));
    dialog.SetColor(TColor(rgb));
    dialog.CustomColors()->SetText(Format("ColorA=%.8X", unsigned(rgb)));
    bool ok = dialog.Execute();
    if (ok) {
        SetColorAt(0, dialog.Color());
        Invalidate();
    }
    return ok;
}

void TdvxCustomColorBox::KeyDown(WORD& key, TShiftState shift) {
    listSelected_ = false;
    TdvxCustomComboBox::KeyDown(key, shift);
}

void TdvxCustomColorBox::KeyPress(char& key) {
    TdvxCustomComboBox::KeyPress(key);
    if (style_.Contains(cbCustomColor) && key == '\r' && ItemIndex() == 0) {
        PickCustomColor();
        key = 0;
    }
}

void TdvxCustomColorBox::CloseUp() {
    TdvxCustomComboBox::CloseUp();
    listSelected_ = true;
}

void TdvxCustomColorBox::Select() {
    // The platform box reports a pick as Select, then Change: this decides what runs.
    skipChange_ = false;
    if (listSelected_) {
        listSelected_ = false;
        if (style_.Contains(cbCustomColor) && ItemIndex() == 0 && !PickCustomColor()) {
            skipChange_ = true;
            return;
        }
    }
    if (OnSelect) {
        OnSelect(this);
        skipChange_ = true;
    }
}

void TdvxCustomColorBox::Change() {
    if (skipChange_) {
        skipChange_ = false;
        return;
    }
    TdvxCustomComboBox::Change();
}

void TdvxCustomColorBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
    TCanvas* canvas = Canvas();
    canvas->FillRect(rect);
    if (index < 0 || index >= Items()->Count()) return;
    TColor background = canvas->Brush()->Color();
    TRect swatch(rect.left + 1, rect.top + 1, rect.left + rect.Height() - 1, rect.bottom - 1);
    TColor color = GetColor(index);
    if (color == clDefault) color = defaultColorColor_;
    if (color == clNone) color = noneColorColor_;
    canvas->Brush()->SetColor(color);
    canvas->FillRect(swatch);
    COLORREF rgb = ColorToRGB(color);
    TColor frame = (GetRValue(rgb) > 192 || GetGValue(rgb) > 192 || GetBValue(rgb) > 192) ? clBlack
                   : (state & odSelected)                                                 ? clWhite
                                                                                         : color;
    canvas->Brush()->SetColor(frame);
    canvas->FrameRect(swatch);
    canvas->Brush()->SetColor(background);
    std::string text = Items()->Get(index);
    int y = rect.top + (rect.Height() - canvas->TextHeight(text)) / 2;
    // Clipped to the row right of the swatch: an opaque text background must not cover it.
    canvas->TextRect(TRect(swatch.right + 1, rect.top, rect.right, rect.bottom), swatch.right + 5, y, text);
}

}  // namespace skinctrl
