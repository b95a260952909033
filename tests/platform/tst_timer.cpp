#include "platform/exception.h"
#include "platform/timer.h"

#include <QTest>
#include <QTimer>

namespace {

// Lets a 1 ms witness timer fire a few times: long enough for any 1 ms Timer that runs to tick, without
// measuring time.
bool letTimersRun()
{
    int witnessTicks = 0;
    QTimer witness;
    witness.setInterval(1);
    QObject::connect(&witness, &QTimer::timeout, [&] { ++witnessTicks; });
    witness.start();
    return QTest::qWaitFor([&] { return witnessTicks >= 5; });
}

} // namespace

class TestTimer final : public QObject {
    Q_OBJECT
private slots:
    void startsEnabledAndTicks();
    void disablingStopsAtOnce();
    void noTicks_data();
    void noTicks();
    void newIntervalRestartsPeriod();
    void notEnoughTimers_data();
    void notEnoughTimers();
};

void TestTimer::startsEnabledAndTicks()
{
    Timer timer;
    QVERIFY(timer.isEnabled());
    QCOMPARE(timer.interval(), 1000);
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    timer.setInterval(1);
    QTRY_VERIFY(ticks >= 3);
    QVERIFY(timer.isEnabled());
}

void TestTimer::disablingStopsAtOnce()
{
    Timer timer;
    timer.setInterval(1);
    int ticks = 0;
    timer.onTimer = [&] {
        ++ticks;
        timer.setEnabled(false);
    };
    QTRY_COMPARE(ticks, 1);
    QVERIFY(!timer.isEnabled());
    QVERIFY(letTimersRun());
    QCOMPARE(ticks, 1);

    timer.onTimer = [&] { ++ticks; };
    timer.setEnabled(true);
    QTRY_VERIFY(ticks >= 3);
}

void TestTimer::noTicks_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("expectedInterval");
    QTest::newRow("disabled") << false << 1 << 1;
    QTest::newRow("interval 0") << true << 0 << 0;
    QTest::newRow("negative interval") << true << -5 << 0;
}

void TestTimer::noTicks()
{
    QFETCH(bool, enabled);
    QFETCH(int, interval);
    QFETCH(int, expectedInterval);
    Timer timer;
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    timer.setEnabled(enabled);
    timer.setInterval(interval);
    QCOMPARE(timer.interval(), expectedInterval);
    QCOMPARE(timer.isEnabled(), enabled);
    QVERIFY(letTimersRun());
    QCOMPARE(ticks, 0);
}

void TestTimer::newIntervalRestartsPeriod()
{
    Timer timer;
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    timer.setInterval(3600 * 1000);
    QVERIFY(letTimersRun());
    QCOMPARE(ticks, 0);
    // Without a restart the first tick would be an hour away.
    timer.setInterval(1);
    QTRY_VERIFY(ticks >= 2);
}

void TestTimer::notEnoughTimers_data()
{
    QTest::addColumn<bool>("viaInterval");
    QTest::newRow("setEnabled") << false;
    QTest::newRow("setInterval") << true;
}

void TestTimer::notEnoughTimers()
{
    QFETCH(bool, viaInterval);
    Timer timer;
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    if (!viaInterval) {
        timer.setInterval(1);
        timer.setEnabled(false);
    }
    Timer::failNextStartForTesting();
    try {
        if (viaInterval)
            timer.setInterval(1);
        else
            timer.setEnabled(true);
        QFAIL("no exception");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), QStringLiteral("Not enough timers available"));
    }
    QVERIFY(timer.isEnabled());
    timer.setEnabled(true); // already enabled: nothing happens, still no timer
    QVERIFY(letTimersRun());
    QCOMPARE(ticks, 0);

    timer.setEnabled(false);
    QVERIFY(!timer.isEnabled());
    timer.setEnabled(true);
    QTRY_VERIFY(ticks >= 2);
}

QTEST_GUILESS_MAIN(TestTimer)
#include "tst_timer.moc"
