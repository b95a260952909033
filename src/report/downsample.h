#pragma once

#include <QtGlobal>

#include <vector>

namespace report {

// Chart budgets: buckets kept per run at most and for all runs of a report together (a run never gets fewer
// than minChartBuckets), and for the comparison chart.
inline constexpr int chartBucketsPerRun = 1000;
inline constexpr int minChartBuckets = 50;
inline constexpr int totalChartBuckets = 60'000;
inline constexpr int overlayBuckets = 15'000;

struct ChartPoint {
    double x = 0; // elapsed hours
    double y = 0; // percent
};

// Bounds the points of a chart while streaming: the x range is cut into buckets, and each bucket keeps its
// first, lowest, highest and last point. Drawn one bucket per pixel column, that is the same picture as all the
// points, and every turn of the curve survives as a bucket's lowest or highest point. When the buckets run out,
// their width doubles and neighbours merge, so memory stays bounded without knowing the run's length beforehand.
class Downsampler final {
public:
    explicit Downsampler(int maxBuckets = 1000);

    // x must not decrease from one call to the next.
    void add(double x, double y);
    // Merges buckets until at most maxBuckets are left.
    void limit(int maxBuckets);

    qint64 pointsSeen() const { return m_seen; }
    // The kept points in order of x.
    std::vector<ChartPoint> points() const;

private:
    struct Kept {
        ChartPoint point;
        qint64 order = 0;
    };
    struct Bucket {
        qint64 index = 0;
        Kept first, low, high, last;
    };
    void mergeOnce();

    int m_maxBuckets;
    double m_origin = 0;
    double m_width = 1.0 / 3600; // one second of elapsed time, to begin with
    qint64 m_seen = 0;
    std::vector<Bucket> m_buckets;
};

// The periods on mains of one run as [from, to) in elapsed hours, bounded in number: when there are too many,
// short gaps between periods close first.
class PeriodList final {
public:
    explicit PeriodList(int maxPeriods = 2000);
    void add(double from, double to);
    void limit(int maxPeriods);
    const std::vector<std::pair<double, double>> &periods() const { return m_periods; }

private:
    int m_maxPeriods;
    double m_gap = 1.0 / 3600;
    std::vector<std::pair<double, double>> m_periods;
};

} // namespace report
