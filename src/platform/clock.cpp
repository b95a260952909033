#include "platform/clock.h"

#include "platform/calendar.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cmath>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::int64_t kEpochJulianDay = 2'415'019;    // 1899-12-30 as QDate::toJulianDay counts
constexpr std::int64_t kUnixEpochDay = 25'569;         // 1970-01-01 as a day number
constexpr double kMaxDays = 2'958'466.0;               // 9999-12-31 + 1; keeps llround in range

using calendar::civilFromDays;
using calendar::daysFromCivil;

static_assert(daysFromCivil(1899, 12, 30) == -kUnixEpochDay);
static_assert(civilFromDays(-kUnixEpochDay).year == 1899);

TDateTime compose(std::int64_t year, int month, int day, std::int64_t msOfDay)
{
    if (msOfDay >= kMsPerDay) // a leap second
        msOfDay = kMsPerDay - 1;
    return static_cast<double>(daysFromCivil(year, month, day) + kUnixEpochDay)
        + static_cast<double>(msOfDay) / kMsPerDay;
}

// Whole milliseconds since 1899-12-30 00:00, split into day and ms-of-day (ms-of-day never negative).
bool split(TDateTime value, std::int64_t &day, std::int64_t &msOfDay)
{
    if (!std::isfinite(value) || std::fabs(value) >= kMaxDays)
        return false;
    const std::int64_t total = std::llround(value * kMsPerDay);
    day = total / kMsPerDay;
    msOfDay = total % kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --day;
    }
    return true;
}

} // namespace

TDateTime SystemClock::now() const
{
#ifdef _WIN32
    SYSTEMTIME st;
    GetLocalTime(&st);
    return compose(st.wYear, st.wMonth, st.wDay,
                   ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * 1000LL + st.wMilliseconds);
#else
    // localtime_r, unlike localtime or QDateTime::currentDateTime, doesn't re-check the zone each call.
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    if (!localtime_r(&ts.tv_sec, &local))
        return 0;
    return compose(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday,
                   ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000LL + ts.tv_nsec / 1'000'000);
#endif
}

TDateTime toTDateTime(const QDateTime &local)
{
    if (!local.isValid())
        return 0;
    const QDateTime t = local.timeSpec() == Qt::LocalTime ? local : local.toLocalTime();
    return static_cast<double>(t.date().toJulianDay() - kEpochJulianDay)
        + static_cast<double>(t.time().msecsSinceStartOfDay()) / kMsPerDay;
}

QDateTime fromTDateTime(TDateTime value)
{
    std::int64_t day = 0;
    std::int64_t msOfDay = 0;
    if (!split(value, day, msOfDay))
        return {};
    return QDateTime(QDate::fromJulianDay(day + kEpochJulianDay),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(msOfDay)), Qt::LocalTime);
}

QString isoText(TDateTime value)
{
    std::int64_t day = 0;
    std::int64_t ms = 0;
    if (!split(value, day, ms))
        return {};
    const calendar::Civil c = civilFromDays(day - kUnixEpochDay);
    if (c.year < 1 || c.year > 9999)
        return {};

    char text[23];
    const auto put = [&text](int at, std::int64_t number, int width) {
        for (int i = at + width - 1; i >= at; --i, number /= 10)
            text[i] = static_cast<char>('0' + number % 10);
    };
    put(0, c.year, 4);
    text[4] = '-';
    put(5, c.month, 2);
    text[7] = '-';
    put(8, c.day, 2);
    text[10] = ' ';
    put(11, ms / 3'600'000, 2);
    text[13] = ':';
    put(14, ms / 60'000 % 60, 2);
    text[16] = ':';
    put(17, ms / 1000 % 60, 2);
    text[19] = '.';
    put(20, ms % 1000, 3);
    return QString::fromLatin1(text, sizeof text);
}

std::optional<TDateTime> parseIsoText(QStringView text)
{
    // Digits by position; -1 when a place is not an ASCII digit.
    const auto number = [text](qsizetype at, qsizetype width) -> int {
        int value = 0;
        for (qsizetype i = at; i < at + width; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const qsizetype n = text.size();
    if (n < 10 || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDaysInMonth[month - 1] + (month == 2 && leap))
        return std::nullopt;

    std::int64_t msOfDay = 0;
    if (n > 10) {
        if (n < 19 || (text[10] != u' ' && text[10] != u'T') || text[13] != u':' || text[16] != u':')
            return std::nullopt;
        const int hour = number(11, 2);
        const int minute = number(14, 2);
        const int second = number(17, 2);
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
            return std::nullopt;
        int ms = 0;
        if (n > 19) {
            const qsizetype digits = n - 20;
            if (text[19] != u'.' || digits < 1 || digits > 3)
                return std::nullopt;
            ms = number(20, digits);
            if (ms < 0)
                return std::nullopt;
            for (qsizetype i = digits; i < 3; ++i)
                ms *= 10;
        }
        msOfDay = ((hour * 60LL + minute) * 60 + second) * 1000 + ms;
    }
    return compose(year, month, day, msOfDay);
}
