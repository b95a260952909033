#pragma once

#include "data/sqlite.h"
#include "report/timetext.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace report {

// One row of testdata as read, before any judgement about it.
struct Record {
    qint64 id = 0;
    QString test;    // NULL reads as empty
    QString battery; // NULL reads as empty
    std::optional<LocalMs> time;
    QString timeText; // as stored, for messages about a time that can't be read
    std::optional<bool> mains;
    std::optional<double> percent; // NULL or not a number: no value
    QString elapsedText;
};

// The percent the logger writes when the battery gave no reading.
inline constexpr double noReadingPercent = 255.0;

// Streams the rows of one log file, opened read-only so that a running logger is never disturbed.
class RecordReader final {
public:
    // Opens the file and checks that it holds korvel's log table; throws EReportDataError or EProviderError.
    explicit RecordReader(const QString &path);
    ~RecordReader();
    RecordReader(const RecordReader &) = delete;
    RecordReader &operator=(const RecordReader &) = delete;

    const QString &path() const { return m_path; }
    // Distinct test names in the file, sorted.
    QStringList testNames();
    qint64 recordCount();

    // Starts reading the rows of the given tests (all when empty), grouped by test and battery, each group in
    // time order.
    void select(const QStringList &tests);
    bool next(Record &record);

private:
    void checkTable();

    QString m_path;
    SqliteHandle m_db;
    StatementHandle m_rows;
    // Reused so that a million rows share a few strings.
    QByteArray m_lastTestBytes, m_lastBatteryBytes;
    QString m_lastTest, m_lastBattery;
};

} // namespace report
