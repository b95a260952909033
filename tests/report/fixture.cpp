#include "fixture.h"

#include <QFile>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace {

struct Closer {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, Closer>;

Db open(const QString &path, bool create)
{
    sqlite3 *raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error("can't open fixture " + path.toStdString());
    return db;
}

void exec(sqlite3 *db, const QByteArray &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error("fixture SQL failed: " + message);
    }
}

void bind(sqlite3_stmt *s, int i, const QVariant &v)
{
    if (v.isNull())
        sqlite3_bind_null(s, i);
    else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Bool)
        sqlite3_bind_int64(s, i, v.toLongLong());
    else if (v.typeId() == QMetaType::Double)
        sqlite3_bind_double(s, i, v.toDouble());
    else
        sqlite3_bind_text(s, i, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
}

void insert(sqlite3 *db, std::initializer_list<FixtureRow> rows)
{
    exec(db, "BEGIN");
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) VALUES (?,?,?,?,?,?)",
                           -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error("fixture insert can't be prepared");
    for (const FixtureRow &r : rows) {
        bind(s, 1, r.test);
        bind(s, 2, r.battery);
        bind(s, 3, r.time);
        bind(s, 4, r.mains);
        bind(s, 5, r.percent);
        bind(s, 6, r.elapsed);
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(s);
            throw std::runtime_error("fixture insert failed");
        }
    }
    sqlite3_finalize(s);
    exec(db, "COMMIT");
}

} // namespace

void createLog(const QString &path, std::initializer_list<FixtureRow> rows)
{
    QFile schema(QStringLiteral(KORVEL_SOURCE_DIR "/schema/testdata.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        throw std::runtime_error("schema/testdata.sql is missing");
    const Db db = open(path, true);
    exec(db.get(), schema.readAll());
    insert(db.get(), rows);
}

void appendRows(const QString &path, std::initializer_list<FixtureRow> rows)
{
    const Db db = open(path, false);
    insert(db.get(), rows);
}

void execSql(const QString &path, const QString &sql)
{
    const Db db = open(path, true);
    exec(db.get(), sql.toUtf8());
}

void createKnownLog(const QString &path)
{
    const QVariant off(0), on(1);
    createLog(path, {
        // Discharge, 100 -> 40 in 3 h with one 255 between: -20 %/h, 3 min/%.
        {"Discharge", "BAT0", "2026-12-11 10:00:00.000", off, 100, "0:00:00"},
        {"Discharge", "BAT0", "2026-12-11 11:00:00.000", off, 80, "1:00:00"},
        {"Discharge", "BAT0", "2026-12-11 11:30:00.000", off, 255, "1:30:00"},
        {"Discharge", "BAT0", "2026-12-11 12:00:00.000", off, 60, "2:00:00"},
        {"Discharge", "BAT0", "2026-12-11 13:00:00.000", off, 40, "3:00:00"},
        // Charge on mains, 20 -> 80 in 1.5 h: +40 %/h, 1.5 min/%, all on mains.
        {"Charge", "BAT0", "2026-12-11 14:00:00.000", on, 20, "0:10:00"},
        {"Charge", "BAT0", "2026-12-11 14:45:00.000", on, 50, "0:55:00"},
        {"Charge", "BAT0", "2026-12-11 15:30:00.000", on, 80, "1:40:00"},
        // Across midnight, 90 -> 70 in 2 h, on mains from 00:30 to 01:00: 25 %.
        {"Overnight", "BAT1", "2026-12-11 23:30:00.000", off, 90, "0:00:00"},
        {"Overnight", "BAT1", "2026-12-12 00:30:00.000", on, 80, "1:00:00"},
        {"Overnight", "BAT1", "2026-12-12 01:00:00.000", off, 75, "1:30:00"},
        {"Overnight", "BAT1", "2026-12-12 01:30:00.000", off, 70, "2:00:00"},
        // Longer than a day: 26:00:05, 100 -> 9; the elapsed text uses a '.' separator as some locales do.
        {"Long", "BAT0", "2026-12-13 08:00:00.000", off, 100, "0.00.00"},
        {"Long", "BAT0", "2026-12-13 20:00:00.000", off, 50, "12.00.00"},
        {"Long", "BAT0", "2026-12-14 10:00:05.000", off, 9, "26.00.05"},
        // Two runs of one test: the elapsed time falls back at 11:00.
        {"Office", "BAT0", "2026-12-15 09:00:00.000", off, 100, "0:00:00"},
        {"Office", "BAT0", "2026-12-15 10:00:00.000", off, 90, "1:00:00"},
        {"Office", "BAT0", "2026-12-15 11:00:00.000", off, 95, "0:00:00"},
        {"Office", "BAT0", "2026-12-15 11:30:00.000", off, 90, "0:30:00"},
        // The same test name on another battery is a test of its own.
        {"Office", "BAT1", "2026-12-15 09:00:00.500", off, 60, "0:00:00"},
        {"Office", "BAT1", "2026-12-15 09:30:00.500", off, 55, "0:30:00"},
        // Hand-edited rows: no time and a time that isn't one are skipped; a NULL percent is left out.
        {"Office", "BAT1", QVariant(), off, 50, "0:40:00"},
        {"Office", "BAT1", "yesterday", off, 50, "0:40:00"},
        {"Office", "BAT1", "2026-12-15 10:00:00.500", QVariant(), QVariant(), "1:00:00"},
    });
}
