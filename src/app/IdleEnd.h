// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// Ends the program as soon as it is idle, once asked to (a signal: logout,
// shutdown, Ctrl+C). Every 20 ms it looks: a dialog waiting for the user
// (a question, a file dialog, a measurement window) is closed once and
// given the time its closing takes, except the one that ends by itself
// (the transfer dialog); while the window is busy with the sensor nothing
// happens; what is on its way to the sensor may leave, for at most a
// minute. Then the window is closed, and once it is, the program quits.
class TIdleEnd : public QObject {
public:
    std::function<bool()> Busy;
    std::function<qint64()> PendingOutput;
    std::function<bool()> Close;
    std::function<void()> Quit;
    // The dialog that is not closed (it ends by itself).
    std::function<QWidget*()> SelfEnding;

    void Start();
    bool Started() const { return m_started; }

private:
    void Look();

    bool m_started = false;
    QTimer m_timer;
    QList<QWidget*> m_dismissed; // dialogs told to close
    QElapsedTimer m_clock;       // since Start
};
