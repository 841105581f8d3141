// SPDX-License-Identifier: GPL-3.0-or-later
// The join command and the pop-up rules of the main window, with real clips, scripted dialogs and
// a recording join: what reaches the join, what is asked first, and when the job is cleared.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "job/job_boxes.h"
#include "media/vbvfw.h"
#include "settings/ini_store.h"
#include "support/clip_builder.h"
#include "ui/main/main_window_logic.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using testing_support::ReadFileBytes;

struct JoinCall {
    std::string destination;
    int clipCount = 0;
    std::vector<ClipInfo> clips;
};

class JoinCommandTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        vbvfw_AVIFileInit();
        s_dir = std::make_unique<testing_support::TempDir>();
        for (const char* name : {"a.avi", "b.avi"}) {
            clips::Write(s_dir->file(name), clips::CinepakClip());
        }
        clips::ClipShape otherSound = clips::CinepakClip();
        otherSound.pcm(2, 44100, 16);
        clips::Write(s_dir->file("c44.avi"), otherSound);
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        services.dialogs = &boxes.dialogs;
        services.texts = &texts;
        services.startJoin = [this](const std::string& destination, int16_t count,
                                    const std::vector<ClipInfo>& clips) {
            calls.push_back({destination, count, clips});
            return result;
        };
        services.lastJoinClean = [this] { return clean; };
        logic = std::make_unique<ui::MainWindowLogic>(boxes.listJoin, services);
        texts.saveDirectory = s_dir->path().string();
    }

    void add(const char* name) { logic->job().AddClip(s_dir->file(name)); }
    void answerSave(const std::string& chosen) {
        boxes.dialogs.expectSaveDialog(
            ui::JoinSaveDialogRequest(texts.saveDirectory, logic->job().clips()), {true, chosen});
    }
    void expectRefusal(const std::string& path) {
        boxes.dialogs.expectMessage(
            "Trelvane", "The joined file cannot replace one of the clips being joined: " + path,
            MessageButtons::Ok, MessageAnswer::Ok);
    }

    static std::unique_ptr<testing_support::TempDir> s_dir;
    testing_support::TempSettingsHome home;
    job_testing::Boxes boxes;
    settings::SharedTexts texts;
    ui::MainWindowServices services;
    std::unique_ptr<ui::MainWindowLogic> logic;
    std::vector<JoinCall> calls;
    int32_t result = 1;
    bool clean = true;
};

std::unique_ptr<testing_support::TempDir> JoinCommandTest::s_dir;

TEST_F(JoinCommandTest, AsksWithTheSaveDialogAndHandsOverACopyOfTheJob) {
    EXPECT_EQ(logic->JoinCommand(), 0);  // an empty job asks nothing
    add("a.avi");
    add("b.avi");
    // The dialog asks nothing before overwriting: the command does, after its own checks.
    EXPECT_EQ(ui::JoinSaveDialogRequest("/x", {}).flags, 0x20880Cu);

    answerSave("");  // cancelled
    EXPECT_EQ(logic->JoinCommand(), 0);
    boxes.dialogs.expectSaveDialog(
        ui::JoinSaveDialogRequest(texts.saveDirectory, logic->job().clips()), {false, ""});
    EXPECT_EQ(logic->JoinCommand(), 0);
    EXPECT_TRUE(calls.empty());

    const std::string out = s_dir->file("joined.avi");
    answerSave(out);
    EXPECT_EQ(logic->JoinCommand(), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].destination, out);
    EXPECT_EQ(calls[0].clipCount, 2);
    ASSERT_EQ(calls[0].clips.size(), 2u);
    EXPECT_EQ(calls[0].clips[1].fileName, s_dir->file("b.avi"));
    EXPECT_FALSE(logic->joinRunning());
    EXPECT_TRUE(boxes.dialogs.verify());
}

