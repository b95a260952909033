#include "platform/timeformat.h"

#include <QLocale>

#include <cmath>
#include <cstdint>

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Beyond this a span is garbage anyway; keeps llround defined.
constexpr double kMaxSpanDays = 1e9;

// A character of the format pattern with its quoting resolved: quoted text is never a field.
struct PatternChar {
    QChar c;
    bool quoted;
};

// Writes "h<sep>mm<sep>ss" with hours in at least minDigits digits; returns the length written.
// 20 hour digits cover any int64.
qsizetype writeHms(QChar *out, std::int64_t hours, int minutes, int seconds, QChar separator, int minDigits)
{
    QChar digits[20];
    int n = 0;
    do {
        digits[n++] = QChar(u'0' + static_cast<char16_t>(hours % 10));
        hours /= 10;
    } while (hours > 0);
    while (n < minDigits)
        digits[n++] = QChar(u'0');
    qsizetype len = 0;
    while (n > 0)
        out[len++] = digits[--n];
    out[len++] = separator;
    out[len++] = QChar(u'0' + minutes / 10);
    out[len++] = QChar(u'0' + minutes % 10);
    out[len++] = separator;
    out[len++] = QChar(u'0' + seconds / 10);
    out[len++] = QChar(u'0' + seconds % 10);
    return len;
}

QChar separatorOf(const TimeFormat &format)
{
    return format.separator.size() == 1 ? format.separator.front() : QChar(u':');
}

} // namespace

TimeFormat TimeFormat::fromLocale(const QLocale &locale)
{
    TimeFormat format;
    const QString pattern = locale.timeFormat(QLocale::LongFormat);

    // Resolve quoting first ('text' is literal, '' is a quote) so literals can't pose as fields.
    QList<PatternChar> chars;
    chars.reserve(pattern.size());
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {
                chars.append({c, true});
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        chars.append({c, quoted});
    }

    qsizetype hourAt = -1;
    qsizetype markerAt = -1;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        if (chars[i].quoted)
            continue;
        const QChar c = chars[i].c;
        if (hourAt < 0 && (c == u'h' || c == u'H'))
            hourAt = i;
        else if (markerAt < 0 && (c == u'a' || c == u'A'))
            markerAt = i;
    }

    if (hourAt >= 0) {
        const QChar hourLetter = chars[hourAt].c;
        qsizetype end = hourAt;
        while (end < chars.size() && !chars[end].quoted && chars[end].c == hourLetter)
            ++end;
        format.leadingZero = end - hourAt >= 2;
        // Qt shows "h" as 0-23 unless the pattern has a designator.
        format.clock24 = hourLetter == u'H' || markerAt < 0;
        format.markerFirst = markerAt >= 0 && markerAt < hourAt;

        qsizetype minuteAt = end;
        while (minuteAt < chars.size() && (chars[minuteAt].quoted || chars[minuteAt].c != u'm'))
            ++minuteAt;
        // A word such as Japanese "H時mm分" is no separator to put between the fields of a duration.
        if (minuteAt < chars.size() && minuteAt - end == 1 && !chars[end].c.isLetterOrNumber())
            format.separator = QString(chars[end].c);
    }

    if (const QString am = locale.amText(); !am.isEmpty())
        format.am = am;
    if (const QString pm = locale.pmText(); !pm.isEmpty())
        format.pm = pm;
    return format;
}

QString timeOfDayText(int msOfDay, const TimeFormat &format)
{
    std::int64_t ms = msOfDay % kMsPerDay;
    if (ms < 0)
        ms += kMsPerDay;
    const int seconds = static_cast<int>(ms / 1000);
    const int hour = seconds / 3600;
    int shownHour = hour;
    if (!format.clock24) {
        shownHour = hour % 12;
        if (shownHour == 0)
            shownHour = 12;
    }

    QChar hms[16];
    const qsizetype len = writeHms(hms, shownHour, seconds / 60 % 60, seconds % 60, separatorOf(format),
                                   format.leadingZero ? 2 : 1);
    if (format.clock24)
        return QString(hms, len);

    const QString &marker = hour < 12 ? format.am : format.pm;
    QString text;
    text.reserve(len + 1 + marker.size());
    if (format.markerFirst)
        text.append(marker).append(u' ').append(hms, len);
    else
        text.append(hms, len).append(u' ').append(marker);
    return text;
}

QString elapsedText(double spanDays, const TimeFormat &format)
{
    if (!std::isfinite(spanDays))
        spanDays = 0;
    const double days = std::fmin(std::fabs(spanDays), kMaxSpanDays);
    const std::int64_t ms = std::llround(days * kMsPerDay);
    const std::int64_t seconds = ms / 1000;

    QChar text[32];
    const qsizetype len = writeHms(text, seconds / 3600, static_cast<int>(seconds / 60 % 60),
                                   static_cast<int>(seconds % 60), separatorOf(format), format.leadingZero ? 2 : 1);
    return QString(text, len);
}
