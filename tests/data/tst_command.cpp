#include "data/command.h"
#include "data/connection.h"
#include "platform/exception.h"
#include "testdb.h"

#include <QTest>

class TestCommand final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QVERIFY(m_folder.enter());
        testdb::Db db;
        QCOMPARE(db.exec(testdb::schemaSql()), QString());
        QCOMPARE(db.exec(QStringLiteral("INSERT INTO testdata (ttest) VALUES ('a'), ('b'), ('c')")), QString());
    }
    void cleanup() { m_folder.leave(); }

    void execute_data();
    void execute();

private:
    testdb::TempFolder m_folder;
};

void TestCommand::execute_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("left"); // ttest of the rows left, in tid order
    QTest::newRow("empty the log") << "delete from testdata where 1=1" << "" << "";
    QTest::newRow("several statements")
        << "delete from testdata where ttest = 'a'; insert into testdata (ttest) values ('d');\n"
           "-- a comment\n update testdata set ttest = 'B' where ttest = 'b';  "
        << "" << "B c d";
    QTest::newRow("rows returned are dropped") << "select * from testdata; delete from testdata where ttest <> 'c'"
                                               << "" << "c";
    QTest::newRow("blank") << "  " << "" << "a b c";
    QTest::newRow("syntax error") << "delete testdata" << "syntax error" << "a b c";
    QTest::newRow("no such table") << "delete from testdat" << "no such table" << "a b c";
    QTest::newRow("constraint") << "insert into testdata (tid) values (1)" << "UNIQUE constraint failed" << "a b c";
}

void TestCommand::execute()
{
    QFETCH(QString, sql);
    QFETCH(QString, error);
    QFETCH(QString, left);
    Connection connection;
    connection.setConnectionString(testdb::connectionString);
    Command command;
    command.setConnection(&connection);
    command.setCommandText(sql);
    QVERIFY(!connection.isConnected());
    try {
        command.execute();
        QVERIFY2(error.isEmpty(), "no error");
    } catch (const EProviderError &e) {
        QVERIFY2(!error.isEmpty() && e.message().contains(error), qPrintable(e.message()));
    }
    QVERIFY(connection.isConnected()); // connected first
    QStringList tests;
    for (const auto &row : testdb::Db().rows(QStringLiteral("SELECT ttest FROM testdata ORDER BY tid")))
        tests.append(row.first().toString());
    QCOMPARE(tests.join(u' '), left);
}

QTEST_GUILESS_MAIN(TestCommand)
#include "tst_command.moc"
