// SPDX-License-Identifier: GPL-3.0-or-later
// Where each of the six windows opens: the main window and the preview where the user left them,
// through three closes and opens, kept wholly on the screen; the others centred, and again at the
// same place every time they open.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "join/window/frm_avi_join.h"
#include "media/clip_inspection.h"
#include "platform/mci/mci_service.h"
#include "platform/qt/qt_files.h"
#include "platform/qt/qt_window.h"
#include "platform/scripted/scripted_dialogs.h"
#include "preview/frm_preview.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "settings/window/frm_prefs.h"
#include "support/clip_builder.h"
#include "support/qt_test_app.h"
#include "support/test_support.h"
#include "ui/main/frm_trel_join.h"
#include "ui/startup/about_and_help.h"
#include "ui/startup/frm_help_win.h"
#include "ui/startup/frm_startup.h"
#include "ui/startup/startup_sequence.h"

namespace {

using testing_support::WaitFor;

// Once placement has nothing left to correct.
bool Settled(QWidget& window) {
    return window.isVisible() && window.findChild<QObject*>("PlacementKeeper") == nullptr;
}

bool OnScreen(const QWidget& window) {
    return window.screen()->availableGeometry().contains(window.frameGeometry());
}

class PlacementTest : public ::testing::Test {
  protected:
    PlacementTest() {
        testing_support::EnsureQtApplication();
        settings::SetIniFileName(settings::kIniFileName);
        m_services.dialogs = &m_dialogs;
        m_services.texts = &m_texts;
        m_services.files = &m_files;
    }

    // Opens the main window as a start does (placed by the start-up sequence), lets the test act
    // on it, and closes it as Join > Exit does; returns where its frame stood.
    QPoint runMainWindow(const std::function<void(QWidget&)>& act = {}) {
        ui::startupDone = 0;
        std::unique_ptr<ui::frmTrelJoin> window;
        std::unique_ptr<platform::QtPlacedWindow> placed;
        ui::RunStartupSequence(
            [&]() -> settings::PlacedWindow* {
                window = std::make_unique<ui::frmTrelJoin>(m_services);
                placed = std::make_unique<platform::QtPlacedWindow>(*window);
                return placed.get();
            },
            platform::ScreenAreaOf(nullptr));
        window->show();
        EXPECT_TRUE(WaitFor([&] { return Settled(*window); }));
        if (act) {
            act(*window);
        }
        EXPECT_TRUE(OnScreen(*window)) << "main window off the screen";
        const QPoint where = window->frameGeometry().topLeft();
        window->close();
        return where;
    }

    // Runs a modal window's opening, and notes where it stood once shown (and ready, when the
    // window has to get somewhere first).
    QPoint whereModalOpens(const char* name, const std::function<void()>& open,
                           const std::function<bool(QWidget&)>& ready = {}) {
        QPoint where(-1, -1);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->objectName() == name && Settled(*modal) &&
                (!ready || ready(*modal))) {
                poll.stop();
                EXPECT_TRUE(OnScreen(*modal)) << name;
                where = modal->frameGeometry().topLeft();
                modal->close();
            }
        });
        poll.start(5);
        open();
        return where;
    }

    testing_support::TempSettingsHome m_home;
    platform::ScriptedDialogs m_dialogs{
        [](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }};
    platform::QtFiles m_files;
    settings::SharedTexts m_texts;
    ui::MainWindowServices m_services;
};

