// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with real widgets, real clips and a settings folder of its own: the file box,
// the join list's commands and keys, the pop-ups, the statistics, a whole join, files from the
// command line and from a drop, and closing.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <memory>

#include "job/job_boxes.h"
#include "join/join_engine.h"
#include "join/join_report.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"
#include "settings/ini_store.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/qt_test_app.h"
#include "ui/main/clip_lists.h"
#include "ui/main/frm_trel_join.h"
#include "ui/main/main_window_logic.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using testing_support::TempDir;
using ui::JoinList;

std::vector<std::string> Lines(const QListWidget* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) {
        lines.push_back(list->item(i)->text().toStdString());
    }
    return lines;
}

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        testing_support::EnsureQtApplication();
        vbvfw_AVIFileInit();
        s_dir = std::make_unique<TempDir>();
        // cvid, 30 fps, 320 by 240, 16-bit stereo PCM at 22050 per second, 250 frames each.
        clips::ClipShape clip = clips::CinepakClip();
        clip.frames = 250;
        clip.frameSize = [](int) { return 16; };
        for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
            clips::Write(s_dir->file(name), clip);
        }
        std::filesystem::create_directory(s_dir->path() / "sub");
        clip.frames = 5;
        clips::Write((s_dir->path() / "sub" / "Zed.AVI").string(), clip);
        clips::Write((s_dir->path() / "sub" / "inner.avi").string(), clip);
        FILE* notes = std::fopen(s_dir->file("notes.txt").c_str(), "w");
        std::fclose(notes);
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        services.dialogs = &boxes.dialogs;
        services.texts = &texts;
        services.loadPreview = [this](QWidget*) { ++previewLoads; };
        services.unloadPreview = [this] { ++previewUnloads; };
        services.previewClips = [this](int count, int index, int marking,
                                       std::vector<ClipInfo>& clips) {
            previews.push_back(std::to_string(count) + "/" + std::to_string(index) + "/" +
                               std::to_string(marking));
            if (index >= 0) {  // the preview marks frames 10 to 99
                clips[static_cast<size_t>(index)].leadIn = 10;
                clips[static_cast<size_t>(index)].leadOut = 99;
                clips[static_cast<size_t>(index)].segmentFrames = 90;
            }
        };
        services.previewFile = [this](const std::string& path) { previews.push_back(path); };
        // The real engine and report, as the join window runs them.
        services.startJoin = [this](const std::string& destination, int16_t count,
                                    const std::vector<ClipInfo>& clips) {
            join::JoinState state;
            state.clipCount = count;
            state.clips = clips;
            state.destFileName = destination;
            if (duringJoin) {
                duringJoin();
            }
            report = join::MakeJoinReport(join::RunJoin(state, false), state);
            return report.status;
        };
        services.lastJoinClean = [this] { return report.clean; };
        settings::WriteIniValue("Preferences", "Read_Directory", s_dir->path().string());
    }

    void open() {
        window = std::make_unique<ui::frmTrelJoin>(services);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T>
    T* child(const char* name) {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    std::string text(const char* name) {
        if (auto* label = window->findChild<QLabel*>(QLatin1String(name))) {
            return label->text().toStdString();
        }
        return child<QGroupBox>(name)->title().toStdString();
    }
    // Selects exactly the given lines of a list, as a user's clicks would.
    void select(const char* list, const std::vector<int>& lines) {
        QListWidget* widget = child<QListWidget>(list);
        widget->clearSelection();
        for (int line : lines) {
            widget->item(line)->setSelected(true);
        }
    }
    void click(const char* button) {
        QTest::mouseClick(child<QToolButton>(button), Qt::LeftButton);
    }
    void addAll() {
        select("listFiles", {0, 1, 2});
        click("picCmdAddFile");
    }
    std::string joinedPath(const char* name) const { return s_dir->file(name); }

    static std::unique_ptr<TempDir> s_dir;
    testing_support::TempSettingsHome home;
    job_testing::Boxes boxes;
    settings::SharedTexts texts;
    ui::MainWindowServices services;
    std::unique_ptr<ui::frmTrelJoin> window;
    std::vector<std::string> previews;
    join::JoinReport report;
    std::function<void()> duringJoin;
    int previewLoads = 0;
    int previewUnloads = 0;
};

std::unique_ptr<TempDir> MainWindowTest::s_dir;

TEST_F(MainWindowTest, FileBoxFollowsTheStoredFolderThePatternAndTheFolderList) {
    settings::WriteIniValue("Preferences", "Match_Pattern", "*.txt; *.AVI");
    settings::WriteIniValue("Preferences", "Save_Directory", "/saved");
    open();
    EXPECT_EQ(window->windowTitle().toStdString(), "Trelvane");
    EXPECT_EQ(previewLoads, 1);
    EXPECT_EQ(texts.saveDirectory, "/saved");
    QListWidget* listFiles = child<QListWidget>("listFiles");
    EXPECT_EQ(Lines(listFiles), (std::vector<std::string>{"a.avi", "b.avi", "c.avi", "notes.txt"}));

    // Typing refills the file box at every character.
    QComboBox* combo = child<QComboBox>("Combo1");
    combo->lineEdit()->clear();
    EXPECT_EQ(listFiles->count(), 0);
    QTest::keyClicks(combo->lineEdit(), "*");
    EXPECT_EQ(listFiles->count(), 4);
    QTest::keyClicks(combo->lineEdit(), ".t");
    EXPECT_EQ(listFiles->count(), 0);
    QTest::keyClicks(combo->lineEdit(), "xt");
    EXPECT_EQ(Lines(listFiles), std::vector<std::string>{"notes.txt"});
    combo->setEditText("*.avi");

    // Into the subfolder with the folder list and the keyboard.
    QListWidget* dir1 = child<QListWidget>("Dir1");
    const QList<QListWidgetItem*> sub = dir1->findItems("sub", Qt::MatchEndsWith);
    ASSERT_EQ(sub.size(), 1);
    dir1->setCurrentItem(sub.front());
    dir1->setFocus();
    QTest::keyClick(dir1, Qt::Key_Return);
    EXPECT_EQ(window->currentFolder(), (s_dir->path() / "sub").string());
    EXPECT_EQ(Lines(listFiles), (std::vector<std::string>{"inner.avi", "Zed.AVI"}));
    QTest::keyClick(dir1, Qt::Key_Backspace);
    EXPECT_EQ(window->currentFolder(), s_dir->path().string());
    QTest::keyClick(dir1, Qt::Key_Return);
    EXPECT_EQ(child<QComboBox>("Drive1")->currentText().toStdString().front(), '/');
}

TEST_F(MainWindowTest, StatisticsOfAJobOfThreeClips) {
    open();
    EXPECT_EQ(text("frameJoin"), "Joined Clip: ");
    EXPECT_EQ(text("labLength"), "Length: ");
    EXPECT_EQ(text("labVideoStats"), "Video: ");
    EXPECT_EQ(text("labAudioStats"), "Audio: ");
    EXPECT_EQ(text("frameSeg"), "Selected Segment: ");
    EXPECT_EQ(text("labSegLength"), "Length: ");
    EXPECT_EQ(text("labSegLead"), "");

    addAll();
    QListWidget* listJoin = child<QListWidget>("listJoin");
    EXPECT_EQ(Lines(listJoin), (std::vector<std::string>{"a.avi", "b.avi", "c.avi"}));
    // The second clip selected with the mouse.
    QTest::mouseClick(listJoin->viewport(), Qt::LeftButton, {},
                      listJoin->visualItemRect(listJoin->item(1)).center());
    EXPECT_EQ(text("frameJoin"), "Joined Clip:  (3 segments)");
    EXPECT_EQ(text("labLength"), "Length:  750 frames, 25 seconds");
    EXPECT_EQ(text("labVideoStats"), "Video:  cvid, 30fps, 320x240");
    EXPECT_EQ(text("labAudioStats"), "Audio:  16 bit Stereo, 22050Hz, PCM Uncompressed");
    EXPECT_EQ(text("frameSeg"), "Selected Segment: b.avi ");
    EXPECT_EQ(text("labSegLength"), "Length:  250 frames, 8.33 seconds");
    EXPECT_EQ(text("labSegLead"), "");

    // Marking in the preview shows at once; the keyboard selection is followed too.
    QTest::mouseDClick(listJoin->viewport(), Qt::LeftButton, {},
                       listJoin->visualItemRect(listJoin->item(1)).center());
    EXPECT_EQ(previews, std::vector<std::string>{"3/1/1"});
    EXPECT_EQ(text("labSegLead"), "Lead-in: Frame 10, Lead-out: Frame 99");
    listJoin->setFocus();
    QTest::keyClick(listJoin, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(text("frameSeg"), "Selected Segments: (2 total)");
    EXPECT_EQ(text("labSegLength"), "Length:  340 frames, 11.33 seconds");
    EXPECT_EQ(text("labSegLead"), "");
}

TEST_F(MainWindowTest, JoinListCommandsFromButtonsAndKeys) {
    open();
    QListWidget* listFiles = child<QListWidget>("listFiles");
    QListWidget* listJoin = child<QListWidget>("listJoin");
    // Enter on the file box adds; a double click adds.
    select("listFiles", {0, 1});
    listFiles->setFocus();
    QTest::keyClick(listFiles, Qt::Key_Return);
    const QPoint third = listFiles->visualItemRect(listFiles->item(2)).center();
    QTest::mouseClick(listFiles->viewport(), Qt::LeftButton, {}, third);
    QTest::mouseDClick(listFiles->viewport(), Qt::LeftButton, {}, third);
    ASSERT_EQ(Lines(listJoin), (std::vector<std::string>{"a.avi", "b.avi", "c.avi"}));

    listJoin->setFocus();
    select("listJoin", {2});
    QTest::keyClick(listJoin, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(listJoin, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(listJoin, Qt::Key_Up, Qt::ControlModifier);  // already first
    EXPECT_EQ(Lines(listJoin), (std::vector<std::string>{"c.avi", "a.avi", "b.avi"}));
    EXPECT_TRUE(listJoin->item(0)->isSelected());
    click("picClipDn");
    EXPECT_EQ(Lines(listJoin), (std::vector<std::string>{"a.avi", "c.avi", "b.avi"}));
    QTest::keyClick(listJoin, Qt::Key_Return);
    EXPECT_EQ(previews, std::vector<std::string>{"3/1/1"});
    click("picCmdPreviewJoined");
    EXPECT_EQ(previews.back(), "3/-1/1");

    select("listJoin", {0, 2});
    click("picClipUp");  // two lines selected: nothing moves
    QTest::keyClick(listJoin, Qt::Key_Delete);
    EXPECT_EQ(Lines(listJoin), std::vector<std::string>{"c.avi [10-99]"});
    EXPECT_TRUE(listJoin->selectedItems().isEmpty());
    select("listFiles", {0});
    click("picCmdPreviewFile");
    EXPECT_EQ(previews.back(), joinedPath("a.avi"));
    // The marked segment would be lost: Clear asks first.
    const std::string question = "Clear the join list?  The marks of 1 segment are lost.";
    boxes.dialogs.expectMessage("Clear", question, MessageButtons::YesNo, MessageAnswer::No);
    click("picCmdClear");
    EXPECT_EQ(listJoin->count(), 1);
    boxes.dialogs.expectMessage("Clear", question, MessageButtons::YesNo, MessageAnswer::Yes);
    click("picCmdClear");
    EXPECT_EQ(listJoin->count(), 0);
    EXPECT_EQ(window->logic().job().clipCount(), 0);

    // The menu commands reach the other windows; F1 opens the help from anywhere in the window.
    std::vector<std::string> opened;
    services.showPreferences = [&](const std::string& folder) { opened.push_back(folder); };
    services.showAbout = [&] { opened.push_back("about"); };
    services.showHelpContents = [&] { opened.push_back("help"); };
    open();
    child<QAction>("mnuPreferences")->trigger();
    child<QAction>("mnuHelpAbout")->trigger();
    QTest::keyClick(child<QListWidget>("listFiles"), Qt::Key_F1);
    EXPECT_EQ(opened, (std::vector<std::string>{s_dir->path().string(), "about", "help"}));
}

// The right button shows the pop-up with the items enabled by the selection, and leaves the
// selection alone.
TEST_F(MainWindowTest, PopUpsFollowTheSelection) {
    open();
    QListWidget* listFiles = child<QListWidget>("listFiles");
    QMenu* fileBox = child<QMenu>("mnuFileBox");
    std::vector<std::string> seen;
    const auto rightClick = [&](QListWidget* list, int line) {
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                seen.push_back("none");
                return;
            }
            std::string shown = menu->objectName().toStdString() + ":";
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    shown += (action->isEnabled() ? " +" : " -") + action->text().toStdString();
                }
            }
            seen.push_back(shown);
            menu->close();
        });
        QTest::mousePress(list->viewport(), Qt::RightButton, {},
                          list->visualItemRect(list->item(line)).center());
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {},
                            list->visualItemRect(list->item(line)).center());
    };
    select("listFiles", {0, 1});
    rightClick(listFiles, 3);
    EXPECT_EQ(listFiles->selectedItems().size(), 2);
    select("listFiles", {2});
    rightClick(listFiles, 0);
    select("listFiles", {});
    rightClick(listFiles, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"mnuFileBox: -Preview File +Add Files",
                                              "mnuFileBox: +Preview File +Add File",
                                              "mnuFileBox: -Preview File -Add File"}));
    EXPECT_EQ(fileBox->defaultAction()->objectName().toStdString(), "mnuFBAdd");

    seen.clear();
    addAll();
    QListWidget* listJoin = child<QListWidget>("listJoin");
    rightClick(listJoin, 0);  // the last added line is selected
    select("listJoin", {0, 1});
    rightClick(listJoin, 2);
    select("listJoin", {});
    rightClick(listJoin, 2);
    EXPECT_EQ(seen,
              (std::vector<std::string>{
                  "mnuJoinBox: +Preview Joined File +Preview/Mark Segment +Remove From List",
                  "mnuJoinBox: +Preview Joined File -Preview/Mark Segment +Remove From List",
                  "mnuJoinBox: +Preview Joined File -Preview/Mark Segment -Remove From List"}));
    EXPECT_TRUE(listJoin->selectedItems().isEmpty());

    // The keyboard's menu key shows the same pop-up.
    seen.clear();
    select("listJoin", {1});
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        seen.push_back(menu != nullptr ? menu->objectName().toStdString() : "none");
        if (menu != nullptr) {
            menu->close();
        }
    });
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(), QPoint(), Qt::NoModifier);
    QApplication::sendEvent(listJoin, &menuKey);
    EXPECT_EQ(seen, std::vector<std::string>{"mnuJoinBox"});
}

