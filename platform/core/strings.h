#pragma once
// TStrings and TStringList: lists of text lines, each with an optional object.
//
// Lines as "name=value" pairs are read through Names/Values. Text joins lines with "\n"
// and splits on "\n", "\r\n" or "\r". A sorted TStringList keeps its order on Add and
// finds by binary search; comparison is case-insensitive unless CaseSensitive is set.
// Duplicates (sorted lists only) are ignored, accepted or refused (EStringListError).
#include <functional>
#include <string>
#include <vector>

#include "platform/core/classes.h"

namespace platform {

class TStream;

class TStrings : public TPersistent {
public:
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* object);
    std::string Strings(int index) const { return Get(index); }
    std::string operator[](int index) const { return Get(index); }
    TObject* Objects(int index) const { return GetObject(index); }

    virtual int Add(const std::string& s);
    virtual int AddObject(const std::string& s, TObject* object);
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void InsertObject(int index, const std::string& s, TObject* object);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int a, int b);
    virtual void Move(int from, int to);
    void AddStrings(const TStrings& other);
    void Assign(TPersistent* source) override;
    bool Equals(const TStrings& other) const;

    virtual int IndexOf(const std::string& s) const;
    int IndexOfName(const std::string& name) const;
    int IndexOfObject(const TObject* object) const;

    // "name=value" lines. Names(i) is the part before the first "=" ("" without one).
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    std::string Values(const std::string& name) const;
    // Sets the value of name, adding the line when missing; an empty value deletes it.
    void SetValue(const std::string& name, const std::string& value);

    std::string Text() const;
    void SetText(const std::string& text);
    // Comma-separated, items with blanks, commas or quotes in double quotes ("" inside).
    std::string CommaText() const;
    void SetCommaText(const std::string& text);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    // Raise EFOpenError / EFCreateError / EReadError / EWriteError with the file name.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;

protected:
    // Told when the first BeginUpdate starts and the last EndUpdate ends a bracket.
    virtual void SetUpdateState(bool updating);
    [[noreturn]] void IndexError(int index) const;
    virtual bool SameString(const std::string& a, const std::string& b) const;

private:
    int updateCount_ = 0;
};

class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    int Add(const std::string& s) override;
    int AddObject(const std::string& s, TObject* object) override;
    void Insert(int index, const std::string& s) override;
    void InsertObject(int index, const std::string& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int a, int b) override;
    int IndexOf(const std::string& s) const override;

    // Binary search of a sorted list: true when found; index is where s is or would go.
    bool Find(const std::string& s, int& index) const;
    void Sort();
    void CustomSort(const std::function<int(TStringList&, int, int)>& compare);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool value);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates value) { duplicates_ = value; }
    // Owned objects are freed when their line is deleted or the list is destroyed.
    bool OwnsObjects() const { return ownsObjects_; }
    void SetOwnsObjects(bool value) { ownsObjects_ = value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    bool SameString(const std::string& a, const std::string& b) const override;
    int CompareStrings(const std::string& a, const std::string& b) const;

private:
    struct Item {
        std::string text;
        TObject* object = nullptr;
    };
    void Changing();
    void Changed();
    void CheckIndex(int index, int count) const;
    void InsertItem(int index, const std::string& s, TObject* object);
    void SortItems(const std::function<bool(const Item&, const Item&)>& less);

    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    bool ownsObjects_ = false;
    TDuplicates duplicates_ = dupIgnore;
};

}  // namespace platform
