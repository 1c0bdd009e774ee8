#pragma once
// The skinned colour box: a combo box (painted as TdvxCustomComboBox) that lists named
// colours, each with a swatch, and can offer a "Custom..." entry that opens the platform's
// colour dialog. The list is built from the platform's colour identifier table once the
// window exists; until then Selected stands in for the selection.
#include <string>

#include "platform/graphics/graphics.h"
#include "skinctrl/dvxcombobox.h"

namespace skinctrl {

enum TColorBoxStyle { cbStandardColors, cbExtendedColors, cbSystemColors, cbIncludeNone, cbIncludeDefault,
                      cbCustomColor, cbPrettyNames };
using TColorBoxStyles = platform::TSet<TColorBoxStyle>;

// What GetSelected answers when no entry is selected.
constexpr TColor kNoColorSelected = TColor(0xFF000000);

class TdvxCustomColorBox : public TdvxCustomComboBox {
public:
    explicit TdvxCustomColorBox(platform::TComponent* owner);

    // The colour box's own Style (the combo-box style stays csOwnerDrawFixed).
    TColorBoxStyles Style() const { return style_; }
    void SetStyle(TColorBoxStyles value);
    // The selected entry's colour; kNoColorSelected with none; the stored value while the
    // window does not exist.
    TColor GetSelected() const;
    // Selects the entry holding the colour (with cbCustomColor an unknown colour goes into
    // the custom entry); through the item index, so the change event does not run.
    void SetSelected(TColor value);
    TColor GetColor(int index) const;
    std::string GetColorName(int index) const;
    TColor DefaultColorColor() const { return defaultColorColor_; }
    void SetDefaultColorColor(TColor value);
    TColor NoneColorColor() const { return noneColorColor_; }
    void SetNoneColorColor(TColor value);
    bool ListSelected() const { return listSelected_; }

    // Asks the colour dialog for the custom entry's colour; true when the user confirmed.
    virtual bool PickCustomColor();

protected:
    void CreateWnd() override;
    void DrawItem(int index, platform::TRect rect, platform::TOwnerDrawState state) override;
    void CloseUp() override;
    void Select() override;
    void Change() override;
    void KeyDown(platform::WORD& key, platform::TShiftState shift) override;
    void KeyPress(char& key) override;
    void PopulateList();

private:
    void ColorCallBack(const std::string& name);
    void SetColorAt(int index, TColor color);

    TColorBoxStyles style_{cbStandardColors, cbExtendedColors, cbSystemColors};
    bool needToPopulate_ = false;
    bool listSelected_ = false;
    bool skipChange_ = false;
    TColor defaultColorColor_ = platform::clBlack;
    TColor noneColorColor_ = platform::clBlack;
    TColor selected_ = platform::clBlack;
};

class TdvxColorBox : public TdvxCustomColorBox {
public:
    explicit TdvxColorBox(platform::TComponent* owner) : TdvxCustomColorBox(owner) {}
};

}  // namespace skinctrl
