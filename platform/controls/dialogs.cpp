// Common dialogs as modal forms of the layer's own controls.
#include "platform/controls/dialogs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/controls/colortable.h"
#include "platform/core/sysutils.h"

namespace platform {

TDialogHandler DialogHandler;

bool TCommonDialog::Execute() {
    if (DialogHandler) return DialogHandler(*this);
    std::unique_ptr<TForm> form(CreateForm());
    form_ = form.get();
    bool ok = false;
    try {
        if (OnShow) OnShow(this);
        ok = form->ShowModal() == mrOk;
        if (ok) Accepted();
        if (OnClose) OnClose(this);
    } catch (...) {
        form_ = nullptr;
        throw;
    }
    form_ = nullptr;
    return ok;
}

namespace {

TForm* NewDialogForm(const std::string& title, int width, int height) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsDialog);
    form->SetPosition(poScreenCenter);
    form->SetCaption(title);
    form->SetClientWidth(width);
    form->SetClientHeight(height);
    form->SetColor(clBtnFace);
    form->AfterConstruction();
    return form;
}

TLabel* AddLabel(TForm* form, const std::string& text, int x, int y, TWinControl* focus = nullptr) {
    auto* l = new TLabel(form);
    l->SetParent(form);
    l->SetCaption(text);
    l->SetLeft(x);
    l->SetTop(y);
    l->SetFocusControl(focus);
    return l;
}

TButton* AddButton(TForm* form, const std::string& text, int x, int y, TModalResult result) {
    auto* b = new TButton(form);
    b->SetParent(form);
    b->SetCaption(text);
    b->SetBounds(x, y, 80, 25);
    b->SetModalResult(result);
    b->SetDefault(result == mrOk);
    b->SetCancel(result == mrCancel);
    return b;
}

// A plain coloured area.
class TPanelLike : public TCustomControl {
public:
    explicit TPanelLike(TComponent* owner) : TCustomControl(owner) {}

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(ClientRect());
        RECT r = ClientRect();
        DrawEdge(Canvas()->Handle(), &r, EDGE_SUNKEN, BF_RECT);
    }
};

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Parent(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

}  // namespace

// ---------------------------------------------------------------- open and save

TOpenDialog::TOpenDialog(TComponent* owner) : TCommonDialog(owner), files_(new TStringList) {}

TOpenDialog::~TOpenDialog() { delete files_; }

void TOpenDialog::Navigate(const std::string& folder) {
    dirs_->SetDirectory(folder);
    list_->SetDirectory(folder);
}

