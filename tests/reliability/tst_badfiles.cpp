// Proves: whatever lies at bat.mdb when korvel starts (no file, a foreign or damaged file, a folder, a
// table of the wrong shape), the data module reports it in a clear box per component, start-up goes on,
// the first percentage change of a test either lands or gets a clear message, nothing crashes, and the
// file's bytes stay exactly as they were. The unprivileged read-only case runs with the real program
// in readonly.sh, as root ignores file modes.
#include "../app/fakes.h"

#include "data/query.h"
#include "data/table.h"
#include "dm.h"
#include "mu.h"
#include "platform/exception.h"

#include <QCryptographicHash>
#include <QLineEdit>
#include <QPushButton>
#include "platform/timer.h"
#include <QRandomGenerator>
#include <QtTest>

namespace {

const char standardColumns[] = "tid INTEGER PRIMARY KEY AUTOINCREMENT, ttest VARCHAR(50), tbat VARCHAR(50), "
                               "ttime DATETIME, tac BOOLEAN, tperc DOUBLE, telap VARCHAR(8)";

QString table(const char *from = nullptr, const char *to = nullptr)
{
    QString columns = QString::fromLatin1(standardColumns);
    if (from != nullptr)
        columns.replace(QLatin1String(from), QLatin1String(to));
    return QStringLiteral("PRAGMA journal_mode = WAL; CREATE TABLE testdata (%1);").arg(columns);
}

QByteArray sha(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A real log of many pages, closed so that everything sits in the main file.
QByteArray realLogBytes(const QString &folder)
{
    const QString path = folder + QStringLiteral("/real.db");
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QString sql = QStringLiteral("CREATE TABLE testdata (%1); BEGIN;").arg(QLatin1String(standardColumns));
    for (int i = 0; i < 2000; ++i)
        sql += QStringLiteral("INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) VALUES "
                              "('a test with a long name %1', 'BAT0', '2026-12-11 10:00:00.000', 1, 50, '1:00');")
                   .arg(i);
    sqlite3_exec(db, (sql + QStringLiteral("COMMIT;")).toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    file.close();
    QFile::remove(path);
    return bytes;
}

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &e) {
        return e.message();
    }
    return {};
}

} // namespace

class BadFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        delete DataModule2;
        DataModule2 = nullptr;
        delete Form1;
        Form1 = nullptr;
    }

    void startAndFirstChange_data()
    {
        QTest::addColumn<QString>("setup");      // SQL for bat.mdb, or @name for a file made by the test
        QTest::addColumn<QStringList>("boxes");  // one text part per start-up box, in order
        QTest::addColumn<QString>("tickError");  // part of the first change's message; empty: the row lands
        const QString missing = QStringLiteral("does not exist");
        const QString closed = QStringLiteral("Tdata: Cannot perform this operation on a closed dataset");
        const auto three = [](const QString &part) { return QStringList{part, part, part}; };

        QTest::newRow("missing file") << "@missing" << three(missing) << closed;
        QTest::newRow("zero-length file") << "@empty" << three("is empty (0 bytes)") << closed;
        QTest::newRow("random bytes") << "@random" << three("is not an SQLite database") << closed;
        QTest::newRow("SQLite cut in half") << "@cut" << three("is damaged") << closed;
        QTest::newRow("Access (Jet) file") << "@jet" << three("is a Microsoft Access (Jet) database") << closed;
        QTest::newRow("folder named bat.mdb") << "@folder" << three("is a folder, not a database file") << closed;
        QTest::newRow("no testdata table") << "CREATE TABLE other (x)"
                                           << QStringList{"has no table \"testdata\"", "no such table: testdata"}
                                           << closed;
        QTest::newRow("testdata is a view")
            << QStringLiteral("CREATE TABLE rows (%1); CREATE VIEW testdata AS SELECT * FROM rows")
                   .arg(QLatin1String(standardColumns))
            << QStringList{} << "Tdata: Cannot modify a read-only dataset";
        // The field check, one refused kind per field kind the table object has.
        QTest::newRow("missing column") << table(", telap VARCHAR(8)", "")
                                        << QStringList{"Tdata: Field 'telap' not found"} << closed;
        QTest::newRow("tid as text")
            << table("tid INTEGER PRIMARY KEY AUTOINCREMENT", "tid VARCHAR(10) PRIMARY KEY")
            << QStringList{"Tdata: Type mismatch for field 'tid', expecting: AutoInc actual: WideString"} << closed;
        QTest::newRow("tid BIGINT") << table("tid INTEGER PRIMARY KEY AUTOINCREMENT", "tid BIGINT PRIMARY KEY")
                                    << QStringList{"expecting: AutoInc actual: LargeInt"} << closed;
        QTest::newRow("tbat MEMO") << table("tbat VARCHAR(50)", "tbat MEMO")
                                   << QStringList{"expecting: WideString actual: Memo"} << closed;
        QTest::newRow("ttime as text") << table("ttime DATETIME", "ttime TEXT")
                                       << QStringList{"expecting: DateTime actual: WideString"} << closed;
        QTest::newRow("tac as integer") << table("tac BOOLEAN", "tac INTEGER")
                                        << QStringList{"expecting: Boolean actual: Integer"} << closed;
        QTest::newRow("tperc without type") << table("tperc DOUBLE", "tperc")
                                            << QStringList{"expecting: Float actual: Blob"} << closed;
        QTest::newRow("upper-case names")
            << QStringLiteral("PRAGMA journal_mode = WAL; CREATE TABLE TESTDATA (TID INTEGER PRIMARY KEY, "
                              "TTEST VARCHAR(50), TBAT VARCHAR(50), TTIME DATETIME, TAC BOOLEAN, TPERC DOUBLE, "
                              "TELAP VARCHAR(8))")
            << QStringList{} << "";
        // Refused at the first change: the row stays pending and the file unchanged.
        QTest::newRow("telap of width 5") << table("telap VARCHAR(8)", "telap VARCHAR(5)") << QStringList{}
                                          << "is too long for column telap, which holds at most 5 characters";
        QTest::newRow("tbat refusing empty text")
            << table("tbat VARCHAR(50)", "tbat VARCHAR(50) CHECK (tbat <> '')") << QStringList{}
            << "The database refused the row: CHECK constraint failed";
    }

    void startAndFirstChange()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, boxes);
        QFETCH(QString, tickError);

        LogFolder folder(setup.startsWith(u'@') ? QStringLiteral("") : setup);
        const QString file = folder.path();
        if (setup == QLatin1String("@empty")) {
            QVERIFY(testWrite(file, {}));
        } else if (setup == QLatin1String("@random")) {
            QByteArray bytes(8192, '\0');
            QRandomGenerator generator(6);
            for (char &byte : bytes)
                byte = char(generator.bounded(256));
            QVERIFY(testWrite(file, bytes));
        } else if (setup == QLatin1String("@cut")) {
            const QByteArray real = realLogBytes(QFileInfo(file).path());
            QVERIFY(real.size() > 20 * 4096);
            QVERIFY(testWrite(file, real.left(real.size() / 2)));
        } else if (setup == QLatin1String("@jet")) {
            QByteArray bytes = QByteArray::fromHex("00010000") + "Standard Jet DB";
            bytes.append(4096 - bytes.size(), '\0');
            QVERIFY(testWrite(file, bytes));
        } else if (setup == QLatin1String("@folder")) {
            QVERIFY(QDir().mkdir(file));
        }
        const QByteArray before = sha(file);
        const QStringList entriesBefore = QDir(QFileInfo(file).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        BoxRecorder recorder;
        auto time = std::make_shared<TDateTime>(46367.5);
        auto power = std::make_shared<PowerStatus>(PowerStatus{0, 57});
        Form1 = new TForm1;
        DataModule2 = new TDataModule2;
        Form1->setClock(std::make_unique<FakeClock>(time));
        Form1->setPowerSource(std::make_unique<FakePower>(power));
        Form1->Edit1->setText(QString());
        Form1->Edit2->setText(QStringLiteral("bad files"));

        QCOMPARE(recorder.boxes.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QVERIFY2(recorder.texts()[i].contains(boxes[i]), qPrintable(recorder.texts()[i]));

        // A test starts; the first change is written or refused with a message, and the next change
        // brings the same message again (the program keeps running and keeps trying).
        Form1->Button1Click(Form1->Button1);
        const QString first = errorOf([] { Form1->Timer1Timer(Form1->Timer1); });
        QVERIFY2(tickError.isEmpty() ? first.isEmpty() : first.contains(tickError), qPrintable(first));
        power->batteryLifePercent = 56;
        *time += 1.0 / 86400;
        const QString second = errorOf([] { Form1->Timer1Timer(Form1->Timer1); });
        QVERIFY2(tickError.isEmpty() ? second.isEmpty() : second.contains(tickError), qPrintable(second));

        cleanup();
        if (tickError.isEmpty()) {
            QCOMPARE(folder.rows(QStringLiteral("SELECT tperc, ttest FROM testdata ORDER BY tid")),
                     (QStringList{QStringLiteral("57.0|bad files"), QStringLiteral("56.0|bad files")}));
            return;
        }
        QCOMPARE(sha(file), before);
        // Nothing was created beside it either (a refused row leaves no journal behind).
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entriesBefore);
        QCOMPARE(QFileInfo(file).isDir(), setup == QLatin1String("@folder"));
    }

private:
    static bool testWrite(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }
};

QTEST_MAIN(BadFiles)
#include "tst_badfiles.moc"
