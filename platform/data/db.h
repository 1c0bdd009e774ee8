#pragma once
// The data-access layer of the window class library: a data set of records with typed
// fields, a data source that data-aware controls bind to, and the data links through which
// a control hears about record moves, state changes and field changes and writes its value
// back.
//
// A data set keeps the rows it read in memory and moves over them; a descendant supplies
// the rows and writes posted records (TSQLiteDataSet in sqlitedb.h). States: dsInactive
// (closed), dsBrowse, dsEdit (the current record is being changed), dsInsert (a new record
// is being made at the current position). While editing, field writes go to an edit
// buffer; Post hands it to the descendant and takes it over only when writing succeeded,
// so a refused Post leaves the data set in its edit state with every typed value kept.
//
// Failures raise EDatabaseError with a message fit to show the user.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/classes.h"
#include "platform/core/exceptions.h"

namespace platform {

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
enum TFieldType { ftUnknown, ftString, ftInteger, ftFloat, ftBoolean, ftMemo, ftBlob };
enum TDataEvent {
    deFieldChange,     // info: the TField
    deRecordChange,    // the current record's values changed (edit started over, reset)
    deDataSetChange,   // the rows changed (open, post, delete, refresh)
    deDataSetScroll,   // the current record moved; info: the distance
    deLayoutChange,    // the fields changed
    deUpdateRecord,    // links write their values into the fields
    deUpdateState,     // the state changed
    deCheckBrowseMode, // the data set leaves the current record
};

// One value of a record: null, an integer, a float, a text or bytes.
struct TFieldValue {
    enum Kind : std::uint8_t { Null, Int, Float, Text, Bytes };
    Kind kind = Null;
    std::int64_t i = 0;
    double f = 0;
    std::string s;  // Text and Bytes
    bool operator==(const TFieldValue& o) const {
        return kind == o.kind && (kind == Null || (kind == Int && i == o.i) || (kind == Float && f == o.f) ||
                                  ((kind == Text || kind == Bytes) && s == o.s));
    }
};

// A record as the data set keeps it: its key in the store and one value per field.
struct TRecordData {
    std::int64_t key = 0;
    bool hasKey = false;
    std::vector<TFieldValue> values;
};

// The rows of a data set, packed into blocks that never move: per row a slot holding its
// own size and that of what it holds, the key, then per value a tag byte and the value
// (integers and lengths as variable-length numbers, floats as 8 bytes). A row is written
// straight into its block as it is read, so many rows cost a few bytes per value and no
// allocation per row; the index of rows grows by realloc, so a large one is remapped
// rather than copied. A row replaced by one that fits its slot is rewritten in place;
// otherwise it gets a new slot, and once abandoned slots outweigh the live ones the store
// packs itself again.
class TRowStore {
public:
    struct Row {
        std::int64_t key = 0;
        bool hasKey = false;
    };
    TRowStore() = default;
    TRowStore(TRowStore&& other) noexcept { Swap(other); }
    TRowStore& operator=(TRowStore&& other) noexcept {
        TRowStore old(std::move(*this));
        Swap(other);
        return *this;
    }
    TRowStore(const TRowStore&) = delete;
    TRowStore& operator=(const TRowStore&) = delete;
    ~TRowStore();

    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    void Clear();
    // Raises std::out_of_range for an index outside 0..Count()-1.
    Row At(int index) const;
    // Building a row at the end: BeginRow, one Add per field, EndRow.
    void BeginRow(std::int64_t key, bool hasKey);
    void AddNull() {
        Ensure(1);
        *put_++ = char(TFieldValue::Null);
    }
    void AddInt(std::int64_t value);
    void AddFloat(double value);
    void AddText(const char* data, std::size_t size) { AddString(TFieldValue::Text, data, size); }
    void AddBytes(const char* data, std::size_t size) { AddString(TFieldValue::Bytes, data, size); }
    void Add(const TFieldValue& value);
    void EndRow();
    // The values of a row (values gets one per field).
    void Unpack(int index, std::vector<TFieldValue>& values) const;
    void Put(int index, const TRecordData& record);
    void Insert(int index, const TRecordData& record);
    void Erase(int index);
    // Bytes held by live rows and by abandoned slots (for checks of the packing).
    std::size_t LiveBytes() const { return live_; }
    std::size_t WastedBytes() const { return waste_; }

private:
    void Swap(TRowStore& other) noexcept;
    void AddString(TFieldValue::Kind kind, const char* data, std::size_t size);
    void AddVarint(std::uint64_t value);
    // Room for n more bytes of the row being built, moving it to a new block if need be.
    void Ensure(std::size_t n) {
        if (std::size_t(limit_ - put_) < n) NewBlock(n);
    }
    void NewBlock(std::size_t n);
    void Encode(const TRecordData& record);
    // Ends the row being built: its slot, counted live.
    char* Finish();
    char* Slot(int index) const;
    void Grow();
    void Abandon(char* slot);
    void Repack();
    class Recycler;
    struct BlockFree {
        std::size_t size = 0;
        void operator()(char* p) const;
    };
    using Block = std::unique_ptr<char[], BlockFree>;
    char** index_ = nullptr;  // malloc'd; one slot per row
    int count_ = 0;
    int capacity_ = 0;
    std::vector<Block> blocks_;
    std::size_t blockSize_ = 0;
    char* row_ = nullptr;    // the slot being built
    char* put_ = nullptr;    // where its next byte goes
    char* limit_ = nullptr;  // the end of its block
    std::size_t live_ = 0;
    std::size_t waste_ = 0;
};

class TDataSet;

// A column of the data set. Reads give the current record's value (the edit buffer while
// editing); writes need the data set in dsEdit or dsInsert and convert to the field's type,
// raising EDatabaseError for a text that is not of that type (the record keeps its value).
class TField : public TObject {
public:
    TField(TDataSet* dataSet, std::string name, TFieldType type, int index);

