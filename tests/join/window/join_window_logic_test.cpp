// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/window/join_window_logic.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "join/join_plan.h"
#include "media/clip_inspection.h"
#include "platform/scripted/scripted_dialogs.h"
#include "settings/ini_store.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

class JoinWindowLogicTest : public ::testing::Test {
  protected:
    JoinWindowLogicTest()
        : m_dialogs([](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }),
          m_logic(m_state, m_dialogs) {}

    std::string clip(const std::string& tag, int frames = 20) {
        return clips::WriteTagged(m_dir, tag, frames);
    }
    static ClipInfo entry(const std::string& path) { return clips::Inspected(path); }
    void join(const std::vector<ClipInfo>& clips) {
        m_logic.prepare(m_dir.file("joined.avi"), static_cast<int16_t>(clips.size()), clips,
                        nullptr);
        ASSERT_TRUE(m_logic.runJoinOnce());
    }
    static void setPreference(const char* key, const char* value) {
        ASSERT_NE(settings::WriteIniValue("Preferences", key, value), 0);
    }

    testing_support::TempSettingsHome m_home;
    testing_support::TempDir m_dir;
    platform::ScriptedDialogs m_dialogs;
    join::JoinState m_state;
    join::JoinWindowLogic m_logic;
};

// Silence beyond the bound is asked about: No cancels before anything is written, Yes joins.
TEST_F(JoinWindowLogicTest, LongSilenceIsAskedAboutFirst) {
    const std::string hostile = m_dir.file("hostile.avi");
    clips::WriteFile(hostile,
                     clips::BuildAvi(clips::EmptyChunksSpec(25, 15025, clips::Pcm(1, 8000, 8))));
    const std::string question = "The audio of " + hostile +
                                 " ends 00:10:01 before its video (its own audio lasts "
                                 "00:00:01): the joined file would get that much silence in its "
                                 "place.\r\n" +
                                 join::kSilenceBoundText +
                                 "  Do you wish to proceed and join the clips anyway?";
    m_dialogs.expectMessage("Warning: long silence", question, MessageButtons::YesNo,
                            MessageAnswer::No);
    m_dialogs.expectMessage(
        "Join Cancelled",
        "The join was cancelled; " + m_dir.file("joined.avi") + " was not changed.",
        MessageButtons::Ok, MessageAnswer::Ok);
    join({entry(hostile)});
    EXPECT_EQ(m_logic.status(), join::kStatusCancelled);
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("joined.avi")));

    join::JoinState again;
    join::JoinWindowLogic logic(again, m_dialogs);
    m_dialogs.expectMessage("Warning: long silence", question, MessageButtons::YesNo,
                            MessageAnswer::Yes);
    logic.prepare(m_dir.file("joined.avi"), 1, {entry(hostile)}, nullptr);
    ASSERT_TRUE(logic.runJoinOnce());
    EXPECT_EQ(logic.status(), join::kStatusJoined) << logic.report().text;
    EXPECT_TRUE(m_dialogs.verify());
}

// A file standing in the job twice, once spelt with "./", is deleted once; a source that is
// already gone is reported with its error and the others are still deleted.
TEST_F(JoinWindowLogicTest, DeletingTouchesEachDistinctSourceOnceAndReportsFailures) {
    const std::string a = clip("A");
    const std::string b = clip("B");
    const std::string c = clip("C");
    ClipInfo again = entry(a);
    again.fileName = (std::filesystem::path(m_dir.path()) / "." / "A.avi").string();
    join({entry(a), entry(b), again, entry(c)});
    setPreference("Prompt_Delete", "1");
    setPreference("Delete_Ask_Sure", "1");
    ASSERT_TRUE(m_logic.clean()) << m_logic.report().text;
    ASSERT_TRUE(m_logic.offersDelete());

    std::filesystem::remove(b);
    m_dialogs.expectMessage("Are you sure?", "Delete all of the source files now?",
                            MessageButtons::OkCancel, MessageAnswer::Ok);
    m_dialogs.expectMessage("Delete Failed",
                            "Error deleting " + b + " (2-No such file or directory)",
                            MessageButtons::Ok, MessageAnswer::Ok);
    EXPECT_TRUE(m_logic.deleteSources());
    EXPECT_TRUE(m_dialogs.verify());
    EXPECT_EQ(m_logic.status(), join::kStatusSourcesDeleted);
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_FALSE(std::filesystem::exists(c));
    EXPECT_TRUE(std::filesystem::exists(m_dir.file("joined.avi")));
}

// Whatever the job held, the joined file is never among the files deleted.
TEST_F(JoinWindowLogicTest, TheJoinedFileIsNeverASourceToDelete) {
    const std::string a = clip("A");
    const std::string joined = clip("J");
    std::filesystem::create_hard_link(joined, m_dir.file("link.avi"));
    m_state.clipCount = 3;
    m_state.clips = {entry(a), entry(m_dir.file("link.avi")), entry(joined)};
    m_state.destFileName = joined;
    EXPECT_EQ(join::SourcesToDelete(m_state), std::vector<std::string>{a});
}

