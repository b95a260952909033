// Summaries of the known-answer log, the time and elapsed-time readers, down-sampling and the command's
// exit codes and messages.
#include "fixture.h"

#include "report/cli.h"
#include "report/downsample.h"
#include "report/runs.h"
#include "report/timetext.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <cmath>

using namespace report;

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result run(const QStringList &args)
{
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Result r;
    r.code = runReport(QStringList{QStringLiteral("korvel-report")} + args, out, err);
    r.out = QString::fromUtf8(out.data());
    r.err = QString::fromUtf8(err.data());
    return r;
}

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestReportSummary final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void summaries_data();
    void summaries();
    void handEditedRowsAreCountedNotFatal();
    void summaryTableShowsRunsAndNotes();
    void localTime_data();
    void localTime();
    void elapsed_data();
    void elapsed();
    void downsamplingKeepsEveryTurn();
    void exitCodes_data();
    void exitCodes();
    void severalFilesAreLabelled();
    void readsWhileLoggerWritesAndChangesNothing();

private:
    QTemporaryDir m_dir;
    QString m_log;
    FileReport m_report;
};

void TestReportSummary::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_log = m_dir.filePath(QStringLiteral("bat.mdb"));
    createKnownLog(m_log);
    m_report = scanFile(m_log, {}, 1000);
}

void TestReportSummary::summaries_data()
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<QString>("battery");
    QTest::addColumn<int>("run");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<int>("records");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("last");
    QTest::addColumn<double>("perHour");
    QTest::addColumn<double>("minutesPerPercent");
    QTest::addColumn<double>("mainsShare");

    QTest::newRow("discharge, 255 left out") << "Discharge" << "BAT0" << 1 << "2026-12-11 10:00:00.000" << "3:00:00"
                                             << 5 << 100.0 << 40.0 << -20.0 << 3.0 << 0.0;
    QTest::newRow("charge on mains") << "Charge" << "BAT0" << 1 << "2026-12-11 14:00:00.000" << "1:30:00" << 3
                                     << 20.0 << 80.0 << 40.0 << 1.5 << 1.0;
    QTest::newRow("across midnight") << "Overnight" << "BAT1" << 1 << "2026-12-11 23:30:00.000" << "2:00:00" << 4
                                     << 90.0 << 70.0 << -10.0 << 6.0 << 0.25;
    const double longHours = 26.0 + 5.0 / 3600.0;
    QTest::newRow("longer than a day") << "Long" << "BAT0" << 1 << "2026-12-13 08:00:00.000" << "26:00:05" << 3
                                       << 100.0 << 9.0 << -91.0 / longHours << 60.0 / (91.0 / longHours) << 0.0;
    QTest::newRow("first run") << "Office" << "BAT0" << 1 << "2026-12-15 09:00:00.000" << "1:00:00" << 2 << 100.0
                               << 90.0 << -10.0 << 6.0 << 0.0;
    QTest::newRow("second run") << "Office" << "BAT0" << 2 << "2026-12-15 11:00:00.000" << "0:30:00" << 2 << 95.0
                                << 90.0 << -10.0 << 6.0 << 0.0;
    QTest::newRow("other battery, NULL percent") << "Office" << "BAT1" << 1 << "2026-12-15 09:00:00.500"
                                                 << "1:00:00" << 3 << 60.0 << 55.0 << -10.0 << 6.0 << 0.0;
}

void TestReportSummary::summaries()
{
    QFETCH(QString, test);
    QFETCH(QString, battery);
    QFETCH(int, run);
    const RunSummary *found = nullptr;
    for (const Run &r : m_report.runs)
        if (r.summary.test == test && r.summary.battery == battery && r.summary.run == run)
            found = &r.summary;
    QVERIFY(found != nullptr);
    const RunSummary &s = *found;
    QTEST(formatLocalTime(s.start), "start");
    QTEST(formatDuration(s.durationMs()), "duration");
    QTEST(int(s.records), "records");
    QTEST(s.firstPercent.value_or(-1), "first");
    QTEST(s.lastPercent.value_or(-1), "last");
    QFETCH(double, perHour);
    QFETCH(double, minutesPerPercent);
    QFETCH(double, mainsShare);
    QVERIFY(s.percentPerHour().has_value());
    QVERIFY2(std::abs(*s.percentPerHour() - perHour) < 1e-9, qPrintable(QString::number(*s.percentPerHour())));
    QVERIFY(std::abs(s.minutesPerPercent().value_or(-1) - minutesPerPercent) < 1e-9);
    QVERIFY(std::abs(s.mainsShare().value_or(-1) - mainsShare) < 1e-9);
}

