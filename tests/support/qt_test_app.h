// SPDX-License-Identifier: GPL-3.0-or-later
// The one QApplication a window test needs, made on first use and kept for the whole test run, and
// waiting on a condition while the event loop runs.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace testing_support {

inline QApplication& EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "trelvane-window-test";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
        new QApplication(argc, argv);
    }
    return *qApp;
}

// Lets events run until the condition holds; false when it still does not after limitMs.
inline bool WaitFor(const std::function<bool()>& condition, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace testing_support