TForm* TOpenDialog::CreateForm() {
    std::string title = Title().empty() ? (save_ ? "Save As" : "Open") : Title();
    TForm* form = NewDialogForm(title, 520, 330);
    nameEdit_ = new TEdit(form);
    list_ = new TFileListBox(form);
    dirs_ = new TDirectoryListBox(form);
    types_ = new TFilterComboBox(form);
    // Tab order: the name, the files, the folders, the types, the buttons.
    AddLabel(form, "File &name:", 10, 254, nameEdit_);
    nameEdit_->SetParent(form);
    nameEdit_->SetBounds(100, 250, 310, 24);
    list_->SetParent(form);
    list_->SetBounds(200, 10, 310, 230);
    list_->SetMultiSelect((Options() & ofAllowMultiSelect) != 0);
    dirs_->SetParent(form);
    dirs_->SetBounds(10, 10, 180, 230);
    AddLabel(form, "Files of &type:", 10, 289, types_);
    types_->SetParent(form);
    types_->SetBounds(100, 285, 310, 24);
    TButton* ok = AddButton(form, save_ ? "&Save" : "&Open", 425, 250, mrNone);
    ok->SetDefault(true);
    AddButton(form, "Cancel", 425, 285, mrCancel);
    nameEdit_->SetTabOrder(0);
    list_->SetTabOrder(1);
    dirs_->SetTabOrder(2);

    types_->SetFilter(filter_.empty() ? "All files (*.*)|*.*" : filter_);
    types_->SetItemIndex(std::clamp(filterIndex_ - 1, 0, std::max(0, types_->Items()->Count() - 1)));
    list_->SetMask(types_->Mask());
    std::string start = initialDir_.empty() ? CurrentFolder() : ExpandTypedPath(initialDir_, CurrentFolder());
    if (!fileName_.empty()) {
        std::string whole = ExpandTypedPath(fileName_, start);
        if (IsDir(Parent(whole)) && fileName_.find('/') != std::string::npos) start = Parent(whole);
        nameEdit_->SetText(fileName_.substr(fileName_.rfind('/') == std::string::npos ? 0 : fileName_.rfind('/') + 1));
    }
    if (!IsDir(start)) start = CurrentFolder();
    Navigate(start);

    types_->OnChange = [this](TObject*) { list_->SetMask(types_->Mask()); };
    dirs_->OnChange = [this](TObject*) {
        if (list_->Directory() != dirs_->Directory()) list_->SetDirectory(dirs_->Directory());
    };
    list_->OnClick = [this](TObject*) {
        // The chosen names go to the edit (several in quotes).
        std::vector<std::string> chosen;
        for (int i = 0; i < list_->Count(); ++i)
            if (list_->Selected(i)) chosen.push_back(DisplayFileName(list_->Names()[std::size_t(i)]));
        if (chosen.size() == 1) {
            nameEdit_->SetText(chosen[0]);
        } else if (chosen.size() > 1) {
            std::string text;
            for (const auto& n : chosen) text += (text.empty() ? "\"" : " \"") + n + "\"";
            nameEdit_->SetText(text);
        }
    };
    list_->OnDblClick = [this, form](TObject*) {
        if (Accept()) form->SetModalResult(mrOk);
    };
    ok->OnClick = [this, form](TObject*) {
        if (Accept()) form->SetModalResult(mrOk);
    };
    nameEdit_->SetTabOrder(0);  // the first to have the focus
    return form;
}

