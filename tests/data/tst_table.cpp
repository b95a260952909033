#include "data/connection.h"
#include "data/field.h"
#include "data/table.h"
#include "platform/clock.h"
#include "platform/exception.h"
#include "testdb.h"

#include <QDateTime>
#include <QTest>

#include <thread>

namespace {

const QString standardColumns = QStringLiteral(
    "tid INTEGER PRIMARY KEY AUTOINCREMENT, ttest VARCHAR(50), tbat VARCHAR(50), ttime DATETIME, tac BOOLEAN, "
    "tperc DOUBLE, telap VARCHAR(8)");

// The log table object with its persistent fields, as the program sets it up.
struct Tdata {
    Connection connection;
    Table table;
    int posted = 0;

    explicit Tdata(bool readOnly = false)
    {
        connection.setConnectionString(testdb::connectionString);
        connection.setReadOnly(readOnly);
        table.setObjectName(QStringLiteral("Tdata"));
        table.setConnection(&connection);
        table.setTableName(QStringLiteral("testdata"));
        new Field(&table, QStringLiteral("Tdatatid"), QStringLiteral("tid"), QStringLiteral("AutoInc"), 0, true);
        new Field(&table, QStringLiteral("Tdatattest"), QStringLiteral("ttest"), QStringLiteral("WideString"), 50);
        new Field(&table, QStringLiteral("Tdatatbat"), QStringLiteral("tbat"), QStringLiteral("WideString"), 50);
        new Field(&table, QStringLiteral("Tdatattime"), QStringLiteral("ttime"), QStringLiteral("DateTime"));
        new Field(&table, QStringLiteral("Tdatatac"), QStringLiteral("tac"), QStringLiteral("Boolean"));
        new Field(&table, QStringLiteral("Tdatatperc"), QStringLiteral("tperc"), QStringLiteral("Float"));
        new Field(&table, QStringLiteral("Tdatatelap"), QStringLiteral("telap"), QStringLiteral("WideString"), 8);
        table.afterPost = [this](DataSet *) { ++posted; };
    }

    Field *field(const char *name) { return table.fieldByName(QString::fromLatin1(name)); }

    // One sample as the program writes it.
    void append(const QString &test, const QString &bat = QStringLiteral("BAT0"),
                const QString &elapsed = QStringLiteral("0:01:00"), TDateTime time = 46000.5, bool ac = true,
                int percent = 57)
    {
        table.insert();
        field("ttime")->setAsDateTime(time);
        field("tac")->setAsBoolean(ac);
        field("tperc")->setAsInteger(percent);
        field("ttest")->setAsString(test);
        field("tbat")->setAsString(bat);
        field("telap")->setAsString(elapsed);
        table.post();
    }
};

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

class TestTable final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(m_folder.enter()); }
    void cleanup() { m_folder.leave(); }

    void fieldCheck_data();
    void fieldCheck();
    void missingTable();
    void readOnly_data();
    void readOnly();
    void storesValues();
    void storedText_data();
    void storedText();
    void afterPostSeesRowAndClosedTableRefuses();
    void pendingRecord_data();
    void pendingRecord();
    void twoConnectionsAppend();

private:
    testdb::TempFolder m_folder;
};

void TestTable::fieldCheck_data()
{
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("error");
    auto with = [](const char *from, const char *to) { return QString(standardColumns).replace(from, to); };
    QTest::newRow("as created") << standardColumns << "";
    QTest::newRow("missing column") << with(", tperc DOUBLE", "") << "Tdata: Field 'tperc' not found";
    QTest::newRow("tperc INTEGER") << with("tperc DOUBLE", "tperc INTEGER")
                                   << "Tdata: Type mismatch for field 'tperc', expecting: Float actual: Integer";
    QTest::newRow("ttest MEMO") << with("ttest VARCHAR(50)", "ttest MEMO")
                                << "Tdata: Type mismatch for field 'ttest', expecting: WideString actual: Memo";
    QTest::newRow("tperc DECIMAL(5,0)")
        << with("tperc DOUBLE", "tperc DECIMAL(5,0)")
        << "Tdata: Type mismatch for field 'tperc', expecting: Float actual: Integer";
    QTest::newRow("tperc DECIMAL(10,2)") << with("tperc DOUBLE", "tperc DECIMAL(10,2)") << "";
    QTest::newRow("tac INTEGER") << with("tac BOOLEAN", "tac INTEGER")
                                 << "Tdata: Type mismatch for field 'tac', expecting: Boolean actual: Integer";
    QTest::newRow("upper-case names") << "TID INTEGER PRIMARY KEY, TTEST VARCHAR(50), TBAT VARCHAR(50), "
                                         "TTIME DATETIME, TAC BOOLEAN, TPERC DOUBLE, TELAP VARCHAR(8)"
                                      << "";
    QTest::newRow("plain INTEGER tid") << with("tid INTEGER PRIMARY KEY AUTOINCREMENT", "tid INTEGER") << "";
    QTest::newRow("extra column") << standardColumns + ", tnote TEXT" << "";
}

