// The data set against SQLite used directly, on the same in-memory tables: posting 10,000
// edited records (each its own transaction) against the same prepared UPDATEs, and opening
// a 100,000-row table and moving from the first record to the last against stepping the
// same query. The data set should stay within 1.5x and 2x of them.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "platform/data/sqlitedb.h"

using namespace platform;

namespace {

void Fill(TSQLiteDatabase& db, int rows) {
    db.ExecSQL("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER, price REAL)");
    db.ExecSQL("BEGIN");
    for (int i = 0; i < rows; ++i)
        db.ExecSQL("INSERT INTO t(name, n, price) VALUES ('name " + std::to_string(i) + "', " + std::to_string(i) + ", 1.5)");
    db.ExecSQL("COMMIT");
}

constexpr int kPosts = 10000;
constexpr int kRows = 100000;

void BM_PostThroughDataSet(benchmark::State& state) {
    TSQLiteDatabase db;
    db.SetDatabaseName(":memory:");
    Fill(db, kPosts);
    TSQLiteDataSet ds;
    ds.SetDatabase(&db);
    ds.SetTableName("t");
    ds.Open();
    TField* name = ds.FieldByName("name");
    int round = 0;
    for (auto _ : state) {
        ++round;
        ds.First();
        for (int i = 0; i < kPosts; ++i) {
            ds.Edit();
            name->SetText("edited " + std::to_string(round) + " " + std::to_string(i));
            ds.Post();
            ds.Next();
        }
    }
    state.SetItemsProcessed(state.iterations() * kPosts);
}
BENCHMARK(BM_PostThroughDataSet)->Unit(benchmark::kMillisecond);

void BM_PostThroughSQLite(benchmark::State& state) {
    TSQLiteDatabase db;
    db.SetDatabaseName(":memory:");
    Fill(db, kPosts);
    sqlite3* h = db.Handle();
    sqlite3_stmt *update = nullptr, *begin = nullptr, *commit = nullptr;
    sqlite3_prepare_v2(h, "UPDATE t SET name = ? WHERE rowid = ?", -1, &update, nullptr);
    sqlite3_prepare_v2(h, "BEGIN IMMEDIATE", -1, &begin, nullptr);
    sqlite3_prepare_v2(h, "COMMIT", -1, &commit, nullptr);
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (int i = 0; i < kPosts; ++i) {
            std::string text = "edited " + std::to_string(round) + " " + std::to_string(i);
            sqlite3_step(begin);
            sqlite3_reset(begin);
            sqlite3_bind_text(update, 1, text.data(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(update, 2, i + 1);
            sqlite3_step(update);
            sqlite3_reset(update);
            sqlite3_step(commit);
            sqlite3_reset(commit);
        }
    }
    sqlite3_finalize(update);
    sqlite3_finalize(begin);
    sqlite3_finalize(commit);
    state.SetItemsProcessed(state.iterations() * kPosts);
}
BENCHMARK(BM_PostThroughSQLite)->Unit(benchmark::kMillisecond);

void BM_OpenAndWalkDataSet(benchmark::State& state) {
    TSQLiteDatabase db;
    db.SetDatabaseName(":memory:");
    Fill(db, kRows);
    for (auto _ : state) {
        TSQLiteDataSet ds;
        ds.SetDatabase(&db);
        ds.SetTableName("t");
        ds.Open();
        TField* n = ds.FieldByName("n");
        std::int64_t sum = 0;
        for (ds.First(); !ds.Eof(); ds.Next()) sum += n->AsInteger();
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_OpenAndWalkDataSet)->Unit(benchmark::kMillisecond);

void BM_StepQueryDirectly(benchmark::State& state) {
    TSQLiteDatabase db;
    db.SetDatabaseName(":memory:");
    Fill(db, kRows);
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db.Handle(), "SELECT rowid, * FROM \"t\"", -1, &stmt, nullptr);
        std::int64_t sum = 0;
        std::size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            sum += sqlite3_column_int64(stmt, 3);
            bytes += std::size_t(sqlite3_column_bytes(stmt, 2));
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, 2));
            benchmark::DoNotOptimize(sqlite3_column_double(stmt, 4));
        }
        sqlite3_finalize(stmt);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_StepQueryDirectly)->Unit(benchmark::kMillisecond);

}  // namespace
