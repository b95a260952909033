#include "data/connection.h"
#include "data/datasource.h"
#include "data/query.h"
#include "platform/clock.h"
#include "platform/exception.h"
#include "testdb.h"

#include <QSignalSpy>
#include <QTest>

#include <set>

namespace {

const QString newestFirst = QStringLiteral("select * from testdata order by ttime desc");

// Rows whose times come in groups of equal values, not in rowid order, with every 50th time missing.
void fill(testdb::Db &db, int rows)
{
    db.exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < rows; ++i) {
        const int group = (i * 389) % rows / 7;
        const QString time = i % 50 == 7 ? QStringLiteral("NULL")
                                         : u'\'' + isoText(46000 + group / 1440.0) + u'\'';
        db.exec(QStringLiteral("INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) "
                               "VALUES ('row%1', 'BAT0', %2, %3, %4, '0:00')")
                    .arg(i, 5, 10, QLatin1Char('0'))
                    .arg(time)
                    .arg(i % 2)
                    .arg((i * 37) % 101));
    }
    db.exec(QStringLiteral("COMMIT"));
}

struct View {
    Connection connection;
    Query query;
    View()
    {
        connection.setConnectionString(testdb::connectionString);
        query.setObjectName(QStringLiteral("ADODataSet1"));
        query.setConnection(&connection);
        query.setCommandText(newestFirst);
    }
};

// Each run of a statement on the connection, with its own counters.
struct Run {
    QString sql;
    int fullScanSteps;
    int sorts;
    int vmSteps;
};

int recordRun(unsigned, void *context, void *p, void *)
{
    auto *statement = static_cast<sqlite3_stmt *>(p);
    static_cast<QList<Run> *>(context)->append(
        {QString::fromUtf8(sqlite3_sql(statement)), sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_FULLSCAN_STEP, 1),
         sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_SORT, 1),
         sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_VM_STEP, 1)});
    return 0;
}

QString queryPlan(sqlite3 *db, const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    QStringList details;
    if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    while (sqlite3_step(statement) == SQLITE_ROW)
        details.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 3))));
    sqlite3_finalize(statement);
    return details.join(QLatin1String("; "));
}

} // namespace

class TestQuery final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QVERIFY(m_folder.enter());
        QCOMPARE(testdb::Db().exec(testdb::schemaSql()), QString());
    }
    void cleanup() { m_folder.leave(); }

    void firstPage();
    void paging_data();
    void paging();
    void pageAtDepthUsesIndex_data();
    void pageAtDepthUsesIndex();
    void requeryShowsNewRows();
    void requeryErrors();
    void badStatement_data();
    void badStatement();
    void emptyTable_data();
    void emptyTable();
    void dataSourceFollowsDataSet();

private:
    testdb::TempFolder m_folder;
};

void TestQuery::firstPage()
{
    testdb::Db db;
    fill(db, 250);
    QCOMPARE(db.exec(QStringLiteral("INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) "
                                    "VALUES ('newest', NULL, '2030-01-02 03:04:05.678', 1, 57, '1:02:03')")),
             QString());
    View view;
    view.query.open();

    QStringList names;
    QStringList kinds;
    for (const auto &column : view.query.columns()) {
        names.append(column.name);
        kinds.append(column.kind);
    }
    QCOMPARE(names, (QStringList{"tid", "ttest", "tbat", "ttime", "tac", "tperc", "telap"}));
    QCOMPARE(kinds, (QStringList{"AutoInc", "WideString", "WideString", "DateTime", "Boolean", "Float", "WideString"}));
    QCOMPARE(view.query.columns()[1].width, 50);
    QCOMPARE(view.query.columnIndex(u"TPERC"), 5);
    QCOMPARE(view.query.columnIndex(u"nope"), -1);

    QCOMPARE(view.query.rowCount(), qsizetype(Query::pageSize));
    QCOMPARE(view.query.rowsReadTotal(), qsizetype(Query::pageSize));
    QVERIFY(view.query.canFetchMore());
    QCOMPARE(view.query.currentRow(), 0);

    const QVariantList expected = {251LL, "newest", QVariant(),
                                   toTDateTime(QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5, 678))), true, 57.0,
                                   "1:02:03"};
    for (int column = 0; column < expected.size(); ++column) {
        const QVariant &actual = view.query.value(0, column);
        QCOMPARE(actual.typeId(), expected[column].typeId());
        QCOMPARE(actual, expected[column]);
    }
    QCOMPARE(view.query.value(1, 4).typeId(), QMetaType::Bool);
    QVERIFY(view.query.value(Query::pageSize, 0).isNull());
    QVERIFY(view.query.value(0, int(expected.size())).isNull());
    QVERIFY(view.query.value(-1, -1).isNull());
}

