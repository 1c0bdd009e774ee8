// The SQLite data set.
#include "platform/data/sqlitedb.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "platform/core/sysutils.h"

namespace platform {

std::string QuoteIdentifier(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

namespace {

bool Has(const std::string& upper, const char* word) { return upper.find(word) != std::string::npos; }

// The field type a declared column type stands for; false when nothing is declared.
bool TypeFromDecl(const char* decl, TFieldType& type) {
    if (!decl) return false;
    std::string u = UpperCase(decl);
    if (Has(u, "BOOL"))
        type = ftBoolean;
    else if (Has(u, "INT"))
        type = ftInteger;
    else if (Has(u, "CLOB"))
        type = ftMemo;
    else if (Has(u, "CHAR") || Has(u, "TEXT"))
        type = ftString;
    else if (Has(u, "BLOB") || u.empty())
        type = ftBlob;
    else if (Has(u, "REAL") || Has(u, "FLOA") || Has(u, "DOUB") || Has(u, "NUMERIC") || Has(u, "DECIMAL"))
        type = ftFloat;
    else
        type = ftString;
    return true;
}

TFieldType TypeFromValue(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_INTEGER: return ftInteger;
        case SQLITE_FLOAT: return ftFloat;
        case SQLITE_BLOB: return ftBlob;
        default: return ftString;
    }
}

// Binds value as parameter index of stmt; the text is copied by SQLite.
int Bind(sqlite3_stmt* stmt, int index, const TFieldValue& value) {
    switch (value.kind) {
        case TFieldValue::Int: return sqlite3_bind_int64(stmt, index, value.i);
        case TFieldValue::Float: return sqlite3_bind_double(stmt, index, value.f);
        case TFieldValue::Text:
            return sqlite3_bind_text64(stmt, index, value.s.data(), value.s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        case TFieldValue::Bytes:
            return sqlite3_bind_blob64(stmt, index, value.s.data(), value.s.size(), SQLITE_TRANSIENT);
        default: return sqlite3_bind_null(stmt, index);
    }
}

void ReadValue(sqlite3_stmt* stmt, int c, TFieldValue& v) {
    switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
            v.kind = TFieldValue::Int;
            v.i = sqlite3_column_int64(stmt, c);
            break;
        case SQLITE_FLOAT:
            v.kind = TFieldValue::Float;
            v.f = sqlite3_column_double(stmt, c);
            break;
        case SQLITE_TEXT: {
            auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            v.kind = TFieldValue::Text;
            v.s.assign(p ? p : "", p ? std::size_t(sqlite3_column_bytes(stmt, c)) : 0);
            break;
        }
        case SQLITE_BLOB: {
            auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, c));
            int n = sqlite3_column_bytes(stmt, c);
            v.kind = TFieldValue::Bytes;
            v.s.assign(p ? p : "", p ? std::size_t(n) : 0);
            break;
        }
        default: v = TFieldValue(); break;
    }
}

// Resets a kept statement when leaving a scope, whatever happened.
struct Finish {
    sqlite3_stmt* stmt;
    ~Finish() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
};

}  // namespace

// ---------------------------------------------------------------- TSQLiteDatabase

TSQLiteDatabase::TSQLiteDatabase(TComponent* owner) : TComponent(owner) {}

TSQLiteDatabase::~TSQLiteDatabase() { Close(); }

void TSQLiteDatabase::SetDatabaseName(const std::string& value) {
    if (value == name_) return;
    Close();
    name_ = value;
}

void TSQLiteDatabase::SetBusyTimeout(int ms) {
    busyTimeout_ = std::max(0, ms);
    if (db_) sqlite3_busy_timeout(db_, busyTimeout_);
}

void TSQLiteDatabase::Raise(const std::string& context) const {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    throw EDatabaseError(context.empty() ? message : context + ": " + message);
}

void TSQLiteDatabase::Open() {
    if (db_) return;
    if (name_.empty()) throw EDatabaseError("No database name given");
    int flags = (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    if (create_ && !readOnly_) flags |= SQLITE_OPEN_CREATE;
    if (name_ == ":memory:") flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(name_.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw EDatabaseError("Cannot open database '" + name_ + "': " + message);
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 0);
    sqlite3_busy_timeout(db_, busyTimeout_);
    // A file that is not a database opens without complaint; reading its schema tells.
    rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = sqlite3_errmsg(db_);
        Close();
        throw EDatabaseError("Cannot open database '" + name_ + "': " + message);
    }
}

