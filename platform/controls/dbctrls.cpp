// The data-aware image, list, combo and lookup boxes (the edit and memo live in the header).
#include "platform/controls/dbctrls.h"

#include "platform/graphics/graphics.h"

namespace platform {

namespace {

// Decodes a picture by its signature; null for bytes that are no picture we read.
std::unique_ptr<TGraphic> DecodePicture(const std::string& bytes) {
    auto starts = [&](const char* sig, std::size_t n) { return bytes.size() >= n && bytes.compare(0, n, sig, n) == 0; };
    std::unique_ptr<TGraphic> g;
    if (starts("BM", 2))
        g = std::make_unique<TBitmap>();
    else if (starts("\xFF\xD8\xFF", 3))
        g = std::make_unique<TJPEGImage>();
    else if (starts("\x89PNG\r\n\x1A\n", 8))
        g = std::make_unique<TPngImage>();
    else
        return nullptr;
    try {
        g->LoadFromBytes(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    } catch (const Exception&) {
        return nullptr;
    }
    if (g->Empty()) return nullptr;
    return g;
}

}  // namespace

// ---------------------------------------------------------------- TDBImage

TDBImage::TDBImage(TComponent* owner) : TDBFieldControl<TCustomControl>(owner), picture_(std::make_unique<TPicture>()) {
    SetBounds(left_, top_, 105, 105);
    SetColor(clWindow);
    SetTabStop(true);
}

TDBImage::~TDBImage() = default;

void TDBImage::CreateParams(TCreateParams& params) {
    TDBFieldControl<TCustomControl>::CreateParams(params);
    if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TDBImage::SetStretch(bool value) {
    if (stretch_ == value) return;
    stretch_ = value;
    Refreshed();
}

void TDBImage::SetCenter(bool value) {
    if (center_ == value) return;
    center_ = value;
    Refreshed();
}

void TDBImage::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    if (HandleAllocated()) RecreateWnd();
}

void TDBImage::DataChange() {
    std::unique_ptr<TGraphic> g;
    if (TField* f = Field(); f && !f->IsNull()) g = DecodePicture(f->AsBytes());
    picture_ = std::make_unique<TPicture>();
    if (g) picture_->SetGraphic(g.get());
    Invalidate();
}

void TDBImage::KeyPress(char& key) {
    TDBFieldControl<TCustomControl>::KeyPress(key);
    if (key == 27) dataLink_.Reset();
}

void TDBImage::Paint() {
    TCanvas* c = Canvas();
    TRect client = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(client);
    TGraphic* g = picture_->Graphic();
    if (!g || g->Empty()) return;
    TRect dest(0, 0, g->Width(), g->Height());
    if (stretch_) {
        dest = client;
    } else if (center_) {
        int x = (client.Width() - g->Width()) / 2, y = (client.Height() - g->Height()) / 2;
        dest = TRect(x, y, x + g->Width(), y + g->Height());
    }
    c->StretchDraw(dest, g);
}

// ---------------------------------------------------------------- TDBListBox

void TDBListBox::DataChange() {
    TField* f = Field();
    showing_ = true;
    SetItemIndex(f ? Items()->IndexOf(f->Text()) : -1);
    showing_ = false;
}

void TDBListBox::Click() {
    if (showing_) return;
    // Starting the edit shows the field again; the user's pick is put back once allowed.
    int picked = ItemIndex();
    if (dataLink_.Edit()) {
        showing_ = true;
        SetItemIndex(picked);
        showing_ = false;
        dataLink_.Modified();
        TDBFieldControl<TCustomListBox>::Click();
    } else {
        DataChange();
    }
}

void TDBListBox::UpdateData() {
    if (TField* f = Field()) f->SetText(ItemIndex() >= 0 ? Items()->Get(ItemIndex()) : std::string());
}

void TDBListBox::KeyPress(char& key) {
    TDBFieldControl<TCustomListBox>::KeyPress(key);
    if (key == 27) {
        dataLink_.Reset();
        key = 0;
    }
}

// ---------------------------------------------------------------- TDBComboBox

void TDBComboBox::DataChange() {
    TField* f = Field();
    std::string text = f ? f->Text() : std::string();
    showing_ = true;
    if (Style() == csDropDownList)
        SetItemIndex(Items()->IndexOf(text));
    else
        SetText(text);
    showing_ = false;
}

void TDBComboBox::Change() {
    if (showing_) return;
    int picked = ItemIndex();
    std::string text = Text();
    if (dataLink_.Edit()) {
        showing_ = true;
        if (Style() == csDropDownList)
            SetItemIndex(picked);
        else
            SetText(text);
        showing_ = false;
        dataLink_.Modified();
        TDBFieldControl<TCustomComboBox>::Change();
    } else {
        DataChange();
    }
}

void TDBComboBox::UpdateData() {
    if (TField* f = Field()) f->SetText(Text());
}

void TDBComboBox::KeyPress(char& key) {
    TDBFieldControl<TCustomComboBox>::KeyPress(key);
    if (key == 27) {
        dataLink_.Reset();
        key = 0;
    }
}

// ---------------------------------------------------------------- lookups

TDBLookupList::TDBLookupList(TComponent* control) : control_(control) {}

TDBLookupList::~TDBLookupList() {
    link_.OnChange = nullptr;
    link_.SetDataSource(nullptr);
}

int TDBLookupList::IndexOfKey(const std::string& key) const {
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) return int(i);
    return -1;
}

void TDBLookupList::Fill(TStrings* items) {
    keys_.clear();
    items->BeginUpdate();
    items->Clear();
    TDataSet* ds = link_.Active() ? link_.DataSet() : nullptr;
    TField* key = ds ? ds->FindField(keyField_) : nullptr;
    TField* list = ds ? ds->FindField(listField_.empty() ? keyField_ : listField_) : nullptr;
    if (key && list) {
        for (int row = 0; row < ds->RecordCount(); ++row) {
            TRecordData r = ds->Record(row);
            keys_.push_back(key->ValueText(r.values[std::size_t(key->Index())]));
            items->Add(list->DisplayValueText(r.values[std::size_t(list->Index())]));
        }
    }
    items->EndUpdate();
}

namespace {
template <class Control>
void SetLookupSource(Control* c, TDataLink& link, TDataSource* value) {
    if (value == link.DataSource()) return;
    if (link.DataSource()) c->RemoveFreeNotification(link.DataSource());
    link.SetDataSource(value);
    if (value) c->FreeNotification(value);
}
}  // namespace

TDBLookupListBox::TDBLookupListBox(TComponent* owner)
    : TDBFieldControl<TCustomListBox>(owner), TDBLookupList(this) {
    link_.OnChange = [this] { ListChanged(); };
}

void TDBLookupListBox::SetListSource(TDataSource* value) {
    SetLookupSource(this, link_, value);
    ListChanged();
}

void TDBLookupListBox::SetKeyField(const std::string& value) {
    keyField_ = value;
    ListChanged();
}

void TDBLookupListBox::SetListField(const std::string& value) {
    listField_ = value;
    ListChanged();
}

void TDBLookupListBox::Notification(TComponent* component, TOperation operation) {
    TDBFieldControl<TCustomListBox>::Notification(component, operation);
    if (operation == opRemove && component == link_.DataSource()) SetListSource(nullptr);
}

void TDBLookupListBox::ListChanged() {
    Fill(Items());
    DataChange();
}

std::string TDBLookupListBox::KeyValue() const { return Field() ? Field()->Text() : std::string(); }

void TDBLookupListBox::DataChange() {
    showing_ = true;
    SetItemIndex(Field() ? IndexOfKey(Field()->Text()) : -1);
    showing_ = false;
}

void TDBLookupListBox::Click() {
    if (showing_) return;
    int picked = ItemIndex();
    if (dataLink_.Edit()) {
        showing_ = true;
        SetItemIndex(picked);
        showing_ = false;
        dataLink_.Modified();
        TDBFieldControl<TCustomListBox>::Click();
    } else {
        DataChange();
    }
}

void TDBLookupListBox::UpdateData() {
    if (TField* f = Field()) f->SetText(ItemIndex() >= 0 && ItemIndex() < KeyCount() ? Key(ItemIndex()) : std::string());
}

void TDBLookupListBox::KeyPress(char& key) {
    TDBFieldControl<TCustomListBox>::KeyPress(key);
    if (key == 27) {
        dataLink_.Reset();
        key = 0;
    }
}

TDBLookupComboBox::TDBLookupComboBox(TComponent* owner)
    : TDBFieldControl<TCustomComboBox>(owner), TDBLookupList(this) {
    SetStyle(csDropDownList);
    link_.OnChange = [this] { ListChanged(); };
}

void TDBLookupComboBox::SetListSource(TDataSource* value) {
    SetLookupSource(this, link_, value);
    ListChanged();
}

void TDBLookupComboBox::SetKeyField(const std::string& value) {
    keyField_ = value;
    ListChanged();
}

void TDBLookupComboBox::SetListField(const std::string& value) {
    listField_ = value;
    ListChanged();
}

void TDBLookupComboBox::Notification(TComponent* component, TOperation operation) {
    TDBFieldControl<TCustomComboBox>::Notification(component, operation);
    if (operation == opRemove && component == link_.DataSource()) SetListSource(nullptr);
}

void TDBLookupComboBox::ListChanged() {
    Fill(Items());
    DataChange();
}

std::string TDBLookupComboBox::KeyValue() const { return Field() ? Field()->Text() : std::string(); }

void TDBLookupComboBox::DataChange() {
    showing_ = true;
    SetItemIndex(Field() ? IndexOfKey(Field()->Text()) : -1);
    showing_ = false;
}

void TDBLookupComboBox::Change() {
    if (showing_) return;
    int picked = ItemIndex();
    if (dataLink_.Edit()) {
        showing_ = true;
        SetItemIndex(picked);
        showing_ = false;
        dataLink_.Modified();
        TDBFieldControl<TCustomComboBox>::Change();
    } else {
        DataChange();
    }
}

void TDBLookupComboBox::UpdateData() {
    if (TField* f = Field()) f->SetText(ItemIndex() >= 0 && ItemIndex() < KeyCount() ? Key(ItemIndex()) : std::string());
}

void TDBLookupComboBox::KeyPress(char& key) {
    TDBFieldControl<TCustomComboBox>::KeyPress(key);
    if (key == 27) {
        dataLink_.Reset();
        key = 0;
    }
}

}  // namespace platform
