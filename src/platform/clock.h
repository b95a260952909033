#pragma once

#include <optional>

class QDateTime;
class QString;
class QStringView;

// Days since 1899-12-30, local time; the fraction is the time of day.
using TDateTime = double;

class Clock {
public:
    virtual ~Clock() = default;
    virtual TDateTime now() const = 0;
};

// Local wall-clock time to the millisecond; cheap enough to ask many times a second.
class SystemClock final : public Clock {
public:
    TDateTime now() const override;
};

// Day number of the local date + ms-of-day / 86,400,000. An invalid QDateTime gives 0.
TDateTime toTDateTime(const QDateTime &local);
// Inverse of toTDateTime, to the nearest millisecond, in local time. NaN or out of range: invalid QDateTime.
QDateTime fromTDateTime(TDateTime value);
// "2026-12-11 14:03:07.250" (ISO-8601 local, ms); empty when the value is outside years 1-9999 or not finite.
QString isoText(TDateTime value);
// Inverse of isoText; also takes "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", 1-3 fraction digits and a "T"
// separator. nullopt when malformed or not a real date and time.
std::optional<TDateTime> parseIsoText(QStringView text);