void TSQLiteDatabase::FinalizeAll() {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    cache_.clear();
    begin_ = commit_ = nullptr;
}

sqlite3_stmt* TSQLiteDatabase::Begin() {
    if (!begin_) begin_ = Prepared("BEGIN IMMEDIATE");
    return begin_;
}

sqlite3_stmt* TSQLiteDatabase::Commit() {
    if (!commit_) commit_ = Prepared("COMMIT");
    return commit_;
}

void TSQLiteDatabase::Close() {
    if (!db_) return;
    FinalizeAll();
    ++generation_;
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool TSQLiteDatabase::IsReadOnly() const { return !db_ || sqlite3_db_readonly(db_, "main") != 0; }

void TSQLiteDatabase::ExecSQL(const std::string& sql) {
    Open();
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw EDatabaseError(message);
    }
}

sqlite3_stmt* TSQLiteDatabase::Prepared(const std::string& sql) {
    Open();
    auto it = cache_.find(sql);
    if (it != cache_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        Raise();
    cache_.emplace(sql, stmt);
    return stmt;
}

// ---------------------------------------------------------------- TSQLiteDataSet

TSQLiteDataSet::TSQLiteDataSet(TComponent* owner) : TDataSet(owner) {}

TSQLiteDataSet::~TSQLiteDataSet() {
    Close();
    delete own_;
}

void TSQLiteDataSet::SetDatabase(TSQLiteDatabase* value) {
    if (value == database_) return;
    Close();
    if (database_) RemoveFreeNotification(database_);
    database_ = value;
    if (database_) FreeNotification(database_);
}

void TSQLiteDataSet::SetDatabaseName(const std::string& value) {
    if (value == databaseName_) return;
    Close();
    databaseName_ = value;
    if (own_) own_->SetDatabaseName(value);
}

void TSQLiteDataSet::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == database_) {
        Close();
        database_ = nullptr;
    }
    TDataSet::Notification(component, operation);
}

TSQLiteDatabase* TSQLiteDataSet::Db() {
    if (database_) return database_;
    if (!own_) {
        own_ = new TSQLiteDatabase(nullptr);
        own_->SetDatabaseName(databaseName_);
    }
    return own_;
}

void TSQLiteDataSet::ReadRow(sqlite3_stmt* stmt, TRowStore& rows) const {
    bool hasKey = keyColumn_ >= 0 && sqlite3_column_type(stmt, keyColumn_) == SQLITE_INTEGER;
    rows.BeginRow(hasKey ? sqlite3_column_int64(stmt, keyColumn_) : 0, hasKey);
    for (int c : fieldColumn_) {
        switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER: rows.AddInt(sqlite3_column_int64(stmt, c)); break;
            case SQLITE_FLOAT: rows.AddFloat(sqlite3_column_double(stmt, c)); break;
            case SQLITE_TEXT: {
                auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                rows.AddText(p ? p : "", p ? std::size_t(sqlite3_column_bytes(stmt, c)) : 0);
                break;
            }
            case SQLITE_BLOB: {
                auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, c));
                rows.AddBytes(p ? p : "", p ? std::size_t(sqlite3_column_bytes(stmt, c)) : 0);
                break;
            }
            default: rows.AddNull(); break;
        }
    }
    rows.EndRow();
}