// The chosen file is one of the clips: by its own name, through "./" and "..", through a symbolic
// link and through a hard link. Nothing is joined and the clip's bytes stay as they were.
TEST_F(JoinCommandTest, RefusesADestinationThatIsOneOfTheClips) {
    add("a.avi");
    add("b.avi");
    const std::string source = s_dir->file("b.avi");
    const auto before = ReadFileBytes(source);
    const std::string symlink = s_dir->file("link.avi");
    const std::string hardlink = s_dir->file("hard.avi");
    std::filesystem::create_symlink(source, symlink);
    ASSERT_EQ(::link(source.c_str(), hardlink.c_str()), 0);
    const std::string dotted =
        (s_dir->path() / "." / ".." / s_dir->path().filename() / "b.avi").string();

    for (const std::string& chosen : {source, dotted, symlink, hardlink}) {
        answerSave(chosen);
        expectRefusal(chosen);
        EXPECT_EQ(logic->JoinCommand(), 0) << chosen;
    }
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(ReadFileBytes(source), before);
    EXPECT_EQ(logic->job().clipCount(), 2);

    // A file that is not in the job is handed to the join, after the question about replacing
    // it, untouched until the join succeeds.
    const std::string other = s_dir->file("other.avi");
    ASSERT_TRUE(clips::Write(other, clips::CinepakClip()));
    const auto otherBefore = ReadFileBytes(other);
    answerSave(other);
    boxes.dialogs.expectMessage("Save Joined File As",
                                other + " already exists.\r\nDo you want to replace it?",
                                MessageButtons::YesNo, MessageAnswer::Yes);
    EXPECT_EQ(logic->JoinCommand(), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(ReadFileBytes(other), otherBefore);
    EXPECT_TRUE(boxes.dialogs.verify());
}

// A name without an extension gets ".avi"; the dialog did not ask about that name, so we do.
TEST_F(JoinCommandTest, AsksBeforeReplacingTheNameWithTheExtensionAdded) {
    add("a.avi");
    const std::string bare = s_dir->file("bare");
    const std::string named = bare + ".avi";

    answerSave(bare);  // no such file yet: no question
    EXPECT_EQ(logic->JoinCommand(), 1);
    ASSERT_TRUE(clips::Write(named, clips::CinepakClip()));
    const std::string question = named + " already exists.\r\nDo you want to replace it?";
    answerSave(bare);
    boxes.dialogs.expectMessage("Save Joined File As", question, MessageButtons::YesNo,
                                MessageAnswer::No);
    EXPECT_EQ(logic->JoinCommand(), 0);
    answerSave(bare);
    boxes.dialogs.expectMessage("Save Joined File As", question, MessageButtons::YesNo,
                                MessageAnswer::Yes);
    EXPECT_EQ(logic->JoinCommand(), 1);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].destination, named);
    EXPECT_EQ(calls[1].destination, named);

    // With the extension added the name may turn out to be a clip: refused, not asked about.
    answerSave(s_dir->file("a"));
    expectRefusal(s_dir->file("a.avi"));
    EXPECT_EQ(logic->JoinCommand(), 0);
    EXPECT_TRUE(boxes.dialogs.verify());
}

// "Clear_Job" clears only after a clean report; deleted sources always clear; a failed join keeps
// the job. "Remember_Save" keeps the chosen folder.
TEST_F(JoinCommandTest, ClearsTheJobOnlyAfterACleanJoinOrDeletedSources) {
    settings::WriteIniValue("Preferences", "Clear_Job", "1");
    settings::WriteIniValue("Preferences", "Remember_Save", "1");
    std::filesystem::create_directory(s_dir->path() / "out");
    const std::string out = (s_dir->path() / "out" / "j.avi").string();
    struct Case {
        int32_t result;
        bool clean;
        const char* clearJob;
        bool cleared;
    };
    for (const Case c :
         {Case{1, false, "1", false}, Case{0, true, "1", false}, Case{-9, true, "1", false},
          Case{1, true, "0", false}, Case{2, false, "0", true}, Case{1, true, "1", true}}) {
        settings::WriteIniValue("Preferences", "Clear_Job", c.clearJob);
        logic->job().ClearJob();
        add("a.avi");
        result = c.result;
        clean = c.clean;
        answerSave(out);
        EXPECT_EQ(logic->JoinCommand(), c.result);
        EXPECT_EQ(logic->job().clipCount(), c.cleared ? 0 : 1)
            << "result " << c.result << " clean " << c.clean << " Clear_Job " << c.clearJob;
    }
    EXPECT_EQ(texts.saveDirectory, (s_dir->path() / "out").string());

    // Without a report of its own, a join is not taken as clean.
    services.lastJoinClean = nullptr;
    ui::MainWindowLogic unwired(boxes.listJoin, services);
    unwired.job().AddClip(s_dir->file("a.avi"));
    boxes.dialogs.expectSaveDialog(
        ui::JoinSaveDialogRequest(texts.saveDirectory, unwired.job().clips()), {true, out});
    result = 1;
    EXPECT_EQ(unwired.JoinCommand(), 1);
    EXPECT_EQ(unwired.job().clipCount(), 1);
    EXPECT_TRUE(boxes.dialogs.verify());
}

