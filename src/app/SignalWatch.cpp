// SPDX-License-Identifier: MIT
#include "SignalWatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signals = 0;
volatile std::sig_atomic_t g_secondExitCode = 1;

void OnSignal(int) {
    g_signals = g_signals + 1;
    if (g_signals > 1) std::_Exit(g_secondExitCode);
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
}
} // namespace

TSignalWatch::TSignalWatch(int secondExitCode, QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0) return;
    g_signals = 0;
    g_secondExitCode = secondExitCode;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto n = ::read(g_pipe[0], &byte, 1);
        emit Signalled();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

TSignalWatch::~TSignalWatch() {
    if (!m_notifier) return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}