// A whole join through the join command: the save dialog answered here, the real engine, the
// joined file judged by ffprobe, then the file box shows it and the clean join clears the job.
TEST_F(MainWindowTest, JoinsThroughTheJoinCommand) {
    settings::WriteIniValue("Preferences", "Clear_Job", "1");
    open();
    addAll();
    const std::string out = joinedPath("joined.avi");
    // The dialog proposes a name after the first clip, in its folder while no save folder is set.
    const platform::SaveDialogRequest proposed =
        ui::JoinSaveDialogRequest(texts.saveDirectory, window->logic().job().clips());
    EXPECT_EQ(proposed.fileName, "a joined.avi");
    EXPECT_EQ(proposed.initialFolder, s_dir->path().string());
    boxes.dialogs.expectSaveDialog(proposed, {true, out});
    // The window may not close while the join runs.
    duringJoin = [this] {
        window->close();
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->logic().joinRunning());
    };
    click("picCmdDoJoin");
    EXPECT_TRUE(boxes.dialogs.verify());
    EXPECT_EQ(report.status, 1) << report.text;
    EXPECT_NE(report.text.find("Completed Clip:"), std::string::npos) << report.text;
    EXPECT_EQ(window->logic().job().clipCount(), 0);
    EXPECT_EQ(text("frameJoin"), "Joined Clip: ");
    const auto lines = Lines(child<QListWidget>("listFiles"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "joined.avi"), lines.end());

    if (testing_support::FfprobePath().empty()) {
        GTEST_SKIP() << "ffprobe not found";
    }
    EXPECT_EQ(testing_support::FfprobeVideoPackets(out), 750);
    std::filesystem::remove(out);
}