void TestTable::fieldCheck()
{
    QFETCH(QString, columns);
    QFETCH(QString, error);
    testdb::Db db;
    QCOMPARE(db.exec(QStringLiteral("CREATE TABLE testdata (%1)").arg(columns)), QString());

    Tdata tdata;
    QCOMPARE(errorOf([&] { tdata.table.open(); }), error);
    QCOMPARE(tdata.table.isActive(), error.isEmpty());
    if (error.isEmpty()) { // a row goes in whatever the column names' case
        tdata.append(QStringLiteral("T"));
        QCOMPARE(db.value(QStringLiteral("SELECT count(*) FROM testdata")), QVariant(1LL));
    }
}

void TestTable::missingTable()
{
    testdb::Db db;
    QCOMPARE(db.exec(QStringLiteral("CREATE TABLE other (x)")), QString());
    Tdata tdata;
    try {
        tdata.table.open();
        QFAIL("opened");
    } catch (const EProviderError &e) {
        QVERIFY2(e.message().contains(QLatin1String("\"testdata\"")), qPrintable(e.message()));
    }
    QVERIFY(!tdata.table.isActive());
}

void TestTable::readOnly_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("readOnlyConnection");
    QTest::addColumn<QString>("error");
    const QString view = QStringLiteral("CREATE TABLE rows (%1); CREATE VIEW testdata AS SELECT * FROM rows;")
                             .arg(standardColumns);
    const QString readOnly = QStringLiteral("Tdata: Cannot modify a read-only dataset");
    QTest::newRow("view") << view << false << readOnly;
    QTest::newRow("view with INSTEAD OF INSERT")
        << view + "CREATE TRIGGER put INSTEAD OF INSERT ON testdata BEGIN "
                  "INSERT INTO rows (ttest) VALUES (NEW.ttest); END;"
        << false << "";
    QTest::newRow("view with trigger written freely")
        << view + "create trigger put instead of\n    insert on testdata begin "
                  "insert into rows (ttest) values (new.ttest); end;"
        << false << "";
    QTest::newRow("view with other trigger")
        << view + "CREATE TRIGGER put INSTEAD OF UPDATE ON testdata BEGIN SELECT 1; END;" << false << readOnly;
    QTest::newRow("read-only connection") << testdb::schemaSql() << true << readOnly;
}

void TestTable::readOnly()
{
    QFETCH(QString, sql);
    QFETCH(bool, readOnlyConnection);
    QFETCH(QString, error);
    {
        testdb::Db db;
        QCOMPARE(db.exec(sql), QString());
    }
    Tdata tdata(readOnlyConnection);
    tdata.table.open();
    QCOMPARE(errorOf([&] { tdata.append(QStringLiteral("T")); }), error);
    QCOMPARE(tdata.table.hasPendingRecord(), false);
    QCOMPARE(tdata.posted, error.isEmpty() ? 1 : 0);
}

