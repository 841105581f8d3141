// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/window/frm_avi_join.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "join/destination_file.h"
#include "media/clip_inspection.h"
#include "platform/qt/qt_files.h"
#include "platform/qt/termination.h"
#include "platform/scripted/scripted_dialogs.h"
#include "settings/ini_store.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/qt_test_app.h"
#include "support/test_support.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

QApplication& App() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return testing_support::EnsureQtApplication();
}

// What the test does inside the running join (each progress report) and once the report shows.
struct Script {
    std::function<void(join::frmAviJoin&, int total)> duringJoin;
    std::function<void(join::frmAviJoin&)> onReport;
};

class FrmAviJoinTest : public ::testing::Test {
  protected:
    FrmAviJoinTest()
        : m_dialogs([](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }) {
        App();
    }

    std::string synthetic(const std::string& tag, int frames) {
        return clips::WriteTagged(m_dir, tag, frames);
    }
    static ClipInfo entry(const std::string& path) { return clips::Inspected(path); }
    static void setPreference(const char* key, const char* value) {
        ASSERT_NE(settings::WriteIniValue("Preferences", key, value), 0);
    }
    static QPushButton* button(join::frmAviJoin& window, const char* name) {
        return window.findChild<QPushButton*>(name);
    }

    // StartJoin as the main window calls it, with the script acting on the window it opens.
    int32_t startJoin(const std::vector<ClipInfo>& clips, const Script& script) {
        bool reported = false;
        QTimer driver;
        driver.setInterval(0);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* window = dynamic_cast<join::frmAviJoin*>(widget);
                if (window == nullptr || !window->isVisible()) {
                    continue;
                }
                if (!m_observed) {
                    m_observed = true;
                    window->setProgressObserver([this, window, &script](int, int, int total) {
                        ++m_progressCalls;
                        if (script.duringJoin) {
                            script.duringJoin(*window, total);
                        }
                    });
                }
                auto* report = window->findChild<QPlainTextEdit*>("txtMsg");
                if (!reported && report->isVisible()) {
                    reported = true;
                    m_report = report->toPlainText().toStdString();
                    m_caption = window->windowTitle().toStdString();
                    m_viewOffered = button(*window, "cmdView")->isVisible();
                    m_deleteOffered = button(*window, "cmdDelete")->isVisible();
                    if (script.onReport) {
                        script.onReport(*window);
                    } else {
                        button(*window, "cmdDone")->click();
                    }
                }
            }
        });
        driver.start();
        const int32_t status = join::StartJoin(
            nullptr, m_dialogs, m_files,
            [this](const std::string& path) { m_viewed.push_back(path); }, dest(),
            static_cast<int16_t>(clips.size()), clips, &m_clean);
        driver.stop();
        return status;
    }
    std::string dest() const { return m_dir.file("joined.avi"); }

    testing_support::TempSettingsHome m_home;
    testing_support::TempDir m_dir;
    platform::ScriptedDialogs m_dialogs;
    platform::QtFiles m_files;
    bool m_observed = false;
    int m_progressCalls = 0;
    std::string m_report;
    std::string m_caption;
    bool m_viewOffered = false;
    bool m_deleteOffered = false;
    bool m_clean = false;
    std::vector<std::string> m_viewed;
};

