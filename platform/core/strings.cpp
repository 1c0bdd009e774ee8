#include "platform/core/strings.h"

#include <algorithm>

#include "platform/core/streams.h"
#include "platform/core/sysutils.h"

namespace platform {

// --- TStrings ---------------------------------------------------------------------------

void TStrings::IndexError(int index) const {
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::Put(int index, const std::string& s) {
    TObject* object = GetObject(index);
    BeginUpdate();
    Delete(index);
    InsertObject(index, s, object);
    EndUpdate();
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& s) {
    int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
    int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
    Insert(index, s);
    PutObject(index, object);
}

void TStrings::Exchange(int a, int b) {
    BeginUpdate();
    std::string sa = Get(a), sb = Get(b);
    TObject *oa = GetObject(a), *ob = GetObject(b);
    Put(a, sb);
    PutObject(a, ob);
    Put(b, sa);
    PutObject(b, oa);
    EndUpdate();
}

void TStrings::Move(int from, int to) {
    if (from == to) return;
    BeginUpdate();
    std::string s = Get(from);
    TObject* o = GetObject(from);
    Delete(from);
    InsertObject(to, s, o);
    EndUpdate();
}

void TStrings::AddStrings(const TStrings& other) {
    BeginUpdate();
    for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
    EndUpdate();
}

void TStrings::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TStrings*>(source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    BeginUpdate();
    Clear();
    AddStrings(*other);
    EndUpdate();
}

bool TStrings::Equals(const TStrings& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != other.Get(i)) return false;
    return true;
}

bool TStrings::SameString(const std::string& a, const std::string& b) const { return SameText(a, b); }

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameString(Get(i), s)) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        std::string line = Get(i);
        auto eq = line.find('=');
        if (eq != std::string::npos && SameString(line.substr(0, eq), name)) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == object) return i;
    return -1;
}

std::string TStrings::Names(int index) const {
    std::string line = Get(index);
    auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStrings::ValueFromIndex(int index) const {
    std::string line = Get(index);
    auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::string TStrings::Values(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i < 0) {
        Add(name + "=" + value);
    } else {
        Put(i, name + "=" + value);
    }
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) out += Get(i) + "\n";
    return out;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            Add(text.substr(start));
            break;
        }
        Add(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    EndUpdate();
}

std::string TStrings::CommaText() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        std::string s = Get(i);
        if (i > 0) out += ',';
        bool quote = s.empty() && Count() == 1;
        for (char c : s)
            if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"') quote = true;
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TStrings::SetCommaText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    };
    skipBlanks();
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ' && text[i] != ',') item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < text.size() && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i == text.size()) Add("");
        }
    }
    EndUpdate();
}

void TStrings::BeginUpdate() {
    if (updateCount_ == 0) SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::LoadFromStream(TStream& stream) {
    std::int64_t size = stream.Size() - stream.Position();
    std::string text(size_t(std::max<std::int64_t>(size, 0)), '\0');
    stream.ReadBuffer(text.data(), std::int64_t(text.size()));
    SetText(text);
}

void TStrings::SaveToStream(TStream& stream) const {
    std::string text = Text();
    stream.WriteBuffer(text.data(), std::int64_t(text.size()));
}

void TStrings::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TStrings::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// --- TStringList ------------------------------------------------------------------------

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    if (ownsObjects_)
        for (Item& item : items_) delete item.object;
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
    if (updating) Changing();
    else Changed();
}

void TStringList::CheckIndex(int index, int count) const {
    if (index < 0 || index >= count) IndexError(index);
}

std::string TStringList::Get(int index) const {
    CheckIndex(index, Count());
    return items_[size_t(index)].text;
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index, Count());
    return items_[size_t(index)].object;
}

void TStringList::Put(int index, const std::string& s) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(index, Count());
    Changing();
    items_[size_t(index)].text = s;
    Changed();
}

void TStringList::PutObject(int index, TObject* object) {
    CheckIndex(index, Count());
    Changing();
    items_[size_t(index)].object = object;
    Changed();
}

int TStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const std::string& s, TObject* object) {
    int index = Count();
    if (sorted_ && Find(s, index)) {
        if (duplicates_ == dupIgnore) return index;
        if (duplicates_ == dupError) throw EStringListError("String list does not allow duplicates");
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const std::string& s, TObject* object) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(index, Count() + 1);
    InsertItem(index, s, object);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
    Changing();
    items_.insert(items_.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    Changing();
    TObject* object = items_[size_t(index)].object;
    items_.erase(items_.begin() + index);
    if (ownsObjects_) delete object;
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    Changing();
    std::vector<Item> old;
    old.swap(items_);
    if (ownsObjects_)
        for (Item& item : old) delete item.object;
    Changed();
}

void TStringList::Exchange(int a, int b) {
    CheckIndex(a, Count());
    CheckIndex(b, Count());
    Changing();
    std::swap(items_[size_t(a)], items_[size_t(b)]);
    Changed();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
    return caseSensitive_ ? CompareStr(a, b) : CompareText(a, b);
}

bool TStringList::SameString(const std::string& a, const std::string& b) const { return CompareStrings(a, b) == 0; }

int TStringList::IndexOf(const std::string& s) const {
    if (!sorted_) return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
    // The first of equal lines, so that dupAccept keeps them together.
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareStrings(items_[size_t(mid)].text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) found = true;
        }
    }
    index = lo;
    return found;
}

void TStringList::SortItems(const std::function<bool(const Item&, const Item&)>& less) {
    Changing();
    std::stable_sort(items_.begin(), items_.end(), less);
    Changed();
}

void TStringList::Sort() {
    SortItems([this](const Item& a, const Item& b) { return CompareStrings(a.text, b.text) < 0; });
}

void TStringList::CustomSort(const std::function<int(TStringList&, int, int)>& compare) {
    // The callback compares by index, so sort a permutation and apply it.
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(items_.size());
    for (int i : order) sorted.push_back(items_[size_t(i)]);
    Changing();
    items_.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (value == sorted_) return;
    if (value) Sort();
    sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (value == caseSensitive_) return;
    caseSensitive_ = value;
    if (sorted_) Sort();
}

}  // namespace platform
