// The main window's stored settings, its tab order, Clear Data, and what the window shows when the
// log store can't open at start-up.
#include "fakes.h"

#include "data/command.h"
#include "data/connection.h"
#include "data/query.h"
#include "data/table.h"
#include "dm.h"
#include "grid/dbgrid.h"
#include "mu.h"
#include "platform/exception.h"
#include "platform/timer.h"

#include <QAbstractItemModel>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

class MainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogFolder> folder;
    std::unique_ptr<BoxRecorder> recorder;

    void create()
    {
        Form1 = new TForm1;
        DataModule2 = new TDataModule2;
    }

private Q_SLOTS:
    void init()
    {
        recorder = std::make_unique<BoxRecorder>();
    }
    void cleanup()
    {
        delete DataModule2;
        DataModule2 = nullptr;
        delete Form1;
        Form1 = nullptr;
        recorder.reset();
        folder.reset();
    }

    void storedSettings()
    {
        folder = std::make_unique<LogFolder>();
        create();
        QCOMPARE(Form1->windowTitle(), QStringLiteral("Varnholt Sarnivo"));
        QCOMPARE(Form1->objectName(), QStringLiteral("Form1"));
        // A client area of 488 × 186 inside a one-pixel margin, fixed in size (at the stored text height).
        const double scale = QFontMetrics(Form1->font()).height() / 13.0;
        QCOMPARE(Form1->size(), QSize(qRound(490 * scale), qRound(188 * scale)));
        QCOMPARE(Form1->minimumSize(), Form1->maximumSize());

        struct Expected {
            QWidget *widget;
            QRect bounds;
        };
        const Expected bounds[] = {
            {Form1->GroupBox1, {7, 1, 141, 152}}, {Form1->Label1, {10, 14, 33, 13}},
            {Form1->Label3, {2, 95, 137, 25}},    {Form1->Label2, {10, 54, 38, 13}},
            {Form1->Edit1, {4, 32, 132, 21}},     {Form1->Edit2, {4, 72, 132, 21}},
            {Form1->Button1, {8, 120, 121, 25}},  {Form1->wwDBGrid1, {152, 4, 337, 180}},
            {Form1->Button2, {8, 160, 137, 25}},
        };
        for (const Expected &e : bounds) {
            const QRect r = e.bounds;
            QCOMPARE(e.widget->geometry(), QRect(qRound(r.x() * scale), qRound(r.y() * scale),
                                                 qRound(r.width() * scale), qRound(r.height() * scale)));
        }

        QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("Test Details"));
        QCOMPARE(Form1->Label1->text(), QStringLiteral("Battery"));
        QCOMPARE(Form1->Label2->text(), QStringLiteral("Test  ID"));
        QVERIFY(Form1->Label3->text().isEmpty());
        QCOMPARE(Form1->Label3->alignment(), Qt::AlignCenter);
        QVERIFY(Form1->Label3->font().bold());
        QVERIFY(QFontInfo(Form1->Label3->font()).pixelSize() > QFontInfo(Form1->font()).pixelSize());
        QCOMPARE(Form1->Button1->text(), QStringLiteral("Start Test"));
        QCOMPARE(Form1->Button2->text(), QStringLiteral("Clear Data"));
        QVERIFY(Form1->Edit1->text().isEmpty() && Form1->Edit2->text().isEmpty());
        QCOMPARE(Form1->Edit1->maxLength(), 32767); // no limit of our own
        QVERIFY(!Form1->Timer1->isEnabled());
        QCOMPARE(Form1->Timer1->interval(), 125);
        // No text is clipped with the font in use.
        for (QWidget *w : {static_cast<QWidget *>(Form1->Label1), static_cast<QWidget *>(Form1->Label2),
                           static_cast<QWidget *>(Form1->Button1), static_cast<QWidget *>(Form1->Button2)})
            QVERIFY2(w->sizeHint().height() <= w->height() + 8, qPrintable(w->objectName()));
    }

    void tabOrderAndFirstFocus()
    {
        folder = std::make_unique<LogFolder>();
        create();
        Form1->show();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form1->Edit1));
        const QList<QWidget *> order = {Form1->Edit2, Form1->Button1, Form1->wwDBGrid1};
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Shift+Tab from the battery name reaches Clear Data.
        Form1->Edit1->setFocus();
        QTest::keyClick(Form1->Edit1, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form1->Button2));
    }

    void centredWhenFirstShownOnly()
    {
        folder = std::make_unique<LogFolder>();
        create();
        Form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form1));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(Form1->frameGeometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(qAbs(Form1->frameGeometry().center().y() - screen.center().y()) <= 2 + 30);
        Form1->move(5, 5);
        Form1->hide();
        Form1->show();
        QCOMPARE(Form1->pos(), QPoint(5, 5));
    }

    void clearDataEmptiesTheLogAndTheView()
    {
        folder = std::make_unique<LogFolder>();
        QVERIFY(folder->exec("INSERT INTO testdata (ttest, ttime, tperc) VALUES ('a', '2026-12-11 10:00:00.000', 50), "
                             "('b', '2026-12-11 10:01:00.000', 49)"));
        create();
        QCOMPARE(DataModule2->ADODataSet1->rowCount(), 2);
        QCOMPARE(Form1->wwDBGrid1->model()->rowCount(), 2);
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QVERIFY(folder->rows("SELECT * FROM testdata").isEmpty());
        QCOMPARE(Form1->wwDBGrid1->model()->rowCount(), 0);
        QVERIFY(recorder->boxes.isEmpty());
        // Again on the empty table: nothing to delete, no message.
        Form1->Button2Click(Form1->Button2);
        QVERIFY(recorder->boxes.isEmpty());
    }

    // A failing delete leaves the view showing the old rows; the error goes to the caller.
    void clearDataThatFails()
    {
        folder = std::make_unique<LogFolder>();
        QVERIFY(folder->exec("INSERT INTO testdata (ttest, ttime) VALUES ('kept', '2026-12-11 10:00:00.000');"
                             "CREATE TRIGGER keep BEFORE DELETE ON testdata BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        create();
        QVERIFY_THROWS_EXCEPTION(EProviderError, Form1->Button2Click(Form1->Button2));
        QCOMPARE(DataModule2->ADODataSet1->rowCount(), 1);
        QCOMPARE(folder->rows("SELECT ttest FROM testdata"), QStringList{QStringLiteral("kept")});
    }

    // What start-up reports, one box per component that fails to open, before the window shows.
    void openFailuresAtStartUp_data()
    {
        QTest::addColumn<QString>("sql"); // null: no file at all
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("viewOpen");
        QTest::newRow("no file") << QString() << QStringList{"does not exist", "does not exist", "does not exist"}
                                 << false;
        QTest::newRow("no table") << QStringLiteral("CREATE TABLE other (x)")
                                  << QStringList{"has no table \"testdata\"", "no such table: testdata"} << false;
        QTest::newRow("missing column")
            << QStringLiteral("CREATE TABLE testdata (tid INTEGER PRIMARY KEY AUTOINCREMENT, ttest VARCHAR(50), "
                              "ttime DATETIME, tac BOOLEAN, tperc DOUBLE, telap VARCHAR(8))")
            << QStringList{"Tdata: Field 'tbat' not found."} << true;
        QTest::newRow("refused kind")
            << QStringLiteral("CREATE TABLE testdata (tid INTEGER PRIMARY KEY AUTOINCREMENT, ttest MEMO, "
                              "tbat VARCHAR(50), ttime DATETIME, tac BOOLEAN, tperc DOUBLE, telap VARCHAR(8))")
            << QStringList{"Tdata: Type mismatch for field 'ttest', expecting: WideString actual: Memo."} << true;
    }
    void openFailuresAtStartUp()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, boxes);
        QFETCH(bool, viewOpen);
        if (sql.isNull()) {
            folder = std::make_unique<LogFolder>(QStringLiteral(""));
            QFile::remove(folder->path());
        } else {
            folder = std::make_unique<LogFolder>(sql);
        }
        create(); // start-up goes on after each box
        QCOMPARE(recorder->boxes.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i) {
            QVERIFY2(recorder->boxes[i].text.contains(boxes[i]), qPrintable(recorder->boxes[i].text));
            QCOMPARE(recorder->boxes[i].caption, QCoreApplication::applicationName());
        }
        QVERIFY(!DataModule2->Tdata->isActive());
        QCOMPARE(DataModule2->ADODataSet1->isActive(), viewOpen);
        QCOMPARE(Form1->wwDBGrid1->model()->rowCount(), 0);
        // The file was never created.
        if (sql.isNull())
            QVERIFY(!QFile::exists(folder->path()));

        // Every append then fails with the closed-data-set message.
        recorder->boxes.clear();
        try {
            DataModule2->Tdata->insert();
            QFAIL("insert on a closed table");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.message(), QStringLiteral("Tdata: Cannot perform this operation on a closed dataset"));
        }
    }

    // The grid's stored data source waits for the data module and binds before anything opens.
    void gridBindsWhenTheDataModuleComes()
    {
        folder = std::make_unique<LogFolder>();
        Form1 = new TForm1;
        QVERIFY(Form1->wwDBGrid1->dataSource() == nullptr);
        DataModule2 = new TDataModule2;
        QCOMPARE(Form1->wwDBGrid1->dataSource(), DataModule2->DData);
        delete DataModule2; // the grid loses its data source before it goes itself
        DataModule2 = nullptr;
        QVERIFY(Form1->wwDBGrid1->dataSource() == nullptr);
    }
};

QTEST_MAIN(MainWindow)
#include "tst_mainwindow.moc"
