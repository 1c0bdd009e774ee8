// The data-access layer on SQLite: moving over 0, 1 and 3 records, editing, posting,
// inserting, deleting and refreshing, field types, the links' notifications, and every kind
// of bad input (a file that is no database, a lock held by another process, constraint
// violations, a wrong value type). Fixtures are made and results read by the sqlite3 shell.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <fstream>
#include <string>
#include <vector>

#include "platform/data/db.h"
#include "platform/data/sqlitedb.h"
#include "sqlite_shell.h"
#include "support/tempdir.h"

using namespace platform;
using datatest::Shell;

namespace {

// A file database made by the shell from SQL text.
struct FileDb {
    testsupport::TempDir dir;
    std::string path = (dir.path() / "t.db").string();
    explicit FileDb(const std::string& sql) { Shell(path, sql); }
};

const char* kThree =
    "CREATE TABLE t(id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, n INTEGER, price REAL, done BOOLEAN,"
    " note CLOB, pic BLOB, code TEXT UNIQUE);"
    "INSERT INTO t(name, n, price, done, note, pic, code) VALUES"
    " ('one', 1, 1.5, 1, 'a\nb', x'00FF10', 'c1'), ('two', 2, NULL, 0, NULL, NULL, 'c2'),"
    " ('three', 3, 2.25, NULL, '', NULL, 'c3');";

// Logs what a field link hears.
struct LinkLog : TFieldDataLink {
    std::vector<std::string> log;
    LinkLog() {
        OnDataChange = [this](TObject*) { log.push_back("data:" + (Field() ? Field()->AsString() : std::string("-"))); };
        OnEditingChange = [this](TObject*) { log.push_back(Editing() ? "editing" : "browsing"); };
    }
};

TEST(DataSet, MovesOverNoneOneAndThreeRecords) {
    struct Case {
        int rows;
        // After Open, after Next, after Last, after Prior, after First: "BOF EOF RecNo".
        std::vector<std::string> expect;
    };
    const Case cases[] = {
        {0, {"1 1 0", "1 1 0", "1 1 0", "1 1 0", "1 1 0"}},
        {1, {"1 0 1", "0 1 1", "0 1 1", "1 0 1", "1 0 1"}},
        {3, {"1 0 1", "0 0 2", "0 1 3", "0 0 2", "1 0 1"}},
    };
    for (const Case& c : cases) {
        TSQLiteDatabase db;
        db.SetDatabaseName(":memory:");
        db.ExecSQL("CREATE TABLE t(v INTEGER)");
        for (int i = 0; i < c.rows; ++i) db.ExecSQL("INSERT INTO t VALUES(" + std::to_string(i + 1) + ")");
        TSQLiteDataSet ds;
        ds.SetDatabase(&db);
        ds.SetTableName("t");
        ds.Open();
        EXPECT_EQ(ds.RecordCount(), c.rows);
        std::vector<std::string> seen;
        auto note = [&] { seen.push_back(std::to_string(ds.Bof()) + " " + std::to_string(ds.Eof()) + " " + std::to_string(ds.RecNo())); };
        note();
        ds.Next();
        note();
        ds.Last();
        note();
        ds.Prior();
        note();
        ds.First();
        note();
        EXPECT_EQ(seen, c.expect) << c.rows << " rows";
        if (c.rows == 3) {
            // Next at the end stays; RecNo moves anywhere and refuses what is not there.
            ds.Last();
            EXPECT_EQ(ds.MoveBy(5), 0);
            ds.SetRecNo(2);
            EXPECT_EQ(ds.FieldByName("v")->AsInteger(), 2);
            EXPECT_THROW(ds.SetRecNo(4), EDatabaseError);
            EXPECT_THROW(ds.SetRecNo(0), EDatabaseError);
            EXPECT_EQ(ds.RecNo(), 2);
        }
    }
}

TEST(DataSet, FieldsTakeTheDeclaredTypes) {
    FileDb f(kThree);
    TSQLiteDataSet ds;
    ds.SetDatabaseName(f.path);
    ds.SetTableName("t");
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 8);  // rowid is the key, not a field
    const std::pair<const char*, TFieldType> types[] = {{"id", ftInteger}, {"name", ftString}, {"n", ftInteger},
                                                        {"price", ftFloat}, {"done", ftBoolean}, {"note", ftMemo},
                                                        {"pic", ftBlob},   {"code", ftString}};
    for (auto [name, type] : types) EXPECT_EQ(ds.FieldByName(name)->DataType(), type) << name;
    EXPECT_TRUE(ds.FieldByName("name")->Required());
    EXPECT_EQ(ds.FieldByName("price")->AsFloat(), 1.5);
    EXPECT_TRUE(ds.FieldByName("done")->AsBoolean());
    EXPECT_EQ(ds.FieldByName("done")->Text(), "True");
    EXPECT_EQ(ds.FieldByName("pic")->AsBytes(), std::string("\x00\xFF\x10", 3));
    EXPECT_EQ(ds.FieldByName("pic")->DisplayText(), "(BLOB)");
    EXPECT_EQ(ds.FieldByName("note")->DisplayText(), "a");
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("price")->IsNull());
    EXPECT_FALSE(ds.FieldByName("done")->AsBoolean());
    EXPECT_EQ(ds.FindField("nothing"), nullptr);
    EXPECT_THROW(ds.FieldByName("nothing"), EDatabaseError);
}

