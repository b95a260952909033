#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace report {

// A wall-clock time as logged: milliseconds since 1970-01-01 00:00 on the same local clock. The log holds
// local time text without a zone, so differences are what the clock on the wall showed.
using LocalMs = qint64;

// Reads "2026-12-11 14:03:07.250" (also with 'T', without seconds or fraction, or a date alone).
std::optional<LocalMs> parseLocalTime(QStringView text);
// Reads a day count since 1899-12-30, the form a hand-edited file may hold instead of text.
std::optional<LocalMs> localTimeFromDays(double days);
// "2026-12-11 14:03:07.250"; with withMs false "2026-12-11 14:03:07".
QString formatLocalTime(LocalMs time, bool withMs = true);
// The same into `out` (at least 24 bytes), returning the length; years are kept within 0000..9999.
int formatLocalTime(LocalMs time, bool withMs, char *out);

// Reads the logged elapsed time "0:05:00" or "126:00:05": hours of any length, then minutes and seconds, split
// by any single non-digit (locales differ). The log cuts the text to 8 characters; the digits lost that way
// count as 0 ("123:45:0" reads as 123:45:00, "1234:56:" as 1234:56:00).
std::optional<qint64> parseElapsedSeconds(QStringView text);
// "26:00:05" from milliseconds; negative spans keep their sign.
QString formatDuration(qint64 ms);

} // namespace report
