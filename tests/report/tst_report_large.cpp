// A log of a million rows: the report streams it, so every CSV row comes out while the chart points and the
// program's memory stay bounded.
#include "fixture.h"

#include "report/htmlreport.h"
#include "report/timetext.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace {

constexpr int soakRows = 600'000;
constexpr int cycleRuns = 400;
constexpr int cycleRows = 1000;
constexpr qint64 totalRows = soakRows + qint64(cycleRuns) * cycleRows;

QString elapsedText(qint64 seconds)
{
    // Cut to 8 characters, as the logger's column holds.
    return (QString::number(seconds / 3600) + u':' + QString::number(seconds / 60 % 60).rightJustified(2, u'0') +
            u':' + QString::number(seconds % 60).rightJustified(2, u'0'))
        .left(8);
}

void generate(const QString &path)
{
    createLog(path);
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt *s = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) VALUES (?,?,?,?,?,?)",
                                -1, &s, nullptr),
             SQLITE_OK);
    auto add = [s](const char *test, const report::LocalMs time, bool mains, int percent, qint64 elapsed) {
        const QByteArray t = report::formatLocalTime(time).toLatin1();
        const QByteArray e = elapsedText(elapsed).toLatin1();
        sqlite3_bind_text(s, 1, test, -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 2, "BAT0", -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 3, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 4, mains ? 1 : 0);
        sqlite3_bind_double(s, 5, percent);
        sqlite3_bind_text(s, 6, e.constData(), int(e.size()), SQLITE_TRANSIENT);
        const bool ok = sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
        return ok;
    };
    const report::LocalMs start = *report::parseLocalTime(u"2026-01-01 00:00:00");
    // One long soak: down from 100 to 5 on battery, up to 100 on mains, over and over; a row every 36 s.
    int percent = 100, step = -1;
    for (int i = 0; i < soakRows; ++i) {
        QVERIFY(add("Soak", start + qint64(i) * 36'000, step > 0, percent, qint64(i) * 36));
        if (percent + step < 5 || percent + step > 100)
            step = -step;
        percent += step;
    }
    // Many short runs of one test, each restarting its elapsed time.
    const report::LocalMs later = start + qint64(soakRows) * 36'000 + 3'600'000;
    for (int run = 0; run < cycleRuns; ++run) {
        const report::LocalMs runStart = later + qint64(run) * 6 * 3'600'000;
        for (int i = 0; i < cycleRows; ++i) {
            const int jitter = i % 3 == 0 ? 1 : 0; // readings wobble by a percent on the way down
            QVERIFY(add("Cycle", runStart + qint64(i) * 20'000, false, std::min(100, 100 - i / 11 + jitter),
                        qint64(i) * 20));
        }
    }
    sqlite3_finalize(s);
    QCOMPARE(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close_v2(db);
}

} // namespace

class TestReportLarge final : public QObject {
    Q_OBJECT

private slots:
    void millionRows();

private:
    QByteArray runReport(const QStringList &args);
};

QByteArray TestReportLarge::runReport(const QStringList &args)
{
    QProcess p;
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(KORVEL_REPORT_EXE), args);
    if (!p.waitForFinished(300'000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << "korvel-report" << args << "failed:" << p.readAllStandardError();
        return QByteArray("failed");
    }
    // Shown for the record only; speed is judged in bench/, not here.
    qInfo("korvel-report %s: %lld ms", qPrintable(args.first()), timer.elapsed());
    return p.readAllStandardOutput();
}

void TestReportLarge::millionRows()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("bat.mdb"));
    QElapsedTimer timer;
    timer.start();
    generate(log);
    if (QTest::currentTestFailed())
        return;
    qInfo("generated %lld rows in %lld ms", totalRows, timer.elapsed());

    const QByteArray summary = runReport({log});
    QVERIFY(summary != "failed");
    const QList<QByteArray> lines = summary.trimmed().split('\n');
    QCOMPARE(lines.size(), 1 + 1 + cycleRuns);
    QVERIFY2(lines[1 + cycleRuns].startsWith("Soak"), lines.last().constData());

    const QString csv = dir.filePath(QStringLiteral("all.csv"));
    QVERIFY(runReport({QStringLiteral("csv"), QStringLiteral("-o"), csv, log}) != "failed");
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    qint64 csvLines = 0;
    while (!csvFile.atEnd())
        csvLines += csvFile.read(1 << 20).count('\n');
    QCOMPARE(csvLines, totalRows + 1);

    const QString html = dir.filePath(QStringLiteral("all.html"));
    QVERIFY(runReport({QStringLiteral("html"), QStringLiteral("-o"), html, log}) != "failed");
    QFile htmlFile(html);
    QVERIFY(htmlFile.open(QIODevice::ReadOnly));
    const QByteArray page = htmlFile.readAll();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("data-points=\"(\\d+)\"")).match(
        QString::fromLatin1(page.left(page.indexOf("<h1>"))));
    QVERIFY(m.hasMatch());
    const qint64 points = m.captured(1).toLongLong();
    const qint64 runs = 1 + cycleRuns;
    // Four points per bucket at most, for the run charts and the comparison chart.
    const qint64 bound = 4 * (std::max<qint64>(report::totalChartBuckets, 50 * runs) +
                              std::max<qint64>(report::overlayBuckets, 25 * runs));
    qInfo("chart points: %lld of %lld rows (bound %lld), page %lld bytes", points, totalRows, bound,
          qint64(page.size()));
    QVERIFY2(points > 0 && points <= bound, qPrintable(QString::number(points)));

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) // ASan's shadow memory and quarantine swamp the figure
    // Peak resident memory of the largest report run above: rows stream, so this stays far below the table's size.
    rusage usage{};
    QCOMPARE(getrusage(RUSAGE_CHILDREN, &usage), 0);
    qInfo("largest korvel-report peak RSS: %ld KiB", usage.ru_maxrss);
    QVERIFY2(usage.ru_maxrss < 200 * 1024, qPrintable(QString::number(usage.ru_maxrss)));
#endif
}

QTEST_GUILESS_MAIN(TestReportLarge)
#include "tst_report_large.moc"
