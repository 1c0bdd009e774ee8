#pragma once
// The data set on an SQLite database (libsqlite3, in process): a database file or
// ":memory:", and either a table or a query.
//
// Fields take their type from the column's declared type: ...INT... integer (BOOL...
// boolean, stored as 0/1), CHAR/TEXT string, CLOB memo, BLOB (or no type) blob,
// REAL/FLOA/DOUB/NUMERIC/DECIMAL float; a query's computed column takes the type of its
// first value. Each row keeps its rowid. Post writes one UPDATE (the changed columns) or
// INSERT by rowid inside BEGIN IMMEDIATE ... COMMIT, with every value bound as a parameter.
// CanModify is false on a read-only database, and for a query without a rowid column or
// whose columns come from more than one table (a query's computed columns are read-only).
// Every failure raises EDatabaseError with SQLite's own message.
#include <cstdint>
#include <functional>
#include <map>
#include <vector>
#include <string>

#include "platform/data/db.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

// One open database, shared by the data sets that name it.
class TSQLiteDatabase : public TComponent {
public:
    explicit TSQLiteDatabase(TComponent* owner = nullptr);
    ~TSQLiteDatabase() override;

    const std::string& DatabaseName() const { return name_; }
    // A file path or ":memory:"; closes an open database first.
    void SetDatabaseName(const std::string& value);
    // Opening a file that does not exist fails unless this is set.
    bool CreateIfMissing() const { return create_; }
    void SetCreateIfMissing(bool value) { create_ = value; }
    // Open the file for reading only.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    // How long a write waits for another process's lock before failing (0: at once).
    int BusyTimeout() const { return busyTimeout_; }
    void SetBusyTimeout(int ms);

    bool Connected() const { return db_ != nullptr; }
    // Raises EDatabaseError when the file cannot be opened or is not a database.
    void Open();
    void Close();
    // Whether the open database refuses writes (opened read-only, or a read-only file).
    bool IsReadOnly() const;
    // Runs SQL text of the program's own (no values from the user: those go through a
    // data set, bound as parameters).
    void ExecSQL(const std::string& sql);
    sqlite3* Handle() const { return db_; }

    // A statement prepared once and kept while the database is open; raises on failure.
    sqlite3_stmt* Prepared(const std::string& sql);
    // Counts the closings: statements kept from before a closing are gone.
    int Generation() const { return generation_; }
    // BEGIN IMMEDIATE and COMMIT, prepared once.
    sqlite3_stmt* Begin();
    sqlite3_stmt* Commit();
    [[noreturn]] void Raise(const std::string& context = std::string()) const;

private:
    void FinalizeAll();
    std::string name_;
    sqlite3* db_ = nullptr;
    std::map<std::string, sqlite3_stmt*> cache_;
    int generation_ = 0;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    bool create_ = false;
    bool readOnly_ = false;
    int busyTimeout_ = 0;
};

class TSQLiteDataSet : public TDataSet {
public:
    explicit TSQLiteDataSet(TComponent* owner = nullptr);
    ~TSQLiteDataSet() override;

    // The database; without one the data set opens its own from DatabaseName.
    TSQLiteDatabase* Database() const { return database_; }
    void SetDatabase(TSQLiteDatabase* value);
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& value);
    // A table (all its columns) or a query; TableName wins when both are set.
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& value) { tableName_ = value; }
    const std::string& SQL() const { return sql_; }
    void SetSQL(const std::string& value) { sql_ = value; }

    void Notification(TComponent* component, TOperation operation) override;

protected:
    void InternalOpen(std::vector<TFieldDef>& defs, TRowStore& rows) override;
    void InternalClose() override;
    void InternalPost(TRecordData& record, const TRecordData& original, bool inserting) override;
    void InternalDelete(const TRecordData& record) override;
    bool InternalCanModify() const override { return writable_; }

private:
    TSQLiteDatabase* Db();
    // Runs statement (already bound) inside a transaction; raises with the database's
    // message and rolls back on failure.
    void InTransaction(const std::function<void()>& work);
    void ReadRow(sqlite3_stmt* stmt, TRowStore& rows) const;

    TSQLiteDatabase* database_ = nullptr;
    TSQLiteDatabase* own_ = nullptr;
    std::string databaseName_;
    std::string tableName_;
    std::string sql_;
    // What the open data set writes to: the table, its columns by field, the rowid column.
    std::string writeTable_;
    std::vector<std::string> columns_;  // per field; empty for a column the table lacks
    int keyColumn_ = -1;                // result column of the rowid, -1 without
    std::vector<int> fieldColumn_;      // result column of each field
    bool writable_ = false;
    // The UPDATE statements made so far, by the fields they set (kept by the database).
    std::map<std::vector<std::size_t>, sqlite3_stmt*> updates_;
    int updatesGeneration_ = -1;
};

// Quotes an identifier for SQL text ("a""b").
std::string QuoteIdentifier(const std::string& name);

}  // namespace platform