void TestTable::storesValues()
{
    testdb::Db db;
    QCOMPARE(db.exec(testdb::schemaSql()), QString());
    Tdata tdata;
    tdata.table.open();

    const TDateTime time = toTDateTime(QDateTime(QDate(2026, 12, 11), QTime(14, 3, 7, 250)));
    tdata.append(QStringLiteral("Idle drain"), QStringLiteral("BAT0"), QStringLiteral("1:02:03"), time, true, 57);
    tdata.append(QStringLiteral("Idle drain"), QStringLiteral("BAT0"), QStringLiteral("1:02:04"), time + 0.5, false, 0);

    const auto rows = db.rows(QStringLiteral("SELECT tid, ttest, tbat, ttime, typeof(ttime), tac, typeof(tac), tperc, "
                                             "typeof(tperc), telap FROM testdata ORDER BY tid"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], (QVariantList{1LL, "Idle drain", "BAT0", "2026-12-11 14:03:07.250", "text", 1LL, "integer",
                                    57.0, "real", "1:02:03"}));
    QCOMPARE(rows[0][3], QVariant(isoText(time)));
    QCOMPARE(rows[1], (QVariantList{2LL, "Idle drain", "BAT0", "2026-12-12 02:03:07.250", "text", 0LL, "integer",
                                    0.0, "real", "1:02:04"}));
    QCOMPARE(tdata.posted, 2);
    QVERIFY(!tdata.table.hasPendingRecord());

    tdata.append(QStringLiteral("no time"), {}, {}, qQNaN());
    QCOMPARE(db.value(QStringLiteral("SELECT typeof(ttime) FROM testdata WHERE tid = 3")), QVariant("null"));
}

void TestTable::storedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    const QString fifty = QString(50, u'x');
    const QString emoji = QStringLiteral("\U0001F50B");
    QTest::newRow("empty") << QStringLiteral("") << "";
    QTest::newRow("null") << QString() << "";
    QTest::newRow("50 chars") << fifty << fifty;
    QTest::newRow("51 chars") << fifty + u'y' << fifty;
    QTest::newRow("emoji straddles 50") << QString(49, u'x') + emoji << QString(49, u'x');
    QTest::newRow("emoji ends at 50") << QString(48, u'x') + emoji + u'y' << QString(48, u'x') + emoji;
    QTest::newRow("quotes and non-ASCII") << QStringLiteral("O'Brien \"Akku\" Größe") << "O'Brien \"Akku\" Größe";
}

void TestTable::storedText()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    testdb::Db db;
    QCOMPARE(db.exec(testdb::schemaSql()), QString());
    Tdata tdata;
    tdata.table.open();
    tdata.append(text);
    QCOMPARE(db.rows(QStringLiteral("SELECT ttest, typeof(ttest) FROM testdata")),
             (QList<QVariantList>{{stored, "text"}}));
}

void TestTable::afterPostSeesRowAndClosedTableRefuses()
{
    testdb::Db db;
    QCOMPARE(db.exec(testdb::schemaSql()), QString());
    Tdata tdata;
    QVariantList seen;
    tdata.table.afterPost = [&](DataSet *) {
        seen.append(db.value(QStringLiteral("SELECT ttest FROM testdata ORDER BY tid DESC LIMIT 1")));
    };
    const QString closed = QStringLiteral("Tdata: Cannot perform this operation on a closed dataset");
    QCOMPARE(errorOf([&] { tdata.table.insert(); }), closed);

    tdata.table.open();
    QCOMPARE(errorOf([&] { tdata.field("ttest")->setAsString(QStringLiteral("x")); }),
             QStringLiteral("Tdata: Dataset not in edit or insert mode"));
    tdata.append(QStringLiteral("first"));
    tdata.append(QStringLiteral("second"));
    QCOMPARE(seen, (QVariantList{"first", "second"}));

    tdata.table.insert();
    tdata.field("ttest")->setAsString(QStringLiteral("dropped"));
    tdata.table.close(); // a record begun but never posted is dropped with the table
    QCOMPARE(errorOf([&] { tdata.table.insert(); }), closed);
    QCOMPARE(errorOf([&] { tdata.table.post(); }), closed);
    QCOMPARE(db.value(QStringLiteral("SELECT count(*) FROM testdata")), QVariant(2LL));
}

