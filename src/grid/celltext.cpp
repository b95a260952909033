#include "grid/celltext.h"

#include "platform/timeformat.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <cmath>

namespace {

bool isNumberKind(const QString &kind)
{
    for (const char *number : {"AutoInc", "Word", "SmallInt", "Integer", "LargeInt", "Float", "Currency", "BCD"})
        if (kind == QLatin1String(number))
            return true;
    return false;
}

bool isFloatKind(const QString &kind)
{
    return kind == QLatin1String("Float") || kind == QLatin1String("Currency") || kind == QLatin1String("BCD");
}

// General format: shortest form with at most 15 significant digits; no thousands separator.
QString generalNumber(double value, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', 15);
}

constexpr qint64 msPerDay = 86'400'000;
const QDate dayZero(1899, 12, 30);

// Days since 1899-12-30; the fraction is the time of day, also for days before it (-1.25 is
// 1899-12-29 06:00).
QString dateTimeText(double value, const QString &kind, const QLocale &locale, const TimeFormat &time)
{
    if (!std::isfinite(value) || std::abs(value) > 3e6)
        return QString();
    const double days = std::trunc(value);
    qint64 ms = std::llround(std::abs(value - days) * msPerDay);
    qint64 day = qint64(days);
    if (ms >= msPerDay) {
        ms -= msPerDay;
        day += value < 0 ? -1 : 1;
    }
    const QString date = locale.toString(dayZero.addDays(day), QLocale::ShortFormat);
    const QString clock = timeOfDayText(int(ms), time);
    if (kind == QLatin1String("Date"))
        return date;
    if (kind == QLatin1String("Time"))
        return clock;
    // Midnight to the second shows the date alone.
    if (ms < 1000)
        return date;
    return date + u' ' + clock;
}

} // namespace

QString cellText(const QVariant &value, const QString &kind, const QLocale &locale, const TimeFormat &time)
{
    if (value.isNull())
        return QString();
    const bool dateKind =
        kind == QLatin1String("DateTime") || kind == QLatin1String("Date") || kind == QLatin1String("Time");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        if (dateKind)
            return dateTimeText(value.toDouble(), kind, locale, time);
        return generalNumber(value.toDouble(), locale);
    case QMetaType::LongLong:
        if (dateKind)
            return dateTimeText(value.toDouble(), kind, locale, time);
        if (isFloatKind(kind))
            return generalNumber(value.toDouble(), locale);
        return QString::number(value.toLongLong()).replace(u'-', locale.negativeSign());
    case QMetaType::QByteArray:
        return QStringLiteral("(BLOB)");
    default:
        return value.toString();
    }
}

Qt::Alignment cellAlignment(const QString &kind)
{
    return (isNumberKind(kind) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}
