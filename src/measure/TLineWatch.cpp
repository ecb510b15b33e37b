// SPDX-License-Identifier: MIT
#include "TLineWatch.h"

#include "Labels.h"
#include "TComDataPacket.h"
#include "TCommandEngine.h"
#include "TextUtil.h"

#include <algorithm>

TLineWatch::TLineWatch(QObject* parent) : QObject(parent) {
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &TLineWatch::Check);
}

int TLineWatch::LimitMs(int periodMs) {
    return std::max(2000, 5 * std::max(0, periodMs));
}

void TLineWatch::Start(int periodMs) {
    m_limitMs = LimitMs(periodMs);
    m_missing = false;
    m_shownSeconds = -1;
    m_gaps = 0;
    m_lines = 0;
    m_sinceLine.start();
    m_timer.start();
}

void TLineWatch::Stop() {
    m_timer.stop();
    m_missing = false;
}

void TLineWatch::LineArrived() {
    ++m_lines;
    m_sinceLine.start();
    if (!m_missing) return;
    m_missing = false;
    m_shownSeconds = -1;
    emit Resumed();
}

void TLineWatch::Check() {
    const qint64 silent = m_sinceLine.elapsed();
    if (silent < m_limitMs) return;
    if (!m_missing) {
        m_missing = true;
        ++m_gaps;
    }
    const int seconds = int(silent / 1000);
    if (seconds == m_shownSeconds) return;
    m_shownSeconds = seconds;
    emit Missing(seconds);
}

void ConnectMeasurementLines(QObject* window, THost& host, TComDataPacket& framer,
                             const QString& name, std::function<void(const QByteArray&)> line) {
    QObject::connect(&framer, &TComDataPacket::Packet, window,
                     [&host, name, line = std::move(line)](const QByteArray& packet) {
                         host.Engine().DebugLine(QStringLiteral("%1 Packet(%2=%3)")
                                                     .arg(name)
                                                     .arg(packet.size())
                                                     .arg(DebugText(packet)));
                         line(packet);
                         host.RelayMeasurementLine(packet);
                     });
}

QString MissingLinesText(int seconds) {
    return LabelText(133).arg(seconds);
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TLineWatch.cpp"
