// SPDX-License-Identifier: GPL-3.0-or-later
// The captions of the two statistics panels, from the job and the selection of the join list.
#include <gtest/gtest.h>

#include <memory>

#include "job/job.h"
#include "job/job_boxes.h"
#include "media/vbvfw.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using clips::ClipShape;

class StatsCaptionsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        vbvfw_AVIFileInit();
        s_dir = std::make_unique<testing_support::TempDir>();
        ClipShape clip = clips::CinepakClip();  // cvid, 30 fps, 320x240, 16-bit stereo PCM at 22050
        clip.frames = 250;
        clip.frameSize = [](int) { return 16; };
        for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
            clips::Write(s_dir->file(name), clip);
        }
        ClipShape pal = clips::CinepakClip();
        pal.videoRate = 25;
        pal.frames = 2000;
        pal.frameSize = [](int) { return 4; };
        pal.audio = false;
        clips::Write(s_dir->file("pal.avi"), pal);
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void add(const char* name) { job.AddClip(s_dir->file(name)); }

    static std::unique_ptr<testing_support::TempDir> s_dir;
    job_testing::Boxes boxes;
    job::Job job{boxes.listJoin, boxes.dialogs};
};

std::unique_ptr<testing_support::TempDir> StatsCaptionsTest::s_dir;

TEST_F(StatsCaptionsTest, AnEmptyJobShowsOnlyTheHeadings) {
    const auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.frameJoin, "Joined Clip: ");
    EXPECT_EQ(captions.labLength, "Length: ");
    EXPECT_EQ(captions.labVideoStats, "Video: ");
    EXPECT_EQ(captions.labAudioStats, "Audio: ");
    EXPECT_EQ(captions.frameSeg, "Selected Segment: ");
    EXPECT_EQ(captions.labSegLength, "Length: ");
    EXPECT_EQ(captions.labSegLead, "");
}

TEST_F(StatsCaptionsTest, ThreeClipsWithTheSecondSelected) {
    add("a.avi");
    add("b.avi");
    add("c.avi");
    boxes.listJoin.selectOnly({1});
    const auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.frameJoin, "Joined Clip:  (3 segments)");
    EXPECT_EQ(captions.labLength, "Length:  750 frames, 25 seconds");
    EXPECT_EQ(captions.labVideoStats, "Video:  cvid, 30fps, 320x240");
    EXPECT_EQ(captions.labAudioStats, "Audio:  16 bit Stereo, 22050Hz, PCM Uncompressed");
    EXPECT_EQ(captions.frameSeg, "Selected Segment: b.avi ");
    EXPECT_EQ(captions.labSegLength, "Length:  250 frames, 8.33 seconds");
    EXPECT_EQ(captions.labSegLead, "");
}

TEST_F(StatsCaptionsTest, SeveralSelectedLinesShowTheirCountAndSum) {
    add("a.avi");
    add("b.avi");
    add("c.avi");
    job.PreviewJoinedClip([](int, int, int, std::vector<ClipInfo>& clips) {
        clips[2].leadIn = 10;
        clips[2].leadOut = 99;
        clips[2].segmentFrames = 90;
    });
    boxes.listJoin.selectOnly({0, 2});
    auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.frameSeg, "Selected Segments: (2 total)");
    EXPECT_EQ(captions.labSegLength, "Length:  340 frames, 11.33 seconds");
    EXPECT_EQ(captions.labSegLead, "");
    EXPECT_EQ(captions.labLength, "Length:  590 frames, 19.66 seconds");

    boxes.listJoin.selectOnly({2});
    captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.frameSeg, "Selected Segment: c.avi ");
    EXPECT_EQ(captions.labSegLead, "Lead-in: Frame 10, Lead-out: Frame 99");
}

TEST_F(StatsCaptionsTest, ASilentBaseAndLongerJobs) {
    add("pal.avi");
    boxes.dialogs.expectMessage("Duplicate Clip",
                                "File " + s_dir->file("pal.avi") +
                                    " is already selected.  Do you wish to add it a second time?",
                                platform::MessageButtons::YesNo, platform::MessageAnswer::Yes);
    add("pal.avi");
    const auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.frameJoin, "Joined Clip:  (2 segments)");
    EXPECT_EQ(captions.labLength, "Length:  4000 frames, 2:40 (mm:ss)");
    EXPECT_EQ(captions.labVideoStats, "Video:  cvid, 25fps, 320x240");
    EXPECT_EQ(captions.labAudioStats, "Audio:  (No Audio)");
    EXPECT_EQ(captions.labSegLength, "Length:  2000 frames, 1:20 (mm:ss)");
}

TEST_F(StatsCaptionsTest, ThePlainFunctionIgnoresLinesBeyondTheJob) {
    std::vector<ClipInfo> clips(1);
    clips[0].fileName = "/clips/one.avi";
    clips[0].videoInfo.fccHandler = 0;
    clips[0].videoInfo.dwScale = 1;
    clips[0].videoInfo.dwRate = 15;
    clips[0].videoInfo.dwLength = 30;
    clips[0].videoFormat.biWidth = 176;
    clips[0].videoFormat.biHeight = -144;
    clips[0].leadOut = 29;
    clips[0].segmentFrames = 30;
    const auto captions = job::BuildStatsCaptions(clips, {0, 0, 5, -1});
    EXPECT_EQ(captions.frameJoin, "Joined Clip:  (1 segments)");
    EXPECT_EQ(captions.labVideoStats, "Video:  ????, 15fps, 176x144");
    EXPECT_EQ(captions.frameSeg, "Selected Segment: one.avi ");
    EXPECT_EQ(captions.labSegLength, "Length:  30 frames, 2 seconds");
    EXPECT_EQ(captions.labSegLead, "");
}

}  // namespace
