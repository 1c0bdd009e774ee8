#pragma once
// The data-aware controls: an edit, a memo, an image, a list box, a combo box and the two
// lookup boxes, each showing one field of the current record of a data source.
//
// How each one behaves: a record move shows the field's value. The user's change (typing,
// picking an item) first asks the link to edit (the data set enters dsEdit when its
// source's AutoEdit allows and the field can be written); when that is refused the
// control shows the field's value again. A changed control writes its value into the field
// when the record is updated: at Post, at a record move, and when the focus leaves the
// control (CM_EXIT). A value the field refuses raises EDatabaseError, and the focus stays
// in the control. Escape shows the field's value again. Every control answers
// CM_GETDATALINK with its link.
//
// BorderWidth is a margin of the window outside its client area (a skinned descendant
// paints its border there).
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/stdctrls.h"
#include "platform/data/db.h"

namespace platform {

// The binding a single-field control repeats, over the control class Base.
template <class Base>
class TDBFieldControl : public Base {
public:
    explicit TDBFieldControl(TComponent* owner) : Base(owner) {
        dataLink_.SetControl(this);
        dataLink_.SetVisualControl(true);
        dataLink_.OnDataChange = [this](TObject*) { DataChange(); };
        dataLink_.OnEditingChange = [this](TObject*) { EditingChange(); };
        dataLink_.OnUpdateData = [this](TObject*) { UpdateData(); };
    }
    ~TDBFieldControl() override {
        dataLink_.OnDataChange = nullptr;
        dataLink_.OnEditingChange = nullptr;
        dataLink_.OnUpdateData = nullptr;
        dataLink_.SetDataSource(nullptr);
    }

    TDataSource* DataSource() const { return dataLink_.DataSource(); }
    void SetDataSource(TDataSource* value) {
        if (value == dataLink_.DataSource()) return;
        if (dataLink_.DataSource()) this->RemoveFreeNotification(dataLink_.DataSource());
        dataLink_.SetDataSource(value);
        if (value) this->FreeNotification(value);
    }
    const std::string& DataField() const { return dataLink_.FieldName(); }
    void SetDataField(const std::string& value) { dataLink_.SetFieldName(value); }
    // The link's ReadOnly: the control never starts an edit.
    bool ReadOnly() const { return dataLink_.ReadOnly(); }
    void SetReadOnly(bool value) { dataLink_.SetReadOnly(value); }
    TField* Field() const { return dataLink_.Field(); }
    TFieldDataLink* DataLink() { return &dataLink_; }

    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value) {
        if (value < 0 || value == borderWidth_) return;
        borderWidth_ = value;
        if (this->HandleAllocated())
            SetWindowPos(this->WindowHandle(), nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }

    void Dispatch(TMessage& m) override {
        switch (m.Msg) {
            case CM_GETDATALINK: m.Result = reinterpret_cast<LRESULT>(&dataLink_); return;
            case CM_EXIT:
                try {
                    dataLink_.UpdateRecord();
                } catch (...) {
                    ExitFailed();
                    throw;
                }
                break;
            case WM_NCCALCSIZE:
                Base::Dispatch(m);
                if (borderWidth_ > 0) {
                    auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam);
                    InflateRect(&p->rgrc[0], -borderWidth_, -borderWidth_);
                    if (p->rgrc[0].right < p->rgrc[0].left) p->rgrc[0].right = p->rgrc[0].left;
                    if (p->rgrc[0].bottom < p->rgrc[0].top) p->rgrc[0].bottom = p->rgrc[0].top;
                }
                return;
            default: break;
        }
        Base::Dispatch(m);
    }

    void Notification(TComponent* component, TOperation operation) override {
        Base::Notification(component, operation);
        if (operation == opRemove && component == dataLink_.DataSource()) dataLink_.SetDataSource(nullptr);
    }

protected:
    // Show the field's value.
    virtual void DataChange() = 0;
    // Write the control's value into the field.
    virtual void UpdateData() = 0;
    virtual void EditingChange() {}
    // Writing failed as the focus left: the user stays on the control.
    virtual void ExitFailed() { this->SetFocus(); }

    TFieldDataLink dataLink_;
    int borderWidth_ = 0;
    // Set while the control shows the field's value, so its own change events stay quiet.
    bool showing_ = false;
};

