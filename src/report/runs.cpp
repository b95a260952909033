#include "report/runs.h"

#include "report/records.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

constexpr double msPerHour = 3'600'000.0;
constexpr int keptIds = 5;

} // namespace

std::optional<double> RunSummary::percentPerHour() const
{
    if (!firstPercent || !lastPercent || lastReadingAt <= firstReadingAt)
        return std::nullopt;
    return (*lastPercent - *firstPercent) / (double(lastReadingAt - firstReadingAt) / msPerHour);
}

std::optional<double> RunSummary::minutesPerPercent() const
{
    const std::optional<double> rate = percentPerHour();
    if (!rate || *rate == 0.0)
        return std::nullopt;
    return 60.0 / std::abs(*rate);
}

std::optional<double> RunSummary::mainsShare() const
{
    if (durationMs() <= 0)
        return std::nullopt;
    return double(mainsMs) / double(durationMs());
}

void SkippedRows::add(qint64 id)
{
    ++count;
    if (firstIds.size() < keptIds)
        firstIds << id;
}

RunBuilder::RunBuilder(FileReport &report, int chartBuckets)
    : m_report(report), m_chartBuckets(chartBuckets)
{
}

Run &RunBuilder::startRun(const Record &record, int number)
{
    const auto runs = qint64(m_report.runs.size()) + 1;
    if (runs * m_chartBuckets > totalChartBuckets && m_chartBuckets > minChartBuckets) {
        m_chartBuckets = std::max(minChartBuckets, m_chartBuckets / 2);
        for (Run &r : m_report.runs) {
            r.chart.limit(m_chartBuckets);
            r.mains.limit(m_chartBuckets);
        }
    }
    Run run{{}, Downsampler(m_chartBuckets), PeriodList(m_chartBuckets)};
    RunSummary &s = run.summary;
    s.file = m_report.file;
    s.test = record.test;
    s.battery = record.battery;
    s.run = number;
    s.start = *record.time;
    const std::optional<qint64> elapsed = parseElapsedSeconds(record.elapsedText);
    s.startHours = elapsed ? double(*elapsed) / 3600.0 : 0.0;
    m_report.runs.push_back(std::move(run));
    return m_report.runs.back();
}

const Run *RunBuilder::add(const Record &record, double *elapsedHours)
{
    ++m_report.records;
    if (!record.time) {
        m_report.badTime.add(record.id);
        return nullptr;
    }
    const std::optional<qint64> elapsed = parseElapsedSeconds(record.elapsedText);
    const bool sameGroup = m_run != nullptr && m_run->summary.test == record.test &&
                           m_run->summary.battery == record.battery;
    if (!sameGroup) {
        m_run = &startRun(record, 1);
        m_lastElapsed.reset();
    } else if (elapsed && m_lastElapsed && *elapsed < *m_lastElapsed) {
        m_run = &startRun(record, m_run->summary.run + 1);
    }
    RunSummary &s = m_run->summary;
    const LocalMs time = *record.time;
    const double hours = s.startHours + double(time - s.start) / msPerHour;

    if (s.records > 0 && m_lastOnMains) {
        s.mainsMs += time - m_lastTime;
        m_run->mains.add(m_lastHours, hours);
    }
    ++s.records;
    s.end = time;

    const std::optional<double> &p = record.percent;
    if (p && *p == noReadingPercent) {
        ++s.noReading;
    } else if (!p || *p < 0.0 || *p > 100.0) {
        ++s.badPercent;
    } else {
        if (!s.firstPercent) {
            s.firstPercent = *p;
            s.firstReadingAt = time;
        }
        s.lastPercent = *p;
        s.lastReadingAt = time;
        m_run->chart.add(hours, *p);
    }

    if (elapsed)
        m_lastElapsed = elapsed;
    m_lastTime = time;
    m_lastHours = hours;
    m_lastOnMains = record.mains.value_or(false);
    if (elapsedHours != nullptr)
        *elapsedHours = hours;
    return m_run;
}

FileReport scanFile(const QString &path, const QStringList &tests, int chartBuckets, const RowSink &sink,
                    const QString &label)
{
    FileReport report;
    report.file = label.isEmpty() ? path : label;
    RecordReader reader(path);
    reader.select(tests);
    RunBuilder builder(report, chartBuckets);
    Record record;
    double hours = 0;
    while (reader.next(record)) {
        const Run *run = builder.add(record, &hours);
        if (run != nullptr && sink)
            sink(record, run->summary, hours);
    }
    // Runs of a group are adjacent and numbered from 1: the last one's number is the count.
    for (auto it = report.runs.rbegin(); it != report.runs.rend(); ++it) {
        const bool lastOfGroup = it == report.runs.rbegin() || (it - 1)->summary.run == 1;
        it->summary.runsOfTest = lastOfGroup ? it->summary.run : (it - 1)->summary.runsOfTest;
    }
    return report;
}

QStringList fileLabels(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names << QFileInfo(path).fileName();
    return QSet<QString>(names.cbegin(), names.cend()).size() == names.size() ? names : paths;
}

} // namespace report
