#include "report/timetext.h"

#include "platform/calendar.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

constexpr qint64 msPerDay = 86'400'000;
// Days from 1899-12-30 to 1970-01-01.
constexpr double dayNumberOf1970 = 25569.0;

using calendar::civilFromDays;
using calendar::daysFromCivil;

bool isLeap(qint64 y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(qint64 y, unsigned m)
{
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Reads exactly `count` digits at `pos`.
bool digits(QStringView s, qsizetype &pos, int count, int &value)
{
    if (pos + count > s.size())
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = s[pos + i];
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    pos += count;
    return true;
}

bool expect(QStringView s, qsizetype &pos, char16_t c)
{
    if (pos >= s.size() || s[pos] != c)
        return false;
    ++pos;
    return true;
}

QString twoDigits(qint64 v)
{
    return QString::number(v).rightJustified(2, u'0');
}

} // namespace

std::optional<LocalMs> parseLocalTime(QStringView text)
{
    const QStringView s = text.trimmed();
    qsizetype pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!digits(s, pos, 4, year) || !expect(s, pos, u'-') || !digits(s, pos, 2, month) || !expect(s, pos, u'-') ||
        !digits(s, pos, 2, day))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || unsigned(day) > daysInMonth(year, unsigned(month)))
        return std::nullopt;
    if (pos < s.size()) {
        if (s[pos] != u' ' && s[pos] != u'T')
            return std::nullopt;
        ++pos;
        if (!digits(s, pos, 2, hour) || !expect(s, pos, u':') || !digits(s, pos, 2, minute))
            return std::nullopt;
        if (pos < s.size()) {
            if (!expect(s, pos, u':') || !digits(s, pos, 2, second))
                return std::nullopt;
            if (pos < s.size()) {
                if (s[pos] != u'.' && s[pos] != u',')
                    return std::nullopt;
                ++pos;
                // Up to milliseconds count; further digits are dropped.
                int scale = 100, count = 0;
                for (; pos < s.size() && s[pos] >= u'0' && s[pos] <= u'9'; ++pos, ++count) {
                    ms += (s[pos].unicode() - u'0') * scale;
                    scale /= 10;
                }
                if (count == 0 || pos != s.size())
                    return std::nullopt;
            }
        }
        if (hour > 23 || minute > 59 || second > 59)
            return std::nullopt;
    }
    return daysFromCivil(year, month, day) * msPerDay + hour * 3'600'000LL + minute * 60'000LL +
           second * 1000LL + ms;
}

std::optional<LocalMs> localTimeFromDays(double days)
{
    // Years 1900 to 9999 only; anything else is not a time someone logged.
    if (!std::isfinite(days) || days < 1.0 || days > 2958466.0)
        return std::nullopt;
    return LocalMs(std::llround((days - dayNumberOf1970) * double(msPerDay)));
}

QString formatLocalTime(LocalMs time, bool withMs)
{
    char text[32];
    const int size = formatLocalTime(time, withMs, text);
    return QString::fromLatin1(text, size);
}

int formatLocalTime(LocalMs time, bool withMs, char *out)
{
    qint64 days = time / msPerDay;
    qint64 rest = time % msPerDay;
    if (rest < 0) {
        rest += msPerDay;
        --days;
    }
    const calendar::Civil c = civilFromDays(days);
    // Hand-made rather than printf: a CSV of a million rows calls this for every row.
    char *p = out;
    auto put = [&p](qint64 value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            p[i] = char('0' + value % 10);
            value /= 10;
        }
        p += width;
    };
    put(std::clamp<qint64>(c.year, 0, 9999), 4);
    *p++ = '-';
    put(c.month, 2);
    *p++ = '-';
    put(c.day, 2);
    *p++ = ' ';
    put(rest / 3'600'000, 2);
    *p++ = ':';
    put(rest / 60'000 % 60, 2);
    *p++ = ':';
    put(rest / 1000 % 60, 2);
    if (withMs) {
        *p++ = '.';
        put(rest % 1000, 3);
    }
    return int(p - out);
}

std::optional<qint64> parseElapsedSeconds(QStringView text)
{
    const QStringView s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    constexpr qsizetype cutLength = 8;
    qint64 groups[3] = {0, 0, 0};
    int lengths[3] = {0, 0, 0};
    int group = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c >= u'0' && c <= u'9') {
            if (lengths[group] >= 12)
                return std::nullopt;
            groups[group] = groups[group] * 10 + (c.unicode() - u'0');
            ++lengths[group];
        } else {
            // One separator between groups, never two in a row or at either end.
            if (lengths[group] == 0 || group == 2)
                return std::nullopt;
            if (i + 1 == s.size()) {
                if (s.size() != cutLength)
                    return std::nullopt;
                break;
            }
            ++group;
        }
    }
    if (group == 0)
        return std::nullopt; // a bare number says nothing about its unit
    if (lengths[1] > 2 || lengths[2] > 2)
        return std::nullopt;
    // The log stores 8 characters; a cut last group lost its low digit.
    if (s.size() == cutLength && lengths[group] == 1)
        groups[group] *= 10;
    if (groups[1] > 59 || groups[2] > 59)
        return std::nullopt;
    return groups[0] * 3600 + groups[1] * 60 + groups[2];
}

QString formatDuration(qint64 ms)
{
    const bool negative = ms < 0;
    const qint64 seconds = (negative ? -ms : ms) / 1000;
    return (negative ? QStringLiteral("-") : QString()) + QString::number(seconds / 3600) + u':' +
           twoDigits(seconds / 60 % 60) + u':' + twoDigits(seconds % 60);
}

} // namespace report
