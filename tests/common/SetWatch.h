// SPDX-License-Identifier: MIT
#pragma once

#include "TSimSensor.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

// What the sensor has received of a parameter set so far: the bytes after
// the constant query, the last step before a set's own lines go out
// (empty while that query has not come).
inline QByteArray SetBytesReceived(const QByteArray& received) {
    static const QByteArray query("TARVEK\r\n CONSTANT\r\n");
    const qsizetype at = received.lastIndexOf(query);
    return at < 0 ? QByteArray() : received.mid(at + query.size());
}

// The number of a set's lines the sensor has received whole.
inline int SetLinesReceived(const QByteArray& received) {
    return int(SetBytesReceived(received).count("\r\n"));
}

// Runs `step` once, as soon as what the sensor has received of a set
// satisfies `reached`. It runs when the bytes arrive, before the sensor
// acts on them: a fault set there already applies to them.
inline void WhenSetReceived(TSimSensor& sensor, QObject* context,
                            std::function<bool(const QByteArray& set)> reached,
                            std::function<void()> step) {
    auto done = std::make_shared<bool>(false);
    QObject::connect(&sensor, &TSimSensor::Traced, context,
                     [&sensor, reached, step, done](const TSimTraceEntry& e) {
                         if (*done || !e.FromHost) return;
                         if (!reached(SetBytesReceived(sensor.ReceivedBytes()))) return;
                         *done = true;
                         step();
                     });
}

// ... once `lines` lines of the set have arrived whole.
inline void WhenSetLinesReceived(TSimSensor& sensor, QObject* context, int lines,
                                 std::function<void()> step) {
    WhenSetReceived(
        sensor, context, [lines](const QByteArray& set) { return set.count("\r\n") >= lines; },
        std::move(step));
}
