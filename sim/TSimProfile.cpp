// SPDX-License-Identifier: MIT
#include "TSimProfile.h"

#include <algorithm>
#include <cmath>

namespace {

enum Phase { Standing, RampUp, Running, SlowDown, Recover, Stopping, Reverse, ReverseStop };

quint64 Mix(quint64 x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

double Smooth(double x) {
    return x * x * (3 - 2 * x);
}

constexpr qint64 kKeepMs = 60000;

} // namespace

TSimProfile::TSimProfile(quint64 seed) : m_seed(seed), m_random(seed) {
    m_segments.push_back({0, 2000, 0, 0}); // the line stands when the sensor starts
}

void TSimProfile::SetFixed(bool on, double velocity) {
    m_fixed = on;
    m_fixedVelocity = velocity;
}

double TSimProfile::Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(m_random);
}

double TSimProfile::Hash01(quint64 salt, qint64 bucket) const {
    return double(Mix(m_seed ^ Mix(salt ^ quint64(bucket))) >> 11) / double(1ULL << 53);
}

void TSimProfile::Append(qint64 durationMs, double target) {
    const TSegment& last = m_segments.back();
    m_segments.push_back({last.End, last.End + std::max<qint64>(durationMs, 100), last.V1, target});
}

// Draws segments until the profile reaches `untilMs`.
void TSimProfile::Extend(qint64 untilMs) {
    while (m_segments.back().End <= untilMs) {
        const double v = m_segments.back().V1;
        switch (m_phase) {
        case Standing:
            m_cruise = Uniform(1.0, 5.0);
            Append(qint64(Uniform(3000, 8000)), m_cruise);
            m_phase = RampUp;
            m_runSteps = int(Uniform(4, 12));
            break;
        case RampUp:
        case Recover:
        case Running:
            if (m_runSteps-- > 0) {
                Append(qint64(Uniform(2000, 5000)), m_cruise * Uniform(0.985, 1.015));
                m_phase = Running;
                break;
            }
            if (const double pick = Uniform(0, 1); pick < 0.5) {
                Append(qint64(Uniform(2000, 4000)), m_cruise * Uniform(0.3, 0.6));
                m_phase = SlowDown;
            } else if (pick < 0.8) {
                Append(qint64(Uniform(3000, 6000)), 0);
                m_phase = Stopping;
            } else {
                m_runSteps = int(Uniform(3, 8));
            }
            break;
        case SlowDown:
            Append(qint64(Uniform(5000, 10000)), v); // hold the lower speed
            Append(qint64(Uniform(2000, 4000)), m_cruise);
            m_runSteps = int(Uniform(3, 8));
            m_phase = Recover;
            break;
        case Stopping:
            Append(qint64(Uniform(2000, 5000)), 0);
            if (Uniform(0, 1) < 0.15) {
                Append(qint64(Uniform(1500, 3000)), -Uniform(0.2, 0.5));
                m_phase = Reverse;
            } else {
                m_phase = Standing;
            }
            break;
        case Reverse:
            Append(qint64(Uniform(3000, 6000)), v);
            Append(qint64(Uniform(1500, 3000)), 0);
            m_phase = ReverseStop;
            break;
        case ReverseStop:
        default:
            Append(qint64(Uniform(2000, 4000)), 0);
            m_phase = Standing;
            break;
        }
    }
}

double TSimProfile::VelocityAt(qint64 ms) {
    if (m_fixed) return m_fixedVelocity;
    ms = std::max<qint64>(ms, 0);
    Extend(ms);
    while (m_segments.size() > 1 && m_segments.front().End < ms - kKeepMs)
        m_segments.pop_front();
    auto it = std::find_if(m_segments.begin(), m_segments.end(),
                           [ms](const TSegment& s) { return ms < s.End; });
    if (it == m_segments.end()) --it;
    const TSegment& s = *it;
    const double x = std::clamp(double(ms - s.Start) / double(s.End - s.Start), 0.0, 1.0);
    const double v = s.V0 + (s.V1 - s.V0) * Smooth(x);
    if (std::abs(v) < 1e-4) return 0;
    return v * (1 + 0.002 * (Hash01(1, ms / 10) - 0.5)); // small flutter of a moving strip
}

TSimSample TSimProfile::At(qint64 ms) {
    // A drop-out starts in about one second of 120 and lasts 50-300 ms;
    // the velocity holds its value meanwhile.
    const qint64 second = ms / 1000;
    if (!m_fixed && Hash01(2, second) < 1.0 / 120) {
        const qint64 start = second * 1000 + qint64(Hash01(3, second) * 700);
        const qint64 length = 50 + qint64(Hash01(4, second) * 250);
        if (ms >= start && ms < start + length)
            return {VelocityAt(start), 4.0 * Hash01(5, ms / 10)};
    }
    const double drift = 4 * std::sin(double(ms) / 7000.0 + double(m_seed % 97));
    const double rate = std::clamp(92 + drift + 6 * (Hash01(6, ms / 10) - 0.5), 80.0, 100.0);
    return {VelocityAt(ms), m_fixed ? 100.0 : rate};
}
