#include "platform/clock.h"

#include <QDateTime>
#include <QTest>

#include <cmath>
#include <ctime>
#include <limits>

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

// Sets TZ for the scope of a test and puts the old value back.
class ZoneOverride final {
public:
    explicit ZoneOverride(const char *zone) : m_had(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneOverride()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    ZoneOverride(const ZoneOverride &) = delete;
    ZoneOverride &operator=(const ZoneOverride &) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

} // namespace

class TestClock final : public QObject {
    Q_OBJECT

private slots:
    void knownValues_data()
    {
        QTest::addColumn<QDateTime>("dateTime");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("iso");
        QTest::newRow("day zero") << local(1899, 12, 30) << 0.0 << "1899-12-30 00:00:00.000";
        QTest::newRow("noon 2000") << local(2000, 1, 1, 12) << 36526.5 << "2000-01-01 12:00:00.000";
        QTest::newRow("before day zero") << local(1899, 12, 29, 18) << -0.25 << "1899-12-29 18:00:00.000";
        QTest::newRow("leap day") << local(2024, 2, 29, 6) << 45351.25 << "2024-02-29 06:00:00.000";
        QTest::newRow("with ms") << local(2026, 12, 11, 14, 3, 7, 250) << 46367 + (50587250.0 / 86400000)
                                 << "2026-12-11 14:03:07.250";
    }

    void knownValues()
    {
        QFETCH(QDateTime, dateTime);
        QFETCH(double, value);
        QFETCH(QString, iso);
        QCOMPARE(toTDateTime(dateTime), value);
        QCOMPARE(fromTDateTime(value), dateTime);
        QCOMPARE(fromTDateTime(value).timeSpec(), Qt::LocalTime);
        QCOMPARE(isoText(value), iso);
        QCOMPARE(parseIsoText(iso), std::optional<double>(value));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QDateTime>("dateTime");
        QTest::newRow("last ms of a day") << local(2026, 3, 31, 23, 59, 59, 999);
        QTest::newRow("first ms of a day") << local(2026, 4, 1, 0, 0, 0, 1);
        QTest::newRow("1900-03-01") << local(1900, 3, 1, 8, 15);
        QTest::newRow("year 1") << local(1, 1, 1, 1, 2, 3, 4);
        QTest::newRow("9999-12-31") << local(9999, 12, 31, 23, 59, 59, 999);
        QTest::newRow("before day zero with ms") << local(1850, 7, 4, 13, 14, 15, 16);
    }

    void roundTrip()
    {
        QFETCH(QDateTime, dateTime);
        const TDateTime value = toTDateTime(dateTime);
        QCOMPARE(fromTDateTime(value), dateTime);
        const QString iso = isoText(value);
        QCOMPARE(iso, dateTime.toString("yyyy-MM-dd HH:mm:ss.zzz"));
        const auto parsed = parseIsoText(iso);
        QVERIFY(parsed);
        QCOMPARE(fromTDateTime(*parsed), dateTime);
    }

    void fromTDateTimeRoundsToMs()
    {
        const double ms = 1.0 / 86400000;
        QCOMPARE(fromTDateTime(0.5 + 0.4 * ms), local(1899, 12, 30, 12));
        QCOMPARE(fromTDateTime(0.5 + 0.6 * ms), local(1899, 12, 30, 12, 0, 0, 1));
        QCOMPARE(fromTDateTime(1 - 0.4 * ms), local(1899, 12, 31));
        QVERIFY(!fromTDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
        QVERIFY(!fromTDateTime(std::numeric_limits<double>::infinity()).isValid());
        QVERIFY(!fromTDateTime(1e300).isValid());
        QCOMPARE(isoText(std::numeric_limits<double>::quiet_NaN()), QString());
        QCOMPARE(isoText(3e6), QString()); // past year 9999
        QCOMPARE(toTDateTime(QDateTime()), 0.0);
    }

    void parsesIsoText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // as isoText writes it; empty when malformed
        QTest::newRow("date only") << "2026-12-11" << "2026-12-11 00:00:00.000";
        QTest::newRow("seconds") << "2026-12-11 14:03:07" << "2026-12-11 14:03:07.000";
        QTest::newRow("T separator") << "2026-12-11T14:03:07.250" << "2026-12-11 14:03:07.250";
        QTest::newRow("one fraction digit") << "2026-12-11 14:03:07.5" << "2026-12-11 14:03:07.500";
        QTest::newRow("two fraction digits") << "2026-12-11 14:03:07.05" << "2026-12-11 14:03:07.050";
        QTest::newRow("leap day") << "2000-02-29" << "2000-02-29 00:00:00.000";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("not a leap year") << "2023-02-29" << "";
        QTest::newRow("century not a leap year") << "1900-02-29" << "";
        QTest::newRow("month 13") << "2026-13-01" << "";
        QTest::newRow("month 0") << "2026-00-10" << "";
        QTest::newRow("day 0") << "2026-01-00" << "";
        QTest::newRow("April 31") << "2026-04-31" << "";
        QTest::newRow("year 0") << "0000-01-01" << "";
        QTest::newRow("hour 24") << "2026-12-11 24:00:00" << "";
        QTest::newRow("minute 60") << "2026-12-11 14:60:00" << "";
        QTest::newRow("leap second") << "2026-12-31 23:59:60" << "";
        QTest::newRow("no seconds") << "2026-12-11 14:03" << "";
        QTest::newRow("dot without digits") << "2026-12-11 14:03:07." << "";
        QTest::newRow("four fraction digits") << "2026-12-11 14:03:07.2500" << "";
        QTest::newRow("comma fraction") << "2026-12-11 14:03:07,250" << "";
        QTest::newRow("other separator") << "2026-12-11x14:03:07" << "";
        QTest::newRow("slashes") << "2026/12/11" << "";
        QTest::newRow("two-digit year") << "26-12-11" << "";
        QTest::newRow("leading space") << " 2026-12-11" << "";
        QTest::newRow("trailing space") << "2026-12-11 14:03:07 " << "";
        QTest::newRow("zone suffix") << "2026-12-11T14:03:07Z" << "";
        QTest::newRow("sign in field") << "2026-+2-11" << "";
        QTest::newRow("full-width digits") << QString::fromUtf8("２０２６-12-11") << "";
    }

    void parsesIsoText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const auto parsed = ::parseIsoText(text);
        QCOMPARE(parsed.has_value(), !expected.isEmpty());
        if (parsed)
            QCOMPARE(isoText(*parsed), expected);
    }

    // The clock and the conversions are in local time, not UTC.
    void localTime()
    {
        const ZoneOverride zone("XST-5:30");
        const double offsetDays = 5.5 / 24;
        const QDateTime utc = QDateTime::currentDateTimeUtc();
        const double utcNow = double(utc.date().toJulianDay() - QDate(1899, 12, 30).toJulianDay())
            + utc.time().msecsSinceStartOfDay() / 86400000.0;
        QVERIFY(std::fabs(SystemClock().now() - offsetDays - utcNow) < 1.0 / 1440); // within a minute

        QCOMPARE(toTDateTime(QDateTime(QDate(2000, 1, 1), QTime(12, 0), Qt::UTC)), 36526.5 + offsetDays);
        QCOMPARE(fromTDateTime(36526.5).toUTC(), QDateTime(QDate(2000, 1, 1), QTime(6, 30), Qt::UTC));
    }
};

QTEST_APPLESS_MAIN(TestClock)
#include "tst_clock.moc"
