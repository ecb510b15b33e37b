// SPDX-License-Identifier: MIT
#include "TChartData.h"

#include <algorithm>
#include <limits>
#include <numeric>

void TChartData::Add(double time, double velocity, double rate, bool gap) {
    m_time.append(time);
    m_velocity.append(velocity);
    m_rate.append(rate);
    m_gap.push_back(gap);
}

void TChartData::Clear() {
    m_time.clear();
    m_velocity.clear();
    m_rate.clear();
    m_gap.clear();
}

void TChartData::Reserve(qsizetype count) {
    m_time.reserve(count);
    m_velocity.reserve(count);
    m_rate.reserve(count);
    m_gap.reserve(std::size_t(count));
}

void TChartData::KeepNewest(qsizetype count) {
    const qsizetype drop = Count() - std::max<qsizetype>(count, 0);
    if (drop <= 0) return;
    m_time.remove(0, drop);
    m_velocity.remove(0, drop);
    m_rate.remove(0, drop);
    m_gap.erase(m_gap.begin(), m_gap.begin() + drop);
}

void TChartData::SortByTime() {
    if (std::is_sorted(m_time.cbegin(), m_time.cend())) return;
    std::vector<qsizetype> order(static_cast<std::size_t>(Count()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](qsizetype a, qsizetype b) { return m_time[a] < m_time[b]; });
    TChartData sorted;
    for (qsizetype i : order)
        sorted.Add(m_time[i], m_velocity[i], m_rate[i], m_gap[std::size_t(i)]);
    *this = std::move(sorted);
}

QVector<double> TChartData::Drawn(const QVector<double>& values) const {
    QVector<double> drawn = values;
    for (qsizetype i = 0; i < drawn.size(); ++i)
        if (m_gap[std::size_t(i)]) drawn[i] = std::numeric_limits<double>::quiet_NaN();
    return drawn;
}

TAxisSpan ZoomSpan(TAxisSpan span, int percent) {
    const double d = (span.Upper - span.Lower) * (percent - 100) / 100.0;
    return {span.Lower + d, span.Upper - d};
}

TAxisSpan MoveSpan(TAxisSpan span, double fraction) {
    const double d = (span.Upper - span.Lower) * fraction;
    return {span.Lower + d, span.Upper + d};
}
