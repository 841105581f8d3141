// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup/frm_startup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/qt/help_viewer.h"
#include "settings/ini_store.h"
#include "support/qt_test_app.h"
#include "support/test_support.h"
#include "trelvane_version.h"
#include "ui/startup/about_and_help.h"
#include "ui/startup/frm_help_win.h"
#include "ui/startup/startup_sequence.h"

namespace {

using testing_support::WaitFor;

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return testing_support::EnsureQtApplication();
}

// Runs action on the modal window that the next call opens, once it shows.
template <typename Window>
void WhenModal(std::function<void(Window&)> action) {
    auto* poll = new QTimer;
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (auto* window = dynamic_cast<Window*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(*window);
        }
    });
    poll->start();
}

std::string Caption(QWidget& window, const char* label) {
    return window.findChild<QLabel*>(label)->text().toStdString();
}

class StartupWindowTest : public ::testing::Test {
  protected:
    StartupWindowTest() {
        App();
        ui::startupDone = 0;
    }
    ~StartupWindowTest() override {
        m_startup.reset();
        delete m_mainWindow;
    }

    ui::frmStartup* makeStartup() {
        m_startup = std::make_unique<ui::frmStartup>([this]() -> QWidget* {
            ++m_created;
            m_mainWindow = new QWidget;
            m_mainWindow->setWindowTitle("as designed");
            m_mainWindow->resize(480, 240);
            return m_mainWindow;
        });
        m_startup->setStartupFinished([this](QWidget* main) { m_finished.push_back(main); });
        return m_startup.get();
    }

    testing_support::TempSettingsHome m_home;
    std::unique_ptr<ui::frmStartup> m_startup;
    QWidget* m_mainWindow = nullptr;
    int m_created = 0;
    std::vector<QWidget*> m_finished;
};

// The start-up sequence runs once after the first show: the log opens as asked, the main window
// is made hidden and titled. Another activation and the about box repeat none of it.
TEST_F(StartupWindowTest, TheSequenceRunsOnceAndOkShowsTheMainWindow) {
    ASSERT_NE(settings::WriteIniValue("Preferences", "Debug_Trace", "ON"), 0);
    ui::frmStartup* startup = makeStartup();
    startup->show();
    ASSERT_TRUE(WaitFor([] { return ui::startupDone == 1; }));
    EXPECT_EQ(m_created, 1);
    EXPECT_TRUE(std::filesystem::exists(settings::LogFilePath()));
    EXPECT_FALSE(m_mainWindow->isVisible());
    EXPECT_EQ(m_mainWindow->windowTitle().toStdString(), "Trelvane");
    EXPECT_EQ(startup->windowTitle().toStdString(), "Trelvane");
    EXPECT_EQ(Caption(*startup, "labVersion"), std::string("Version ") + kTrelvaneVersion);
    EXPECT_FALSE(startup->isAboutBox());

    startup->hide();
    startup->show();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(startup, &activate);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_created, 1);

    // Enter presses OK, the default button, even with the focus on the other button.
    startup->activateWindow();
    startup->findChild<QPushButton*>("cmdInfo")->setFocus();
    QTest::keyClick(startup, Qt::Key_Return);
    EXPECT_TRUE(m_mainWindow->isVisible());
    EXPECT_EQ(m_finished, std::vector<QWidget*>{m_mainWindow});

    bool sawAbout = false;
    WhenModal<ui::frmStartup>([&](ui::frmStartup& about) {
        sawAbout = about.isAboutBox() && Caption(about, "labProduct") == "Trelvane";
        about.findChild<QPushButton*>("cmdOK")->click();
    });
    ui::ShowAbout(m_mainWindow);
    EXPECT_TRUE(sawAbout);
    EXPECT_EQ(m_created, 1);
    EXPECT_EQ(m_finished.size(), 1u);
    EXPECT_TRUE(m_mainWindow->isVisible());
}

// A stored position places the main window; closing the startup window counts as "OK".
TEST_F(StartupWindowTest, AStoredPositionPlacesTheMainWindowAndClosingCountsAsOk) {
    ASSERT_NE(settings::WriteIniValue("Main", "WindowState", "1500,3000"), 0);
    ui::frmStartup* startup = makeStartup();
    startup->show();
    ASSERT_TRUE(WaitFor([] { return ui::startupDone == 1; }));
    EXPECT_EQ(m_mainWindow->frameGeometry().topLeft(), QPoint(200, 100));
    EXPECT_FALSE(std::filesystem::exists(settings::LogFilePath()));
    startup->close();
    EXPECT_TRUE(m_mainWindow->isVisible());
    EXPECT_EQ(m_finished.size(), 1u);
}

// The help message window shows the composed message, opened from the startup window.
TEST_F(StartupWindowTest, TheInfoButtonShowsTheHelpMessage) {
    ui::frmStartup* startup = makeStartup();
    startup->show();
    std::string shown;
    WhenModal<ui::frmHelpWin>([&](ui::frmHelpWin& help) {
        shown = help.findChild<QPlainTextEdit*>("txtHelpMsg")->toPlainText().toStdString();
        help.close();
    });
    startup->findChild<QPushButton*>("cmdInfo")->click();
    QString expected = QString::fromStdString(ui::ComposeHelpMessage());
    expected.replace("\r\n", "\n");
    EXPECT_EQ(shown, expected.toStdString());
    startup->findChild<QPushButton*>("cmdOK")->click();
}

TEST_F(StartupWindowTest, TheHelpWindowShowsTheHelpFileOrNamesTheMissingOne) {
    const std::string helpFile = (testing_support::BinaryDir() / "src/app/Trelvane.hlp").string();
    ASSERT_TRUE(std::filesystem::exists(helpFile));
    platform::HelpViewer* viewer = platform::ShowHelpFile(nullptr, helpFile);
    EXPECT_EQ(viewer->windowTitle().toStdString(), "Trelvane Help");
    const QString page = viewer->browser()->toPlainText();
    for (const char* topic : {"Picking clips", "Completed Clip:", "trelvane-cli", "Mark In"}) {
        EXPECT_TRUE(page.contains(topic)) << topic;
    }
    testing_support::TempDir dir;
    EXPECT_EQ(platform::ShowHelpFile(nullptr, dir.file("gone.hlp")), viewer);
    EXPECT_TRUE(
        viewer->browser()->toPlainText().contains(QString::fromStdString(dir.file("gone.hlp"))));
    viewer->close();
}

}  // namespace
