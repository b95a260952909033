#pragma once

#include <Qt>

class QLocale;
class QString;
class QVariant;
struct TimeFormat;

// The display text of a value of a query column of the given kind ("Float", "DateTime", "Boolean", ...,
// see declaredtype.h): numbers in general format, date and time in the locale's short date and the
// format's clock time, booleans as "True"/"False", null as an empty text. A value that doesn't have the
// column's type (text in a number or date column) shows as stored.
QString cellText(const QVariant &value, const QString &kind, const QLocale &locale, const TimeFormat &time);
// Numbers right, everything else left.
Qt::Alignment cellAlignment(const QString &kind);