void TSQLiteDataSet::InternalOpen(std::vector<TFieldDef>& defs, TRowStore& rows) {
    TSQLiteDatabase* db = Db();
    db->Open();
    bool table = !tableName_.empty();
    if (!table && sql_.empty()) throw EDatabaseError("No table name or query given");
    sqlite3_stmt* stmt = nullptr;
    std::string text;
    int rc = SQLITE_ERROR;
    if (table) {
        text = "SELECT rowid, * FROM " + QuoteIdentifier(tableName_);
        rc = sqlite3_prepare_v2(db->Handle(), text.c_str(), -1, &stmt, nullptr);
        if (rc != SQLITE_OK) {  // a table without rowid: read only
            std::string first = sqlite3_errmsg(db->Handle());
            sqlite3_finalize(stmt);
            stmt = nullptr;
            text = "SELECT * FROM " + QuoteIdentifier(tableName_);
            rc = sqlite3_prepare_v2(db->Handle(), text.c_str(), -1, &stmt, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_finalize(stmt);
                throw EDatabaseError(first);
            }
        }
    } else {
        const char* tail = nullptr;
        rc = sqlite3_prepare_v2(db->Handle(), sql_.c_str(), int(sql_.size()), &stmt, &tail);
        if (rc != SQLITE_OK) db->Raise();
        if (!stmt) throw EDatabaseError("The query is empty");
        if (sqlite3_stmt_readonly(stmt) == 0 || sqlite3_column_count(stmt) == 0) {
            sqlite3_finalize(stmt);
            throw EDatabaseError("The query does not read rows");
        }
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);

    // Which table the result can be written to: the one the rowid column comes from, when
    // every column that comes from a table comes from it.
    int count = sqlite3_column_count(stmt);
    keyColumn_ = -1;
    writeTable_.clear();
    if (table && rc == SQLITE_OK && text.rfind("SELECT rowid", 0) == 0) {
        keyColumn_ = 0;
        writeTable_ = tableName_;
    }
    for (int c = 0; c < count && keyColumn_ < 0; ++c) {
        // A query's key: the rowid, or the column that is the rowid under another name
        // (an INTEGER PRIMARY KEY).
        const char* origin = sqlite3_column_origin_name(stmt, c);
        const char* from = sqlite3_column_table_name(stmt, c);
        if (!origin || !from) continue;
        const char* decl = nullptr;
        int primary = 0;
        bool isRowid = SameText(origin, "rowid");
        if (!isRowid && sqlite3_table_column_metadata(db->Handle(), nullptr, from, origin, &decl, nullptr, nullptr,
                                                      &primary, nullptr) == SQLITE_OK)
            isRowid = primary && decl && SameText(decl, "INTEGER");
        if (isRowid) {
            keyColumn_ = c;
            writeTable_ = from;
        }
    }
    bool single = keyColumn_ >= 0;
    for (int c = 0; c < count && single; ++c) {
        const char* from = sqlite3_column_table_name(stmt, c);
        if (from && writeTable_ != from) single = false;
    }
    if (!single) {
        if (table) keyColumn_ = -1;
        writeTable_.clear();
    }

    fieldColumn_.clear();
    columns_.clear();
    defs.clear();
    std::vector<int> undeclared;
    for (int c = 0; c < count; ++c) {
        if (table && c == keyColumn_) continue;  // the key the data set added itself
        TFieldDef def;
        def.name = sqlite3_column_name(stmt, c) ? sqlite3_column_name(stmt, c) : "";
        const char* origin = sqlite3_column_origin_name(stmt, c);
        bool fromTable = origin && !writeTable_.empty() && !SameText(origin, "rowid");
        if (!TypeFromDecl(sqlite3_column_decltype(stmt, c), def.type)) undeclared.push_back(int(defs.size()));
        def.readOnly = !fromTable;
        if (fromTable) {
            int notNull = 0;
            if (sqlite3_table_column_metadata(db->Handle(), nullptr, writeTable_.c_str(), origin, nullptr, nullptr,
                                              &notNull, nullptr, nullptr) == SQLITE_OK)
                def.required = notNull != 0;
        }
        columns_.push_back(fromTable ? origin : "");
        fieldColumn_.push_back(c);
        defs.push_back(def);
    }

    rows.Clear();
    bool first = true;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (first) {
            for (int f : undeclared) defs[std::size_t(f)].type = TypeFromValue(stmt, fieldColumn_[std::size_t(f)]);
            first = false;
        }
        ReadRow(stmt, rows);
    }
    if (rc != SQLITE_DONE) db->Raise();
    for (int f : undeclared)
        if (first) defs[std::size_t(f)].type = ftString;
    writable_ = !writeTable_.empty() && !db->IsReadOnly();
}

void TSQLiteDataSet::InternalClose() {
    writable_ = false;
    updates_.clear();
    keyColumn_ = -1;
    writeTable_.clear();
    columns_.clear();
    fieldColumn_.clear();
}