void TestReportSummary::handEditedRowsAreCountedNotFatal()
{
    QCOMPARE(m_report.runs.size(), size_t(7));
    QCOMPARE(m_report.records, qint64(24));
    QCOMPARE(m_report.badTime.count, qint64(2));
    QCOMPARE(m_report.badTime.firstIds, (QList<qint64>{22, 23}));
    qint64 noReading = 0, badPercent = 0;
    for (const Run &r : m_report.runs) {
        noReading += r.summary.noReading;
        badPercent += r.summary.badPercent;
    }
    QCOMPARE(noReading, qint64(1));
    QCOMPARE(badPercent, qint64(1));
    // Charts hold readings only: 255 and NULL are not drawn.
    for (const Run &r : m_report.runs)
        for (const ChartPoint &p : r.chart.points())
            QVERIFY(p.y >= 0 && p.y <= 100);
    // The second run starts at its own elapsed 0, the charge at its logged 0:10:00.
    for (const Run &r : m_report.runs) {
        if (r.summary.test == u"Office" && r.summary.battery == u"BAT0" && r.summary.run == 2)
            QCOMPARE(r.chart.points().front().x, 0.0);
        if (r.summary.test == u"Charge")
            QCOMPARE(r.chart.points().back().x, 1.0 + 40.0 / 60.0);
    }
}

void TestReportSummary::summaryTableShowsRunsAndNotes()
{
    const Result r = run({m_log});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.value(0).startsWith(QStringLiteral("Test")));
    // Header, 7 runs, then the notes.
    QCOMPARE(lines.size(), 1 + 7 + 3);
    QVERIFY2(r.out.contains(QStringLiteral("26:00:05")), qPrintable(r.out));
    const QString discharge = lines.filter(QStringLiteral("Discharge")).value(0);
    QVERIFY2(discharge.simplified().endsWith(QStringLiteral("100 40 -20.0 3.0 0%")), qPrintable(discharge));
    const QString charge = lines.filter(QStringLiteral("Charge")).value(0);
    QVERIFY2(charge.simplified().endsWith(QStringLiteral("20 80 +40.0 1.5 100%")), qPrintable(charge));
    QVERIFY(r.out.contains(QStringLiteral("255 (no reading) are left out of rates and charts")));
    QVERIFY(r.out.contains(QStringLiteral("unreadable time (ttime) were skipped (tid 22, 23)")));
}

void TestReportSummary::localTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalised"); // empty: not a time

    QTest::newRow("logged form") << "2026-12-11 14:03:07.250" << "2026-12-11 14:03:07.250";
    QTest::newRow("T and short fraction") << "2026-12-11T14:03:07.5" << "2026-12-11 14:03:07.500";
    QTest::newRow("no seconds") << "2026-12-11 14:03" << "2026-12-11 14:03:00.000";
    QTest::newRow("date only") << "2026-12-11" << "2026-12-11 00:00:00.000";
    QTest::newRow("leap day") << "2028-02-29 23:59:59.999" << "2028-02-29 23:59:59.999";
    QTest::newRow("no leap day") << "2026-02-29 10:00:00" << "";
    QTest::newRow("hour 24") << "2026-12-11 24:00:00" << "";
    QTest::newRow("word") << "yesterday" << "";
    QTest::newRow("trailing junk") << "2026-12-11 14:03:07.250x" << "";
    QTest::newRow("empty") << "" << "";
}

void TestReportSummary::localTime()
{
    QFETCH(QString, text);
    QFETCH(QString, normalised);
    const std::optional<LocalMs> t = parseLocalTime(text);
    QCOMPARE(t ? formatLocalTime(*t) : QString(), normalised);
}

void TestReportSummary::elapsed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("seconds"); // -1: unreadable

    QTest::newRow("minutes") << "0:05:00" << qint64(300);
    QTest::newRow("over a day") << "26:00:05" << qint64(26 * 3600 + 5);
    QTest::newRow("other separator") << "1.02.03" << qint64(3723);
    QTest::newRow("cut to 8, one second digit left") << "123:45:3" << qint64(123 * 3600 + 45 * 60 + 30);
    QTest::newRow("cut to 8, seconds gone") << "1234:56:" << qint64(1234 * 3600 + 56 * 60);
    QTest::newRow("minutes over 59") << "0:75:00" << qint64(-1);
    QTest::newRow("bare number") << "300" << qint64(-1);
    QTest::newRow("two separators") << "1::00" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void TestReportSummary::elapsed()
{
    QFETCH(QString, text);
    QFETCH(qint64, seconds);
    QCOMPARE(parseElapsedSeconds(text).value_or(-1), seconds);
}

void TestReportSummary::downsamplingKeepsEveryTurn()
{
    // A saw: 40 stretches of 2500 points each going down or up by whole percents, with turns in between.
    Downsampler sampler(200);
    QList<ChartPoint> turns;
    int y = 100, step = -1;
    for (int i = 0; i < 100'000; ++i) {
        const double x = i / 1000.0;
        if (i % 2500 == 0 && i > 0) {
            turns << ChartPoint{x, double(y)};
            step = -step;
        }
        sampler.add(x, y);
        if (i % 50 == 0)
            y += step;
    }
    const std::vector<ChartPoint> kept = sampler.points();
    QVERIFY2(kept.size() <= 4 * 200, qPrintable(QString::number(kept.size())));
    QVERIFY(kept.size() >= 200);
    for (size_t i = 1; i < kept.size(); ++i)
        QVERIFY(kept[i].x >= kept[i - 1].x);
    for (const ChartPoint &turn : turns) {
        const bool found = std::any_of(kept.begin(), kept.end(), [&](const ChartPoint &p) {
            return std::abs(p.x - turn.x) < 0.06 && p.y == turn.y;
        });
        QVERIFY2(found, qPrintable(QStringLiteral("turn at %1 (%2 %) lost").arg(turn.x).arg(turn.y)));
    }
}

