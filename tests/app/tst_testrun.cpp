// The test run: Start/End, the sampling tick, the change rule and what a log record holds.
#include "fakes.h"

#include "data/query.h"
#include "data/table.h"
#include "dm.h"
#include "mu.h"
#include "platform/exception.h"
#include "platform/linux/sysfspowersource.h"
#include "platform/timer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
// 2026-12-11 10:00:00 local
const TDateTime startTime = 46367 + 10.0 / 24;
constexpr double second = 1.0 / 86400;

} // namespace

class TestRun : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogFolder> folder;
    std::unique_ptr<BoxRecorder> recorder;
    std::unique_ptr<FakeProgram> program;
    std::shared_ptr<TDateTime> time;
    std::shared_ptr<PowerStatus> power;

    void tick(double afterSeconds = 0.125)
    {
        *time += afterSeconds * second;
        Form1->Timer1Timer(Form1->Timer1);
    }
    void setPercent(int percent, int ac = 0)
    {
        power->batteryLifePercent = quint8(percent);
        power->acLineStatus = quint8(ac);
    }
    QStringList log() const { return folder->rows("SELECT tperc, tac, ttest, tbat, telap FROM testdata ORDER BY tid"); }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<LogFolder>();
        recorder = std::make_unique<BoxRecorder>();
        program = std::make_unique<FakeProgram>(startTime);
        time = program->time;
        power = program->power;
        QVERIFY(recorder->boxes.isEmpty());
    }
    void cleanup()
    {
        program.reset();
        recorder.reset();
        folder.reset();
    }

    void startsIdle()
    {
        QCOMPARE(Form1->Button1->text(), QStringLiteral("Start Test"));
        QVERIFY(!Form1->Timer1->isEnabled());
        QCOMPARE(Form1->Timer1->interval(), 125);
        QVERIFY(Form1->Label3->text().isEmpty());
    }

    void firstTickWritesTheCurrentPercentage()
    {
        setPercent(57);
        Form1->Edit1->setText(QStringLiteral("BAT-A"));
        Form1->Edit2->setText(QStringLiteral("drain 1"));
        Form1->Button1Click(Form1->Button1);
        QVERIFY(Form1->Timer1->isEnabled());
        QCOMPARE(Form1->Button1->text(), QStringLiteral("End Test"));
        QCOMPARE(TestStartedAt, startTime);

        tick();
        QCOMPARE(Form1->Label3->text(), QStringLiteral("0:00:00"));
        QCOMPARE(log(), QStringList{QStringLiteral("57.0|0|drain 1|BAT-A|0:00:00")});
        // The record's time is the tick's own clock reading, with milliseconds.
        QCOMPARE(folder->rows("SELECT ttime FROM testdata"), QStringList{QStringLiteral("2026-12-11 10:00:00.125")});
        // The view was refreshed inside the post: the new record is its first, current row.
        QCOMPARE(DataModule2->ADODataSet1->rowCount(), 1);
        QCOMPARE(DataModule2->ADODataSet1->currentRow(), 0);
    }

    // Sequences of readings per tick and the log they leave.
    void changeRule_data()
    {
        QTest::addColumn<QList<int>>("percents");
        QTest::addColumn<QList<int>>("logged");
        QTest::newRow("steady") << QList<int>{80, 80, 80, 80} << QList<int>{80};
        QTest::newRow("zero at start") << QList<int>{0, 0, 0, 1} << QList<int>{1};
        QTest::newRow("down and back up") << QList<int>{57, 56, 57} << QList<int>{57, 56, 57};
        QTest::newRow("no reading") << QList<int>{255, 255, 90} << QList<int>{255, 90};
        QTest::newRow("charging") << QList<int>{10, 11, 11, 12} << QList<int>{10, 11, 12};
    }
    void changeRule()
    {
        QFETCH(QList<int>, percents);
        QFETCH(QList<int>, logged);
        Form1->Button1Click(Form1->Button1);
        for (int percent : percents) {
            setPercent(percent);
            tick();
        }
        QStringList expected;
        for (int percent : logged)
            expected.append(QString::number(percent) + QStringLiteral(".0"));
        QCOMPARE(folder->rows("SELECT tperc FROM testdata ORDER BY tid"), expected);
    }

    void mainsAndNamesAreSampledOnlyWithAChange()
    {
        Form1->Button1Click(Form1->Button1);
        setPercent(50, 0);
        tick();
        setPercent(50, 1); // charger plugged in, same percentage: nothing
        Form1->Edit2->setText(QStringLiteral("renamed"));
        tick();
        setPercent(51, 255); // "no reading" counts as mains
        tick();
        setPercent(52, 1);
        tick();
        QCOMPARE(log(), (QStringList{QStringLiteral("50.0|0|||0:00:00"), QStringLiteral("51.0|1|renamed||0:00:00"),
                                     QStringLiteral("52.0|1|renamed||0:00:00")}));
        // Blank names are stored as empty texts, not as nulls.
        QCOMPARE(folder->rows("SELECT count(*) FROM testdata WHERE tbat = ''"), QStringList{QStringLiteral("3")});
    }

    void elapsedText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("shown");
        QTest::newRow("59.999 s is cut, not rounded") << 59.999 << QStringLiteral("0:00:59");
        QTest::newRow("an hour and a bit") << 3723.999 << QStringLiteral("1:02:03");
        QTest::newRow("more than a day counts on") << 26 * 3600.0 + 5 << QStringLiteral("26:00:05");
        QTest::newRow("clock set back") << -(3600.0 + 20 * 60) << QStringLiteral("1:20:00");
    }
    void elapsedText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, shown);
        setPercent(0);
        Form1->Button1Click(Form1->Button1);
        tick(seconds);
        QCOMPARE(Form1->Label3->text(), shown);
    }

    // A duration never takes a 12-hour clock: five minutes is not "12:05:00 AM".
    void twelveHourLocaleStillShowsADuration()
    {
        TimeFormat format;
        format.clock24 = false;
        format.am = QStringLiteral("AM");
        format.pm = QStringLiteral("PM");
        Form1->setTimeFormat(format);
        setPercent(40);
        Form1->Button1Click(Form1->Button1);
        tick(300);
        QCOMPARE(Form1->Label3->text(), QStringLiteral("0:05:00"));
        QCOMPARE(folder->rows("SELECT telap FROM testdata"), QStringList{QStringLiteral("0:05:00")});
    }

    // A change of the regional settings shows from the next tick on.
    void localeChangeDuringATest()
    {
        Form1->setTimeFormat(TimeFormat::fromLocale(QLocale::c()));
        setPercent(40);
        Form1->Button1Click(Form1->Button1);
        tick(65);
        QCOMPARE(Form1->Label3->text(), QStringLiteral("00:01:05"));
        QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(Form1, &change);
        QLocale::setDefault(QLocale::c());
        tick(1);
        QCOMPARE(Form1->Label3->text(), QStringLiteral("0.01.06"));
    }

    void endThenStartLogsAgain()
    {
        setPercent(70);
        Form1->Button1Click(Form1->Button1);
        tick(10);
        Form1->Button1Click(Form1->Button1); // End
        QVERIFY(!Form1->Timer1->isEnabled());
        QCOMPARE(Form1->Button1->text(), QStringLiteral("Start Test"));
        QCOMPARE(LastLoggedPercent, 0);
        QCOMPARE(Form1->Label3->text(), QStringLiteral("0:00:10")); // kept after End
        QCOMPARE(log().size(), 1);

        *time += 60 * second;
        Form1->Button1Click(Form1->Button1); // Start again, same percentage
        tick(2);
        QCOMPARE(folder->rows("SELECT tperc, telap FROM testdata ORDER BY tid"),
                 (QStringList{QStringLiteral("70.0|0:00:10"), QStringLiteral("70.0|0:00:02")}));
    }

    void clearDataDuringATest()
    {
        setPercent(90);
        Form1->Button1Click(Form1->Button1);
        tick();
        Form1->Button2Click(Form1->Button2);
        QVERIFY(log().isEmpty());
        QCOMPARE(DataModule2->ADODataSet1->rowCount(), 0);
        QVERIFY(Form1->Timer1->isEnabled());
        tick(); // same percentage: the log stays empty
        QVERIFY(log().isEmpty());
        setPercent(89);
        tick();
        QCOMPARE(folder->rows("SELECT tperc FROM testdata"), QStringList{QStringLiteral("89.0")});
        QCOMPARE(DataModule2->ADODataSet1->rowCount(), 1);
    }

    // A post that fails leaves the record pending; it is written, late and with its own values,
    // when the next record is begun.
    void failedPostIsPostedAtTheNextChange()
    {
        QVERIFY(folder->exec("CREATE TRIGGER refuse BEFORE INSERT ON testdata BEGIN "
                             "SELECT RAISE(ABORT, 'refused by test'); END"));
        setPercent(60);
        Form1->Button1Click(Form1->Button1);
        QVERIFY_THROWS_EXCEPTION(EProviderError, tick());
        QVERIFY(DataModule2->Tdata->hasPendingRecord());
        QCOMPARE(LastLoggedPercent, 60);
        tick(); // same percentage: no second attempt, no second error
        QVERIFY(log().isEmpty());

        QVERIFY(folder->exec("DROP TRIGGER refuse"));
        setPercent(59);
        tick(5);
        QCOMPARE(folder->rows("SELECT tperc, telap FROM testdata ORDER BY tid"),
                 (QStringList{QStringLiteral("60.0|0:00:00"), QStringLiteral("59.0|0:00:05")}));
        QVERIFY(!DataModule2->Tdata->hasPendingRecord());
    }

    // Without a system timer the Start steps stop after the flag is set; the next click ends.
    void noTimerLeftAtStart()
    {
        TestStartedAt = 1;
        Timer::failNextStartForTesting();
        QVERIFY_THROWS_EXCEPTION(Exception, Form1->Button1Click(Form1->Button1));
        QVERIFY(Form1->Timer1->isEnabled());
        QCOMPARE(Form1->Button1->text(), QStringLiteral("Start Test"));
        QCOMPARE(TestStartedAt, 1.0);
        Form1->Button1Click(Form1->Button1); // takes the End path
        QVERIFY(!Form1->Timer1->isEnabled());
        Form1->Button1Click(Form1->Button1); // starts normally
        QCOMPARE(Form1->Button1->text(), QStringLiteral("End Test"));
    }

    // A real window reading a stand-in power-supply tree: Start, ticks while the battery drains and the
    // charger comes and goes, End; the rows land in the file.
    void powerSupplyTreeToRows()
    {
        QTemporaryDir tree;
        const QString source = QStringLiteral(KORVEL_TEST_DATA "/power-supply/laptop-discharging");
        const QString root = tree.filePath(QStringLiteral("power_supply"));
        for (const QString &supply : QDir(source).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QDir().mkpath(root + u'/' + supply);
            for (const QString &file : QDir(source + u'/' + supply).entryList(QDir::Files))
                QVERIFY(QFile::copy(source + u'/' + supply + u'/' + file, root + u'/' + supply + u'/' + file));
        }
        const auto write = [&](const QString &file, const QByteArray &value) {
            QFile f(root + u'/' + file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(value + '\n');
        };
        Form1->setPowerSource(std::make_unique<SysfsPowerSource>(root));
        Form1->Edit1->setText(QStringLiteral("BAT0"));
        Form1->Edit2->setText(QStringLiteral("fixture"));
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        tick();                                 // 57 %, on battery
        write(QStringLiteral("BAT0/energy_now"), "29640000");
        tick();                                 // unchanged
        write(QStringLiteral("BAT0/energy_now"), "29000000");
        tick(60);                               // 55 %
        write(QStringLiteral("AC/online"), "1");
        write(QStringLiteral("BAT0/status"), "Charging");
        write(QStringLiteral("BAT0/energy_now"), "29200000");
        tick(60);                               // 56 %, on mains
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        QVERIFY(!Form1->Timer1->isEnabled());
        QCOMPARE(folder->rows("SELECT tperc, tac, ttest, tbat, telap FROM testdata ORDER BY tid"),
                 (QStringList{QStringLiteral("57.0|0|fixture|BAT0|0:00:00"),
                              QStringLiteral("55.0|0|fixture|BAT0|0:01:00"),
                              QStringLiteral("56.0|1|fixture|BAT0|0:02:00")}));
        QCOMPARE(DataModule2->ADODataSet1->value(0, DataModule2->ADODataSet1->columnIndex(u"tperc")).toDouble(), 56.0);
    }

    // The real timer drives the ticks while the test runs.
    void realTimerTicks()
    {
        setPercent(33);
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        QTRY_COMPARE(folder->rows("SELECT tperc FROM testdata"), QStringList{QStringLiteral("33.0")});
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        QVERIFY(!Form1->Timer1->isEnabled());
    }
};

QTEST_MAIN(TestRun)
#include "tst_testrun.moc"
