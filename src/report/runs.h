#pragma once

#include "report/downsample.h"
#include "report/timetext.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace report {

struct Record;

// The numbers of one run: the rows of one test and battery from where the elapsed time starts until it falls
// back or the rows end.
struct RunSummary {
    QString file;
    QString test;
    QString battery;
    int run = 0;            // 1, 2, ... among the runs of the same test and battery in the file
    int runsOfTest = 0;     // how many runs the test and battery have in the file
    qint64 records = 0;     // every row of the run, with or without a reading
    qint64 noReading = 0;   // rows with 255: no reading
    qint64 badPercent = 0;  // rows with a percent that is empty or outside 0..100
    LocalMs start = 0;      // time of the first row
    LocalMs end = 0;        // time of the last row
    double startHours = 0;  // elapsed time the first row shows, so that runs line up from their start
    std::optional<double> firstPercent;
    std::optional<double> lastPercent;
    LocalMs firstReadingAt = 0;
    LocalMs lastReadingAt = 0;
    qint64 mainsMs = 0;     // time on mains: from each row on mains to the next row

    qint64 durationMs() const { return end - start; }
    // Change of the battery per hour between the first and the last reading; negative while draining.
    std::optional<double> percentPerHour() const;
    std::optional<double> minutesPerPercent() const;
    // Share of the run's duration spent on mains, 0..1.
    std::optional<double> mainsShare() const;
};

struct Run {
    RunSummary summary;
    Downsampler chart;
    PeriodList mains;
};

// Rows that were left out, with a few ids so that they can be found.
struct SkippedRows {
    qint64 count = 0;
    QList<qint64> firstIds;
    void add(qint64 id);
};

struct FileReport {
    QString file; // how the report labels the file
    std::vector<Run> runs;
    SkippedRows badTime;
    qint64 records = 0;
};

// Called for every row that made it into a run, in order; elapsedHours is the x of the chart.
using RowSink = std::function<void(const Record &, const RunSummary &, double elapsedHours)>;

// Splits a stream of rows, grouped by test and battery and in time order, into runs.
class RunBuilder final {
public:
    RunBuilder(FileReport &report, int chartBuckets);
    // Returns the run the row went to, or null when the row was left out (a time that can't be read).
    const Run *add(const Record &record, double *elapsedHours);

private:
    Run &startRun(const Record &record, int number);

    FileReport &m_report;
    int m_chartBuckets; // for each new run; halves as runs pile up, so that all runs share one budget
    Run *m_run = nullptr;
    std::optional<qint64> m_lastElapsed; // seconds, as logged
    LocalMs m_lastTime = 0;
    double m_lastHours = 0;
    bool m_lastOnMains = false;
};

// Reads one file and builds its runs; `sink` (may be empty) sees every row as it goes by. `label` names the file
// in the report (the path when empty).
FileReport scanFile(const QString &path, const QStringList &tests, int chartBuckets, const RowSink &sink = {},
                    const QString &label = {});

// Short labels for files: their names when those differ, else the paths as given.
QStringList fileLabels(const QStringList &paths);

} // namespace report