void TestTable::pendingRecord_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("badBat");
    QTest::addColumn<QString>("badElapsed");
    QTest::addColumn<QStringList>("message");
    QTest::addColumn<QString>("fix");
    const QString recreate = QStringLiteral("BEGIN; ALTER TABLE testdata RENAME TO old; CREATE TABLE testdata (%1); "
                                            "INSERT INTO testdata SELECT * FROM old; DROP TABLE old; COMMIT;")
                                 .arg(standardColumns);
    QTest::newRow("text longer than its column")
        << QStringLiteral("CREATE TABLE testdata (%1)").arg(QString(standardColumns).replace("VARCHAR(8)", "VARCHAR(5)"))
        << "BAT0" << "0:01:00" << QStringList{"telap", "5", "7"} << recreate;
    QTest::newRow("check constraint")
        << QStringLiteral("CREATE TABLE testdata (%1)")
               .arg(QString(standardColumns).replace("tbat VARCHAR(50)", "tbat VARCHAR(50) NOT NULL CHECK (tbat <> '')"))
        << "" << "0:00" << QStringList{"CHECK constraint failed"} << recreate;
    QTest::newRow("trigger")
        << QStringLiteral("CREATE TABLE testdata (%1); CREATE TRIGGER refuse BEFORE INSERT ON testdata "
                          "WHEN NEW.ttest = 'second' BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END;")
               .arg(standardColumns)
        << "BAT1" << "0:00" << QStringList{"refused by trigger"} << "DROP TRIGGER refuse";
}

void TestTable::pendingRecord()
{
    QFETCH(QString, setup);
    QFETCH(QString, badBat);
    QFETCH(QString, badElapsed);
    QFETCH(QStringList, message);
    QFETCH(QString, fix);
    testdb::Db db;
    QCOMPARE(db.exec(setup), QString());
    Tdata tdata;
    tdata.table.open();
    tdata.append(QStringLiteral("first"), QStringLiteral("BAT0"), QStringLiteral("0:00"));

    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0)
                tdata.append(QStringLiteral("second"), badBat, badElapsed);
            else
                tdata.table.insert(); // posts the pending record first, and fails the same way
            QFAIL("posted");
        } catch (const EProviderError &e) {
            for (const QString &part : message)
                QVERIFY2(e.message().contains(part), qPrintable(e.message()));
        }
        QVERIFY(tdata.table.hasPendingRecord());
        QCOMPARE(tdata.posted, 1);
        QCOMPARE(tdata.field("ttest")->value(), QVariant(QStringLiteral("second")));
    }

    testdb::Db other;
    QCOMPARE(other.exec(fix), QString());
    tdata.table.insert(); // the pending record goes in with its own values, then a new one begins
    QCOMPARE(tdata.posted, 2);
    QVERIFY(!tdata.field("ttest")->isAssigned());
    tdata.field("ttest")->setAsString(QStringLiteral("third"));
    tdata.table.post();
    QCOMPARE(tdata.posted, 3);
    QCOMPARE(db.rows(QStringLiteral("SELECT ttest, tbat, telap FROM testdata ORDER BY tid")),
             (QList<QVariantList>{{"first", "BAT0", "0:00"}, {"second", badBat, badElapsed}, {"third", {}, {}}}));
}

void TestTable::twoConnectionsAppend()
{
    QCOMPARE(testdb::Db().exec(testdb::schemaSql()), QString());
    constexpr int rowsEach = 100;
    QString errors[2];
    auto writer = [&](int which) {
        try {
            Tdata tdata;
            tdata.table.open();
            for (int i = 0; i < rowsEach; ++i)
                tdata.append(QStringLiteral("writer %1").arg(which), QStringLiteral("BAT0"), QString::number(i));
        } catch (const Exception &e) {
            errors[which] = e.message();
        }
    };
    std::thread first(writer, 0);
    std::thread second(writer, 1);
    first.join();
    second.join();
    QCOMPARE(errors[0], QString());
    QCOMPARE(errors[1], QString());
    testdb::Db db;
    QCOMPARE(db.rows(QStringLiteral("SELECT ttest, count(*), count(DISTINCT telap) FROM testdata GROUP BY ttest")),
             (QList<QVariantList>{{"writer 0", qlonglong(rowsEach), qlonglong(rowsEach)},
                                  {"writer 1", qlonglong(rowsEach), qlonglong(rowsEach)}}));
}

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
