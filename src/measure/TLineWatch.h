// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class TComDataPacket;

// Watches a measurement run for lines that stop coming: the sensor sends
// one line per period, so when none has come for several periods (at
// least two seconds) the sensor is not sending any more - unplugged,
// switched off, or its output changed behind the program's back. Missing
// is told once when it begins and then once a second with the silence so
// far; Resumed when lines come again.
class TLineWatch : public QObject {
    Q_OBJECT
public:
    explicit TLineWatch(QObject* parent = nullptr);

    // The silence after which lines count as missing.
    static int LimitMs(int periodMs);

    // Watching begins now, as if a line had just come.
    void Start(int periodMs);
    void Stop();
    void LineArrived();

    bool Running() const { return m_timer.isActive(); }
    bool LinesMissing() const { return m_missing; }
    // Times the lines went missing since Start.
    int Gaps() const { return m_gaps; }
    // Lines seen since Start.
    qint64 Lines() const { return m_lines; }

signals:
    void Missing(int seconds);
    void Resumed();

private:
    void Check();

    QTimer m_timer;
    QElapsedTimer m_sinceLine;
    int m_limitMs = 2000;
    bool m_missing = false;
    int m_shownSeconds = -1;
    int m_gaps = 0;
    qint64 m_lines = 0;
};

// "No measurement data from the sensor for N s".
QString MissingLinesText(int seconds);

// A measurement window's lines: each packet of `framer` is written to the
// debug log as "<name> Packet(...)", handed to `line`, and relayed to the
// relay's clients in Local mode.
void ConnectMeasurementLines(QObject* window, THost& host, TComDataPacket& framer,
                             const QString& name, std::function<void(const QByteArray&)> line);

// A measurement window's side of its lines and its link: `show` tells the
// silence of missing lines (and clears it when they come again), `lost`
// runs when the link to the sensor is lost, and `ready` when the sensor is
// ready again - queued, after the main window's part of the reconnection.
template <typename TWindow>
void ConnectLineAndLinkEvents(TWindow* window, THost& host, TLineWatch& watch,
                              void (TWindow::*show)(const QString&), void (TWindow::*lost)(),
                              void (TWindow::*ready)()) {
    QObject::connect(&watch, &TLineWatch::Missing, window,
                     [window, show](int seconds) { (window->*show)(MissingLinesText(seconds)); });
    QObject::connect(&watch, &TLineWatch::Resumed, window,
                     [window, show] { (window->*show)(QString()); });
    QObject::connect(&host.Sensor(), &TSensorState::LinkLost, window, lost);
    QObject::connect(&host.Sensor(), &TSensorState::LinkReady, window, ready, Qt::QueuedConnection);
}
