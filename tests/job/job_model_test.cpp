// SPDX-License-Identifier: GPL-3.0-or-later
// The job's order: removing, moving, clearing, the hand-overs to the preview and the join, the
// totals, and a job of hundreds of clips.
#include <gtest/gtest.h>

#include <memory>

#include "job/job.h"
#include "job/job_boxes.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using clips::ClipShape;

class JobModelTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        vbvfw_AVIFileInit();
        s_dir = std::make_unique<testing_support::TempDir>();
        // Compatible clips told apart by their lengths: a 10, b 20, c 30, d 40 frames.
        int frames = 10;
        for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi"}) {
            ClipShape shape = clips::CinepakClip();
            shape.frames = frames;
            clips::Write(s_dir->file(name), shape);
            frames += 10;
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        job.setRefreshStats([this] { ++refreshes; });
        for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi"}) {
            job.AddClip(s_dir->file(name));
        }
        ASSERT_EQ(job.clipCount(), 4);
        refreshes = 0;
    }

    // The job as "title:frames" per entry, and the list must show each entry's line.
    std::vector<std::string> entries() const {
        std::vector<std::string> shown;
        for (const auto& clip : job.clips()) {
            shown.push_back(FileTitle(clip.fileName) + ":" + std::to_string(clip.segmentFrames));
        }
        std::vector<std::string> titles;
        for (const auto& clip : job.clips()) {
            titles.push_back(job::JoinListLine(clip));
        }
        EXPECT_EQ(boxes.listJoin.lines(), titles);
        return shown;
    }
    std::vector<int> selected() const { return platform::SelectedLines(boxes.listJoin); }

    static std::unique_ptr<testing_support::TempDir> s_dir;
    job_testing::Boxes boxes;
    job::Job job{boxes.listJoin, boxes.dialogs};
    int refreshes = 0;
};

std::unique_ptr<testing_support::TempDir> JobModelTest::s_dir;

using Lines = std::vector<std::string>;

TEST_F(JobModelTest, RemovingTakesExactlyTheSelectedEntriesAndKeepsTheOrder) {
    boxes.listJoin.selectOnly({1, 3});
    job.RemoveSelectedClips();
    EXPECT_EQ(entries(), (Lines{"a.avi:10", "c.avi:30"}));
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(refreshes, 1);

    job.RemoveSelectedClips();  // nothing selected: nothing happens, not even a refresh
    EXPECT_EQ(job.clipCount(), 2);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(JobModelTest, RemovingTheFirstEntryMakesTheNextOneTheBase) {
    ClipShape ntsc = clips::CinepakClip();
    ntsc.videoRate = 30000;
    ntsc.videoScale = 1001;
    ntsc.frames = 5;
    ntsc.pcm(2, 44100, 16);
    ASSERT_TRUE(clips::Write(s_dir->file("ntsc.avi"), ntsc));
    boxes.dialogs.expectMessage(
        "Warning: potential problem with clip",
        "Clip " + s_dir->file("ntsc.avi") +
            " has a different audio format (44100Hz) than the base clip (22050Hz).  If you "
            "proceed, a clip with no audio will be created.  Do you wish to proceed and join the "
            "clips anyway?",
        platform::MessageButtons::YesNo, platform::MessageAnswer::Yes);
    job.AddClip(s_dir->file("ntsc.avi"));
    boxes.listJoin.selectOnly({0, 1, 2, 3});
    job.RemoveSelectedClips();
    EXPECT_EQ(entries(), Lines{"ntsc.avi:5"});
    const auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.labVideoStats, "Video:  cvid, 29.97003fps, 320x240");
    EXPECT_EQ(captions.labAudioStats, "Audio:  16 bit Stereo, 44100Hz, PCM Uncompressed");
    // Later clips are compared with the new base.
    boxes.dialogs.expectMessage(
        "Warning: potential problem with clip",
        "Clip " + s_dir->file("a.avi") +
            " has a different audio format (22050Hz) than the base clip (44100Hz).  If you "
            "proceed, a clip with no audio will be created.  Do you wish to proceed and join the "
            "clips anyway?",
        platform::MessageButtons::YesNo, platform::MessageAnswer::No);
    job.AddClip(s_dir->file("a.avi"));
    EXPECT_EQ(job.clipCount(), 1);
}