void TSQLiteDataSet::InTransaction(const std::function<void()>& work) {
    TSQLiteDatabase* db = Db();
    sqlite3* h = db->Handle();
    bool own = sqlite3_get_autocommit(h) != 0;
    if (own) {
        sqlite3_stmt* begin = db->Begin();
        Finish f{begin};
        if (sqlite3_step(begin) != SQLITE_DONE) db->Raise();
    }
    try {
        work();
        if (own) {
            sqlite3_stmt* commit = db->Commit();
            Finish f{commit};
            if (sqlite3_step(commit) != SQLITE_DONE) db->Raise();
        }
    } catch (...) {
        if (own && !sqlite3_get_autocommit(h)) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TSQLiteDataSet::InternalPost(TRecordData& record, const TRecordData& original, bool inserting) {
    TSQLiteDatabase* db = Db();
    if (!writable_) throw EDatabaseError("Cannot modify a read-only dataset");
    std::vector<std::size_t> changed;
    for (std::size_t f = 0; f < record.values.size(); ++f)
        if (!columns_[f].empty() && !(record.values[f] == original.values[f])) changed.push_back(f);
    if (!inserting && changed.empty()) return;
    if (!inserting && !record.hasKey) throw EDatabaseError("The record has no rowid to write it by");

    db->Open();
    if (updatesGeneration_ != db->Generation()) {
        updates_.clear();
        updatesGeneration_ = db->Generation();
    }
    sqlite3_stmt* stmt = nullptr;
    auto known = inserting ? updates_.end() : updates_.find(changed);
    if (known != updates_.end()) {
        stmt = known->second;
    } else {
        std::string sql;
        if (inserting) {
            if (changed.empty()) {
                sql = "INSERT INTO " + QuoteIdentifier(writeTable_) + " DEFAULT VALUES";
            } else {
                std::string names, marks;
                for (std::size_t k = 0; k < changed.size(); ++k) {
                    names += (k ? ", " : "") + QuoteIdentifier(columns_[changed[k]]);
                    marks += k ? ", ?" : "?";
                }
                sql = "INSERT INTO " + QuoteIdentifier(writeTable_) + " (" + names + ") VALUES (" + marks + ")";
            }
        } else {
            std::string sets;
            for (std::size_t k = 0; k < changed.size(); ++k)
                sets += (k ? ", " : "") + QuoteIdentifier(columns_[changed[k]]) + " = ?";
            sql = "UPDATE " + QuoteIdentifier(writeTable_) + " SET " + sets + " WHERE rowid = ?";
        }
        // The statement's text holds only names the data set read from the database; every
        // value is a bound parameter.
        stmt = db->Prepared(sql);
        if (!inserting) updates_.emplace(changed, stmt);
    }
    InTransaction([&] {
        Finish f{stmt};
        int index = 1;
        for (std::size_t k : changed)
            if (Bind(stmt, index++, record.values[k]) != SQLITE_OK) db->Raise();
        if (!inserting && sqlite3_bind_int64(stmt, index, record.key) != SQLITE_OK) db->Raise();
        if (sqlite3_step(stmt) != SQLITE_DONE) db->Raise();
        if (!inserting && sqlite3_changes(db->Handle()) == 0)
            throw EDatabaseError("The record was deleted by someone else");
        if (inserting) {
            record.key = sqlite3_last_insert_rowid(db->Handle());
            record.hasKey = true;
            // Read the row back for the values the database filled in (defaults).
            std::string back = "SELECT rowid, ";
            for (std::size_t c = 0; c < columns_.size(); ++c)
                back += (c ? ", " : "") + (columns_[c].empty() ? std::string("NULL") : QuoteIdentifier(columns_[c]));
            back += " FROM " + QuoteIdentifier(writeTable_) + " WHERE rowid = ?";
            sqlite3_stmt* read = db->Prepared(back);
            Finish g{read};
            sqlite3_bind_int64(read, 1, record.key);
            if (sqlite3_step(read) == SQLITE_ROW)
                for (std::size_t c = 0; c < columns_.size(); ++c)
                    if (!columns_[c].empty()) ReadValue(read, int(c) + 1, record.values[c]);
        }
    });
}

void TSQLiteDataSet::InternalDelete(const TRecordData& record) {
    TSQLiteDatabase* db = Db();
    if (!writable_) throw EDatabaseError("Cannot modify a read-only dataset");
    if (!record.hasKey) throw EDatabaseError("The record has no rowid to delete it by");
    sqlite3_stmt* stmt = db->Prepared("DELETE FROM " + QuoteIdentifier(writeTable_) + " WHERE rowid = ?");
    InTransaction([&] {
        Finish f{stmt};
        sqlite3_bind_int64(stmt, 1, record.key);
        if (sqlite3_step(stmt) != SQLITE_DONE) db->Raise();
    });
}

}  // namespace platform
