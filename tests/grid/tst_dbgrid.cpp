// The log grid on the real log store: its columns, how it follows the view, that no key changes the
// data, and that a large log is read only as far as it is shown.
#include "../app/fakes.h"

#include "data/datasource.h"
#include "data/query.h"
#include "data/table.h"
#include "dm.h"
#include "grid/dbgrid.h"
#include "grid/dbgridmodel.h"
#include "grid/gridcolumns.h"
#include "mu.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

namespace {

const QStringList storedEntries{
    QStringLiteral("telap\t8\tElapsed"),        QStringLiteral("tperc\t3\t%"),
    QStringLiteral("ttest\t12\tTest Name\tF"), QStringLiteral("ttime\t18\tTimestamp"),
    QStringLiteral("tac\t5\tAC"),
};

// Records 1..count, one second apart from 2026-12-11 00:00:00 on; record i has the elapsed text
// "<i>s" and the percentage 100 - i % 100. Record i is row (count - i) of the newest-first view.
QString recordsSql(int first, int last)
{
    return QStringLiteral(
               "WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
               "INSERT INTO testdata (ttest, tbat, ttime, tac, tperc, telap) "
               "SELECT 'run', 'SECRET-BAT', strftime('%Y-%m-%d %H:%M:%S', '2026-12-11 00:00:00', '+' || i || ' seconds'), "
               "i % 2, 100 - i % 100, i || 's' FROM n;")
        .arg(first)
        .arg(last);
}

QString cell(const DBGrid *grid, int row, int column)
{
    return grid->model()->index(row, column).data().toString();
}

QStringList titles(const DBGrid *grid)
{
    QStringList list;
    for (int column = 0; column < grid->model()->columnCount(); ++column)
        list.append(grid->model()->headerData(column, Qt::Horizontal).toString());
    return list;
}

// Rows of the indicator column holding a dark mark.
QList<int> markedRows(DBGrid *grid)
{
    QHeaderView *indicator = grid->verticalHeader();
    const QImage image = indicator->grab().toImage();
    QList<int> rows;
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        const int top = indicator->sectionViewportPosition(row);
        if (top < 0 || top >= image.height())
            continue;
        bool dark = false;
        for (int y = top; y < qMin(image.height(), top + indicator->sectionSize(row)) && !dark; ++y)
            for (int x = 0; x < image.width() && !dark; ++x)
                dark = qGray(image.pixel(x, y)) < 64;
        if (dark)
            rows.append(row);
    }
    return rows;
}

} // namespace

class DBGridTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogFolder> folder;
    std::unique_ptr<BoxRecorder> boxes;
    std::unique_ptr<DBGrid> grid;

    // A grid as the main window stores it, bound by name before the log store exists.
    void openGrid(const QString &sql)
    {
        QVERIFY(folder->exec(sql));
        grid = std::make_unique<DBGrid>();
        grid->setSelected(storedEntries);
        grid->setDataSourceName(QStringLiteral("DataModule2.DData"));
        grid->setLocale(QLocale(QStringLiteral("de_DE")));
        grid->resize(337, 180);
        QVERIFY(grid->dataSource() == nullptr);
        DataModule2 = new TDataModule2;
        QVERIFY(grid->dataSource() == DataModule2->DData);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
    }
    Query *view() const { return DataModule2->ADODataSet1; }
    void requery(const QString &sql = QString())
    {
        if (!sql.isEmpty())
            QVERIFY(folder->exec(sql));
        view()->requery();
        QCoreApplication::processEvents();
    }
    // Scrolls to the end of what has been read, which makes the grid read one more page.
    void scrollToEnd()
    {
        grid->scrollToBottom();
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<LogFolder>();
        boxes = std::make_unique<BoxRecorder>();
    }
    void cleanup()
    {
        grid.reset();
        delete DataModule2;
        DataModule2 = nullptr;
        QVERIFY2(boxes->boxes.isEmpty(), qPrintable(boxes->texts().join(u'\n')));
        boxes.reset();
        folder.reset();
    }

    // The main window's grid: five titled columns in the stored order and widths, key and battery hidden.
    void mainWindowGrid()
    {
        QVERIFY(folder->exec(recordsSql(1, 3)));
        Form1 = new TForm1;
        DataModule2 = new TDataModule2;
        DBGrid *g = Form1->wwDBGrid1;
        g->setLocale(QLocale(QStringLiteral("de_DE")));
        QCOMPARE(g->dataSource(), DataModule2->DData);
        QCOMPARE(titles(g), QStringList({"Elapsed", "%", "Test Name", "Timestamp", "AC"}));
        QCOMPARE(g->verticalHeader()->width(), DBGrid::indicatorWidth);
        QVERIFY(!g->horizontalHeader()->isHidden());
        QVERIFY(!g->horizontalHeader()->sectionsClickable());
        QVERIFY(g->horizontalHeader()->sectionsMovable());
        QCOMPARE(g->horizontalHeader()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QCOMPARE(g->effectiveTitleColor(), g->palette().color(QPalette::Button));
        QCOMPARE(g->effectiveTitleFont().family(), Form1->font().family());
        QCOMPARE(g->textElideMode(), Qt::ElideNone);
        QVERIFY(!g->wordWrap());

        const QFontMetrics data(g->font());
        const QFontMetrics title(g->effectiveTitleFont());
        const QList<int> characters{8, 3, 12, 18, 5};
        for (int column = 0; column < 5; ++column)
            QCOMPARE(g->columnWidth(column),
                     gridColumnWidth(characters[column], titles(g)[column], data, title));

        QCOMPARE(cell(g, 0, 0), QStringLiteral("3s"));
        QCOMPARE(cell(g, 0, 1), QStringLiteral("97"));
        QCOMPARE(cell(g, 0, 2), QStringLiteral("run"));
        QCOMPARE(cell(g, 0, 3), QStringLiteral("11.12.26 00:00:03"));
        QCOMPARE(cell(g, 0, 4), QStringLiteral("True"));
        QCOMPARE(cell(g, 1, 4), QStringLiteral("False"));
        QCOMPARE(g->model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 5; ++column)
                QVERIFY(!cell(g, row, column).contains(QLatin1String("SECRET")));

        delete Form1;
        Form1 = nullptr;
    }

    // Entries naming a column the view lacks are skipped; an entry without a width takes the column's.
    void entriesAgainstTheView()
    {
        QVERIFY(folder->exec(recordsSql(1, 1)));
        DataModule2 = new TDataModule2;
        grid = std::make_unique<DBGrid>();
        grid->setDataSource(DataModule2->DData);
        grid->setSelected({QStringLiteral("tac\t5\tAC"), QStringLiteral("nosuch\t4\tGone"), QStringLiteral("ttest"),
                           QStringLiteral("TELAP\t8\tElapsed")});
        QCOMPARE(titles(grid.get()), QStringList({"AC", "ttest", "Elapsed"}));
        QCOMPARE(cell(grid.get(), 0, 2), QStringLiteral("1s"));
        const QFontMetrics data(grid->font());
        QCOMPARE(grid->columnWidth(1), gridColumnWidth(50, QStringLiteral("ttest"), data, data));
    }

    void modelChecks()
    {
        QVERIFY(folder->exec(recordsSql(1, 250)));
        DataModule2 = new TDataModule2;
        DBGridModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setEntries(parseSelected(storedEntries));
        model.setDataSource(DataModule2->DData);
        QCOMPARE(model.rowCount(), int(Query::pageSize));
        while (model.canFetchMore(QModelIndex()))
            model.fetchMore(QModelIndex());
        QCOMPARE(model.rowCount(), 250);
        QCOMPARE(model.index(249, 0).data().toString(), QStringLiteral("1s"));
        view()->requery();
        QCOMPARE(model.rowCount(), int(Query::pageSize));
        QVERIFY(folder->exec(QStringLiteral("DELETE FROM testdata")));
        view()->requery();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 5);
        view()->close();
        QCOMPARE(model.columnCount(), 0);
        QVERIFY(!model.canFetchMore(QModelIndex()));
        view()->open();
        QCOMPARE(model.columnCount(), 5);
        delete DataModule2;
        DataModule2 = nullptr;
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.dataSource() == nullptr);
    }

    // Every refresh shows the newest record in the top row with the indicator on it; between refreshes
    // the user's place, current cell and column layout stay.
    void followsTheView()
    {
        openGrid(recordsSql(1, 300));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 0));
        QCOMPARE(markedRows(grid.get()), QList<int>{0});

        scrollToEnd();
        scrollToEnd();
        QCOMPARE(grid->model()->rowCount(), 300);
        grid->setCurrentIndex(grid->model()->index(150, 2));
        grid->setColumnWidth(1, 77);
        grid->horizontalHeader()->moveSection(4, 0);
        const int position = grid->verticalScrollBar()->value();
        QVERIFY(position > 0);
        QCOMPARE(view()->currentRow(), 150);
        QCOMPARE(markedRows(grid.get()), QList<int>{150});

        // Between refreshes: a locale change and more rows read leave the place as it was.
        grid->setLocale(QLocale(QStringLiteral("en_US")));
        QCoreApplication::processEvents();
        QCOMPARE(grid->currentIndex(), grid->model()->index(150, 2));
        QCOMPARE(grid->verticalScrollBar()->value(), position);
        QCOMPARE(cell(grid.get(), 0, 3), QStringLiteral("12/11/26 12:05:00 AM"));

        // A new record posted: it is the top row, current, marked, and the view is at the top again.
        requery(recordsSql(301, 301));
        QCOMPARE(cell(grid.get(), 0, 0), QStringLiteral("301s"));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 2));
        QCOMPARE(grid->verticalScrollBar()->value(), 0);
        QCOMPARE(grid->rowAt(0), 0);
        QCOMPARE(view()->currentRow(), 0);
        QCOMPARE(markedRows(grid.get()), QList<int>{0});
        // The user's layout lasts while the program runs ...
        QCOMPARE(grid->columnWidth(1), 77);
        QCOMPARE(grid->horizontalHeader()->visualIndex(4), 0);

        // ... and is forgotten when the view opens anew.
        view()->close();
        view()->open();
        QCoreApplication::processEvents();
        QCOMPARE(grid->horizontalHeader()->visualIndex(4), 4);
        QCOMPARE(grid->columnWidth(1), gridColumnWidth(3, QStringLiteral("%"), QFontMetrics(grid->font()),
                                                        QFontMetrics(grid->effectiveTitleFont())));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 0));
    }

    // An empty log shows the title row and the indicator column only, at start and after Clear Data.
    void emptyLog()
    {
        openGrid(QString());
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(grid->model()->columnCount(), 5);
        QVERIFY(!grid->currentIndex().isValid());
        QVERIFY(markedRows(grid.get()).isEmpty());

        requery(recordsSql(1, 5));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 0));
        requery(QStringLiteral("DELETE FROM testdata"));
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(titles(grid.get()).size(), 5);
        QVERIFY(!grid->horizontalHeader()->isHidden());
        QVERIFY(!grid->currentIndex().isValid());

        // The log store going away leaves an empty grid, not a dangling one.
        delete DataModule2;
        DataModule2 = nullptr;
        QCOMPARE(grid->model()->rowCount(), 0);
        grid->repaint();
    }

    void keysChangeNothing_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("typed");
        QTest::newRow("typing") << QKeySequence() << "98x";
        QTest::newRow("Insert") << QKeySequence(Qt::Key_Insert) << "";
        QTest::newRow("Ctrl+Delete") << QKeySequence(Qt::CTRL | Qt::Key_Delete) << "";
        QTest::newRow("Delete") << QKeySequence(Qt::Key_Delete) << "";
        QTest::newRow("Down on the last row") << QKeySequence(Qt::Key_Down) << "";
        QTest::newRow("F2, Enter") << QKeySequence(Qt::Key_F2, Qt::Key_Return) << "";
    }
    void keysChangeNothing()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, typed);
        openGrid(recordsSql(1, 3));
        const QString everything = QStringLiteral("SELECT * FROM testdata ORDER BY tid");
        const QStringList before = folder->rows(everything);
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(2, 1));

        for (int i = 0; i < keys.count(); ++i)
            QTest::keyClick(grid.get(), keys[i].key(), keys[i].keyboardModifiers());
        if (!typed.isEmpty())
            QTest::keyClicks(grid.get(), typed);
        QCoreApplication::processEvents();

        QCOMPARE(folder->rows(everything), before);
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->currentIndex(), grid->model()->index(2, 1));
        QCOMPARE(cell(grid.get(), 2, 1), QStringLiteral("99"));
        QVERIFY(grid->findChild<QLineEdit *>() == nullptr); // no cell editor opened
        QCOMPARE(view()->state(), DataSet::State::Browse);
        QCOMPARE(DataModule2->Tdata->state(), DataSet::State::Browse);
    }

    void tabMovesBetweenCells()
    {
        openGrid(recordsSql(1, 3));
        grid->setFocus();
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 0));
        QTest::keyClick(grid.get(), Qt::Key_Tab);
        QTest::keyClick(grid.get(), Qt::Key_Tab);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 2));
        QTest::keyClick(grid.get(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));
    }

    // A million records: the first screenful at once, and scrolling reads only what comes into view.
    void millionRecords()
    {
        openGrid(recordsSql(1, 1'000'000));
        QCOMPARE(cell(grid.get(), 0, 0), QStringLiteral("1000000s"));
        QCOMPARE(view()->rowsReadTotal(), qsizetype(Query::pageSize));
        QVERIFY(grid->rowAt(grid->viewport()->height() - 1) > 0); // the screen is full

        for (int i = 0; i < 3; ++i)
            scrollToEnd();
        QCOMPARE(view()->rowsReadTotal(), qsizetype(4 * Query::pageSize));
        grid->setFocus();
        for (int i = 0; i < 10; ++i)
            QTest::keyClick(grid.get(), Qt::Key_PageDown);
        QCoreApplication::processEvents();
        QVERIFY2(view()->rowsReadTotal() <= 5 * Query::pageSize, qPrintable(QString::number(view()->rowsReadTotal())));
        QCOMPARE(grid->model()->rowCount(), int(view()->rowCount()));

        // A refresh starts again from the first page.
        requery(recordsSql(1'000'001, 1'000'001));
        QCOMPARE(cell(grid.get(), 0, 0), QStringLiteral("1000001s"));
        QCOMPARE(grid->model()->rowCount(), int(Query::pageSize));
    }
};

QTEST_MAIN(DBGridTest)
#include "tst_dbgrid.moc"