void TestQuery::paging_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("where"); // the rows the statement selects
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("fetch");
    QTest::newRow("newest first") << newestFirst << "1" << "ttime" << true << 100;
    QTest::newRow("newest first, one at a time") << newestFirst << "1" << "ttime" << true << 1;
    QTest::newRow("oldest first") << "select * from testdata order by ttime" << "1" << "ttime" << false << 100;
    QTest::newRow("quoted, upper case, asc, ;") << R"(SELECT * FROM "testdata" ORDER BY "TTIME" ASC;)" << "1"
                                                 << "ttime" << false << 33;
    QTest::newRow("by tid") << "select * from testdata order by tid desc" << "1" << "tid" << true << 100;
    QTest::newRow("other statement") << "select ttest, tperc from testdata where tperc > 10 order by tperc desc"
                                     << "tperc > 10" << "tperc" << true << 100;
    QTest::newRow("other statement with a comment")
        << "select * from testdata where tac = 1 order by ttime desc -- newest first" << "tac = 1" << "ttime" << true
        << 100;
}

void TestQuery::paging()
{
    QFETCH(QString, sql);
    QFETCH(QString, where);
    QFETCH(QString, key);
    QFETCH(bool, descending);
    QFETCH(int, fetch);
    testdb::Db db;
    fill(db, 1000);
    View view;
    view.query.setCommandText(sql);
    view.query.open();
    QCOMPARE(view.query.rowsReadTotal(), qsizetype(Query::pageSize));
    while (view.query.canFetchMore())
        view.query.fetchMore(fetch);

    const int testColumn = view.query.columnIndex(u"ttest");
    const int keyColumn = view.query.columnIndex(key);
    QVERIFY(testColumn >= 0 && keyColumn >= 0);
    std::set<QString> seen;
    for (qsizetype row = 0; row < view.query.rowCount(); ++row) {
        QVERIFY2(seen.insert(view.query.value(row, testColumn).toString()).second, "a row came twice");
        if (row == 0)
            continue;
        const QVariant &before = view.query.value(row - 1, keyColumn);
        const QVariant &after = view.query.value(row, keyColumn);
        // SQLite sorts NULL lowest: last when descending, first when ascending.
        const bool inOrder = descending ? (before.isNull() ? after.isNull()
                                                           : after.isNull() || before.toDouble() >= after.toDouble())
                                        : (after.isNull() ? before.isNull()
                                                          : before.isNull() || before.toDouble() <= after.toDouble());
        QVERIFY2(inOrder, qPrintable(QStringLiteral("row %1 out of order").arg(row)));
    }
    std::set<QString> expected;
    for (const auto &row : db.rows("SELECT ttest FROM testdata WHERE " + where))
        expected.insert(row.first().toString());
    QCOMPARE(seen.size(), expected.size());
    QVERIFY(seen == expected);
    QCOMPARE(view.query.rowsReadTotal(), view.query.rowCount());
}

void TestQuery::pageAtDepthUsesIndex_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("newest first") << newestFirst;
    QTest::newRow("oldest first") << "select * from testdata order by ttime asc";
}

void TestQuery::pageAtDepthUsesIndex()
{
    QFETCH(QString, sql);
    testdb::Db db;
    fill(db, 5000);
    View view;
    view.query.setCommandText(sql);
    QList<Run> runs;
    view.query.open();
    sqlite3_trace_v2(view.connection.handle(), SQLITE_TRACE_PROFILE, recordRun, &runs);
    view.query.requery(); // the first page, measured
    const QList<Run> firstPage = runs;
    while (view.query.rowCount() < 4000)
        view.query.fetchMore();
    runs.clear();
    view.query.fetchMore(); // a page at depth, with ties and both phases behind it
    const QList<Run> deepPage = runs;
    sqlite3_trace_v2(view.connection.handle(), 0, nullptr, nullptr);
    QCOMPARE(view.query.rowCount(), 4100);

    int firstSteps = 0;
    for (const Run &run : firstPage)
        firstSteps += run.vmSteps;
    QVERIFY(!deepPage.isEmpty());
    int deepSteps = 0;
    for (const Run &run : deepPage) {
        const QString plan = queryPlan(view.connection.handle(), run.sql);
        QVERIFY2(plan.contains(QLatin1String("USING INDEX testdata_ttime")), qPrintable(run.sql + " -> " + plan));
        QVERIFY2(!plan.contains(QLatin1String("TEMP B-TREE")), qPrintable(run.sql + " -> " + plan));
        QCOMPARE(run.fullScanSteps, 0);
        QCOMPARE(run.sorts, 0);
        deepSteps += run.vmSteps;
    }
    // A deep page costs about what the first one does, not what the rows before it do.
    QVERIFY2(deepSteps < 3 * firstSteps, qPrintable(QStringLiteral("%1 vs %2").arg(deepSteps).arg(firstSteps)));
}

