// SPDX-License-Identifier: GPL-3.0-or-later
// The one QApplication a window test needs, made on first use and kept for the whole test run.
#pragma once

#include <QApplication>

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

}  // namespace testing_support