// Clips made by ffmpeg joined through the window: the report, the view button, and a joined file
// that ffprobe reads with every frame. Activations arriving during the join start nothing.
TEST_F(FrmAviJoinTest, AWholeJoinReportsCompletedAndTheFileHoldsEveryFrame) {
    std::vector<ClipInfo> clips;
    for (const char* name : {"one.avi", "two.avi"}) {
        ASSERT_TRUE(testing_support::Ffmpeg(
            "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i "
            "sine=frequency=440:sample_rate=22050:duration=2 -c:v mjpeg -c:a pcm_s16le "
            "-shortest " +
            testing_support::ShellQuote(m_dir.file(name))));
        clips.push_back(entry(m_dir.file(name)));
    }
    Script script;
    std::string joinedCaption;
    script.duringJoin = [&](join::frmAviJoin& window, int) {
        joinedCaption = window.findChild<QLabel*>("labJoined")->text().toStdString();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activate);
        QShowEvent show;
        QCoreApplication::sendEvent(&window, &show);
    };
    script.onReport = [](join::frmAviJoin& window) {
        button(window, "cmdView")->click();
        button(window, "cmdDone")->click();
    };
    EXPECT_EQ(startJoin(clips, script), 1);
    EXPECT_GT(m_progressCalls, 10);
    EXPECT_EQ(joinedCaption, "To Joined File: joined.avi");
    const std::string size =
        join::FormatMegabytes(static_cast<int64_t>(std::filesystem::file_size(dest())));
    EXPECT_EQ(m_report, "Completed Clip:\n" + dest() + "\n\n100 Frames, " + size + "MB");
    EXPECT_EQ(m_caption, "Join Complete");
    EXPECT_TRUE(m_clean);
    EXPECT_TRUE(m_viewOffered);
    EXPECT_FALSE(m_deleteOffered);  // Prompt_Delete is not set
    EXPECT_EQ(m_viewed, std::vector<std::string>{dest()});
    EXPECT_EQ(testing_support::FfprobeVideoPackets(dest()), 100);
}

TEST_F(FrmAviJoinTest, CancelAnsweredNoGoesOnAndYesStops) {
    const std::vector<ClipInfo> clips = {entry(synthetic("A", 200)), entry(synthetic("B", 200))};
    const std::string question = "Are you sure you want to cancel this operation?";
    m_dialogs.expectMessage("Cancel Join", question, MessageButtons::YesNo, MessageAnswer::No);
    m_dialogs.expectMessage("Cancel Join", question, MessageButtons::YesNo, MessageAnswer::Yes);
    int lastTotal = -1;
    int clicks = 0;
    Script script;
    script.duringJoin = [&](join::frmAviJoin& window, int total) {
        lastTotal = total;
        if ((clicks == 0 && total >= 10) || (clicks == 1 && total >= 40)) {
            ++clicks;
            button(window, "cmdDone")->click();
        }
    };
    // The user is told that the destination was not touched and where the part written went.
    const std::string partial = join::PartialFileName(dest());
    m_dialogs.expectMessage("Join Cancelled",
                            "The join was cancelled; " + dest() +
                                " was not changed.\r\n\r\nThe part written so far was kept as:"
                                "\r\n" +
                                partial,
                            MessageButtons::Ok, MessageAnswer::Ok);
    EXPECT_EQ(startJoin(clips, script), join::kStatusCancelled);
    EXPECT_TRUE(m_dialogs.verify());
    EXPECT_FALSE(std::filesystem::exists(dest()));
    EXPECT_GT(testing_support::FfprobeVideoPackets(partial), 0);
    EXPECT_EQ(lastTotal, 40);  // the report after the Yes was the last one
    EXPECT_TRUE(m_report.empty());
    EXPECT_FALSE(m_clean);
}

// Asked to end during a join (a signal, as when the desktop session ends): the join stops at its
// next progress report with no question and no box, the destination stays as it was and the
// part written so far is kept, finished.
TEST_F(FrmAviJoinTest, ASignalToEndCancelsTheJoinWithoutQuestions) {
    const std::vector<ClipInfo> clips = {entry(synthetic("A", 200)), entry(synthetic("B", 200))};
    bool closed = false;
    int lastTotal = -1;
    {
        platform::TerminationNotifier termination(
            [&](int) { closed = join::CloseJoinWindowForExit(); });
        Script script;
        script.duringJoin = [&](join::frmAviJoin&, int total) {
            if (lastTotal < 30 && total >= 30) {
                std::raise(SIGTERM);
            }
            lastTotal = total;
        };
        EXPECT_EQ(startJoin(clips, script), join::kStatusCancelled);
    }
    platform::TerminationNotifier::ReleaseSignals();
    EXPECT_TRUE(closed);
    EXPECT_LT(lastTotal, 100);
    EXPECT_FALSE(std::filesystem::exists(dest()));
    EXPECT_GT(testing_support::FfprobeVideoPackets(join::PartialFileName(dest())), 0);
    EXPECT_FALSE(join::CloseJoinWindowForExit());  // no window is open any more
}