TEST(DataSet, EditPostCancelInsertDeleteRefresh) {
    FileDb f(kThree);
    TSQLiteDataSet ds;
    ds.SetDatabaseName(f.path);
    ds.SetTableName("t");
    ds.Open();
    ASSERT_TRUE(ds.CanModify());
    EXPECT_THROW(ds.FieldByName("name")->SetText("x"), EDatabaseError);  // not editing

    ds.Next();
    ds.Edit();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.FieldByName("name")->SetText("zwei");
    ds.FieldByName("price")->SetText("7,5");
    ds.FieldByName("done")->SetAsBoolean(true);
    ds.Post();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(Shell(f.path, "SELECT name, price, done FROM t WHERE id = 2"), "zwei|7.5|1\n");

    ds.Edit();
    ds.FieldByName("name")->SetText("dropped");
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("name")->Text(), "zwei");
    EXPECT_EQ(Shell(f.path, "SELECT name FROM t WHERE id = 2"), "zwei\n");

    // Insert before the current record; the database fills in the key.
    ds.Insert();
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.FieldByName("name")->SetText("new");
    ds.FieldByName("code")->SetText("c4");
    ds.Post();
    EXPECT_EQ(ds.FieldByName("id")->AsInteger(), 4);
    EXPECT_EQ(Shell(f.path, "SELECT name, n IS NULL FROM t WHERE id = 4"), "new|1\n");

    // Moving away from an edit posts it.
    ds.Edit();
    ds.FieldByName("n")->SetAsInteger(40);
    ds.Next();
    EXPECT_EQ(Shell(f.path, "SELECT n FROM t WHERE id = 4"), "40\n");
    EXPECT_EQ(ds.FieldByName("name")->Text(), "zwei");

    ds.Delete();
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.FieldByName("name")->Text(), "three");
    EXPECT_EQ(Shell(f.path, "SELECT count(*) FROM t WHERE id = 2"), "0\n");

    // Another writer adds a row before ours; Refresh shows it and stays on "three".
    Shell(f.path, "INSERT INTO t(id, name, code) VALUES (0, 'zero', 'c0')");
    ds.Refresh();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.FieldByName("name")->Text(), "three");
    ds.First();
    EXPECT_EQ(ds.FieldByName("name")->Text(), "zero");

    // An insert left without a change disappears again.
    ds.Insert();
    ds.Next();
    EXPECT_EQ(ds.RecordCount(), 4);
}

TEST(DataSet, PostedValuesReadBackByteForByte) {
    FileDb f("CREATE TABLE t(id INTEGER PRIMARY KEY, s TEXT, b BLOB); INSERT INTO t(s) VALUES ('x');");
    const std::string nasty = "Tom's \"Movie\"; DROP TABLE t;--";
    const std::string badUtf8 = "caf\xC3 \xFF\xFE end";
    const std::string bytes("\x00\x01'\"\xFF", 5);
    TSQLiteDataSet ds;
    ds.SetDatabaseName(f.path);
    ds.SetTableName("t");
    ds.Open();
    ds.Edit();
    ds.FieldByName("s")->SetText(nasty);
    ds.FieldByName("b")->SetAsBytes(bytes);
    ds.Post();
    ds.Append();
    ds.FieldByName("s")->SetText(badUtf8);
    ds.Post();
    auto hex = [](const std::string& s) {
        static const char* d = "0123456789ABCDEF";
        std::string h;
        for (unsigned char c : s) h += std::string{d[c >> 4], d[c & 15]};
        return h;
    };
    EXPECT_EQ(Shell(f.path, "SELECT count(*) FROM sqlite_schema WHERE name = 't'"), "1\n");
    EXPECT_EQ(Shell(f.path, "SELECT hex(s), hex(b) FROM t ORDER BY id"),
              hex(nasty) + "|" + hex(bytes) + "\n" + hex(badUtf8) + "|\n");
    // And our reader gives back what was written.
    ds.Close();
    ds.Open();
    EXPECT_EQ(ds.FieldByName("s")->Text(), nasty);
    EXPECT_EQ(ds.FieldByName("b")->AsBytes(), bytes);
    ds.Last();
    EXPECT_EQ(ds.FieldByName("s")->Text(), badUtf8);
}

