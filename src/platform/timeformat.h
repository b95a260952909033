#pragma once

#include <QString>

class QLocale;

// The parts of the user's long time format that korvel's clock and elapsed-time texts follow.
struct TimeFormat {
    QString separator = ":";  // one character
    bool leadingZero = false; // hour in at least two digits
    bool clock24 = false;     // false: 12-hour clock with designator
    bool markerFirst = false; // designator before the time
    QString am = "am";
    QString pm = "pm";

    // From locale.timeFormat(QLocale::LongFormat) and its am/pm texts; the defaults above for any
    // part that can't be read.
    static TimeFormat fromLocale(const QLocale &locale);
};

// Clock time of day (ms cut off): 12- or 24-hour, with the designator where the format has one.
QString timeOfDayText(int msOfDay, const TimeFormat &format);
// A duration as hours:minutes:seconds. Hours run past 24, a negative span shows its size, ms are cut
// off; separator and leading zero follow the format, never a 12-hour clock or designator.
QString elapsedText(double spanDays, const TimeFormat &format);
