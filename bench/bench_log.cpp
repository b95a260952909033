// The log store on a small and a large bat.mdb: an append with its view refresh, start-up, resident
// memory after start-up, and Clear Data, each beside the bare SQLite work it stands on.
//
// The large file (1,000,000 rows unless --korvel-rows=N) is made once per run, in one transaction
// from a recursive CTE, under $KORVEL_BENCH_DIR or else the current directory: keep it on the disk
// the program would use, since every commit is an fsync.

#include "common.h"

#include "data/command.h"
#include "data/field.h"
#include "data/query.h"
#include "data/table.h"
#include "dm.h"
#include "platform/clock.h"
#include "platform/messagebox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

struct Sqlite {
    explicit Sqlite(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            std::fprintf(stderr, "can't open %s\n", qPrintable(path));
        sqlite3_busy_timeout(db, 5000);
    }
    ~Sqlite() { sqlite3_close_v2(db); }
    Sqlite(const Sqlite &) = delete;
    Sqlite &operator=(const Sqlite &) = delete;

    bool exec(const std::string &sql) const
    {
        char *error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "sqlite: %s\n  in: %.200s\n", error ? error : "?", sql.c_str());
            sqlite3_free(error);
            return false;
        }
        return true;
    }
    std::int64_t integer(const std::string &sql) const
    {
        sqlite3_stmt *s = nullptr;
        std::int64_t value = -1;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            value = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return value;
    }

    sqlite3 *db = nullptr;
};

// The log folders of this run: "0", "100" and "big" hold bat.mdb with that many rows; "work" takes
// copies of the big one for Clear Data.
struct Folders {
    std::unique_ptr<QTemporaryDir> root;
    std::int64_t bigRows = 1'000'000;

    QString folder(const QString &name) const { return root->filePath(name); }
    QString file(const QString &name) const { return root->filePath(name + QStringLiteral("/bat.mdb")); }
};

Folders g_folders;
QString g_lastBox;

bool makeLog(const QString &name, std::int64_t rows)
{
    QDir().mkpath(g_folders.folder(name));
    QFile schemaFile(QStringLiteral(KORVEL_SOURCE_DIR "/schema/testdata.sql"));
    if (!schemaFile.open(QIODevice::ReadOnly))
        return false;
    Sqlite db(g_folders.file(name));
    if (!db.exec(schemaFile.readAll().toStdString()))
        return false;
    // A reading every 30 s from 2020 on, well before any appended row.
    const std::string fill =
        "BEGIN;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rows) + ") "
        "INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) "
        "SELECT 'drain test', 'BAT0 left bay', strftime('%Y-%m-%d %H:%M:%f', 1577836800 + i * 30, 'unixepoch'), "
        "i % 2, 100 - i % 100, printf('%d:%02d:%02d', i * 30 / 3600 % 10, i * 30 / 60 % 60, i * 30 % 60) FROM n;"
        "COMMIT;"
        "PRAGMA wal_checkpoint(TRUNCATE);";
    return rows == 0 || db.exec(fill);
}

// Back to `rows` rows after a case appended some.
void dropAppended(const QString &name, std::int64_t rows)
{
    Sqlite db(g_folders.file(name));
    db.exec("DELETE FROM testdata WHERE tid > " + std::to_string(rows) + "; PRAGMA wal_checkpoint(TRUNCATE);");
}

bool enter(benchmark::State &state, const QString &name)
{
    if (!QDir::setCurrent(g_folders.folder(name))) {
        state.SkipWithError("log folder missing");
        return false;
    }
    g_lastBox.clear();
    return true;
}

bool moduleOpen(benchmark::State &state, const TDataModule2 &module)
{
    if (!module.Tdata->isActive() || !module.ADODataSet1->isActive()) {
        state.SkipWithError(("the data module did not open: " + g_lastBox.toStdString()).c_str());
        return false;
    }
    return true;
}

std::string timeText()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ts.tv_nsec / 1'000'000);
    return text;
}

// What Timer1Timer does when the percentage changed: one record through the table object, whose
// afterPost re-queries the view for its first page. With readAll the view then reads every row.
void Append(benchmark::State &state, QString name, std::int64_t rows, bool readAll)
{
    if (!enter(state, name))
        return;
    {
        TDataModule2 module;
        if (!moduleOpen(state, module))
            return;
        SystemClock clock;
        Table *table = module.Tdata;
        Query *view = module.ADODataSet1;
        const qsizetype readBefore = view->rowsReadTotal();
        int i = 0;
        for (auto _ : state) {
            table->insert();
            table->fieldByName(u"ttime")->setAsDateTime(clock.now());
            table->fieldByName(u"tac")->setAsBoolean(false);
            table->fieldByName(u"tperc")->setAsInteger(50 + (i++ & 1));
            table->fieldByName(u"ttest")->setAsString(QStringLiteral("drain test"));
            table->fieldByName(u"tbat")->setAsString(QStringLiteral("BAT0 left bay"));
            table->fieldByName(u"telap")->setAsString(QStringLiteral("1:23:45"));
            table->post();
            if (readAll)
                while (view->canFetchMore())
                    view->fetchMore(1 << 20);
        }
        state.counters["rows_read"] =
            benchmark::Counter(double(view->rowsReadTotal() - readBefore), benchmark::Counter::kAvgIterations);
    }
    dropAppended(name, rows);
}