void TestQuery::requeryShowsNewRows()
{
    testdb::Db db;
    fill(db, 250);
    View view;
    view.query.open();
    view.query.fetchMore();
    view.query.setCurrentRow(150);
    QCOMPARE(view.query.currentRow(), 150);
    QCOMPARE(view.query.rowsReadTotal(), 200);

    testdb::Db other;
    for (int i = 0; i < 3; ++i)
        QCOMPARE(other.exec(QStringLiteral("INSERT INTO testdata (ttest, ttime) VALUES ('new%1', '2030-01-01 00:00:0%1.000')")
                                .arg(i)),
                 QString());
    QSignalSpy changed(&view.query, &DataSet::dataSetChanged);
    view.query.requery();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(view.query.rowCount(), qsizetype(Query::pageSize));
    QCOMPARE(view.query.rowsReadTotal(), 300);
    QCOMPARE(view.query.currentRow(), 0);
    const int test = view.query.columnIndex(u"ttest");
    QCOMPARE(view.query.value(0, test), QVariant("new2"));
    QCOMPARE(view.query.value(2, test), QVariant("new0"));
    QVERIFY(view.query.canFetchMore());
}

void TestQuery::requeryErrors()
{
    View view;
    try {
        view.query.requery();
        QFAIL("requeried a closed view");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("ADODataSet1: Cannot perform this operation on a closed dataset"));
    }

    view.query.open();
    QCOMPARE(testdb::Db().exec(QStringLiteral("DROP TABLE testdata")), QString());
    QSignalSpy changed(&view.query, &DataSet::dataSetChanged);
    try {
        view.query.requery();
        QFAIL("requeried a dropped table");
    } catch (const EProviderError &e) {
        QVERIFY2(e.message().contains(QLatin1String("no such table")), qPrintable(e.message()));
    }
    QVERIFY(!view.query.isActive());
    QCOMPARE(changed.size(), 1);
    QCOMPARE(view.query.rowCount(), 0);
    QCOMPARE(view.query.currentRow(), -1);
}

void TestQuery::badStatement_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such table") << "select * from testdat order by ttime desc" << "no such table";
    QTest::newRow("no such order column") << "select * from testdata order by time desc" << "no such column";
    QTest::newRow("syntax") << "select * from testdata order by" << "syntax error";
    QTest::newRow("empty") << "" << "syntax error";
}

void TestQuery::badStatement()
{
    QFETCH(QString, sql);
    QFETCH(QString, message);
    View view;
    view.query.setCommandText(sql);
    try {
        view.query.open();
        QFAIL("opened");
    } catch (const EProviderError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QVERIFY(!view.query.isActive());
    QVERIFY(!view.query.canFetchMore());
}

void TestQuery::emptyTable_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("keyed") << newestFirst;
    QTest::newRow("other") << "select ttest from testdata where tac = 1";
}

void TestQuery::emptyTable()
{
    QFETCH(QString, sql);
    View view;
    view.query.setCommandText(sql);
    view.query.open();
    QCOMPARE(view.query.rowCount(), 0);
    QCOMPARE(view.query.currentRow(), -1);
    QVERIFY(!view.query.canFetchMore());
    QCOMPARE(view.query.fetchMore(), 0);
    view.query.setCurrentRow(0);
    QCOMPARE(view.query.currentRow(), -1);
    QVERIFY(view.query.value(0, 0).isNull()); // outside the rows read: null, no crash
}

void TestQuery::dataSourceFollowsDataSet()
{
    View view;
    DataSource source;
    QSignalSpy changed(&source, &DataSource::dataChanged);
    source.setDataSet(&view.query);
    QCOMPARE(changed.size(), 1);
    view.query.open();
    QCOMPARE(changed.size(), 2);
    view.query.requery();
    QCOMPARE(changed.size(), 3);
    view.query.close();
    QCOMPARE(changed.size(), 4);
    source.setDataSet(nullptr);
    QCOMPARE(changed.size(), 5);
    view.query.open(); // no longer bound
    QCOMPARE(changed.size(), 5);
}

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