// Files from the command line and from a drop go through AddClip: the duplicate question comes.
TEST_F(MainWindowTest, CommandLineFilesAndDropsReachTheJob) {
    open();
    window->addFiles({joinedPath("a.avi"), (s_dir->path() / "sub").string()});
    QListWidget* listJoin = child<QListWidget>("listJoin");
    EXPECT_EQ(Lines(listJoin), (std::vector<std::string>{"a.avi", "inner.avi", "Zed.AVI"}));

    boxes.dialogs.expectMessage("Duplicate Clip",
                                "File " + joinedPath("a.avi") +
                                    " is already selected.  Do you wish to add it a second time?",
                                MessageButtons::YesNo, MessageAnswer::No);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(joinedPath("c.avi"))),
                  QUrl::fromLocalFile(QString::fromStdString(joinedPath("a.avi"))),
                  QUrl::fromLocalFile(QString::fromStdString(joinedPath("b.avi")))});
    const QPoint at = listJoin->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(listJoin->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(listJoin->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    QTRY_COMPARE(listJoin->count(), 5);
    EXPECT_EQ(Lines(listJoin),
              (std::vector<std::string>{"a.avi", "inner.avi", "Zed.AVI", "c.avi", "b.avi"}));
    EXPECT_TRUE(boxes.dialogs.verify());
}

// The lists take the room a larger window gives; the panels keep their height.
TEST_F(MainWindowTest, TheListsGrowWithTheWindow) {
    open();
    const QSize smallest = window->size();
    EXPECT_EQ(window->minimumSizeHint(), smallest);
    QListWidget* listFiles = child<QListWidget>("listFiles");
    QListWidget* listJoin = child<QListWidget>("listJoin");
    const QSize files = listFiles->size();
    const QSize joined = listJoin->size();
    const int panel = child<QGroupBox>("frameJoin")->height();
    window->resize(smallest * 2);
    QTRY_VERIFY(listJoin->width() > joined.width() + smallest.width() / 3);
    EXPECT_GT(listJoin->height(), joined.height() + smallest.height() / 2);
    EXPECT_GT(listFiles->width(), files.width() + smallest.width() / 3);
    EXPECT_GT(listFiles->height(), files.height() + smallest.height() / 2);
    EXPECT_EQ(child<QGroupBox>("frameJoin")->height(), panel);
    EXPECT_EQ(listFiles->geometry().top(), listJoin->geometry().top());
}

// Clips come from the open dialog (Ctrl+O; the file box follows to their folder) and by dragging
// from the file box; a drag inside the join list reorders the job.
TEST_F(MainWindowTest, OpenDialogDragsAndReordering) {
    open();
    const std::string sub = (s_dir->path() / "sub").string();
    boxes.dialogs.expectOpenDialog(ui::OpenClipsRequest(s_dir->path().string()),
                                   {sub + "/Zed.AVI", sub + "/inner.avi"});
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    JoinList* listJoin = child<JoinList>("listJoin");
    EXPECT_EQ(Lines(listJoin), (std::vector<std::string>{"Zed.AVI", "inner.avi"}));
    EXPECT_EQ(window->currentFolder(), sub);

    window->setCurrentFolder(s_dir->path().string());
    QListWidget* listFiles = child<QListWidget>("listFiles");
    const auto drop = [&](QMimeData* data, int line) {
        const QPoint at = listJoin->visualItemRect(listJoin->item(line)).topLeft() + QPoint(2, 1);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(listJoin->viewport(), &enter);
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(listJoin->viewport(), &event);
        EXPECT_TRUE(event.isAccepted());
        EXPECT_EQ(event.dropAction(), Qt::CopyAction);  // the list itself removes nothing
    };
    std::unique_ptr<QMimeData> files(listFiles->model()->mimeData(
        {listFiles->model()->index(2, 0), listFiles->model()->index(0, 0)}));
    EXPECT_EQ(files->urls().value(0).toLocalFile().toStdString(), joinedPath("c.avi"));
    drop(files.get(), 0);
    QTRY_COMPARE(listJoin->count(), 4);
    EXPECT_EQ(Lines(listJoin),
              (std::vector<std::string>{"Zed.AVI", "inner.avi", "c.avi", "a.avi"}));

    std::unique_ptr<QMimeData> lines(listJoin->model()->mimeData(
        {listJoin->model()->index(2, 0), listJoin->model()->index(3, 0)}));
    drop(lines.get(), 0);
    EXPECT_EQ(Lines(listJoin),
              (std::vector<std::string>{"c.avi", "a.avi", "Zed.AVI", "inner.avi"}));
    EXPECT_EQ(FileTitle(window->logic().job().clips()[0].fileName), "c.avi");
    EXPECT_TRUE(boxes.dialogs.verify());
}

// Closing writes the positions and remembered folders and unloads the preview once; a drive that
// cannot be read is reported and the drive list goes back.
TEST_F(MainWindowTest, ClosingStoresTheSettingsAndABadDriveIsReported) {
    settings::WriteIniValue("Preferences", "Remember_Read", "1");
    settings::WriteIniValue("Preferences", "Remember_Save", "1");
    open();
    QComboBox* drive = child<QComboBox>("Drive1");
    const QString before = drive->currentText();
    drive->addItem("/no/such/volume");
    boxes.dialogs.expectMessage("Trelvane", "Error accessing drive /no/such/volume",
                                MessageButtons::Ok, MessageAnswer::Ok);
    emit drive->activated(drive->count() - 1);
    EXPECT_EQ(drive->currentText(), before);
    EXPECT_EQ(window->currentFolder(), s_dir->path().string());

    window->setCurrentFolder((s_dir->path() / "sub").string());
    texts.saveDirectory = "/keep/this";
    texts.previewPosText = "100,200";
    EXPECT_TRUE(window->close());
    EXPECT_EQ(previewUnloads, 1);
    window.reset();
    EXPECT_EQ(previewUnloads, 1);
    EXPECT_FALSE(settings::ReadIniValue("Main", "WindowState").empty());
    EXPECT_EQ(settings::ReadIniValue("Preview", "WindowState"), "100,200");
    EXPECT_EQ(settings::ReadIniValue("Preferences", "Read_Directory"),
              (s_dir->path() / "sub").string());
    EXPECT_EQ(settings::ReadIniValue("Preferences", "Save_Directory"), "/keep/this");
    EXPECT_TRUE(boxes.dialogs.verify());
}

}  // namespace