TEST(DataSet, RefusedPostKeepsTheRecordInEditWithTheTypedValues) {
    FileDb f(kThree);
    TSQLiteDataSet ds;
    ds.SetDatabaseName(f.path);
    ds.SetTableName("t");
    ds.Open();
    struct Case {
        const char* field;
        const char* text;
        const char* message;  // part of the error
    };
    const Case cases[] = {
        {"code", "c2", "UNIQUE constraint failed"},
        {"name", "", nullptr},  // empty text stays text: no violation (checked below)
        {"n", "twelve", "not a valid integer value"},
        {"price", "1.2.3", "not a valid floating point value"},
        {"done", "maybe", "not a valid boolean value"},
    };
    for (const Case& c : cases) {
        ds.First();
        ds.Edit();
        ds.FieldByName("note")->SetText("typed");
        TField* field = ds.FieldByName(c.field);
        std::string before = field->Text();
        try {
            field->SetText(c.text);
            ds.Post();
            EXPECT_EQ(c.message, nullptr) << c.field;
        } catch (const EDatabaseError& e) {
            ASSERT_NE(c.message, nullptr) << c.field << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(ds.State(), dsEdit);
            EXPECT_EQ(ds.FieldByName("note")->Text(), "typed");
            // A refused conversion leaves the field as it was; a refused Post keeps the text.
            EXPECT_EQ(field->Text(), std::string(c.field) == "code" ? c.text : before);
            ds.Cancel();
        }
    }
    // NOT NULL: clearing the name.
    ds.First();
    ds.Edit();
    ds.FieldByName("name")->Clear();
    EXPECT_THROW(ds.Post(), EDatabaseError);
    EXPECT_EQ(ds.State(), dsEdit);
    ds.FieldByName("name")->SetText("fixed");
    ds.Post();
    EXPECT_EQ(Shell(f.path, "SELECT name, note FROM t WHERE id = 1"), "fixed|typed\n");
    EXPECT_EQ(Shell(f.path, "SELECT count(*) FROM t"), "3\n");
}