// The edit and the memo: the text is the field's text; while the data set is not editing
// the control is read-only, and a key that changes the text first asks for an edit.
template <class Base>
class TDBTextControl : public TDBFieldControl<Base> {
public:
    explicit TDBTextControl(TComponent* owner) : TDBFieldControl<Base>(owner) { Base::SetReadOnly(true); }

protected:
    void DataChange() override {
        TField* f = this->Field();
        this->showing_ = true;
        try {
            Base::SetText(f ? f->Text() : std::string());
        } catch (...) {
            this->showing_ = false;
            throw;
        }
        this->showing_ = false;
        this->SetModified(false);
    }
    void EditingChange() override { Base::SetReadOnly(!this->dataLink_.Editing()); }
    void UpdateData() override {
        if (TField* f = this->Field()) f->SetText(Base::Text());
    }
    void ExitFailed() override {
        this->SelectAll();
        this->SetFocus();
    }
    void Change() override {
        if (!this->showing_) this->dataLink_.Modified();
        Base::Change();
    }
    void KeyDown(WORD& key, TShiftState shift) override {
        Base::KeyDown(key, shift);
        if ((key == VK_DELETE || (key == VK_INSERT && (shift & ssShift))) && !this->dataLink_.Edit()) key = 0;
    }
    void KeyPress(char& key) override {
        Base::KeyPress(key);
        unsigned char c = static_cast<unsigned char>(key);
        if (c == 27) {
            this->dataLink_.Reset();
            this->SelectAll();
            key = 0;
        } else if ((c >= 32 || c == 8 || c == 22 || c == 24 || (c == 13 && this->MultiLine())) && c != 127) {
            if (!this->dataLink_.Edit()) key = 0;
        }
    }
};

class TDBEdit : public TDBTextControl<TCustomEdit> {
public:
    explicit TDBEdit(TComponent* owner) : TDBTextControl<TCustomEdit>(owner) {}
};

class TDBMemo : public TDBTextControl<TCustomMemo> {
public:
    explicit TDBMemo(TComponent* owner) : TDBTextControl<TCustomMemo>(owner) {}
};

// A picture from a blob field: BMP, JPEG or PNG, told apart by their first bytes. A blob
// that is none of them, or does not decode, shows no picture. The image only shows.
class TDBImage : public TDBFieldControl<TCustomControl> {
public:
    explicit TDBImage(TComponent* owner);
    ~TDBImage() override;
    TPicture* Picture() const { return picture_.get(); }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool Center() const { return center_; }
    void SetCenter(bool value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void DataChange() override;
    void UpdateData() override {}
    void KeyPress(char& key) override;

private:
    std::unique_ptr<TPicture> picture_;
    bool stretch_ = false;
    bool center_ = true;
    TBorderStyle borderStyle_ = bsSingle;
};

// A list box whose items are the values the field may take; the item equal to the field's
// text is selected.
class TDBListBox : public TDBFieldControl<TCustomListBox> {
public:
    explicit TDBListBox(TComponent* owner) : TDBFieldControl<TCustomListBox>(owner) {}
    void Click() override;

protected:
    void DataChange() override;
    void UpdateData() override;
    void KeyPress(char& key) override;
};

// A combo box: csDropDown shows and takes the field's text; csDropDownList selects the
// item equal to it.
class TDBComboBox : public TDBFieldControl<TCustomComboBox> {
public:
    explicit TDBComboBox(TComponent* owner) : TDBFieldControl<TCustomComboBox>(owner) {}

protected:
    void Change() override;
    void DataChange() override;
    void UpdateData() override;
    void KeyPress(char& key) override;
};

// What the lookup boxes share: the list comes from ListSource (one item per record, the
// ListField's text; KeyField's value stands behind each), and the bound field holds the key.
class TDBLookupList {
public:
    explicit TDBLookupList(TComponent* control);
    ~TDBLookupList();
    TDataSource* ListSource() const { return link_.DataSource(); }
    const std::string& KeyField() const { return keyField_; }
    const std::string& ListField() const { return listField_; }
    int IndexOfKey(const std::string& key) const;
    const std::string& Key(int index) const { return keys_.at(std::size_t(index)); }
    int KeyCount() const { return int(keys_.size()); }
    // Reads the list again; the texts go into items.
    void Fill(TStrings* items);

protected:
    class TListLink : public TDataLink {
    public:
        std::function<void()> OnChange;

    protected:
        void ActiveChanged() override {
            if (OnChange) OnChange();
        }
        void DataSetChanged() override {
            if (OnChange) OnChange();
        }
        void DataSetScrolled(int) override {}
    };
    TComponent* control_;
    TListLink link_;
    std::string keyField_;
    std::string listField_;
    std::vector<std::string> keys_;
};

class TDBLookupListBox : public TDBFieldControl<TCustomListBox>, public TDBLookupList {
public:
    explicit TDBLookupListBox(TComponent* owner);
    void SetListSource(TDataSource* value);
    void SetKeyField(const std::string& value);
    void SetListField(const std::string& value);
    // The key shown (the bound field's text), or "" when none.
    std::string KeyValue() const;
    void Click() override;
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void DataChange() override;
    void UpdateData() override;
    void KeyPress(char& key) override;

private:
    void ListChanged();
};

class TDBLookupComboBox : public TDBFieldControl<TCustomComboBox>, public TDBLookupList {
public:
    explicit TDBLookupComboBox(TComponent* owner);
    void SetListSource(TDataSource* value);
    void SetKeyField(const std::string& value);
    void SetListField(const std::string& value);
    std::string KeyValue() const;
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void Change() override;
    void DataChange() override;
    void UpdateData() override;
    void KeyPress(char& key) override;

private:
    void ListChanged();
};

}  // namespace platform
