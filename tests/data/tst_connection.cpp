#include "data/connection.h"
#include "platform/exception.h"
#include "testdb.h"

#include <QRandomGenerator>
#include <QTest>

// Opening whatever lies at "bat.mdb": every bad file gets its own clear message and stays as it was.
class TestConnection final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(m_folder.enter()); }
    void cleanup() { m_folder.leave(); }

    void opensRealDatabase();
    void badFile_data();
    void badFile();
    void olderLibraryRefused();

private:
    testdb::TempFolder m_folder;
};

namespace {
// A real log file of several pages, written and closed so that everything sits in the main file.
QByteArray realDatabase(int rows)
{
    {
        testdb::Db db(QStringLiteral("real.db"));
        db.exec(testdb::schemaSql());
        db.exec(QStringLiteral("BEGIN"));
        for (int i = 0; i < rows; ++i)
            db.exec(QStringLiteral("INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) VALUES "
                                   "('a test with a long name %1', 'BAT0', '2026-01-01 10:00:00.000', 1, 50, '1:00')")
                        .arg(i));
        db.exec(QStringLiteral("COMMIT"));
    }
    const QByteArray bytes = testdb::fileBytes(QStringLiteral("real.db"));
    QFile::remove(QStringLiteral("real.db"));
    return bytes;
}
} // namespace

void TestConnection::opensRealDatabase()
{
    testdb::Db(testdb::fileName).exec(testdb::schemaSql());
    Connection connection;
    connection.setConnectionString(testdb::connectionString);
    connection.open();
    QVERIFY(connection.isConnected());
    QCOMPARE(connection.fileName(), QStringLiteral("bat.mdb"));
    connection.open(); // a second call does nothing
    connection.close();
    QVERIFY(!connection.isConnected());
}

void TestConnection::badFile_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "missing" << "does not exist";
    QTest::newRow("directory") << "directory" << "is a folder";
    QTest::newRow("zero length") << "empty" << "is empty";
    QTest::newRow("random bytes") << "random" << "not an SQLite database";
    QTest::newRow("Access file") << "jet" << "Microsoft Access";
    QTest::newRow("first 100 bytes of SQLite") << "header" << "damaged";
    QTest::newRow("SQLite cut in the middle") << "cut" << "damaged";
}

void TestConnection::badFile()
{
    QFETCH(QString, what);
    QFETCH(QString, message);
    if (what == QLatin1String("directory")) {
        QVERIFY(QDir().mkdir(testdb::fileName));
    } else if (what == QLatin1String("empty")) {
        QVERIFY(testdb::writeBytes({}));
    } else if (what == QLatin1String("random")) {
        QByteArray bytes(4096, '\0');
        QRandomGenerator generator(42);
        for (char &byte : bytes)
            byte = char(generator.bounded(256));
        QVERIFY(testdb::writeBytes(bytes));
    } else if (what == QLatin1String("jet")) {
        QByteArray bytes = QByteArray::fromHex("00010000") + "Standard Jet DB";
        bytes.append(2048 - bytes.size(), '\0');
        QVERIFY(testdb::writeBytes(bytes));
    } else if (what == QLatin1String("header")) {
        QVERIFY(testdb::writeBytes(realDatabase(1).left(100)));
    } else if (what == QLatin1String("cut")) {
        const QByteArray real = realDatabase(2000);
        QVERIFY(real.size() > 20 * 4096);
        QVERIFY(testdb::writeBytes(real.left(real.size() / 2)));
    }
    const QByteArray before = testdb::fileBytes();

    for (bool readOnly : {false, true}) {
        Connection connection;
        connection.setConnectionString(testdb::connectionString);
        connection.setReadOnly(readOnly);
        try {
            connection.open();
            QFAIL("opened");
        } catch (const EProviderError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            const QString path = QDir::toNativeSeparators(QDir::current().absoluteFilePath(testdb::fileName));
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QVERIFY(!connection.isConnected());
    }

    QCOMPARE(QFileInfo::exists(testdb::fileName), what != QLatin1String("missing"));
    QCOMPARE(testdb::fileBytes(), before);
}

void TestConnection::olderLibraryRefused()
{
    Connection::setRuntimeVersionForTesting(3007017);
    try {
        Connection connection;
        Connection::setRuntimeVersionForTesting(0);
        QFAIL("created");
    } catch (const EComponentError &e) {
        Connection::setRuntimeVersionForTesting(0);
        QVERIFY2(e.message().startsWith(QLatin1String("Error creating object.  Please verify that")),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(QLatin1String("3.7.17")), qPrintable(e.message()));
    }
    Connection fine; // the real library is good enough
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
