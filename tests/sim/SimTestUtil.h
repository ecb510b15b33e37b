// SPDX-License-Identifier: MIT
#pragma once

#include "TSimSensor.h"

#include <QByteArray>
#include <QObject>

// Collects what a sensor sends; Talk() feeds it bytes and returns what it
// answered in the same call (enough for everything without delay faults).
class TSimCollector {
public:
    explicit TSimCollector(TSimSensor& sensor) : m_sensor(sensor) {
        QObject::connect(&sensor, &TSimSensor::Send, &sensor, [this](const QByteArray& bytes) {
            All += bytes;
            ++Chunks;
        });
    }
    QByteArray Talk(const QByteArray& bytes) {
        const qsizetype from = All.size();
        m_sensor.Receive(bytes);
        return All.mid(from);
    }
    QByteArray All;
    int Chunks = 0;

private:
    TSimSensor& m_sensor;
};

// The host's way of taking an answer: what lies between the first Start
// and the next Stop after it; empty when either is missing.
inline QByteArray ExtractReply(const QByteArray& text, const QByteArray& start,
                               const QByteArray& stop) {
    const qsizetype s = text.indexOf(start);
    if (s < 0) return {};
    const qsizetype from = s + start.size();
    const qsizetype e = text.indexOf(stop, from);
    return e < 0 ? QByteArray() : text.mid(from, e - from);
}