bool TOpenDialog::Accept() {
    std::string folder = list_->Directory();
    std::string text = Trim(nameEdit_->Text());
    std::vector<std::string> chosen;
    // Several names from the list, in its order.
    std::vector<int> selected;
    for (int i = 0; i < list_->Count(); ++i)
        if (list_->Selected(i)) selected.push_back(i);
    if (selected.size() > 1 && !text.empty() && text[0] == '"') {
        for (int i : selected) chosen.push_back(list_->Path(i));
    } else {
        if (text.empty()) return false;
        if (text.find_first_of("*?") != std::string::npos) {
            // A pattern typed: the list shows what matches it.
            list_->SetMask(text);
            nameEdit_->SetText("");
            return false;
        }
        // The chosen item's own bytes when the text is its shown name.
        int index = list_->ItemIndex();
        std::string path;
        if (index >= 0 && DisplayFileName(list_->Names()[std::size_t(index)]) == text)
            path = list_->Path(index);
        else
            path = ExpandTypedPath(text, folder);
        if (IsDir(path)) {
            Navigate(path);
            nameEdit_->SetText("");
            return false;
        }
        if (save_ && !defaultExt_.empty()) {
            std::string name = path.substr(path.rfind('/') + 1);
            if (name.find('.') == std::string::npos) path += "." + defaultExt_;
        }
        const std::string caption = Form() ? Form()->Caption() : Title();
        if (!IsDir(Parent(path))) {
            Application->MessageBox(path + "\nPath does not exist.\nCheck the path and try again.", caption,
                                    MB_OK | MB_ICONWARNING);
            return false;
        }
        if (!save_ && !Exists(path)) {
            Application->MessageBox(path + "\nFile not found.\nCheck the file name and try again.", caption,
                                    MB_OK | MB_ICONWARNING);
            return false;
        }
        if (save_ && (options_ & ofOverwritePrompt) && Exists(path) &&
            Application->MessageBox(path + " already exists.\nDo you want to replace it?", caption,
                                    MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
        chosen.push_back(path);
    }
    files_->Clear();
    for (const auto& p : chosen) files_->Add(p);
    fileName_ = chosen.front();
    filterIndex_ = types_->ItemIndex() + 1;
    return true;
}

// ---------------------------------------------------------------- colours

namespace {

const TColor kBasicColors[48] = {
    0x8080FF, 0x80FFFF, 0x80FF80, 0x80FF00, 0xFFFF80, 0xFF8000, 0xC080FF, 0xFF80FF,
    0x0000FF, 0x00FFFF, 0x00FF80, 0x40FF00, 0xFFFF00, 0xC08000, 0xC08080, 0xFF00FF,
    0x404080, 0x4080FF, 0x00FF00, 0x808000, 0x804000, 0xFF8080, 0x400080, 0x8000FF,
    0x000080, 0x0080FF, 0x008000, 0x408000, 0xFF0000, 0xA00000, 0x800080, 0xFF0080,
    0x000040, 0x004080, 0x004000, 0x404000, 0x800000, 0x400000, 0x400040, 0x800040,
    0x000000, 0x008080, 0x408080, 0x808080, 0x808040, 0xC0C0C0, 0x400040, 0xFFFFFF,
};

const char* kSlotNames = "ABCDEFGHIJKLMNOP";

}  // namespace

// A grid of colour cells: arrows move, a click or a move chooses.
class TColorDialog::TSwatches : public TCustomControl {
public:
    TSwatches(TComponent* owner, int columns) : TCustomControl(owner), columns_(columns) {
        tabStop_ = true;
        color_ = clBtnFace;
        brush_->SetColor(color_);
    }
    std::vector<TColor> colors;
    int index = -1;
    std::function<void(TColor)> OnPick;
    void Choose(int i) {
        if (i < 0 || i >= int(colors.size())) return;
        index = i;
        Invalidate();
        if (OnPick) OnPick(colors[std::size_t(i)]);
    }
    void Dispatch(TMessage& m) override {
        switch (m.Msg) {
            case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
            case WM_KEYDOWN: {
                int i = std::max(0, index);
                int n = int(colors.size());
                switch (m.WParam) {
                    case VK_LEFT: Choose(std::max(0, i - 1)); break;
                    case VK_RIGHT: Choose(std::min(n - 1, i + 1)); break;
                    case VK_UP: Choose(i - columns_ >= 0 ? i - columns_ : i); break;
                    case VK_DOWN: Choose(i + columns_ < n ? i + columns_ : i); break;
                    default: break;
                }
                TCustomControl::Dispatch(m);
                return;
            }
            case WM_LBUTTONDOWN: {
                if (CanFocus()) SetFocus();
                int col = m.XPos() / kCell, row = m.YPos() / kCell;
                if (col < columns_) Choose(row * columns_ + col);
                TCustomControl::Dispatch(m);
                return;
            }
            case WM_SETFOCUS:
            case WM_KILLFOCUS:
                TCustomControl::Dispatch(m);
                Invalidate();
                return;
            default: TCustomControl::Dispatch(m); return;
        }
    }
    static constexpr int kCell = 22;

protected:
    void Paint() override {
        TCanvas* c = Canvas();
        c->Brush()->SetColor(clBtnFace);
        c->FillRect(ClientRect());
        for (int i = 0; i < int(colors.size()); ++i) {
            RECT r{(i % columns_) * kCell + 2, (i / columns_) * kCell + 2, (i % columns_ + 1) * kCell - 2,
                   (i / columns_ + 1) * kCell - 2};
            DrawEdge(c->Handle(), &r, EDGE_SUNKEN, BF_RECT);
            RECT inner = r;
            InflateRect(&inner, -2, -2);
            c->Brush()->SetColor(colors[std::size_t(i)]);
            c->FillRect(inner);
            if (i == index) {
                c->Brush()->SetColor(clBlack);
                RECT f = r;
                InflateRect(&f, 2, 2);
                c->FrameRect(f);
                if (handle_ && GetFocus() == handle_) DrawFocusRect(c->Handle(), &f);
            }
        }
    }

private:
    int columns_;
};

TColorDialog::TColorDialog(TComponent* owner) : TCommonDialog(owner), customColors_(new TStringList) {}

TColorDialog::~TColorDialog() { delete customColors_; }

void TColorDialog::Show(TColor c, bool fromEdits) {
    current_ = c & 0xFFFFFF;
    if (!fromEdits) {
        rgb_[0]->SetText(std::to_string(current_ & 0xFF));
        rgb_[1]->SetText(std::to_string((current_ >> 8) & 0xFF));
        rgb_[2]->SetText(std::to_string((current_ >> 16) & 0xFF));
    }
    if (form_) form_->Invalidate();
}

TForm* TColorDialog::CreateForm() {
    TForm* form = NewDialogForm(Title().empty() ? "Color" : Title(), 420, 250);
    form_ = form;
    basic_ = new TSwatches(form, 8);
    basic_->SetParent(form);
    basic_->SetBounds(10, 25, 8 * TSwatches::kCell, 6 * TSwatches::kCell);
    basic_->colors.assign(std::begin(kBasicColors), std::end(kBasicColors));
    AddLabel(form, "&Basic colors:", 10, 6, basic_);
    custom_ = new TSwatches(form, 8);
    custom_->SetParent(form);
    custom_->SetBounds(10, 175, 8 * TSwatches::kCell, 2 * TSwatches::kCell);
    AddLabel(form, "&Custom colors:", 10, 158, custom_);
    for (int i = 0; i < 16; ++i) {
        std::string v = customColors_->Values(std::string("Color") + kSlotNames[i]);
        TColor c = clWhite;
        if (!v.empty()) c = TColor(std::strtoul(v.c_str(), nullptr, 16) & 0xFFFFFF);
        custom_->colors.push_back(c);
    }
    const char* names[3] = {"&Red:", "&Green:", "B&lue:"};
    for (int k = 0; k < 3; ++k) {
        rgb_[k] = new TEdit(form);
        rgb_[k]->SetParent(form);
        rgb_[k]->SetBounds(260, 100 + 30 * k, 60, 24);
        rgb_[k]->SetMaxLength(3);
        AddLabel(form, names[k], 200, 104 + 30 * k, rgb_[k]);
    }
    // The chosen colour, shown large.
    auto* sample = new TPanelLike(form);
    sample->SetParent(form);
    sample->SetBounds(200, 25, 120, 60);
    basic_->OnPick = [this, sample](TColor c) {
        Show(c, false);
        sample->SetColor(current_);
    };
    custom_->OnPick = basic_->OnPick;
    for (int k = 0; k < 3; ++k)
        rgb_[k]->OnChange = [this, sample](TObject*) {
            int v[3];
            for (int j = 0; j < 3; ++j) v[j] = std::clamp(StrToIntDef(rgb_[j]->Text(), 0), 0, 255);
            current_ = TColor(RGB(v[0], v[1], v[2]));
            sample->SetColor(current_);
        };
    TButton* add = AddButton(form, "&Add to Custom Colors", 200, 205, mrNone);
    add->SetWidth(150);
    add->OnClick = [this](TObject*) {
        // Into the chosen custom slot, else the first unused, else the first.
        int slot = custom_->index;
        if (slot < 0) {
            slot = 0;
            for (int i = 0; i < 16; ++i)
                if (custom_->colors[std::size_t(i)] == clWhite) {
                    slot = i;
                    break;
                }
        }
        custom_->colors[std::size_t(slot)] = current_;
        custom_->index = slot;
        custom_->Invalidate();
    };
    AddButton(form, "OK", 330, 25, mrOk);
    AddButton(form, "Cancel", 330, 60, mrCancel);
    Show(color_, false);
    sample->SetColor(current_);
    for (int i = 0; i < 48; ++i)
        if (kBasicColors[i] == (color_ & 0xFFFFFF)) basic_->index = i;
    basic_->SetTabOrder(0);  // the first to have the focus
    return form;
}

void TColorDialog::Accepted() {
    color_ = current_;
    for (int i = 0; i < 16; ++i) {
        char value[16];
        std::snprintf(value, sizeof(value), "%.8X", unsigned(custom_->colors[std::size_t(i)]));
        customColors_->SetValue(std::string("Color") + kSlotNames[i], value);
    }
}

// ---------------------------------------------------------------- fonts

namespace {

constexpr int kStandardColors = 16;
constexpr const char* kCustomEntry = "Custom";
constexpr const char* kCustomPickEntry = "Custom...";

// The colour list: each entry with its swatch; "Custom..." has none.
class TColorCombo : public TCustomComboBox {
public:
    explicit TColorCombo(TComponent* owner, const std::vector<TColor>* colors)
        : TCustomComboBox(owner), colors_(colors) {
        SetStyle(csOwnerDrawFixed);
        SetDropDownCount(kStandardColors + 2);
    }

protected:
    void DrawItem(int index, TRect rect, TOwnerDrawState state) override {
        if (OnDrawItem) {
            TCustomComboBox::DrawItem(index, rect, state);
            return;
        }
        constexpr int kSwatchWidth = 20;
        TCanvas* canvas = Canvas();
        canvas->FillRect(rect);
        if (index < 0 || index >= Items()->Count()) return;
        int textLeft = rect.left + 2;
        if (index < int(colors_->size()) && (*colors_)[std::size_t(index)] != clNone) {
            TRect swatch(rect.left + 2, rect.top + 2, rect.left + 2 + kSwatchWidth, rect.bottom - 2);
            TColor keep = canvas->Brush()->Color();
            canvas->Brush()->SetColor(clBlack);
            canvas->FrameRect(swatch);
            canvas->Brush()->SetColor((*colors_)[std::size_t(index)]);
            canvas->FillRect(TRect(swatch.left + 1, swatch.top + 1, swatch.right - 1, swatch.bottom - 1));
            canvas->Brush()->SetColor(keep);
            textLeft = swatch.right + 4;
        }
        RECT r{textLeft, rect.top, rect.right, rect.bottom};
        DrawText(TextDC(canvas), Items()->Get(index), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }

private:
    const std::vector<TColor>* colors_;
};

// "AaBbYyZz" in the font as chosen so far.
class TFontSample : public TCustomControl {
public:
    explicit TFontSample(TComponent* owner) : TCustomControl(owner) {}
    TFont sample;

protected:
    void Paint() override {
        TCanvas* c = Canvas();
        RECT r = ClientRect();
        c->Brush()->SetColor(clWindow);
        c->FillRect(ClientRect());
        DrawEdge(c->Handle(), &r, EDGE_SUNKEN, BF_RECT);
        c->Font()->Assign(&sample);
        c->Brush()->SetStyle(bsClear);
        InflateRect(&r, -2, -2);
        DrawText(TextDC(c), "AaBbYyZz", &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    }
};

}  // namespace

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), font_(new TFont) {}

TFontDialog::~TFontDialog() { delete font_; }

TColor TFontDialog::ChosenColor() const {
    int i = colors_ ? colors_->ItemIndex() : -1;
    if (i < 0 || i >= int(colorValues_.size()) || colorValues_[std::size_t(i)] == clNone) return font_->Color();
    return colorValues_[std::size_t(i)];
}

// The "Custom" entry (made before "Custom..." when missing) holds the colour and is chosen.
void TFontDialog::SetCustomColor(TColor color) {
    int custom = kStandardColors;
    if (colors_->Items()->Count() < kStandardColors + 2) {
        colors_->Items()->Insert(custom, kCustomEntry);
        colorValues_.insert(colorValues_.begin() + custom, color);
    }
    colorValues_[std::size_t(custom)] = color;
    colors_->SetItemIndex(custom);
    colors_->Invalidate();
}

void TFontDialog::PickCustomColor() {
    TColorDialog dialog(nullptr);
    dialog.SetColor(TColor(ColorToRGB(colorIndex_ >= 0 && colorIndex_ < int(colorValues_.size())
                                          ? colorValues_[std::size_t(colorIndex_)]
                                          : font_->Color())));
    if (dialog.Execute())
        SetCustomColor(dialog.Color());
    else
        colors_->SetItemIndex(colorIndex_);
}

TForm* TFontDialog::CreateForm() {
    TForm* form = NewDialogForm(Title().empty() ? "Font" : Title(), 430, 280);
    family_ = new TEdit(form);
    family_->SetParent(form);
    family_->SetBounds(10, 25, 200, 24);
    AddLabel(form, "&Font:", 10, 6, family_);
    families_ = new TListBox(form);
    families_->SetParent(form);
    families_->SetBounds(10, 52, 200, 180);
    for (const auto& name : Screen->Fonts()) families_->Items()->Add(name);
    size_ = new TEdit(form);
    size_->SetParent(form);
    size_->SetBounds(220, 25, 60, 24);
    AddLabel(form, "&Size:", 220, 6, size_);
    bold_ = new TCheckBox(form);
    bold_->SetParent(form);
    bold_->SetCaption("&Bold");
    bold_->SetBounds(220, 60, 100, 20);
    italic_ = new TCheckBox(form);
    italic_->SetParent(form);
    italic_->SetCaption("&Italic");
    italic_->SetBounds(220, 85, 100, 20);
    underline_ = new TCheckBox(form);
    underline_->SetParent(form);
    underline_->SetCaption("&Underline");
    underline_->SetBounds(220, 110, 100, 20);
    colors_ = new TColorCombo(form, &colorValues_);
    colors_->SetParent(form);
    colors_->SetBounds(220, 158, 140, 24);
    AddLabel(form, "&Color:", 220, 140, colors_);
    auto* sample = new TFontSample(form);
    sample->SetParent(form);
    sample->SetBounds(220, 190, 200, 42);
    sample_ = sample;
    AddButton(form, "OK", 340, 25, mrOk);
    AddButton(form, "Cancel", 340, 60, mrCancel);

    // The standard colours, then the font's own when it is none of them, then "Custom...".
    colorValues_.clear();
    const auto& idents = ColorIdents();
    int chosen = -1;
    for (int i = 0; i < kStandardColors && i < int(idents.size()); ++i) {
        colorValues_.push_back(idents[std::size_t(i)].Value);
        colors_->Items()->Add(std::string(idents[std::size_t(i)].Name).substr(2));
        if (chosen < 0 && ColorToRGB(idents[std::size_t(i)].Value) == ColorToRGB(font_->Color())) chosen = i;
    }
    colorValues_.push_back(clNone);
    colors_->Items()->Add(kCustomPickEntry);
    if (chosen >= 0)
        colors_->SetItemIndex(chosen);
    else
        SetCustomColor(TColor(ColorToRGB(font_->Color())));
    colorIndex_ = colors_->ItemIndex();

    // A face that is not installed shows as the family that draws it.
    shownFamily_ = font_->Name();
    int index = -1;
    for (int i = 0; i < families_->Items()->Count(); ++i)
        if (SameText(families_->Items()->Get(i), font_->Name())) index = i;
    if (index < 0) {
        std::string used = GetFontFamily(font_->Handle());
        for (int i = 0; i < families_->Items()->Count() && !used.empty(); ++i)
            if (SameText(families_->Items()->Get(i), used)) index = i;
        if (index >= 0) shownFamily_ = families_->Items()->Get(index);
    }
    family_->SetText(shownFamily_);
    size_->SetText(std::to_string(font_->Size()));
    bold_->SetChecked(font_->Style().Contains(fsBold));
    italic_->SetChecked(font_->Style().Contains(fsItalic));
    underline_->SetChecked(font_->Style().Contains(fsUnderline));
    families_->SetItemIndex(index);

    // The sample follows every field.
    auto update = [this, sample](TObject*) {
        sample->sample.Assign(font_);
        std::string family = Trim(family_->Text());
        if (!family.empty()) sample->sample.SetName(family);
        int size = StrToIntDef(Trim(size_->Text()), font_->Size());
        if (size > 0 && size < 100) sample->sample.SetSize(size);
        TFontStyles style;
        if (bold_->Checked()) style.Include(fsBold);
        if (italic_->Checked()) style.Include(fsItalic);
        if (underline_->Checked()) style.Include(fsUnderline);
        sample->sample.SetStyle(style);
        sample->sample.SetColor(ChosenColor());
        sample->Invalidate();
    };
    families_->OnClick = [this](TObject*) {
        if (families_->ItemIndex() >= 0) family_->SetText(families_->Items()->Get(families_->ItemIndex()));
    };
    family_->OnChange = [this, update](TObject* sender) {
        // Typing a family's first letters finds it in the list.
        std::string typed = family_->Text();
        for (int i = 0; i < families_->Items()->Count(); ++i) {
            std::string name = families_->Items()->Get(i);
            if (!typed.empty() && name.size() >= typed.size() && SameText(name.substr(0, typed.size()), typed)) {
                families_->SetItemIndex(i);
                break;
            }
        }
        update(sender);
    };
    size_->OnChange = update;
    bold_->OnClick = update;
    italic_->OnClick = update;
    underline_->OnClick = update;
    colors_->OnChange = [this, update](TObject* sender) {
        if (colors_->ItemIndex() == colors_->Items()->Count() - 1) PickCustomColor();
        colorIndex_ = colors_->ItemIndex();
        update(sender);
    };
    update(nullptr);
    family_->SetTabOrder(0);  // the first to have the focus
    return form;
}

void TFontDialog::Accepted() {
    std::string family = Trim(family_->Text());
    // A family left as shown keeps the name the font had (its substitute draws it anyway).
    if (!family.empty() && family != shownFamily_) font_->SetName(family);
    int size = StrToIntDef(Trim(size_->Text()), font_->Size());
    if (size > 0 && size < 1000) font_->SetSize(size);
    TFontStyles style;
    if (bold_->Checked()) style.Include(fsBold);
    if (italic_->Checked()) style.Include(fsItalic);
    if (underline_->Checked()) style.Include(fsUnderline);
    font_->SetStyle(style);
    // A colour left as it was keeps its value (a system colour stays one).
    TColor color = ChosenColor();
    if (ColorToRGB(color) != ColorToRGB(font_->Color())) font_->SetColor(color);
}

// ---------------------------------------------------------------- folders

TForm* TBrowseFolderDialog::CreateForm() {
    TForm* form = NewDialogForm(Title().empty() ? "Browse for Folder" : Title(), 320, 330);
    AddLabel(form, Title(), 10, 8);
    dirs_ = new TDirectoryListBox(form);
    dirs_->SetParent(form);
    dirs_->SetBounds(10, 30, 300, 250);
    std::string start = folder_.empty() ? CurrentFolder() : folder_;
    dirs_->SetDirectory(IsDir(start) ? start : CurrentFolder());
    AddButton(form, "OK", 140, 295, mrOk);
    AddButton(form, "Cancel", 230, 295, mrCancel);
    dirs_->SetTabOrder(0);  // the first to have the focus
    return form;
}

void TBrowseFolderDialog::Accepted() {
    std::string path = dirs_->ItemPath(dirs_->ItemIndex());
    folder_ = path.empty() ? dirs_->Directory() : path;
}

}  // namespace platform

// An item list here is the folder's path, zero-terminated, behind a small header.
struct platform::ITEMIDLIST {
    char path[1];
};

namespace platform {

PIDLIST_ABSOLUTE SHBrowseForFolderA(BROWSEINFOA* info) {
    TBrowseFolderDialog dialog(nullptr);
    if (info && info->lpszTitle) dialog.SetTitle(info->lpszTitle);
    if (!dialog.Execute() || dialog.Folder().empty()) return nullptr;
    const std::string& folder = dialog.Folder();
    auto* pidl = static_cast<ITEMIDLIST*>(std::malloc(folder.size() + 1));
    if (!pidl) return nullptr;
    std::memcpy(pidl->path, folder.c_str(), folder.size() + 1);
    if (info && info->pszDisplayName) {
        std::string name = folder == "/" ? "/" : folder.substr(folder.rfind('/') + 1);
        std::size_t n = std::min<std::size_t>(name.size(), 259);
        std::memcpy(info->pszDisplayName, name.data(), n);
        info->pszDisplayName[n] = 0;
    }
    return pidl;
}

BOOL SHGetPathFromIDListA(PIDLIST_ABSOLUTE pidl, char* path) {
    if (!pidl || !path) return FALSE;
    std::size_t n = std::strlen(pidl->path);
    if (n >= 260) return FALSE;
    std::memcpy(path, pidl->path, n + 1);
    return TRUE;
}

void CoTaskMemFree(void* memory) { std::free(memory); }

}  // namespace platform