void TestReportSummary::exitCodes_data()
{
    QTest::addColumn<QString>("setup"); // what the file is
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("help") << "known" << QStringList{"--help"} << 0 << "";
    QTest::newRow("unknown option") << "known" << QStringList{"--colour"} << 2 << "unknown option --colour";
    QTest::newRow("-o without value") << "known" << QStringList{"csv", "FILE", "-o"} << 2 << "needs a value";
    QTest::newRow("missing file") << "none" << QStringList{} << 1 << "no such file";
    QTest::newRow("not SQLite") << "text" << QStringList{} << 1 << "not an SQLite database";
    QTest::newRow("no testdata table") << "foreign" << QStringList{} << 1 << "no table \"testdata\"";
    QTest::newRow("columns missing") << "columns" << QStringList{} << 1 << "without the column(s) tperc, telap";
    QTest::newRow("empty table") << "empty" << QStringList{} << 1 << "holds no records";
    QTest::newRow("unknown test") << "known" << QStringList{"--test", "Gaming"} << 1 << "no test named \"Gaming\"";
    QTest::newRow("known test") << "known" << QStringList{"-t", "Charge"} << 0 << "";
}

void TestReportSummary::exitCodes()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bat.mdb"));
    if (setup == u"known") {
        QVERIFY(QFile::copy(m_log, file));
    } else if (setup == u"text") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("tid;ttest\n1;Office\n");
    } else if (setup == u"foreign") {
        execSql(file, QStringLiteral("CREATE TABLE notes (body TEXT)"));
    } else if (setup == u"columns") {
        execSql(file, QStringLiteral("CREATE TABLE testdata (tid INTEGER PRIMARY KEY, ttest, tbat, ttime, tac)"));
    } else if (setup == u"empty") {
        createLog(file);
    }
    // FILE marks where the file goes; otherwise it comes last.
    const Result r = run(args.contains(QStringLiteral("FILE")) ? args.replaceInStrings(QStringLiteral("FILE"), file)
                                                              : args + QStringList{file});
    QTEST(r.code, "code");
    QFETCH(QString, message);
    if (!message.isEmpty())
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    if (r.code == 0)
        QVERIFY2(r.err.isEmpty() || args.contains(QStringLiteral("-t")), qPrintable(r.err));
    if (setup == u"none")
        QVERIFY(!QFile::exists(file)); // never created
}

void TestReportSummary::severalFilesAreLabelled()
{
    QTemporaryDir dir;
    const QString second = dir.filePath(QStringLiteral("lab2.mdb"));
    createLog(second, {{"Office", "BAT0", "2026-12-16 09:00:00.000", 0, 80, "0:00:00"},
                       {"Office", "BAT0", "2026-12-16 10:00:00.000", 0, 70, "1:00:00"}});
    const Result r = run({m_log, second, dir.filePath(QStringLiteral("missing.mdb"))});
    // The missing file is reported and makes the exit code 1; the other files are still listed.
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("missing.mdb: no such file")));
    QVERIFY(r.out.startsWith(QStringLiteral("File")));
    const QStringList lines = r.out.split(u'\n');
    // Labelled by file name while the names differ.
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^bat\\.mdb  "))).size(), 7);
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^lab2\\.mdb "))).size(), 1);
    QCOMPARE(fileLabels({"a/bat.mdb", "b/bat.mdb"}), (QStringList{"a/bat.mdb", "b/bat.mdb"}));
}

void TestReportSummary::readsWhileLoggerWritesAndChangesNothing()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bat.mdb"));
    QVERIFY(QFile::copy(m_log, file));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);

    // A logger holds a write transaction open with a row not yet committed.
    sqlite3 *logger = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(file).constData(), &logger, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(logger, "PRAGMA journal_mode=WAL; BEGIN IMMEDIATE; INSERT INTO testdata (ttest, tbat, ttime, "
                                  "tac, tperc, telap) VALUES ('Pending', 'BAT0', '2026-12-20 10:00:00.000', 0, 50, "
                                  "'0:00:00')",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    const Result r = run({file});
    QCOMPARE(r.code, 0);
    QVERIFY(!r.out.contains(QStringLiteral("Pending")));
    // The logger's commit still goes through.
    QCOMPARE(sqlite3_exec(logger, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close_v2(logger);

    const QByteArray before = digest(file);
    QCOMPARE(run({file}).code, 0);
    QCOMPARE(run({QStringLiteral("csv"), file}).code, 0);
    QCOMPARE(digest(file), before);
}

QTEST_GUILESS_MAIN(TestReportSummary)
#include "tst_report_summary.moc"
