// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the signals that ask a program to end (SIGTERM from a desktop session that ends or from
// kill, SIGHUP, SIGINT) into a call on the GUI thread, so that the program can finish what it is
// writing and save its settings instead of dying half way.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace platform {

class TerminationNotifier : public QObject {
  public:
    // Catches the signals from now on; one that comes before a notifier exists is kept for it.
    // Safe to call more than once.
    static void CatchSignals();
    // Gives the signals their default actions back (a notifier made later catches them again).
    static void ReleaseSignals();
    // Gives a signal its default action back and raises it again: the program ends as it
    // would have without us.
    [[noreturn]] static void DieOf(int signal);

    // onSignal runs on this thread's event loop, once for each signal caught.
    explicit TerminationNotifier(std::function<void(int signal)> onSignal,
                                 QObject* parent = nullptr);

  private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace platform