TEST(DataSet, ALockHeldByAnotherProcessFailsThePostUntilItEnds) {
    FileDb f(kThree);
    TSQLiteDataSet ds;
    ds.SetDatabaseName(f.path);
    ds.SetTableName("t");
    ds.Open();
    datatest::ShellSession other(f.path);
    EXPECT_EQ(other.Run("BEGIN IMMEDIATE;"), "");
    ds.Edit();
    ds.FieldByName("name")->SetText("mine");
    try {
        ds.Post();
        ADD_FAILURE() << "Post went through a held lock";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(ds.FieldByName("name")->Text(), "mine");
    EXPECT_EQ(other.Run("COMMIT;"), "");
    ds.Post();
    EXPECT_EQ(Shell(f.path, "SELECT name FROM t WHERE id = 1"), "mine\n");
}

TEST(DataSet, FilesThatCannotBeUsedGiveClearErrors) {
    testsupport::TempDir dir;
    std::string text = dir.Write("text.db", "This is not a database, only some text that is long enough.").string();
    FileDb good(kThree);
    std::string truncated = (dir.path() / "cut.db").string();
    {
        std::ifstream in(good.path, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(truncated, std::ios::binary) << all.substr(0, all.size() / 2 + 100);
    }
    const std::string missing = (dir.path() / "missing.db").string();
    for (const std::string& path : {text, truncated, missing}) {
        TSQLiteDataSet ds;
        ds.SetDatabaseName(path);
        ds.SetTableName("t");
        EXPECT_THROW(ds.Open(), EDatabaseError) << path;
        EXPECT_FALSE(ds.Active());
        EXPECT_EQ(ds.FieldCount(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    // Unknown table, bad query, a statement that writes.
    TSQLiteDataSet ds;
    ds.SetDatabaseName(good.path);
    for (const char* sql : {"SELECT * FROM nowhere", "SELEC nonsense", "DELETE FROM t"}) {
        ds.SetSQL(sql);
        EXPECT_THROW(ds.Open(), EDatabaseError) << sql;
        EXPECT_FALSE(ds.Active());
    }
    EXPECT_EQ(Shell(good.path, "SELECT count(*) FROM t"), "3\n");
    ds.SetSQL("");
    ds.SetTableName("no\"such");
    EXPECT_THROW(ds.Open(), EDatabaseError);
}

TEST(DataSet, WhatCannotBeWrittenSaysSo) {
    FileDb f(kThree + std::string("CREATE TABLE u(k INTEGER, v TEXT); INSERT INTO u VALUES (1, 'u1');"));
    struct Case {
        const char* sql;
        bool canModify;
    };
    const Case cases[] = {
        {"SELECT rowid, name, n * 2 AS twice FROM t", true},
        {"SELECT name FROM t", false},
        {"SELECT t.rowid, t.name, u.v FROM t JOIN u ON u.k = t.n", false},
        {"SELECT count(*) AS c FROM t", false},
    };
    for (const Case& c : cases) {
        TSQLiteDataSet ds;
        ds.SetDatabaseName(f.path);
        ds.SetSQL(c.sql);
        ds.Open();
        EXPECT_EQ(ds.CanModify(), c.canModify) << c.sql;
        if (!c.canModify) {
            EXPECT_THROW(ds.Edit(), EDatabaseError) << c.sql;
            EXPECT_THROW(ds.Insert(), EDatabaseError) << c.sql;
            EXPECT_THROW(ds.Delete(), EDatabaseError) << c.sql;
            EXPECT_EQ(ds.State(), dsBrowse);
        }
    }
    // The computed column of a writable query cannot be set; the rest posts.
    TSQLiteDataSet q;
    q.SetDatabaseName(f.path);
    q.SetSQL("SELECT rowid, name, n * 2 AS twice FROM t");
    q.Open();
    q.Edit();
    EXPECT_THROW(q.FieldByName("twice")->SetAsInteger(5), EDatabaseError);
    q.FieldByName("name")->SetText("via query");
    q.Post();
    EXPECT_EQ(Shell(f.path, "SELECT name FROM t WHERE id = 1"), "via query\n");

    // A read-only file, and a database opened read-only.
    std::filesystem::permissions(f.path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    bool root = ::geteuid() == 0;  // root writes whatever the permissions say
    TSQLiteDatabase ro;
    ro.SetDatabaseName(f.path);
    ro.SetReadOnly(true);
    TSQLiteDataSet r;
    r.SetDatabase(&ro);
    r.SetTableName("t");
    r.Open();
    EXPECT_FALSE(r.CanModify());
    EXPECT_THROW(r.Edit(), EDatabaseError);
    if (!root) {
        TSQLiteDataSet plain;
        plain.SetDatabaseName(f.path);
        plain.SetTableName("t");
        plain.Open();
        EXPECT_FALSE(plain.CanModify());
    }
}

TEST(DataLinks, HearMovesStateAndWriteBackOnPost) {
    TSQLiteDatabase db;
    db.SetDatabaseName(":memory:");
    db.ExecSQL("CREATE TABLE t(s TEXT); INSERT INTO t VALUES ('a'), ('b');");
    auto* ds = new TSQLiteDataSet;
    ds->SetDatabase(&db);
    ds->SetTableName("t");
    auto* src = new TDataSource;
    src->SetDataSet(ds);
    LinkLog link;
    link.SetFieldName("s");
    link.SetDataSource(src);
    EXPECT_EQ(link.Field(), nullptr);
    ds->Open();
    ASSERT_NE(link.Field(), nullptr);
    ds->Next();
    EXPECT_TRUE(link.Edit());
    // The control's text is written when the record is updated, only when modified.
    std::string shown = "typed";
    link.OnUpdateData = [&](TObject*) { link.Field()->SetText(shown); };
    link.Modified();
    ds->Post();
    EXPECT_EQ(ds->FieldByName("s")->Text(), "typed");
    // Reset forgets a change; a read-only link never edits.
    link.Edit();
    link.Modified();
    link.Reset();
    EXPECT_FALSE(link.IsModified());
    ds->Cancel();
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(link.log, (std::vector<std::string>{"browsing", "data:a", "data:b", "editing", "data:b", "browsing",
                                                  "data:typed", "editing", "data:typed", "data:typed", "browsing",
                                                  "data:typed"}));
    // The data set goes first, then the source: the link is told and lets go.
    delete ds;
    EXPECT_EQ(link.Field(), nullptr);
    EXPECT_FALSE(link.Active());
    delete src;
    EXPECT_EQ(link.DataSource(), nullptr);
}

}  // namespace

namespace {

TFieldValue Int(std::int64_t i) {
    TFieldValue v;
    v.kind = TFieldValue::Int;
    v.i = i;
    return v;
}
TFieldValue Float(double f) {
    TFieldValue v;
    v.kind = TFieldValue::Float;
    v.f = f;
    return v;
}
TFieldValue Str(TFieldValue::Kind kind, std::string s) {
    TFieldValue v;
    v.kind = kind;
    v.s = std::move(s);
    return v;
}
TRecordData Rec(std::int64_t key, bool hasKey, std::vector<TFieldValue> values) {
    TRecordData r;
    r.key = key;
    r.hasKey = hasKey;
    r.values = std::move(values);
    return r;
}
void ExpectRow(const TRowStore& store, int index, const TRecordData& want) {
    SCOPED_TRACE("row " + std::to_string(index));
    std::vector<TFieldValue> got(want.values.size());
    store.Unpack(index, got);
    EXPECT_EQ(store.At(index).hasKey, want.hasKey);
    if (want.hasKey) {
        EXPECT_EQ(store.At(index).key, want.key);
    }
    for (std::size_t f = 0; f < got.size(); ++f) EXPECT_TRUE(got[f] == want.values[f]) << "field " << f;
}

}  // namespace

// The packed rows give back every value exactly (the extremes of integers and keys, empty
// and binary text, a value larger than a block), whether built row by row, replaced in
// place or elsewhere, inserted or erased; and a store edited over and over stays about as
// large as its rows.
TEST(RowStore, KeepsEveryValueThroughReplacingInsertingAndErasing) {
    const std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::vector<TRecordData> want = {
        Rec(kMin, true, {Int(kMin), Int(kMax), Int(-1), Float(-0.5), TFieldValue()}),
        Rec(0, false, {Int(0), Str(TFieldValue::Text, ""), Str(TFieldValue::Bytes, std::string("\0\xff\x80", 3)),
                       Float(1e308), Str(TFieldValue::Text, "Tom's \"Movie\"")}),
        Rec(kMax, true, {TFieldValue(), Str(TFieldValue::Bytes, std::string(200000, 'x')), Int(127), Int(128),
                         Float(0)}),
    };
    TRowStore store;
    for (const TRecordData& r : want) {
        store.BeginRow(r.key, r.hasKey);
        for (const TFieldValue& v : r.values) store.Add(v);
        store.EndRow();
    }
    ASSERT_EQ(store.Count(), 3);
    for (int i = 0; i < 3; ++i) ExpectRow(store, i, want[std::size_t(i)]);

    // Shorter (in place), longer (a new slot), an insert at the front and an erase.
    want[0] = Rec(5, true, {Int(1), Int(2), Int(3), Float(4), Int(5)});
    store.Put(0, want[0]);
    want[1] = Rec(6, true, {Str(TFieldValue::Text, std::string(70000, 'y')), Int(1), Int(2), Int(3), Int(4)});
    store.Put(1, want[1]);
    TRecordData first = Rec(7, true, {Int(9), TFieldValue(), TFieldValue(), TFieldValue(), TFieldValue()});
    store.Insert(0, first);
    want.insert(want.begin(), first);
    store.Erase(2);
    want.erase(want.begin() + 2);
    ASSERT_EQ(store.Count(), 3);
    for (int i = 0; i < 3; ++i) ExpectRow(store, i, want[std::size_t(i)]);
    EXPECT_THROW(store.At(3), std::out_of_range);
    EXPECT_THROW(store.Insert(5, first), std::out_of_range);

    // Every row replaced by a longer one again and again: the abandoned slots are reclaimed.
    for (int round = 0; round < 40; ++round)
        for (int i = 0; i < 3; ++i) {
            want[std::size_t(i)].values[0] = Str(TFieldValue::Text, std::string(std::size_t(20000 + round * 100), 'a' + char(i)));
            store.Put(i, want[std::size_t(i)]);
        }
    for (int i = 0; i < 3; ++i) ExpectRow(store, i, want[std::size_t(i)]);
    EXPECT_LE(store.WastedBytes(), std::max<std::size_t>(store.LiveBytes(), 1024 * 1024));

    // Moved into another store, the rows go along.
    TRowStore other;
    other = std::move(store);
    ASSERT_EQ(other.Count(), 3);
    ExpectRow(other, 2, want[2]);
}
