// The data set, its fields, the data source and the data links.
#include "platform/data/db.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <mutex>
#include <stdexcept>

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

std::string TField::AsString() const { return ValueText(Value()); }

std::string TField::ValueText(const TFieldValue& v) const {
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

std::string TField::DisplayText() const { return DisplayValueText(Value()); }

std::string TField::DisplayValueText(const TFieldValue& v) const {
    if (type_ == ftBlob) return v.kind == TFieldValue::Null ? std::string() : "(BLOB)";
    std::string s = ValueText(v);
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

// ---------------------------------------------------------------- TRowStore

namespace {

std::uint64_t GetVarint(const char*& p) {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        auto b = std::uint8_t(*p++);
        v |= std::uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
    }
}

std::uint64_t ZigZag(std::int64_t v) { return (std::uint64_t(v) << 1) ^ std::uint64_t(v >> 63); }
std::int64_t UnZigZag(std::uint64_t v) { return std::int64_t(v >> 1) ^ -std::int64_t(v & 1); }

// A slot starts with its size and the size of its row, 4 bytes each.
constexpr std::size_t kHead = 8;

std::uint32_t Get32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Put32(char* p, std::size_t v) {
    auto w = std::uint32_t(v);
    std::memcpy(p, &w, sizeof w);
}

constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kLargestBlock = 4 * 1024 * 1024;

}  // namespace

// Blocks a store lets go of are kept, up to a bound, for the next store to fill: fresh
// pages are slow to touch the first time, and a data set that is opened, refreshed or
// reopened reads about as many rows as before.
class TRowStore::Recycler {
public:
    static Recycler& Instance() {
        static Recycler* r = new Recycler;  // outlives every store, even static ones
        return *r;
    }
    char* Take(std::size_t size) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < kept_.size(); ++i)
            if (kept_[i].second == size) {
                char* p = kept_[i].first;
                kept_[i] = kept_.back();
                kept_.pop_back();
                total_ -= size;
                return p;
            }
        return nullptr;
    }
    void Give(char* p, std::size_t size) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (total_ + size <= kLimit) {
                kept_.emplace_back(p, size);
                total_ += size;
                return;
            }
        }
        delete[] p;
    }

private:
    static constexpr std::size_t kLimit = 32 * 1024 * 1024;
    std::mutex mutex_;
    std::vector<std::pair<char*, std::size_t>> kept_;
    std::size_t total_ = 0;
};

void TRowStore::BlockFree::operator()(char* p) const { Recycler::Instance().Give(p, size); }

TRowStore::~TRowStore() { std::free(index_); }

void TRowStore::Swap(TRowStore& o) noexcept {
    std::swap(index_, o.index_);
    std::swap(count_, o.count_);
    std::swap(capacity_, o.capacity_);
    blocks_.swap(o.blocks_);
    std::swap(blockSize_, o.blockSize_);
    std::swap(row_, o.row_);
    std::swap(put_, o.put_);
    std::swap(limit_, o.limit_);
    std::swap(live_, o.live_);
    std::swap(waste_, o.waste_);
}

void TRowStore::Clear() {
    std::free(index_);
    index_ = nullptr;
    count_ = capacity_ = 0;
    blocks_.clear();
    blockSize_ = 0;
    row_ = put_ = limit_ = nullptr;
    live_ = waste_ = 0;
}

char* TRowStore::Slot(int index) const {
    if (index < 0 || index >= count_) throw std::out_of_range("row index out of range");
    return index_[index];
}

TRowStore::Row TRowStore::At(int index) const {
    const char* p = Slot(index) + kHead;
    Row r;
    r.hasKey = *p++ != 0;
    if (r.hasKey) r.key = UnZigZag(GetVarint(p));
    return r;
}

void TRowStore::NewBlock(std::size_t n) {
    // Each block twice the last, up to a limit: few blocks for many rows, little slack for
    // few. The part of the row already written moves along.
    std::size_t built = std::size_t(put_ - row_);
    if (built + n > 0xFFFFFFFFu - kHead) throw EDatabaseError("A record is larger than 4 GB");
    std::size_t size = std::max({kFirstBlock, std::min(blockSize_ * 2, kLargestBlock), built + n});
    char* fresh = Recycler::Instance().Take(size);
    Block block(fresh ? fresh : new char[size], BlockFree{size});
    if (built) std::memcpy(block.get(), row_, built);
    blocks_.push_back(std::move(block));
    blockSize_ = size;
    row_ = blocks_.back().get();
    put_ = row_ + built;
    limit_ = row_ + size;
}