TEST_F(JoinWindowLogicTest, DeletingAnsweredCancelDeletesNothing) {
    const std::string a = clip("A");
    join({entry(a)});
    setPreference("Prompt_Delete", "1");
    setPreference("Delete_Ask_Sure", "1");
    m_dialogs.expectMessage("Are you sure?", "Delete all of the source files now?",
                            MessageButtons::OkCancel, MessageAnswer::Cancel);
    EXPECT_FALSE(m_logic.deleteSources());
    EXPECT_TRUE(std::filesystem::exists(a));
    EXPECT_EQ(m_logic.status(), join::kStatusJoined);
}

// Deleting is offered only after a clean report and only when the preference asks for it.
TEST_F(JoinWindowLogicTest, DeletingIsOfferedOnlyAfterACleanCompleteJoin) {
    const std::string a = clip("A");
    const std::string b = clip("B");
    clips::PatchVideoLength(b, 25);  // promises 5 frames it does not hold
    join({entry(a), entry(b)});
    EXPECT_EQ(m_logic.status(), join::kStatusJoined);
    EXPECT_EQ(m_logic.report().text.rfind("WARNING: Joined file may be incomplete", 0), 0u);
    setPreference("Prompt_Delete", "1");
    EXPECT_TRUE(m_logic.offersView());
    EXPECT_FALSE(m_logic.clean());
    EXPECT_FALSE(m_logic.offersDelete());
    EXPECT_FALSE(m_logic.deleteSources());
    EXPECT_TRUE(std::filesystem::exists(a));
}

TEST_F(JoinWindowLogicTest, ACleanJoinOffersDeletingOnlyWithPromptDelete) {
    join({entry(clip("A"))});
    EXPECT_TRUE(m_logic.clean());
    EXPECT_FALSE(m_logic.offersDelete());
    setPreference("Prompt_Delete", "True");  // only "1" switches it on
    EXPECT_FALSE(m_logic.offersDelete());
    setPreference("Prompt_Delete", "1");
    EXPECT_TRUE(m_logic.offersDelete());
}

// Cancel before the join has started: No changes nothing, Yes stops it from ever running.
TEST_F(JoinWindowLogicTest, ACancelBeforeTheStartKeepsTheJoinFromRunning) {
    m_logic.prepare(m_dir.file("joined.avi"), 1, {entry(clip("A"))}, nullptr);
    const std::string question = "Are you sure you want to cancel this operation?";
    m_dialogs.expectMessage("Cancel Join", question, MessageButtons::YesNo, MessageAnswer::No);
    EXPECT_FALSE(m_logic.requestClose());
    EXPECT_EQ(m_logic.status(), join::kStatusRunning);
    m_dialogs.expectMessage("Cancel Join", question, MessageButtons::YesNo, MessageAnswer::Yes);
    EXPECT_TRUE(m_logic.requestClose());
    EXPECT_EQ(m_logic.progressResult(), join::kJoinCancelled);
    EXPECT_FALSE(m_logic.runJoinOnce());
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("joined.avi")));
    EXPECT_TRUE(m_logic.requestClose());  // no question once the status is not 0
}

TEST_F(JoinWindowLogicTest, TheJoinRunsOnceAndAFailureIsReported) {
    m_logic.prepare(m_dir.file("no-such-folder/joined.avi"), 1, {entry(clip("A"))}, nullptr);
    ASSERT_TRUE(m_logic.runJoinOnce());
    EXPECT_LT(m_logic.status(), 0);
    EXPECT_EQ(m_logic.report().caption, "Error Joining Files");
    EXPECT_FALSE(m_logic.offersView());
    EXPECT_FALSE(m_logic.runJoinOnce());
}

TEST(ProgressTimeText, EstimatesOnlyOnceAFewPercentAreDone) {
    EXPECT_EQ(join::ProgressTimeText(5400, 2), "Elapsed 0:05");
    EXPECT_EQ(join::ProgressTimeText(10000, 25), "Elapsed 0:10, about 0:30 left");
    EXPECT_EQ(join::ProgressTimeText(100, 50), "Elapsed 0:00, about 0:01 left");
    EXPECT_EQ(join::ProgressTimeText(3723000, 100), "Elapsed 1:02:03");
    EXPECT_EQ(join::ProgressTimeText(-5, 0), "Elapsed 0:00");
}

TEST_F(JoinWindowLogicTest, TheSegmentCaptionChangesWithTheClip) {
    m_logic.prepare(m_dir.file("joined.avi"), 1, {entry(clip("A"))}, nullptr);
    EXPECT_EQ(m_logic.segmentCaption(0), "Now Joining: A.avi");
    EXPECT_EQ(m_logic.segmentCaption(0), std::nullopt);
    EXPECT_EQ(m_logic.segmentCaption(7), "Now Joining: ");
}

}  // namespace