    TDataSet* DataSet() const { return dataSet_; }
    const std::string& FieldName() const { return name_; }
    TFieldType DataType() const { return type_; }
    int Index() const { return index_; }
    // Set for columns the store cannot write (a computed column of a query).
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    // Whether a write can happen now and later: the data set can modify and the field is
    // not read-only.
    bool CanModify() const;
    // The field's horizontal alignment for its text: numbers right, the rest left.
    bool IsNumeric() const { return type_ == ftInteger || type_ == ftFloat; }

    bool IsNull() const;
    // Text: integers in decimal, floats in the general format, booleans "True"/"False",
    // bytes as they are; null is "".
    std::string AsString() const;
    std::string Text() const { return AsString(); }
    // What a grid shows: blobs as "(BLOB)", everything else its text's first line.
    std::string DisplayText() const;
    // The same for a value of this field in any record (grids and lookup lists).
    std::string ValueText(const TFieldValue& value) const;
    std::string DisplayValueText(const TFieldValue& value) const;
    std::int64_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    // The raw bytes of a blob (or the text of any other field).
    std::string AsBytes() const { return AsString(); }
    const TFieldValue& Value() const;

    void SetAsString(const std::string& value);
    void SetText(const std::string& value) { SetAsString(value); }
    void SetAsInteger(std::int64_t value);
    void SetAsFloat(double value);
    void SetAsBoolean(bool value);
    void SetAsBytes(const std::string& value);
    void Clear();

private:
    void Store(TFieldValue value);
    TDataSet* dataSet_;
    std::string name_;
    TFieldType type_;
    int index_;
    bool readOnly_ = false;
    bool required_ = false;
};

class TDataSource;
class TDataLink;

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;

    // ---- opening ----
    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool value);
    // Reads the rows; on failure the data set stays closed and the error passes on.
    void Open() { SetActive(true); }
    // Cancels an edit in progress and forgets the rows.
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }

    // ---- fields ----
    int FieldCount() const { return int(fields_.size()); }
    TField* Fields(int index) const { return fields_.at(std::size_t(index)).get(); }
    // The field of that name (case-insensitive), or null.
    TField* FindField(const std::string& name) const;
    // Raises EDatabaseError "Field '<name>' not found" when missing.
    TField* FieldByName(const std::string& name) const;

    // ---- moving ----
    // Every move first leaves an edit: the links write their values, then a modified
    // record is posted (an error stops the move), an unmodified one cancelled.
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    // True after First or Prior on the first record; true on an empty data set.
    bool Bof() const { return bof_; }
    // True after Last or Next on the last record; true on an empty data set.
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return rows_.Empty(); }
    // 1-based; 0 without a current record. Setting raises for a number outside 1..RecordCount.
    int RecNo() const;
    void SetRecNo(int value);
    int RecordCount() const { return rows_.Count(); }

    // ---- editing ----
    virtual bool CanModify() const { return Active() && canModify_; }
    // Starts editing the current record (an empty data set inserts instead).
    void Edit();
    // Makes a new record before the current one and edits it.
    void Insert();
    // Like Insert, at the end.
    void Append();
    // Writes the edited record to the store, in one transaction. On failure raises
    // EDatabaseError and stays in dsEdit/dsInsert with the values as typed.
    void Post();
    // Drops the edit; an inserted record disappears.
    void Cancel();
    // Deletes the current record from the store (an insert in progress is cancelled).
    void Delete();
    // Reads the rows again, staying on the record with the same key when it still exists.
    void Refresh();
    // Lets the links write their controls' values into the fields.
    void UpdateRecord();
    // Whether a field was written since the edit began.
    bool Modified() const { return modified_; }
    // Leaves an edit as a move does (post when modified, else cancel).
    void CheckBrowseMode();

    // ---- for TField ----
    const TFieldValue& CurrentValue(int index) const;
    void SetFieldValue(TField* field, TFieldValue value);

    // The links the data set tells about its changes (through its data sources).
    void DataEvent(TDataEvent event, std::intptr_t info = 0);

    // A record's values (row is 0-based; the current one as edited), for grids and lists.
    TRecordData Record(int row) const;
    int CurrentRow() const { return cur_; }

