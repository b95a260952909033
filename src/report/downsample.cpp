#include "report/downsample.h"

#include <algorithm>
#include <cmath>

namespace report {

Downsampler::Downsampler(int maxBuckets)
    : m_maxBuckets(std::max(1, maxBuckets))
{
}

void Downsampler::add(double x, double y)
{
    const Kept kept{{x, y}, m_seen++};
    if (m_buckets.empty())
        m_origin = x;
    const auto index = qint64(std::floor((x - m_origin) / m_width));
    if (!m_buckets.empty() && m_buckets.back().index == index) {
        Bucket &b = m_buckets.back();
        if (y < b.low.point.y)
            b.low = kept;
        if (y > b.high.point.y)
            b.high = kept;
        b.last = kept;
        return;
    }
    m_buckets.push_back({index, kept, kept, kept, kept});
    while (qsizetype(m_buckets.size()) > m_maxBuckets)
        mergeOnce();
}

void Downsampler::limit(int maxBuckets)
{
    m_maxBuckets = std::max(1, maxBuckets);
    while (qsizetype(m_buckets.size()) > m_maxBuckets)
        mergeOnce();
}

void Downsampler::mergeOnce()
{
    m_width *= 2;
    std::vector<Bucket> merged;
    merged.reserve(m_buckets.size() / 2 + 1);
    for (Bucket &b : m_buckets) {
        b.index /= 2; // indices are never negative: x never falls below the origin
        if (merged.empty() || merged.back().index != b.index) {
            merged.push_back(b);
            continue;
        }
        Bucket &m = merged.back();
        if (b.low.point.y < m.low.point.y)
            m.low = b.low;
        if (b.high.point.y > m.high.point.y)
            m.high = b.high;
        m.last = b.last;
    }
    m_buckets = std::move(merged);
}

std::vector<ChartPoint> Downsampler::points() const
{
    std::vector<ChartPoint> out;
    out.reserve(m_buckets.size() * 4);
    for (const Bucket &b : m_buckets) {
        Kept four[] = {b.first, b.low, b.high, b.last};
        std::sort(std::begin(four), std::end(four), [](const Kept &a, const Kept &c) { return a.order < c.order; });
        qint64 lastOrder = -1;
        for (const Kept &k : four) {
            if (k.order == lastOrder)
                continue;
            lastOrder = k.order;
            out.push_back(k.point);
        }
    }
    return out;
}

PeriodList::PeriodList(int maxPeriods)
    : m_maxPeriods(std::max(1, maxPeriods))
{
}

void PeriodList::add(double from, double to)
{
    if (to < from)
        return;
    if (!m_periods.empty() && from - m_periods.back().second <= m_gap) {
        m_periods.back().second = std::max(m_periods.back().second, to);
        return;
    }
    m_periods.emplace_back(from, to);
    if (qsizetype(m_periods.size()) > m_maxPeriods)
        limit(m_maxPeriods);
}

void PeriodList::limit(int maxPeriods)
{
    m_maxPeriods = std::max(1, maxPeriods);
    while (qsizetype(m_periods.size()) > m_maxPeriods) {
        m_gap *= 2;
        std::vector<std::pair<double, double>> merged;
        for (const auto &p : m_periods) {
            if (!merged.empty() && p.first - merged.back().second <= m_gap)
                merged.back().second = std::max(merged.back().second, p.second);
            else
                merged.push_back(p);
        }
        m_periods = std::move(merged);
    }
}

} // namespace report
