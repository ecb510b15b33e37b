// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// SIGINT and SIGTERM (Ctrl+C, logout, shutdown) as an event of the event
// loop: the handler only writes a byte to a socket pair, and Signalled is
// emitted from the loop, so that the program can end what it is doing with
// the sensor (a run, a send, system mode) before it exits. A second signal
// ends the program at once with `secondExitCode`. One watch at a time; the
// handlers go back to the system's defaults when it is destroyed.
class TSignalWatch : public QObject {
    Q_OBJECT
public:
    explicit TSignalWatch(int secondExitCode, QObject* parent = nullptr);
    ~TSignalWatch() override;

    bool Installed() const { return m_notifier != nullptr; }

signals:
    void Signalled();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
