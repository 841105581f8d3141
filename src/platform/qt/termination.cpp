// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace platform {

namespace {

// The self-pipe: the handler only writes the signal's number, which is async-signal-safe.
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe means plenty of signals are already waiting: dropping one loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void TerminationNotifier::CatchSignals() {
    if (g_pipe[0] >= 0) {
        return;
    }
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;  // the signals keep their default action
    }
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

void TerminationNotifier::ReleaseSignals() {
    for (const int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
    if (g_pipe[0] >= 0) {
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
}

void TerminationNotifier::DieOf(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

TerminationNotifier::TerminationNotifier(std::function<void(int signal)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    CatchSignals();
    if (g_pipe[0] < 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationNotifier::readSignals);
}

void TerminationNotifier::readSignals() {
    unsigned char received[16];
    ssize_t got = 0;
    while ((got = ::read(g_pipe[0], received, sizeof received)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            if (m_onSignal) {
                m_onSignal(received[i]);
            }
        }
    }
}

}  // namespace platform