// Moved by the user, the main window opens there again, start after start.
TEST_F(PlacementTest, TheMainWindowOpensWhereItWasClosed) {
    const QPoint centred = runMainWindow();
    const QPoint moved = centred + QPoint(-37, 23);
    EXPECT_EQ(runMainWindow([&](QWidget& window) { window.move(moved); }), moved);
    for (int start = 0; start < 3; ++start) {
        EXPECT_EQ(runMainWindow(), moved) << "start " << start;
    }
    EXPECT_EQ(settings::ReadIniValue("Main", "WindowState"),
              std::to_string(moved.y() * 15) + "," + std::to_string(moved.x() * 15));

    // Stored partly off the screen (another screen once stood there): wholly on it again.
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    settings::WriteIniValue(
        "Main", "WindowState",
        std::to_string(-45 * 15) + "," + std::to_string((screen.right() - 100) * 15));
    const QPoint back = runMainWindow();
    EXPECT_EQ(back.y(), screen.top());
    EXPECT_LT(back.x(), screen.right() - 100);
}

// The preview opens where it was closed, through the settings the main window writes.
TEST_F(PlacementTest, ThePreviewOpensWhereItWasClosed) {
    mci::WindowRegistry windows;
    mci::MciService device(windows);
    device.install();
    const std::string clip = m_home.path().string() + "/clip.avi";
    ASSERT_TRUE(clips::Write(clip, clips::CinepakClip()));
    const auto open = [&](const std::function<void(QWidget&)>& act) {
        settings::SharedTexts texts;  // a new start: the position comes from the settings file
        QPoint where;
        {
            preview::frmPreview window(m_dialogs, texts, nullptr,
                                       [&](QWidget* w) { return windows.add(w); });
            QTimer::singleShot(0, &window, [&] {
                EXPECT_TRUE(WaitFor([&] { return Settled(window); }));
                if (act) {
                    act(window);
                }
                EXPECT_TRUE(OnScreen(window));
                where = window.frameGeometry().topLeft();
                window.close();
            });
            window.PreviewFile(clip);
        }
        settings::SaveOnMainWindowClose("", texts, "");
        return where;
    };
    const QPoint moved = open({}) + QPoint(31, -17);
    EXPECT_EQ(open([&](QWidget& window) { window.move(moved); }), moved);
    for (int start = 0; start < 3; ++start) {
        EXPECT_EQ(open({}), moved) << "start " << start;
    }
    settings::WriteIniValue("Preview", "WindowState", "-300,-300");  // mostly above and left
    EXPECT_EQ(open({}), QApplication::primaryScreen()->availableGeometry().topLeft());
}

// The startup window, the about box, the help message, the preferences and the join window are
// centred each time they open, and open at the same place every time.
TEST_F(PlacementTest, TheOtherWindowsOpenAtTheSamePlaceEveryTime) {
    QWidget main;
    main.setGeometry(150, 120, 500, 350);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const std::string clip = m_home.path().string() + "/clip.avi";
    ASSERT_TRUE(clips::Write(clip, clips::CinepakClip()));
    const std::vector<ClipInfo> job = {clips::Inspected(clip)};
    struct Window {
        const char* name;
        std::function<void()> open;
        std::function<bool(QWidget&)> ready;
    };
    const Window windows[] = {
        {"frmStartup", [&] { ui::ShowAbout(&main); }, {}},
        {"frmHelpWin", [&] { ui::frmHelpWin(&main).exec(); }, {}},
        {"frmPrefs", [&] { settings::ShowPreferences(&main, m_dialogs, "/", ""); }, {}},
        // The join window is placed again around its report, which closes without a question.
        {"frmAviJoin",
         [&] {
             join::StartJoin(&main, m_dialogs, m_files, {}, m_home.path().string() + "/out.avi", 1,
                             job);
         },
         [](QWidget& window) { return window.findChild<QWidget*>("txtMsg")->isVisible(); }},
    };
    ui::startupDone = 1;
    for (const Window& window : windows) {
        const QPoint first = whereModalOpens(window.name, window.open, window.ready);
        EXPECT_NE(first, QPoint(-1, -1)) << window.name;
        for (int again = 0; again < 3; ++again) {
            EXPECT_EQ(whereModalOpens(window.name, window.open, window.ready), first)
                << window.name;
        }
    }
}

}  // namespace