TEST_F(JobModelTest, RemovingTheLastEntryOrAllOfThem) {
    boxes.listJoin.selectOnly({3});
    job.RemoveSelectedClips();
    EXPECT_EQ(entries(), (Lines{"a.avi:10", "b.avi:20", "c.avi:30"}));
    boxes.listJoin.selectOnly({0, 1, 2});
    job.RemoveSelectedClips();
    EXPECT_EQ(job.clipCount(), 0);
    EXPECT_EQ(boxes.listJoin.count(), 0);
}

TEST_F(JobModelTest, MovingCarriesTheEntryAndItsSelection) {
    boxes.listJoin.selectOnly({1});
    job.MoveSelectedClip(1);
    EXPECT_EQ(entries(), (Lines{"a.avi:10", "c.avi:30", "b.avi:20", "d.avi:40"}));
    EXPECT_EQ(selected(), std::vector<int>{2});
    job.MoveSelectedClip(-1);
    job.MoveSelectedClip(-1);
    EXPECT_EQ(entries(), (Lines{"b.avi:20", "a.avi:10", "c.avi:30", "d.avi:40"}));
    EXPECT_EQ(selected(), std::vector<int>{0});
    EXPECT_EQ(refreshes, 0);  // the totals do not change
}

// A drag moves the dragged entries as a block, in their order, and they stay selected.
TEST_F(JobModelTest, DraggedEntriesMoveAsABlock) {
    job.MoveClips({2, 0}, 4);
    EXPECT_EQ(entries(), (Lines{"b.avi:20", "d.avi:40", "a.avi:10", "c.avi:30"}));
    EXPECT_EQ(selected(), (std::vector<int>{2, 3}));
    job.MoveClips({3}, 0);
    EXPECT_EQ(entries(), (Lines{"c.avi:30", "b.avi:20", "d.avi:40", "a.avi:10"}));
    job.MoveClips({1, 2}, 2);  // onto itself
    EXPECT_EQ(entries(), (Lines{"c.avi:30", "b.avi:20", "d.avi:40", "a.avi:10"}));
    EXPECT_EQ(selected(), (std::vector<int>{1, 2}));
    job.MoveClips({9}, 99);  // past the job: nothing
    EXPECT_EQ(entries(), (Lines{"c.avi:30", "b.avi:20", "d.avi:40", "a.avi:10"}));
}

TEST_F(JobModelTest, MovingPastTheEndsOrWithoutASingleSelectionDoesNothing) {
    const Lines original{"a.avi:10", "b.avi:20", "c.avi:30", "d.avi:40"};
    boxes.listJoin.selectOnly({0});
    job.MoveSelectedClip(-1);
    EXPECT_EQ(entries(), original);
    EXPECT_EQ(selected(), std::vector<int>{0});
    boxes.listJoin.selectOnly({3});
    job.MoveSelectedClip(1);
    EXPECT_EQ(entries(), original);
    boxes.listJoin.selectOnly({});
    job.MoveSelectedClip(1);
    EXPECT_EQ(entries(), original);
    boxes.listJoin.selectOnly({1, 2});
    job.MoveSelectedClip(1);
    job.MoveSelectedClip(-1);
    EXPECT_EQ(entries(), original);
    EXPECT_EQ(selected(), (std::vector<int>{1, 2}));
    boxes.listJoin.selectOnly({1});
    job.MoveSelectedClip(2);  // only one place at a time
    EXPECT_EQ(entries(), original);
}

TEST_F(JobModelTest, ClearingEmptiesJobAndList) {
    job.ClearJob();
    EXPECT_EQ(job.clipCount(), 0);
    EXPECT_EQ(boxes.listJoin.count(), 0);
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(job.isJoinable());
    EXPECT_EQ(job.refreshStatsCaptions().frameJoin, "Joined Clip: ");
}

