// Proves: two copies of the log store on one bat.mdb (each its own connection, table object and view,
// as two running programs have) append in turn without losing or doubling a row, and each one's view
// shows the other's rows at its next refresh (the re-query after its own post). twocopies.sh runs two
// real programs with their own batteries on one file.
#include "data/connection.h"
#include "data/field.h"
#include "data/query.h"
#include "data/table.h"
#include "platform/clock.h"
#include "platform/exception.h"
#include "../data/testdb.h"

#include <QtTest>

namespace {

struct Copy {
    Connection connection;
    Table table;
    Query view;

    Copy()
    {
        connection.setConnectionString(testdb::connectionString);
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
        view.setObjectName(QStringLiteral("ADODataSet1"));
        view.setConnection(&connection);
        view.setCommandText(QStringLiteral("select * from testdata order by ttime desc"));
        table.afterPost = [this](DataSet *) { view.requery(); };
        table.open();
        view.open();
    }

    void append(const QString &battery, TDateTime time, int percent)
    {
        table.insert();
        table.fieldByName(u"ttime")->setAsDateTime(time);
        table.fieldByName(u"tac")->setAsBoolean(false);
        table.fieldByName(u"tperc")->setAsInteger(percent);
        table.fieldByName(u"ttest")->setAsString(QStringLiteral("shared file"));
        table.fieldByName(u"tbat")->setAsString(battery);
        table.fieldByName(u"telap")->setAsString(QStringLiteral("0:00:00"));
        table.post();
    }

    // Every row the view shows, newest first, as "battery/percent".
    QStringList shown()
    {
        while (view.canFetchMore())
            view.fetchMore();
        QStringList rows;
        const int bat = view.columnIndex(u"tbat");
        const int perc = view.columnIndex(u"tperc");
        for (qsizetype row = 0; row < view.rowCount(); ++row)
            rows.append(view.value(row, bat).toString() + u'/' + QString::number(view.value(row, perc).toDouble()));
        return rows;
    }
};

} // namespace

class TwoCopies : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_folder.enter()); }
    void cleanup() { m_folder.leave(); }

    void appendInTurnAndSeeEachOther()
    {
        QCOMPARE(testdb::Db().exec(testdb::schemaSql()), QString());
        Copy first;
        Copy second;
        QStringList expected; // newest first
        TDateTime stamp = 46367.5;
        // 250 changes of two batteries draining at different speeds, in an uneven interleaving.
        for (int step = 0; step < 250; ++step) {
            Copy &copy = step % 3 == 0 ? second : first;
            const QString battery = &copy == &first ? QStringLiteral("A") : QStringLiteral("B");
            const int percent = 100 - step / 3;
            stamp += 1.0 / 86400;
            copy.append(battery, stamp, percent);
            expected.prepend(battery + u'/' + QString::number(percent));
            // The copy that wrote sees everything, the other's rows included.
            QCOMPARE(copy.shown(), expected);
        }
        // The other view is as old as its own last post; its next refresh brings it up to date.
        second.view.requery();
        QCOMPARE(second.shown(), expected);
        testdb::Db db;
        QCOMPARE(db.value(QStringLiteral("SELECT count(*) FROM testdata")), QVariant(250LL));
        QCOMPARE(db.value(QStringLiteral("SELECT count(DISTINCT ttime) FROM testdata")), QVariant(250LL));
    }

private:
    testdb::TempFolder m_folder;
};

QTEST_GUILESS_MAIN(TwoCopies)
#include "tst_twocopies.moc"