// An accepted warning silenced the base; moving the other clip to the top makes a base with
// audio again. The question comes before the save dialog: No joins nothing, Yes joins silently.
TEST_F(JoinCommandTest, AsksAboutMismatchedAudioBeforeTheSaveDialog) {
    const auto warning = [](const std::string& path, const std::string& msg) {
        return "Clip " + path + msg + "  Do you wish to proceed and join the clips anyway?";
    };
    add("a.avi");
    boxes.dialogs.expectMessage(
        "Warning: potential problem with clip",
        warning(s_dir->file("c44.avi"),
                " has a different audio format (44100Hz) than the base clip (22050Hz).  If you "
                "proceed, a clip with no audio will be created."),
        MessageButtons::YesNo, MessageAnswer::Yes);
    add("c44.avi");
    logic->job().MoveSelectedClip(-1);
    ASSERT_EQ(logic->job().clips().front().fileName, s_dir->file("c44.avi"));

    // The clip that was the base is compared by its own audio, which differs.
    const std::string question = warning(
        s_dir->file("a.avi"),
        " has a different audio format (22050Hz) than the base clip (44100Hz).  If you proceed, a "
        "clip with no audio will be created.");
    boxes.dialogs.expectMessage("Warning: potential problem with clip", question,
                                MessageButtons::YesNo, MessageAnswer::No);
    EXPECT_EQ(logic->JoinCommand(), 0);
    EXPECT_TRUE(calls.empty());

    boxes.dialogs.expectMessage("Warning: potential problem with clip", question,
                                MessageButtons::YesNo, MessageAnswer::Yes);
    answerSave(s_dir->file("silent.avi"));
    EXPECT_EQ(logic->JoinCommand(), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].clips.front().audioPresent, 0);
    EXPECT_EQ(calls[0].clips.back().audioPresent, 1);
    EXPECT_TRUE(boxes.dialogs.verify());
}

TEST(MainWindowMenus, EnableRulesFollowTheSelection) {
    EXPECT_FALSE(ui::FileBoxMenuRule(0).addEnabled);
    EXPECT_FALSE(ui::FileBoxMenuRule(0).previewEnabled);
    EXPECT_EQ(ui::FileBoxMenuRule(0).addCaption, "");  // the caption stays as it was
    EXPECT_TRUE(ui::FileBoxMenuRule(1).previewEnabled);
    EXPECT_EQ(ui::FileBoxMenuRule(1).addCaption, "Add File");
    EXPECT_FALSE(ui::FileBoxMenuRule(2).previewEnabled);
    EXPECT_TRUE(ui::FileBoxMenuRule(2).addEnabled);
    EXPECT_EQ(ui::FileBoxMenuRule(2).addCaption, "Add Files");

    const ui::JoinBoxMenuState empty = ui::JoinBoxMenuRule(0, 0);
    EXPECT_FALSE(empty.previewJoinedEnabled || empty.previewSegmentEnabled || empty.deleteEnabled);
    const ui::JoinBoxMenuState one = ui::JoinBoxMenuRule(3, 1);
    EXPECT_TRUE(one.previewJoinedEnabled && one.previewSegmentEnabled && one.deleteEnabled);
    const ui::JoinBoxMenuState two = ui::JoinBoxMenuRule(3, 2);
    EXPECT_TRUE(two.previewJoinedEnabled && two.deleteEnabled);
    EXPECT_FALSE(two.previewSegmentEnabled);
    const ui::JoinBoxMenuState none = ui::JoinBoxMenuRule(3, 0);
    EXPECT_TRUE(none.previewJoinedEnabled);
    EXPECT_FALSE(none.previewSegmentEnabled || none.deleteEnabled);
}

}  // namespace