protected:
    struct TFieldDef {
        std::string name;
        TFieldType type = ftString;
        bool readOnly = false;
        bool required = false;
    };
    // Reads the field definitions and every row; raises on failure.
    virtual void InternalOpen(std::vector<TFieldDef>& defs, TRowStore& rows) = 0;
    virtual void InternalClose() {}
    // Writes record (for an insert: a new one; key and hasKey are set on return). original
    // is the record before the edit (for an insert: all null). May fill in values the store
    // made (defaults). Raises EDatabaseError and leaves the store unchanged on failure.
    virtual void InternalPost(TRecordData& record, const TRecordData& original, bool inserting) = 0;
    virtual void InternalDelete(const TRecordData& record) = 0;
    // Whether the store can write (asked after InternalOpen).
    virtual bool InternalCanModify() const { return true; }
    [[noreturn]] void DatabaseError(const std::string& message) const;

private:
    friend class TDataSource;
    void CheckActive() const;
    void SetState(TDataSetState state);
    void ClearRows();
    TRecordData BlankRecord() const;
    TRecordData StoredRecord(int row) const;
    void MoveTo(int row);
    void BeginInsert(int row);

    bool HasRows() const { return !rows_.Empty(); }
    int Rows() const { return rows_.Count(); }

    std::vector<std::unique_ptr<TField>> fields_;
    TRowStore rows_;
    // The current row's values, unpacked on first use after a move.
    mutable std::vector<TFieldValue> current_;
    mutable int currentRow_ = -1;
    std::vector<TDataSource*> sources_;
    TRecordData edit_;
    TDataSetState state_ = dsInactive;
    int cur_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool canModify_ = false;
    int updating_ = 0;
};

// What data-aware controls bind to; it passes its data set's changes to its links.
// Free-notified: a data set or a source that goes away is dropped by those pointing at it.
class TDataSource : public TComponent {
public:
    explicit TDataSource(TComponent* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* value);
    // dsInactive without an active data set.
    TDataSetState State() const;
    // Whether links may put the data set into edit mode when the user types.
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool value) { autoEdit_ = value; }
    // Starts an edit when AutoEdit allows and the data set is browsing.
    void Edit();

    TNotifyEvent OnStateChange;
    TNotifyEvent OnDataChange;

    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, std::intptr_t info);
    std::vector<TDataLink*> links_;
    TDataSet* dataSet_ = nullptr;
    bool autoEdit_ = true;
};

// The tie of one control to a data source. A control answers CM_GETDATALINK with its link.
class TDataLink : public TObject {
public:
    TDataLink() = default;
    ~TDataLink() override;

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* value);
    TDataSet* DataSet() const;
    // The data source has an active data set.
    bool Active() const { return active_; }
    // The data set is in dsEdit or dsInsert (and the link is not read-only).
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    // A control the user sees (a navigator or an edit), as opposed to a lookup's list.
    bool VisualControl() const { return visualControl_; }
    void SetVisualControl(bool value) { visualControl_ = value; }
    // Puts the data set into edit mode when allowed; true when it is editing afterwards.
    bool Edit();
    // Runs UpdateData (the control writes its value), raising what it raises.
    void UpdateRecord();
    // Actions are not part of this layer: no data-set action exists, so none is handled.
    bool ExecuteAction(TObject* /*action*/) { return false; }
    bool UpdateAction(TObject* /*action*/) { return false; }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    void DataEvent(TDataEvent event, std::intptr_t info);
    void UpdateState();
    TDataSource* dataSource_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool visualControl_ = false;
    bool updating_ = false;
};

// The link of a control that shows and edits one field.
class TFieldDataLink : public TDataLink {
public:
    TObject* Control() const { return control_; }
    void SetControl(TObject* value) { control_ = value; }
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& value);
    // The bound field, or null (no data set, closed, or no field of that name).
    TField* Field() const { return field_; }
    // The link is not read-only and the field can be written.
    bool CanModify() const;
    // Starts an edit when CanModify; true when editing afterwards.
    bool Edit();
    // Marks the shown value as changed by the user: UpdateData will write it.
    void Modified() { modified_ = true; }
    bool IsModified() const { return modified_; }
    // Shows the field's value again (forgetting the user's change).
    void Reset();

    // Called with the link itself as sender.
    TNotifyEvent OnDataChange;      // show the field's value
    TNotifyEvent OnEditingChange;   // the editing state changed
    TNotifyEvent OnUpdateData;      // write the control's value into the field
    TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    TObject* control_ = nullptr;
    std::string fieldName_;
    TField* field_ = nullptr;
    bool modified_ = false;
};

}  // namespace platform
