#include "platform/timeformat.h"

#include <QLocale>
#include <QTest>

#include <limits>

namespace {

constexpr double kMsPerDay = 86400000.0;

int ms(int h, int m, int s, int milli = 0)
{
    return ((h * 60 + m) * 60 + s) * 1000 + milli;
}

TimeFormat format24(bool leadingZero)
{
    TimeFormat f;
    f.clock24 = true;
    f.leadingZero = leadingZero;
    return f;
}

// 12-hour with the designator after the time, no leading zero ("1:05:09 pm").
TimeFormat format12After()
{
    return TimeFormat{};
}

// 12-hour with the designator first and a leading zero ("PM 01:05:09").
TimeFormat format12Before()
{
    TimeFormat f;
    f.markerFirst = true;
    f.leadingZero = true;
    f.am = "AM";
    f.pm = "PM";
    return f;
}

} // namespace

class TestTimeFormat final : public QObject {
    Q_OBJECT

private slots:
    // Expected values checked against what Qt 6's locale data gives for the long time format.
    void fromLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("leadingZero");
        QTest::addColumn<bool>("clock24");
        QTest::addColumn<bool>("markerFirst");
        QTest::addColumn<QString>("am");
        QTest::addColumn<QString>("pm");
        // "HH:mm:ss t"
        QTest::newRow("C") << QLocale::c() << ":" << true << true << false << "AM" << "PM";
        // "h:mm:ss AP t"
        QTest::newRow("en_US") << QLocale("en_US") << ":" << false << false << false << "AM" << "PM";
        // "HH:mm:ss t"
        QTest::newRow("de_DE") << QLocale("de_DE") << ":" << true << true << false << "AM" << "PM";
        // "AP h시 m분 s초 t": designator first; a word plus space between the fields is no separator
        QTest::newRow("ko_KR") << QLocale("ko_KR") << ":" << false << false << true << QString::fromUtf8("오전")
                               << QString::fromUtf8("오후");
        // "H.mm.ss t"
        QTest::newRow("fi_FI") << QLocale("fi_FI") << "." << false << true << false << "ap." << "ip.";
        // "H時mm分ss秒 t": a single letter between the fields is a word, not a separator
        QTest::newRow("ja_JP") << QLocale("ja_JP") << ":" << false << true << false << QString::fromUtf8("午前")
                               << QString::fromUtf8("午後");
        // "HH 'h' mm 'min' ss 's' t": quoted text is neither a field nor a one-character separator
        QTest::newRow("fr_CA") << QLocale("fr_CA") << ":" << true << true << false << "a.m." << "p.m.";
    }

    void fromLocale()
    {
        QFETCH(QLocale, locale);
        const TimeFormat f = TimeFormat::fromLocale(locale);
        QTEST(f.separator, "separator");
        QTEST(f.leadingZero, "leadingZero");
        QTEST(f.clock24, "clock24");
        QTEST(f.markerFirst, "markerFirst");
        QTEST(f.am, "am");
        QTEST(f.pm, "pm");
    }

    void timeOfDay_data()
    {
        QTest::addColumn<int>("msOfDay");
        QTest::addColumn<QString>("h24");
        QTest::addColumn<QString>("h24Zero");
        QTest::addColumn<QString>("h12After");
        QTest::addColumn<QString>("h12Before");
        QTest::newRow("midnight") << 0 << "0:00:00" << "00:00:00" << "12:00:00 am" << "AM 12:00:00";
        QTest::newRow("five past midnight") << ms(0, 5, 0) << "0:05:00" << "00:05:00" << "12:05:00 am"
                                            << "AM 12:05:00";
        QTest::newRow("morning") << ms(9, 8, 7) << "9:08:07" << "09:08:07" << "9:08:07 am" << "AM 09:08:07";
        QTest::newRow("last ms before noon") << ms(11, 59, 59, 999) << "11:59:59" << "11:59:59" << "11:59:59 am"
                                             << "AM 11:59:59";
        QTest::newRow("noon") << ms(12, 0, 0) << "12:00:00" << "12:00:00" << "12:00:00 pm" << "PM 12:00:00";
        QTest::newRow("ms cut off") << ms(13, 5, 9, 999) << "13:05:09" << "13:05:09" << "1:05:09 pm"
                                    << "PM 01:05:09";
        QTest::newRow("last ms of the day") << ms(23, 59, 59, 999) << "23:59:59" << "23:59:59" << "11:59:59 pm"
                                            << "PM 11:59:59";
    }

    void timeOfDay()
    {
        QFETCH(int, msOfDay);
        QTEST(::timeOfDayText(msOfDay, format24(false)), "h24");
        QTEST(::timeOfDayText(msOfDay, format24(true)), "h24Zero");
        QTEST(::timeOfDayText(msOfDay, format12After()), "h12After");
        QTEST(::timeOfDayText(msOfDay, format12Before()), "h12Before");
    }

    // A duration looks the same under 24- and 12-hour formats: only the leading zero differs.
    void elapsed_data()
    {
        QTest::addColumn<double>("spanDays");
        QTest::addColumn<QString>("noZero");
        QTest::addColumn<QString>("zero");
        QTest::newRow("zero") << 0.0 << "0:00:00" << "00:00:00";
        QTest::newRow("0.4 s") << 400 / kMsPerDay << "0:00:00" << "00:00:00";
        QTest::newRow("1999 ms cut to 1 s") << 1999 / kMsPerDay << "0:00:01" << "00:00:01";
        QTest::newRow("59.999 s") << 59.999 / 86400 << "0:00:59" << "00:00:59";
        QTest::newRow("five minutes") << 5.0 / 1440 << "0:05:00" << "00:05:00";
        QTest::newRow("1 h 2 min 3.999 s") << ms(1, 2, 3, 999) / kMsPerDay << "1:02:03" << "01:02:03";
        QTest::newRow("13 h") << 13.0 / 24 << "13:00:00" << "13:00:00";
        QTest::newRow("26 h 0 min 5 s") << ms(26, 0, 5) / kMsPerDay << "26:00:05" << "26:00:05";
        QTest::newRow("ten days") << 10.0 << "240:00:00" << "240:00:00";
        QTest::newRow("clock set back 1 h 20 min") << -ms(1, 20, 0) / kMsPerDay << "1:20:00" << "01:20:00";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0:00:00" << "00:00:00";
    }

    void elapsed()
    {
        QFETCH(double, spanDays);
        QTEST(::elapsedText(spanDays, format24(false)), "noZero");
        QTEST(::elapsedText(spanDays, format12After()), "noZero");
        QTEST(::elapsedText(spanDays, format24(true)), "zero");
        QTEST(::elapsedText(spanDays, format12Before()), "zero");
    }

    void separatorApplies()
    {
        TimeFormat f = format12After();
        f.separator = ".";
        QCOMPARE(::elapsedText(ms(1, 2, 3) / kMsPerDay, f), QString("1.02.03"));
        QCOMPARE(::timeOfDayText(ms(13, 2, 3), f), QString("1.02.03 pm"));
        f.separator = "::"; // not one character: the default
        QCOMPARE(::elapsedText(ms(1, 2, 3) / kMsPerDay, f), QString("1:02:03"));
    }

    void hugeSpanDoesNotOverflow()
    {
        QVERIFY(::elapsedText(1e300, format24(false)).endsWith(":00:00"));
        QCOMPARE(::elapsedText(-std::numeric_limits<double>::infinity(), format24(false)), QString("0:00:00"));
    }
};

QTEST_APPLESS_MAIN(TestTimeFormat)
#include "tst_timeformat.moc"