// A frame the header promises but the file lacks: the report warns, the status is still 1, and
// deleting the sources is not offered even though the preference asks for it.
TEST_F(FrmAviJoinTest, AJoinWithAWarningHidesDeleteSourceFiles) {
    const std::string a = synthetic("A", 20);
    const std::string b = synthetic("B", 20);
    clips::PatchVideoLength(b, 25);
    setPreference("Prompt_Delete", "1");
    // The whole report shows without scrolling, with the buttons below it inside the window.
    Script script;
    script.onReport = [](join::frmAviJoin& window) {
        const auto* report = window.findChild<QPlainTextEdit*>("txtMsg");
        EXPECT_EQ(report->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(report->horizontalScrollBar()->maximum(), 0);
        for (const char* name : {"cmdDone", "cmdView"}) {
            const QRect place = button(window, name)->geometry();
            EXPECT_GT(place.top(), report->geometry().bottom()) << name;
            EXPECT_TRUE(window.rect().contains(place)) << name;
        }
        QTest::keyClick(&window, Qt::Key_Return);  // Done is the default button
    };
    EXPECT_EQ(startJoin({entry(a), entry(b)}, script), 1);
    EXPECT_EQ(m_report.rfind("WARNING: Joined file may be incomplete or missing frames.\n", 0), 0u)
        << m_report;
    EXPECT_NE(m_report.find("Error reading frame 20 from source file " + b), std::string::npos);
    EXPECT_EQ(m_caption, "Join Complete");
    EXPECT_TRUE(m_viewOffered);
    EXPECT_FALSE(m_deleteOffered);
    EXPECT_FALSE(m_clean);
}

// The sources go to the desktop's trash (here one of the test's own, in a data folder that does
// not exist yet), each once, with the information that lets a file manager restore them.
TEST_F(FrmAviJoinTest, ACleanJoinMovesEachSourceToTheTrashOnce) {
    const std::string a = synthetic("A", 20);
    const std::string b = synthetic("B", 20);
    const std::filesystem::path trash = m_dir.path() / "data" / "Trash";
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(m_dir.path().string()));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((m_dir.path() / "data").string()));
    setPreference("Prompt_Delete", "1");
    setPreference("Delete_Ask_Sure", "1");
    m_dialogs.expectMessage("Are you sure?",
                            "Delete all of the source files now?\r\n\r\n" + a + "\r\n" + b +
                                "\r\n\r\nThey are moved to the trash.",
                            MessageButtons::OkCancel, MessageAnswer::Ok);
    Script script;
    script.onReport = [](join::frmAviJoin& window) { button(window, "cmdDelete")->click(); };
    EXPECT_EQ(startJoin({entry(a), entry(b), entry(a)}, script), join::kStatusSourcesDeleted);
    EXPECT_TRUE(m_deleteOffered);
    EXPECT_TRUE(m_dialogs.verify());  // no "Error deleting" for the second A
    qputenv("HOME", home);
    qunsetenv("XDG_DATA_HOME");
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_FALSE(std::filesystem::exists(b));
    EXPECT_EQ(testing_support::FolderNames(trash / "files"),
              (std::vector<std::string>{"A.avi", "B.avi"}));
    EXPECT_EQ(testing_support::FolderNames(trash / "info"),
              (std::vector<std::string>{"A.avi.trashinfo", "B.avi.trashinfo"}));
    std::ifstream info(trash / "info" / "A.avi.trashinfo");
    const std::string text((std::istreambuf_iterator<char>(info)), {});
    EXPECT_NE(text.find("[Trash Info]"), std::string::npos) << text;
    EXPECT_NE(text.find("Path=" + a), std::string::npos) << text;
    EXPECT_EQ(testing_support::FfprobeVideoPackets(dest()), 60);
}

}  // namespace
