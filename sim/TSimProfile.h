// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <deque>
#include <random>

// One sample of the simulated measurement.
struct TSimSample {
    double Velocity = 0; // m/s, negative when the strip runs backwards
    double Rate = 0;     // signal rate in %
};

// The movement of the strip under the sensor, as a function of time (ms
// since the sensor started). The run is a chain of segments drawn from a
// random generator seeded once: stand still, ramp up, steady run with
// small changes, slow-downs, stops, now and then a slow reverse. Jitter,
// the signal rate and its rare drop-outs come from a hash of the seed and
// the time, so a given seed always gives the same profile.
//
// Contract: At() may be asked for any time, but times more than a minute
// before the latest one asked are answered from the oldest segment kept.
class TSimProfile {
public:
    explicit TSimProfile(quint64 seed);

    TSimSample At(qint64 ms);

    // A fixed velocity instead of the profile (service simulation mode).
    void SetFixed(bool on, double velocity);

private:
    struct TSegment {
        qint64 Start;
        qint64 End;
        double V0;
        double V1;
    };

    double VelocityAt(qint64 ms);
    void Extend(qint64 untilMs);
    void Append(qint64 durationMs, double target);
    double Uniform(double low, double high);
    double Hash01(quint64 salt, qint64 bucket) const;

    quint64 m_seed;
    std::mt19937_64 m_random;
    std::deque<TSegment> m_segments;
    int m_phase = 0;
    double m_cruise = 0;
    int m_runSteps = 0;
    bool m_fixed = false;
    double m_fixedVelocity = 0;
};
