// SPDX-License-Identifier: MIT
#pragma once

#include <QVector>

#include <vector>

// The points of the chart's two curves, which always share their times:
// velocity (left axis) and rate (right axis) at each time, in ascending
// time order. A gap point carries a value (the curve's last value, or what
// a bad file row held) but is drawn as a break in the line; Save as writes
// it with that value.
class TChartData {
public:
    void Add(double time, double velocity, double rate, bool gap);
    void Clear();
    void Reserve(qsizetype count);
    // Keeps the newest `count` points.
    void KeepNewest(qsizetype count);
    // Orders the points by time, points of equal time in their order.
    void SortByTime();

    qsizetype Count() const { return m_time.size(); }
    bool IsEmpty() const { return m_time.isEmpty(); }
    double Time(qsizetype i) const { return m_time[i]; }
    double Velocity(qsizetype i) const { return m_velocity[i]; }
    double Rate(qsizetype i) const { return m_rate[i]; }
    bool Gap(qsizetype i) const { return m_gap[std::size_t(i)]; }
    double LastVelocity() const { return IsEmpty() ? 0.0 : m_velocity.last(); }
    double LastRate() const { return IsEmpty() ? 0.0 : m_rate.last(); }

    const QVector<double>& Times() const { return m_time; }
    // The values as drawn: NaN at the gaps.
    QVector<double> DrawnVelocity() const { return Drawn(m_velocity); }
    QVector<double> DrawnRate() const { return Drawn(m_rate); }

private:
    QVector<double> Drawn(const QVector<double>& values) const;

    QVector<double> m_time;
    QVector<double> m_velocity;
    QVector<double> m_rate;
    std::vector<bool> m_gap;
};

// The chart's zoom and move steps on one axis range.
struct TAxisSpan {
    double Lower = 0;
    double Upper = 0;
    bool operator==(const TAxisSpan&) const = default;
};
// Zoom by `percent` of 100: 120 narrows the view to 60 % of its span
// around its centre, 80 widens it to 140 %.
TAxisSpan ZoomSpan(TAxisSpan span, int percent);
// Both ends shifted by `fraction` of the span (0.1 moves by 10 %).
TAxisSpan MoveSpan(TAxisSpan span, double fraction);