TEST_F(JobModelTest, ThePreviewGetsCopiesAndItsMarksComeBack) {
    int calls = 0;
    const auto markSecond = [&calls](int count, int index, int marking,
                                     std::vector<ClipInfo>& clips) {
        ++calls;
        EXPECT_EQ(count, 4);
        EXPECT_EQ(index, 1);
        EXPECT_EQ(marking, 1);
        ASSERT_EQ(clips.size(), 4u);
        clips[1].leadIn = 5;
        clips[1].leadOut = 14;
        clips[1].segmentFrames = 10;
    };
    boxes.listJoin.selectOnly({1, 2});
    job.PreviewSelectedSegment(markSecond);
    boxes.listJoin.selectOnly({});
    job.PreviewSelectedSegment(markSecond);
    EXPECT_EQ(calls, 0);

    boxes.listJoin.selectOnly({1});
    job.PreviewSelectedSegment(markSecond);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(entries(), (Lines{"a.avi:10", "b.avi:10", "c.avi:30", "d.avi:40"}));
    EXPECT_EQ(boxes.listJoin.lines()[1], "b.avi [5-14]");
    EXPECT_EQ(selected(), std::vector<int>{1});
    const auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.labLength, "Length:  90 frames, 3 seconds");
    EXPECT_EQ(captions.labSegLead, "Lead-in: Frame 5, Lead-out: Frame 14");
}

TEST_F(JobModelTest, TheJoinedViewShowsAllEntriesAndNothingWhenEmpty) {
    int calls = 0;
    const auto preview = [&calls](int count, int index, int, std::vector<ClipInfo>&) {
        ++calls;
        EXPECT_EQ(count, 4);
        EXPECT_EQ(index, -1);
    };
    job.PreviewJoinedClip(preview);
    EXPECT_EQ(calls, 1);
    job.ClearJob();
    job.PreviewJoinedClip(preview);
    EXPECT_EQ(calls, 1);
}

TEST_F(JobModelTest, TheJoinGetsItsOwnCopyOfTheEntries) {
    const auto entriesForJoin = job.joinEntries();
    job.ClearJob();
    ASSERT_EQ(entriesForJoin.size(), 4u);
    EXPECT_EQ(FileTitle(entriesForJoin[3].fileName), "d.avi");
    EXPECT_EQ(entriesForJoin[3].segmentFrames, 40);
}

TEST_F(JobModelTest, EmptyOrInvertedSegmentsCountAsNoFrames) {
    // 10, -50 (lead-in 60, lead-out 9), 30, 0.
    job.PreviewJoinedClip([](int, int, int, std::vector<ClipInfo>& clips) {
        clips[1].leadIn = 60;
        clips[1].leadOut = 9;
        clips[1].segmentFrames = -50;
        clips[3].leadIn = 20;
        clips[3].leadOut = 19;
        clips[3].segmentFrames = 0;
    });
    boxes.listJoin.selectOnly({1, 2});
    const job::JobTotals totals = job.totals();
    EXPECT_EQ(totals.joinedFrames, 40);
    EXPECT_EQ(totals.selectedFrames, 30);
    EXPECT_EQ(totals.selectedLines, 2);
    EXPECT_TRUE(job.isJoinable());

    job.PreviewJoinedClip([](int, int, int, std::vector<ClipInfo>& clips) {
        for (auto& clip : clips) {
            clip.segmentFrames = -1;
        }
    });
    EXPECT_EQ(job.totals().joinedFrames, 0);
    EXPECT_FALSE(job.isJoinable());
}

TEST_F(JobModelTest, APreviewThatChangesTheNumberOfEntriesIsNotTaken) {
    job.PreviewJoinedClip([](int, int, int, std::vector<ClipInfo>& clips) { clips.pop_back(); });
    EXPECT_EQ(job.clipCount(), 4);
}

TEST_F(JobModelTest, AJobGrowsToHundredsOfClips) {
    job.ClearJob();
    ClipShape tiny = clips::CinepakClip();
    tiny.frames = 2;
    tiny.audio = false;
    tiny.frameSize = [](int) { return 8; };
    platform::MemoryListBox listFiles;
    for (int i = 0; i < 500; ++i) {
        const std::string name = "tiny" + std::to_string(i) + ".avi";
        ASSERT_TRUE(clips::Write(s_dir->file(name), tiny));
        listFiles.addLine(name);
        listFiles.setSelected(i, true);
    }
    job.AddSelectedFiles(listFiles, s_dir->path().string());
    ASSERT_EQ(job.clipCount(), 500);
    EXPECT_EQ(boxes.listJoin.count(), 500);
    EXPECT_EQ(boxes.listJoin.text(499), "tiny499.avi");
    EXPECT_EQ(selected(), std::vector<int>{499});
    EXPECT_EQ(job.totals().joinedFrames, 1000);
    EXPECT_EQ(job.refreshStatsCaptions().frameJoin, "Joined Clip:  (500 segments)");
}

}  // namespace