// The same row through a prepared INSERT on a connection of its own: same file, so the same journal
// (WAL) and the same synchronous=FULL.
void BareInsert(benchmark::State &state, QString name, std::int64_t rows)
{
    {
        Sqlite db(g_folders.file(name));
        db.exec("PRAGMA synchronous = FULL");
        if (db.integer("PRAGMA synchronous") != 2) {
            state.SkipWithError("synchronous is not FULL");
            return;
        }
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v3(db.db,
                           "INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) VALUES (?, ?, ?, ?, ?, ?)",
                           -1, SQLITE_PREPARE_PERSISTENT, &insert, nullptr);
        int i = 0;
        for (auto _ : state) {
            const std::string time = timeText();
            sqlite3_bind_text(insert, 1, "drain test", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 2, "BAT0 left bay", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, time.c_str(), int(time.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 4, 0);
            sqlite3_bind_int(insert, 5, 50 + (i++ & 1));
            sqlite3_bind_text(insert, 6, "1:23:45", -1, SQLITE_STATIC);
            if (sqlite3_step(insert) != SQLITE_DONE)
                state.SkipWithError(sqlite3_errmsg(db.db));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        const bool wal = db.integer("SELECT journal_mode = 'wal' FROM pragma_journal_mode") == 1;
        state.SetLabel(wal ? "WAL, synchronous=FULL" : "not WAL");
    }
    dropAppended(name, rows);
}

// Data module created and opened, first page of the view read, data module gone.
void Startup(benchmark::State &state, QString name)
{
    if (!enter(state, name))
        return;
    for (auto _ : state) {
        TDataModule2 module;
        if (!moduleOpen(state, module))
            return;
        benchmark::DoNotOptimize(module.ADODataSet1->rowCount());
    }
}

// Resident memory after start-up, in a fresh process per case (this program with --rss-probe=folder).
struct Memory {
    long before = 0;
    long after = 0;
    long hwm = 0;
};
std::map<std::string, Memory> g_memory;

int rssProbe(const QString &folder)
{
    QDir::setCurrent(folder);
    const long before = bench::residentBytes();
    auto module = std::make_unique<TDataModule2>();
    const long after = bench::residentBytes();
    std::printf("%ld %ld %ld %lld\n", before, after, bench::statusKb("VmHWM:") * 1024,
                static_cast<long long>(module->ADODataSet1->rowCount()));
    return module->ADODataSet1->isActive() ? 0 : 1;
}

void StartupMemory(benchmark::State &state, QString name, std::string key)
{
    Memory m;
    for (auto _ : state) {
        const std::string command = "'" + QCoreApplication::applicationFilePath().toStdString() +
                                    "' --rss-probe='" + g_folders.folder(name).toStdString() + "'";
        FILE *child = popen(command.c_str(), "r");
        long long pageRows = -1;
        if (!child || std::fscanf(child, "%ld %ld %ld %lld", &m.before, &m.after, &m.hwm, &pageRows) != 4) {
            if (child)
                pclose(child);
            state.SkipWithError("the probe gave no figures");
            return;
        }
        pclose(child);
    }
    g_memory[key] = m;
    state.counters["rss_MB"] = double(m.after) / 1e6;
    state.counters["module_MB"] = double(m.after - m.before) / 1e6;
    state.counters["hwm_MB"] = double(m.hwm) / 1e6;
}

// Clear Data on a fresh copy of the big file: the stored command and the view's refresh, as
// TForm1::Button2Click runs them.
void ClearData(benchmark::State &state, bool bare)
{
    const QString work = g_folders.file(QStringLiteral("work"));
    QDir().mkpath(g_folders.folder(QStringLiteral("work")));
    for (auto _ : state) {
        state.PauseTiming();
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(work + QLatin1String(suffix));
        if (!QFile::copy(g_folders.file(QStringLiteral("big")), work)) {
            state.SkipWithError("copy failed");
            return;
        }
        if (!enter(state, QStringLiteral("work")))
            return;
        if (bare) {
            Sqlite db(work);
            db.exec("PRAGMA synchronous = FULL");
            sqlite3_stmt *page[2] = {};
            // The view's first-page statements: rows with a time, newest first, then those without.
            sqlite3_prepare_v2(db.db,
                               "SELECT rowid AS r, * FROM \"testdata\" WHERE \"ttime\" IS NOT NULL "
                               "ORDER BY \"ttime\" DESC, rowid DESC LIMIT 100",
                               -1, &page[0], nullptr);
            sqlite3_prepare_v2(db.db,
                               "SELECT rowid AS r, * FROM \"testdata\" WHERE \"ttime\" IS NULL "
                               "ORDER BY rowid DESC LIMIT 100",
                               -1, &page[1], nullptr);
            state.ResumeTiming();
            db.exec("delete from testdata where 1=1");
            int rows = 0;
            for (sqlite3_stmt *s : page) {
                while (sqlite3_step(s) == SQLITE_ROW)
                    for (int c = 0; c < sqlite3_column_count(s); ++c)
                        rows += sqlite3_column_type(s, c) != SQLITE_NULL;
                sqlite3_reset(s);
            }
            benchmark::DoNotOptimize(rows);
            state.PauseTiming();
            for (sqlite3_stmt *s : page)
                sqlite3_finalize(s);
        } else {
            auto module = std::make_unique<TDataModule2>();
            if (!moduleOpen(state, *module))
                return;
            state.ResumeTiming();
            module->ADOCommand1->execute();
            module->ADODataSet1->requery();
            state.PauseTiming();
            if (module->ADODataSet1->rowCount() != 0)
                state.SkipWithError("rows left after Clear Data");
        }
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char **argv)
{
    const std::string probe = bench::takeOption(argc, argv, "rss-probe", "");
    if (!probe.empty())
        return rssProbe(QString::fromStdString(probe));

    QCoreApplication app(argc, argv);
    const std::string rowsOption = bench::takeOption(argc, argv, "korvel-rows", "1000000");
    g_folders.bigRows = std::stoll(rowsOption);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    MessageBox::setHandler([](const QString &, const QString &text) { g_lastBox = text; });
    const QString base = qEnvironmentVariable("KORVEL_BENCH_DIR", QDir::currentPath());
    g_folders.root = std::make_unique<QTemporaryDir>(base + QStringLiteral("/korvel-bench-XXXXXX"));
    if (!g_folders.root->isValid()) {
        std::fprintf(stderr, "can't make a folder under %s\n", qPrintable(base));
        return 1;
    }
    QElapsedTimer made;
    made.start();
    if (!makeLog(QStringLiteral("0"), 0) || !makeLog(QStringLiteral("100"), 100) ||
        !makeLog(QStringLiteral("big"), g_folders.bigRows)) {
        std::fprintf(stderr, "can't make the log files\n");
        return 1;
    }
    ::sync(); // the files' write-back would otherwise land in the first case's fsyncs
    std::printf("Log files with 0, 100 and %lld rows made in %.1f s under %s\n",
                static_cast<long long>(g_folders.bigRows), made.elapsed() / 1000.0, qPrintable(base));

    const std::string big = std::to_string(g_folders.bigRows);
    const QString small = QStringLiteral("100");
    const QString large = QStringLiteral("big");
    const std::int64_t n = g_folders.bigRows;
    benchmark::RegisterBenchmark("BM_Append/100", Append, small, 100, false)->UseRealTime();
    benchmark::RegisterBenchmark(("BM_Append/" + big).c_str(), Append, large, n, false)->UseRealTime();
    benchmark::RegisterBenchmark("BM_BareInsert/100", BareInsert, small, 100)->UseRealTime();
    benchmark::RegisterBenchmark(("BM_BareInsert/" + big).c_str(), BareInsert, large, n)->UseRealTime();
    benchmark::RegisterBenchmark("BM_AppendReadAll/100", Append, small, 100, true)->UseRealTime();
    benchmark::RegisterBenchmark(("BM_AppendReadAll/" + big).c_str(), Append, large, n, true)->UseRealTime();
    benchmark::RegisterBenchmark("BM_Startup/0", Startup, QStringLiteral("0"))->UseRealTime();
    benchmark::RegisterBenchmark(("BM_Startup/" + big).c_str(), Startup, large)->UseRealTime();
    benchmark::RegisterBenchmark("BM_StartupMemory/0", StartupMemory, QStringLiteral("0"), "0")
        ->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark(("BM_StartupMemory/" + big).c_str(), StartupMemory, large, big)
        ->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark(("BM_ClearData/" + big).c_str(), ClearData, false)->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark(("BM_BareClearData/" + big).c_str(), ClearData, true)->Iterations(1)->UseRealTime();

    bench::RatioReporter reporter({
        {"2. append " + big + " rows / 100 rows", "BM_Append/" + big, "BM_Append/100", 1.5},
        {"2. append " + big + " rows / bare INSERT " + big, "BM_Append/" + big, "BM_BareInsert/" + big, 2.0},
        {"2. (cpu) append " + big + " / bare INSERT " + big, "BM_Append/" + big, "BM_BareInsert/" + big, 0, true},
        {"2. baseline: read-all refresh " + big + " / paged append " + big, "BM_AppendReadAll/" + big,
         "BM_Append/" + big, 0},
        {"3. start-up " + big + " rows / 0 rows", "BM_Startup/" + big, "BM_Startup/0", 1.5},
        {"5. Clear Data " + big + " / bare delete + first page", "BM_ClearData/" + big, "BM_BareClearData/" + big,
         1.1},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (g_memory.count("0") && g_memory.count(big)) {
        const double extra = double(g_memory[big].after - g_memory["0"].after) / 1e6;
        std::printf("  %-58s  %8.2f MB (target <= 10 MB)  %s\n", ("3. resident memory " + big + " rows - 0 rows").c_str(),
                    extra, extra <= 10 ? "PASS" : "MISS");
    }
    benchmark::Shutdown();
    QDir::setCurrent(base);
    return 0;
}
