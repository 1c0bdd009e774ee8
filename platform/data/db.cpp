// The data set, its fields, the data source and the data links.
#include "platform/data/db.h"

#include <algorithm>
#include <cmath>

#include "platform/core/sysutils.h"

namespace platform {

namespace {

const TFieldValue kNull;

bool BooleanWord(const std::string& text, bool& value) {
    static const char* const kTrue[] = {"true", "t", "yes", "y", "1"};
    static const char* const kFalse[] = {"false", "f", "no", "n", "0"};
    std::string t = Trim(text);
    for (const char* w : kTrue)
        if (SameText(t, w)) return value = true, true;
    for (const char* w : kFalse)
        if (SameText(t, w)) return value = false, true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------- TField

TField::TField(TDataSet* dataSet, std::string name, TFieldType type, int index)
    : dataSet_(dataSet), name_(std::move(name)), type_(type), index_(index) {}

bool TField::CanModify() const { return !readOnly_ && dataSet_->CanModify(); }

const TFieldValue& TField::Value() const { return dataSet_->CurrentValue(index_); }

bool TField::IsNull() const { return Value().kind == TFieldValue::Null; }

std::string TField::AsString() const {
    const TFieldValue& v = Value();
    switch (v.kind) {
        case TFieldValue::Null: return std::string();
        case TFieldValue::Int:
            if (type_ == ftBoolean) return v.i ? "True" : "False";
            return IntToStr(v.i);
        case TFieldValue::Float:
            if (type_ == ftBoolean) return v.f != 0 ? "True" : "False";
            return FloatToStr(v.f);
        default: return v.s;
    }
}

std::string TField::DisplayText() const {
    if (type_ == ftBlob) return IsNull() ? std::string() : "(BLOB)";
    std::string s = AsString();
    std::size_t end = s.find_first_of("\r\n");
    return end == std::string::npos ? s : s.substr(0, end);
}

std::int64_t TField::AsInteger() const {
    const TFieldValue& v = Value();
    switch (v.kind) {
        case TFieldValue::Null: return 0;
        case TFieldValue::Int: return v.i;
        case TFieldValue::Float:
            if (!(std::fabs(v.f) < 9.2e18)) throw EDatabaseError("'" + FloatToStr(v.f) + "' is not a valid integer value");
            return std::int64_t(std::llround(v.f));
        default: {
            std::int64_t r = 0;
            if (!TryStrToInt64(Trim(v.s), r)) throw EDatabaseError("'" + v.s + "' is not a valid integer value");
            return r;
        }
    }
}

double TField::AsFloat() const {
    const TFieldValue& v = Value();
    switch (v.kind) {
        case TFieldValue::Null: return 0;
        case TFieldValue::Int: return double(v.i);
        case TFieldValue::Float: return v.f;
        default: {
            double r = 0;
            if (!TryStrToFloat(v.s, r)) throw EDatabaseError("'" + v.s + "' is not a valid floating point value");
            return r;
        }
    }
}

bool TField::AsBoolean() const {
    const TFieldValue& v = Value();
    switch (v.kind) {
        case TFieldValue::Null: return false;
        case TFieldValue::Int: return v.i != 0;
        case TFieldValue::Float: return v.f != 0;
        default: {
            bool r = false;
            if (!BooleanWord(v.s, r)) throw EDatabaseError("'" + v.s + "' is not a valid boolean value");
            return r;
        }
    }
}

void TField::Store(TFieldValue value) { dataSet_->SetFieldValue(this, std::move(value)); }

void TField::SetAsString(const std::string& value) {
    TFieldValue v;
    std::string t = Trim(value);
    switch (type_) {
        case ftInteger:
            if (!t.empty()) {
                if (!TryStrToInt64(t, v.i))
                    throw EDatabaseError("'" + value + "' is not a valid integer value for field '" + name_ + "'");
                v.kind = TFieldValue::Int;
            }
            break;
        case ftFloat:
            if (!t.empty()) {
                if (!TryStrToFloat(t, v.f))
                    throw EDatabaseError("'" + value + "' is not a valid floating point value for field '" + name_ + "'");
                v.kind = TFieldValue::Float;
            }
            break;
        case ftBoolean:
            if (!t.empty()) {
                bool b = false;
                if (!BooleanWord(t, b))
                    throw EDatabaseError("'" + value + "' is not a valid boolean value for field '" + name_ + "'");
                v.kind = TFieldValue::Int;
                v.i = b ? 1 : 0;
            }
            break;
        case ftBlob:
            v.kind = TFieldValue::Bytes;
            v.s = value;
            break;
        default:
            v.kind = TFieldValue::Text;
            v.s = value;
            break;
    }
    Store(std::move(v));
}

void TField::SetAsInteger(std::int64_t value) {
    if (type_ == ftInteger || type_ == ftBoolean) {
        TFieldValue v;
        v.kind = TFieldValue::Int;
        v.i = type_ == ftBoolean ? value != 0 : value;
        Store(std::move(v));
    } else if (type_ == ftFloat) {
        SetAsFloat(double(value));
    } else {
        SetAsString(IntToStr(value));
    }
}

void TField::SetAsFloat(double value) {
    if (type_ == ftFloat) {
        TFieldValue v;
        v.kind = TFieldValue::Float;
        v.f = value;
        Store(std::move(v));
    } else if (type_ == ftInteger) {
        if (!(std::fabs(value) < 9.2e18))
            throw EDatabaseError("'" + FloatToStr(value) + "' is not a valid integer value for field '" + name_ + "'");
        SetAsInteger(std::int64_t(std::llround(value)));
    } else {
        SetAsString(FloatToStr(value));
    }
}

void TField::SetAsBoolean(bool value) {
    if (type_ == ftString || type_ == ftMemo)
        SetAsString(value ? "True" : "False");
    else
        SetAsInteger(value ? 1 : 0);
}

void TField::SetAsBytes(const std::string& value) {
    TFieldValue v;
    v.kind = type_ == ftBlob ? TFieldValue::Bytes : TFieldValue::Text;
    v.s = value;
    if (type_ == ftBlob || type_ == ftString || type_ == ftMemo)
        Store(std::move(v));
    else
        SetAsString(value);
}

void TField::Clear() { Store(TFieldValue()); }

// ---------------------------------------------------------------- TDataSet

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    // Descendants close in their own destructor; what is left here only detaches.
    std::vector<TDataSource*> sources = sources_;
    for (TDataSource* s : sources) s->SetDataSet(nullptr);
}

void TDataSet::DatabaseError(const std::string& message) const { throw EDatabaseError(message); }

void TDataSet::CheckActive() const {
    if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::DataEvent(TDataEvent event, std::intptr_t info) {
    std::vector<TDataSource*> sources = sources_;
    for (TDataSource* s : sources)
        if (std::find(sources_.begin(), sources_.end(), s) != sources_.end()) s->DataEvent(event, info);
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    DataEvent(deUpdateState);
}

void TDataSet::SetActive(bool value) {
    if (value == Active()) return;
    if (value) {
        std::vector<TFieldDef> defs;
        std::vector<TRecordData> rows;
        try {
            InternalOpen(defs, rows);
        } catch (...) {
            InternalClose();
            throw;
        }
        fields_.clear();
        for (std::size_t i = 0; i < defs.size(); ++i) {
            auto f = std::make_unique<TField>(this, defs[i].name, defs[i].type, int(i));
            f->SetReadOnly(defs[i].readOnly);
            f->SetRequired(defs[i].required);
            fields_.push_back(std::move(f));
        }
        records_ = std::move(rows);
        canModify_ = InternalCanModify();
        cur_ = records_.empty() ? -1 : 0;
        bof_ = true;
        eof_ = records_.empty();
        modified_ = false;
        SetState(dsBrowse);
    } else {
        if (state_ == dsInsert && cur_ >= 0) records_.erase(records_.begin() + cur_);
        edit_ = TRecordData();
        modified_ = false;
        SetState(dsInactive);  // the links let go of the fields here
        InternalClose();
        ClearRows();
    }
}

void TDataSet::ClearRows() {
    records_.clear();
    fields_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
}

TField* TDataSet::FindField(const std::string& name) const {
    for (const auto& f : fields_)
        if (SameText(f->FieldName(), name)) return f.get();
    return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
    TField* f = FindField(name);
    if (!f) DatabaseError("Field '" + name + "' not found");
    return f;
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode);
    if (state_ == dsEdit || state_ == dsInsert) {
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
    }
}

void TDataSet::MoveTo(int row) {
    int distance = row - cur_;
    cur_ = row;
    DataEvent(deDataSetScroll, distance);
}

void TDataSet::First() {
    CheckBrowseMode();
    bof_ = true;
    eof_ = records_.empty();
    MoveTo(records_.empty() ? -1 : 0);
}

void TDataSet::Last() {
    CheckBrowseMode();
    eof_ = true;
    bof_ = records_.empty();
    MoveTo(records_.empty() ? -1 : int(records_.size()) - 1);
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    if (records_.empty() || distance == 0) return 0;
    if ((distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    bof_ = eof_ = false;
    long long target = (long long)cur_ + distance;
    if (target >= (long long)records_.size()) {
        target = (long long)records_.size() - 1;
        eof_ = true;
    } else if (target < 0) {
        target = 0;
        bof_ = true;
    }
    int moved = int(target) - cur_;
    MoveTo(int(target));
    return moved;
}

int TDataSet::RecNo() const { return cur_ + 1; }

void TDataSet::SetRecNo(int value) {
    CheckActive();
    if (value < 1 || value > RecordCount())
        DatabaseError("Record number " + IntToStr(value) + " is out of range 1.." + IntToStr(RecordCount()));
    CheckBrowseMode();
    if (value > RecordCount()) value = RecordCount();  // a cancelled insert may have removed one
    if (value < 1) return;
    bof_ = eof_ = false;
    MoveTo(value - 1);
}

TRecordData TDataSet::BlankRecord() const {
    TRecordData r;
    r.values.resize(fields_.size());
    return r;
}

void TDataSet::Edit() {
    CheckActive();
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    if (records_.empty()) {
        Insert();
        return;
    }
    edit_ = records_[std::size_t(cur_)];
    modified_ = false;
    SetState(dsEdit);
    DataEvent(deRecordChange);
}

void TDataSet::BeginInsert(int row) {
    CheckBrowseMode();
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    row = std::clamp(row, 0, int(records_.size()));
    records_.insert(records_.begin() + row, BlankRecord());
    cur_ = row;
    edit_ = BlankRecord();
    modified_ = false;
    bof_ = eof_ = false;
    SetState(dsInsert);
    DataEvent(deDataSetChange);
}

void TDataSet::Insert() {
    CheckActive();
    BeginInsert(cur_ < 0 ? 0 : cur_);
}

void TDataSet::Append() {
    CheckActive();
    BeginInsert(int(records_.size()));
}

void TDataSet::UpdateRecord() {
    if (state_ != dsEdit && state_ != dsInsert) DatabaseError("Dataset not in edit or insert mode");
    DataEvent(deUpdateRecord);
}

void TDataSet::Post() {
    CheckActive();
    if (state_ != dsEdit && state_ != dsInsert) DatabaseError("Dataset not in edit or insert mode");
    UpdateRecord();
    bool inserting = state_ == dsInsert;
    TRecordData record = edit_;
    TRecordData original = inserting ? BlankRecord() : records_[std::size_t(cur_)];
    // Raises with the edit buffer untouched: the user's values stay for another try.
    InternalPost(record, original, inserting);
    records_[std::size_t(cur_)] = std::move(record);
    edit_ = TRecordData();
    modified_ = false;
    SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    if (state_ == dsInsert) {
        records_.erase(records_.begin() + cur_);
        if (cur_ >= int(records_.size())) cur_ = int(records_.size()) - 1;
        if (records_.empty()) bof_ = eof_ = true;
    }
    edit_ = TRecordData();
    modified_ = false;
    SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (records_.empty()) DatabaseError("Cannot perform this operation on an empty dataset");
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    DataEvent(deCheckBrowseMode);
    InternalDelete(records_[std::size_t(cur_)]);
    records_.erase(records_.begin() + cur_);
    if (cur_ >= int(records_.size())) cur_ = int(records_.size()) - 1;
    bof_ = eof_ = records_.empty();
    edit_ = TRecordData();
    modified_ = false;
    SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    bool hadKey = cur_ >= 0 && records_[std::size_t(cur_)].hasKey;
    std::int64_t key = hadKey ? records_[std::size_t(cur_)].key : 0;
    std::vector<TFieldDef> defs;
    std::vector<TRecordData> rows;
    InternalOpen(defs, rows);
    bool sameLayout = defs.size() == fields_.size();
    for (std::size_t i = 0; sameLayout && i < defs.size(); ++i)
        sameLayout = SameText(defs[i].name, fields_[i]->FieldName()) && defs[i].type == fields_[i]->DataType();
    if (!sameLayout) {
        // The links drop their fields before the new ones replace them.
        SetState(dsInactive);
        ClearRows();
        for (std::size_t i = 0; i < defs.size(); ++i) {
            auto f = std::make_unique<TField>(this, defs[i].name, defs[i].type, int(i));
            f->SetReadOnly(defs[i].readOnly);
            f->SetRequired(defs[i].required);
            fields_.push_back(std::move(f));
        }
    }
    int old = cur_;
    records_ = std::move(rows);
    cur_ = -1;
    if (hadKey)
        for (std::size_t i = 0; i < records_.size(); ++i)
            if (records_[i].hasKey && records_[i].key == key) {
                cur_ = int(i);
                break;
            }
    if (cur_ < 0 && !records_.empty()) cur_ = std::clamp(old, 0, int(records_.size()) - 1);
    if (records_.empty()) {
        bof_ = eof_ = true;
    } else {
        bof_ = bof_ && cur_ == 0;
        eof_ = eof_ && cur_ == int(records_.size()) - 1;
    }
    canModify_ = InternalCanModify();
    if (!sameLayout) SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

const TFieldValue& TDataSet::CurrentValue(int index) const {
    const TRecordData* r = nullptr;
    if (state_ == dsEdit || state_ == dsInsert)
        r = &edit_;
    else if (cur_ >= 0 && cur_ < int(records_.size()))
        r = &records_[std::size_t(cur_)];
    if (!r || index < 0 || index >= int(r->values.size())) return kNull;
    return r->values[std::size_t(index)];
}

void TDataSet::SetFieldValue(TField* field, TFieldValue value) {
    if (state_ != dsEdit && state_ != dsInsert) DatabaseError("Dataset not in edit or insert mode");
    if (field->ReadOnly()) DatabaseError("Field '" + field->FieldName() + "' cannot be modified");
    edit_.values[std::size_t(field->Index())] = std::move(value);
    modified_ = true;
    DataEvent(deFieldChange, std::intptr_t(field));
}

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    std::vector<TDataLink*> links = links_;
    for (TDataLink* l : links) l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* value) {
    if (value == dataSet_) return;
    if (dataSet_) {
        auto& v = dataSet_->sources_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        RemoveFreeNotification(dataSet_);
    }
    dataSet_ = value;
    if (dataSet_) {
        dataSet_->sources_.push_back(this);
        FreeNotification(dataSet_);
    }
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSource::State() const { return dataSet_ ? dataSet_->State() : dsInactive; }

void TDataSource::Edit() {
    if (autoEdit_ && State() == dsBrowse) dataSet_->Edit();
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == dataSet_) SetDataSet(nullptr);
    TComponent::Notification(component, operation);
}

void TDataSource::DataEvent(TDataEvent event, std::intptr_t info) {
    std::vector<TDataLink*> links = links_;
    for (TDataLink* l : links)
        if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->DataEvent(event, info);
    if (event == deUpdateState && OnStateChange) OnStateChange(this);
    if ((event == deDataSetChange || event == deDataSetScroll || event == deFieldChange || event == deRecordChange) &&
        OnDataChange)
        OnDataChange(this);
}

// ---------------------------------------------------------------- TDataLink

TDataLink::~TDataLink() {
    if (dataSource_) {
        auto& v = dataSource_->links_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

void TDataLink::SetDataSource(TDataSource* value) {
    if (value == dataSource_) return;
    if (dataSource_) {
        auto& v = dataSource_->links_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    dataSource_ = value;
    if (dataSource_) dataSource_->links_.push_back(this);
    UpdateState();
}

TDataSet* TDataLink::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TDataLink::SetReadOnly(bool value) {
    if (readOnly_ == value) return;
    readOnly_ = value;
    UpdateState();
}

void TDataLink::UpdateState() {
    bool active = dataSource_ && dataSource_->State() != dsInactive;
    if (active != active_) {
        active_ = active;
        ActiveChanged();
    }
    TDataSetState s = dataSource_ ? dataSource_->State() : dsInactive;
    bool editing = active_ && !readOnly_ && (s == dsEdit || s == dsInsert);
    if (editing != editing_) {
        editing_ = editing;
        EditingChanged();
    }
}

bool TDataLink::Edit() {
    if (!readOnly_ && dataSource_) dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::DataEvent(TDataEvent event, std::intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_) return;
    switch (event) {
        case deFieldChange:
        case deRecordChange:
            if (!updating_) RecordChanged(event == deFieldChange ? reinterpret_cast<TField*>(info) : nullptr);
            break;
        case deDataSetChange: DataSetChanged(); break;
        case deDataSetScroll: DataSetScrolled(int(info)); break;
        case deLayoutChange: LayoutChanged(); break;
        case deUpdateRecord: UpdateRecord(); break;
        case deCheckBrowseMode: CheckBrowseMode(); break;
        default: break;
    }
}

// ---------------------------------------------------------------- TFieldDataLink

void TFieldDataLink::SetFieldName(const std::string& value) {
    if (value == fieldName_) return;
    fieldName_ = value;
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    TField* f = nullptr;
    if (Active() && DataSet() && !fieldName_.empty()) f = DataSet()->FindField(fieldName_);
    if (f != field_) {
        field_ = f;
        EditingChanged();
        RecordChanged(nullptr);
    }
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && field_ && field_->CanModify(); }

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return Editing();
}

void TFieldDataLink::Reset() { RecordChanged(nullptr); }

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != field_) return;
    modified_ = false;
    if (OnDataChange) OnDataChange(this);
}

void TFieldDataLink::UpdateData() {
    if (!modified_) return;
    if (field_ && OnUpdateData) OnUpdateData(this);
    modified_ = false;
}

}  // namespace platform
