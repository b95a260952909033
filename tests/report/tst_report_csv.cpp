// The CSV export read back through an RFC 4180 parser gives the values stored in the log.
#include "fixture.h"

#include "report/cli.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace {

// RFC 4180: fields split by commas, records by CRLF; a quoted field may hold commas, quotes (doubled) and line
// breaks. Returns false on malformed input.
bool parseCsv(const QString &text, QList<QStringList> &records)
{
    QStringList record;
    QString field;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"') {
            if (!field.isEmpty() || wasQuoted)
                return false;
            quoted = wasQuoted = true;
        } else if (c == u',') {
            record << field;
            field.clear();
            wasQuoted = false;
        } else if (c == u'\r') {
            if (i + 1 >= text.size() || text[i + 1] != u'\n')
                return false;
            ++i;
            record << field;
            records << record;
            record.clear();
            field.clear();
            wasQuoted = false;
        } else if (c == u'\n') {
            return false; // a bare LF outside quotes
        } else {
            if (wasQuoted)
                return false;
            field += c;
        }
    }
    return !quoted && field.isEmpty() && record.isEmpty();
}

} // namespace

class TestReportCsv final : public QObject {
    Q_OBJECT

private slots:
    void readsBackToStoredValues();
    void testFilterAndOutputFile();
};

void TestReportCsv::readsBackToStoredValues()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bat.mdb"));
    createKnownLog(file);
    const QString awkward = QStringLiteral("Video \"4K\", loop\r\nnight 🔋🌙");
    appendRows(file, {{awkward, " Ünïcode, BAT ", "2026-12-17 08:00:00.125", 1, 77.5, "0:00:00"},
                      {awkward, " Ünïcode, BAT ", "2026-12-17 09:00:00.875", 0, 70, "1:00:00"}});

    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    QCOMPARE(report::runReport({QStringLiteral("korvel-report"), QStringLiteral("csv"), file}, out, err), 0);

    QList<QStringList> records;
    QVERIFY2(parseCsv(QString::fromUtf8(out.data()), records), out.data().left(400).constData());
    const QStringList header = records.takeFirst();
    QCOMPARE(header, QString("file,test,battery,run,tid,time,elapsed_h,elapsed_text,on_mains,percent").split(u','));
    for (const QStringList &r : records)
        QCOMPARE(r.size(), header.size());

    // Every row with a readable time is there once, with the values the database holds.
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt *s = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "SELECT tid, ttest, tbat, ttime, tac, tperc, telap FROM testdata WHERE ttime LIKE "
                                    "'2026-%' ORDER BY tid", -1, &s, nullptr),
             SQLITE_OK);
    QHash<QString, QStringList> byId;
    for (const QStringList &r : records)
        byId.insert(r[4], r);
    int rows = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ++rows;
        auto text = [s](int c) { return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, c))); };
        const QStringList r = byId.value(text(0));
        QVERIFY2(!r.isEmpty(), qPrintable(text(0)));
        QCOMPARE(r[0], QStringLiteral("bat.mdb"));
        QCOMPARE(r[1], text(1));
        QCOMPARE(r[2], text(2));
        QCOMPARE(r[5], text(3));
        QCOMPARE(r[7], text(6));
        QCOMPARE(r[8], sqlite3_column_type(s, 4) == SQLITE_NULL ? QString() : text(4));
        const double percent = sqlite3_column_double(s, 5);
        if (sqlite3_column_type(s, 5) == SQLITE_NULL || percent == 255)
            QCOMPARE(r[9], QString()); // no reading stays empty
        else
            QCOMPARE(r[9].toDouble(), percent);
    }
    sqlite3_finalize(s);
    sqlite3_close_v2(db);
    QCOMPARE(records.size(), rows);
    QCOMPARE(rows, 22 + 2);

    // Runs and elapsed hours as the summary counts them.
    const QStringList second = byId.value(QStringLiteral("19"));
    QCOMPARE(second[3], QStringLiteral("2"));
    QCOMPARE(second[6].toDouble(), 0.5);
    QVERIFY(err.data().contains("skipped (tid 22, 23)"));
}

void TestReportCsv::testFilterAndOutputFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bat.mdb"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    createKnownLog(file);
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    QCOMPARE(report::runReport({QStringLiteral("korvel-report"), QStringLiteral("csv"), QStringLiteral("--test"),
                                QStringLiteral("Office"), QStringLiteral("-o"), csv, file},
                               out, err),
             0);
    QVERIFY(out.data().isEmpty());
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QList<QStringList> records;
    QVERIFY(parseCsv(QString::fromUtf8(f.readAll()), records));
    QCOMPARE(records.size(), 1 + 7);
    for (qsizetype i = 1; i < records.size(); ++i)
        QCOMPARE(records[i][1], QStringLiteral("Office"));
}

QTEST_GUILESS_MAIN(TestReportCsv)
#include "tst_report_csv.moc"