void TRowStore::AddVarint(std::uint64_t v) {
    Ensure(10);
    while (v >= 0x80) {
        *put_++ = char((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *put_++ = char(v);
}

void TRowStore::BeginRow(std::int64_t key, bool hasKey) {
    put_ = row_;  // drops a row begun and never ended
    Ensure(kHead + 1);
    put_ += kHead;
    *put_++ = char(hasKey ? 1 : 0);
    if (hasKey) AddVarint(ZigZag(key));
}

void TRowStore::AddInt(std::int64_t value) {
    Ensure(11);
    *put_++ = char(TFieldValue::Int);
    AddVarint(ZigZag(value));
}

void TRowStore::AddFloat(double value) {
    Ensure(1 + sizeof value);
    *put_++ = char(TFieldValue::Float);
    std::memcpy(put_, &value, sizeof value);
    put_ += sizeof value;
}

void TRowStore::AddString(TFieldValue::Kind kind, const char* data, std::size_t size) {
    Ensure(11 + size);
    *put_++ = char(kind);
    AddVarint(size);
    if (size) std::memcpy(put_, data, size);
    put_ += size;
}

void TRowStore::Add(const TFieldValue& v) {
    switch (v.kind) {
        case TFieldValue::Int: AddInt(v.i); break;
        case TFieldValue::Float: AddFloat(v.f); break;
        case TFieldValue::Text: AddText(v.s.data(), v.s.size()); break;
        case TFieldValue::Bytes: AddBytes(v.s.data(), v.s.size()); break;
        default: AddNull(); break;
    }
}

void TRowStore::Encode(const TRecordData& record) {
    BeginRow(record.key, record.hasKey);
    for (const TFieldValue& v : record.values) Add(v);
}

char* TRowStore::Finish() {
    std::size_t size = std::size_t(put_ - row_);
    Put32(row_, size);
    Put32(row_ + 4, size - kHead);
    char* slot = row_;
    row_ = put_;
    live_ += size;
    return slot;
}

void TRowStore::Grow() {
    if (count_ < capacity_) return;
    if (capacity_ > std::numeric_limits<int>::max() / 2) throw EDatabaseError("Too many records");
    int capacity = std::max(64, capacity_ * 2);
    void* p = std::realloc(index_, std::size_t(capacity) * sizeof(char*));
    if (!p) throw std::bad_alloc();
    index_ = static_cast<char**>(p);
    capacity_ = capacity;
}

void TRowStore::EndRow() {
    Grow();
    index_[count_] = Finish();
    ++count_;
}

void TRowStore::Unpack(int index, std::vector<TFieldValue>& values) const {
    const char* slot = Slot(index);
    const char* p = slot + kHead;
    const char* end = p + Get32(slot + 4);
    if (*p++) GetVarint(p);  // the key
    std::size_t f = 0;
    for (; p < end && f < values.size(); ++f) {
        TFieldValue& v = values[f];
        v.kind = TFieldValue::Kind(*p++);
        switch (v.kind) {
            case TFieldValue::Int: v.i = UnZigZag(GetVarint(p)); break;
            case TFieldValue::Float:
                std::memcpy(&v.f, p, sizeof v.f);
                p += sizeof v.f;
                break;
            case TFieldValue::Text:
            case TFieldValue::Bytes: {
                std::uint64_t len = GetVarint(p);
                v.s.assign(p, std::size_t(len));
                p += len;
                break;
            }
            default: break;
        }
    }
    for (; f < values.size(); ++f) values[f] = TFieldValue();
}

void TRowStore::Abandon(char* slot) {
    std::size_t size = Get32(slot);
    live_ -= size;
    waste_ += size;
}

void TRowStore::Repack() {
    // Abandoned slots are only worth copying the live ones away from once they are many.
    if (waste_ < 1024 * 1024 || waste_ < live_) return;
    std::vector<Block> old;
    old.swap(blocks_);
    blockSize_ = 0;
    row_ = put_ = limit_ = nullptr;
    live_ = waste_ = 0;
    for (int i = 0; i < count_; ++i) {
        const char* slot = index_[i];
        std::size_t n = Get32(slot + 4);
        Ensure(kHead + n);
        std::memcpy(put_, slot, kHead + n);
        put_ += kHead + n;
        index_[i] = Finish();
    }
}

void TRowStore::Put(int index, const TRecordData& record) {
    char* slot = Slot(index);
    Encode(record);
    std::size_t n = std::size_t(put_ - row_) - kHead;
    if (kHead + n <= Get32(slot)) {
        // Fits where the row was: rewritten in place, the new slot given back.
        std::memcpy(slot + kHead, row_ + kHead, n);
        Put32(slot + 4, n);
        put_ = row_;
        return;
    }
    char* fresh = Finish();
    Abandon(slot);
    index_[index] = fresh;
    Repack();
}

void TRowStore::Insert(int index, const TRecordData& record) {
    if (index < 0 || index > count_) throw std::out_of_range("row index out of range");
    Grow();
    Encode(record);
    char* slot = Finish();
    std::memmove(index_ + index + 1, index_ + index, std::size_t(count_ - index) * sizeof(char*));
    index_[index] = slot;
    ++count_;
}

void TRowStore::Erase(int index) {
    Abandon(Slot(index));
    std::memmove(index_ + index, index_ + index + 1, std::size_t(count_ - index - 1) * sizeof(char*));
    --count_;
    Repack();
}

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
        TRowStore rows;
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
        rows_ = std::move(rows);
        currentRow_ = -1;
        canModify_ = InternalCanModify();
        cur_ = rows_.Empty() ? -1 : 0;
        bof_ = true;
        eof_ = rows_.Empty();
        modified_ = false;
        SetState(dsBrowse);
    } else {
        if (state_ == dsInsert && cur_ >= 0) rows_.Erase(cur_);
        edit_ = TRecordData();
        modified_ = false;
        SetState(dsInactive);  // the links let go of the fields here
        InternalClose();
        ClearRows();
    }
}

void TDataSet::ClearRows() {
    rows_.Clear();
    currentRow_ = -1;
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
    eof_ = rows_.Empty();
    MoveTo(rows_.Empty() ? -1 : 0);
}

void TDataSet::Last() {
    CheckBrowseMode();
    eof_ = true;
    bof_ = rows_.Empty();
    MoveTo(rows_.Count() - 1);
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    if (rows_.Empty() || distance == 0) return 0;
    if ((distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    bof_ = eof_ = false;
    long long target = (long long)cur_ + distance;
    if (target >= (long long)rows_.Count()) {
        target = (long long)rows_.Count() - 1;
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
    if (rows_.Empty()) {
        Insert();
        return;
    }
    edit_ = Record(cur_);
    modified_ = false;
    SetState(dsEdit);
    DataEvent(deRecordChange);
}

void TDataSet::BeginInsert(int row) {
    CheckBrowseMode();
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    row = std::clamp(row, 0, rows_.Count());
    rows_.Insert(row, BlankRecord());
    currentRow_ = -1;
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
    BeginInsert(rows_.Count());
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
    TRecordData original = inserting ? BlankRecord() : StoredRecord(cur_);
    // Raises with the edit buffer untouched: the user's values stay for another try.
    InternalPost(record, original, inserting);
    rows_.Put(cur_, record);
    currentRow_ = -1;
    edit_ = TRecordData();
    modified_ = false;
    SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    if (state_ == dsInsert) {
        rows_.Erase(cur_);
        currentRow_ = -1;
        if (cur_ >= rows_.Count()) cur_ = rows_.Count() - 1;
        if (rows_.Empty()) bof_ = eof_ = true;
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
    if (rows_.Empty()) DatabaseError("Cannot perform this operation on an empty dataset");
    if (!CanModify()) DatabaseError("Cannot modify a read-only dataset");
    DataEvent(deCheckBrowseMode);
    InternalDelete(StoredRecord(cur_));
    rows_.Erase(cur_);
    currentRow_ = -1;
    if (cur_ >= rows_.Count()) cur_ = rows_.Count() - 1;
    bof_ = eof_ = rows_.Empty();
    edit_ = TRecordData();
    modified_ = false;
    SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    bool hadKey = cur_ >= 0 && rows_.At(cur_).hasKey;
    std::int64_t key = hadKey ? rows_.At(cur_).key : 0;
    std::vector<TFieldDef> defs;
    TRowStore rows;
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
    rows_ = std::move(rows);
    currentRow_ = -1;
    cur_ = -1;
    if (hadKey)
        for (int i = 0; i < rows_.Count(); ++i)
            if (rows_.At(i).hasKey && rows_.At(i).key == key) {
                cur_ = i;
                break;
            }
    if (cur_ < 0 && !rows_.Empty()) cur_ = std::clamp(old, 0, rows_.Count() - 1);
    if (rows_.Empty()) {
        bof_ = eof_ = true;
    } else {
        bof_ = bof_ && cur_ == 0;
        eof_ = eof_ && cur_ == rows_.Count() - 1;
    }
    canModify_ = InternalCanModify();
    if (!sameLayout) SetState(dsBrowse);
    DataEvent(deDataSetChange);
}

const TFieldValue& TDataSet::CurrentValue(int index) const {
    if (index < 0 || index >= int(fields_.size())) return kNull;
    if (state_ == dsEdit || state_ == dsInsert) return edit_.values[std::size_t(index)];
    if (cur_ < 0 || cur_ >= rows_.Count()) return kNull;
    if (currentRow_ != cur_) {
        current_.resize(fields_.size());
        rows_.Unpack(cur_, current_);
        currentRow_ = cur_;
    }
    return current_[std::size_t(index)];
}

TRecordData TDataSet::Record(int row) const {
    if ((state_ == dsEdit || state_ == dsInsert) && row == cur_) return edit_;
    return StoredRecord(row);
}

TRecordData TDataSet::StoredRecord(int row) const {
    TRecordData r;
    r.key = rows_.At(row).key;
    r.hasKey = rows_.At(row).hasKey;
    r.values.resize(fields_.size());
    rows_.Unpack(row, r.values);
    return r;
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
