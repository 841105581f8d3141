// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/join_report.h"

#include <gtest/gtest.h>

namespace {

using join::ComposeJoinReport;
using join::FormatMegabytes;
using join::JoinState;

TEST(FormatMegabytes, TwoDecimalsWithoutTrailingZeros) {
    EXPECT_EQ(FormatMegabytes(5242880), "5");
    EXPECT_EQ(FormatMegabytes(1572864), "1.5");
    EXPECT_EQ(FormatMegabytes(1048576 + 10486), "1.01");
    EXPECT_EQ(FormatMegabytes(0), "0");
    EXPECT_EQ(FormatMegabytes(-7), "0");
    // Sizes beyond 2 GiB do not wrap.
    EXPECT_EQ(FormatMegabytes(2684354560ll), "2560");
    EXPECT_EQ(FormatMegabytes(INT64_MAX), "8796093022208");
    // Just above and just below half a hundredth of a megabyte.
    EXPECT_EQ(FormatMegabytes(5243), "0.01");
    EXPECT_EQ(FormatMegabytes(5242), "0");
}

JoinState FinishedJoin() {
    JoinState state;
    state.clipCount = 2;
    state.clips.resize(2);
    state.clips[0].segmentFrames = 100;
    state.clips[1].segmentFrames = 150;
    state.destFileName = "/v/joined.avi";
    state.framesWritten = 250;
    return state;
}

ClipInfo Verified(int32_t frames) {
    ClipInfo clip;
    clip.segmentFrames = frames;
    return clip;
}

TEST(ComposeJoinReport, CleanJoin) {
    const JoinState state = FinishedJoin();
    const join::JoinReport report = ComposeJoinReport(0, state, 0, Verified(250), 5242880);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.caption, "Join Complete");
    EXPECT_EQ(report.text, "Completed Clip:\r\n/v/joined.avi\r\n\r\n250 Frames, 5MB");
    EXPECT_TRUE(report.complete);
    EXPECT_TRUE(report.clean);
}

TEST(ComposeJoinReport, WarningsOrAFrameCountThatDiffersAreReported) {
    JoinState state = FinishedJoin();
    state.warnings = "Error reading frame 7 from source file /v/b.avi\r\n";
    state.framesWritten = 107;
    const join::JoinReport report = ComposeJoinReport(0, state, 0, Verified(107), 1572864);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.caption, "Join Complete");
    EXPECT_EQ(report.text,
              "WARNING: Joined file may be incomplete or missing frames.\r\nIt is HIGHLY "
              "recommended that you verify that the joined file plays correctly before deleting "
              "any of the source clips.\r\nCompleted Clip:\r\n/v/joined.avi\r\n107 Frames, "
              "1.5MB\r\nError reading frame 7 from source file /v/b.avi\r\n");
    EXPECT_FALSE(report.clean);

    state = FinishedJoin();
    const join::JoinReport mismatch = ComposeJoinReport(0, state, 0, Verified(249), 100);
    EXPECT_EQ(mismatch.text.rfind("WARNING: Joined file may be incomplete", 0), 0u);
    EXPECT_FALSE(mismatch.clean);
}

// Audio that ends before its video loses no frame: the report is a completed one, deleting stays
// possible, and only clips that follow can be out of sync.
TEST(ComposeJoinReport, AudioThatEndsEarlyIsNotAMissingFrame) {
    JoinState state = FinishedJoin();
    state.clips[0].fileName = "/v/a.avi";
    state.clips[1].fileName = "/v/b.avi";
    state.audioShortfalls = {{0, 1}, {1, 3}};
    const join::JoinReport report = ComposeJoinReport(0, state, 0, Verified(250), 5242880);
    EXPECT_EQ(report.text,
              "Completed Clip:\r\n/v/joined.avi\r\n\r\n250 Frames, 5MB\r\n"
              "Audio of /v/a.avi ends 1 frame before its video; later clips may be out of sync"
              "\r\nAudio of /v/b.avi ends 3 frames before its video");
    EXPECT_TRUE(report.complete);
    EXPECT_FALSE(report.clean);

    // A later clip with nothing to write puts nothing out of sync.
    state.clips[1].segmentFrames = 0;
    state.framesWritten = 100;
    state.audioShortfalls = {{0, 2}};
    EXPECT_EQ(join::AudioShortfallLines(state),
              "Audio of /v/a.avi ends 2 frames before its video\r\n");
}

TEST(ComposeJoinReport, UnverifiableFile) {
    const join::JoinReport report = ComposeJoinReport(0, FinishedJoin(), -1, Verified(0), 0);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.text,
              "WARNING: Unable to verify the integrity of joined file:\r\n/v/joined.avi\r\nIt is "
              "HIGHLY recommended that you verify that the joined file plays correctly before "
              "deleting any of the source clips.");
    EXPECT_FALSE(report.clean);
}

TEST(ComposeJoinReport, AnEmptyJoinIsNeverClean) {
    JoinState state = FinishedJoin();
    state.clips[0].segmentFrames = -5;
    state.clips[1].segmentFrames = 0;
    state.framesWritten = 0;
    const join::JoinReport report = ComposeJoinReport(0, state, 0, Verified(0), 5000);
    EXPECT_EQ(report.text.rfind("Completed Clip:", 0), 0u);
    EXPECT_FALSE(report.clean);
}

TEST(ComposeJoinReport, FailureShowsTheShortAndTheFullErrorCode) {
    JoinState state = FinishedJoin();
    state.lastErrorCode = static_cast<int32_t>(0x8004406E);
    state.lastErrorText = "writing data to joined file.";
    const join::JoinReport report = ComposeJoinReport(-1, state, 0, Verified(0), 0);
    EXPECT_EQ(report.status, -1);
    EXPECT_EQ(report.caption, "Error Joining Files");
    EXPECT_EQ(report.text,
              "Operation not completed!\r\n\r\nAn error occurred while writing data to joined "
              "file.\r\nError code 110 (-2147205010)");
    EXPECT_FALSE(report.clean);

    const join::JoinReport cancelled = ComposeJoinReport(-9, state, 0, Verified(0), 0);
    EXPECT_EQ(cancelled.status, -9);
    EXPECT_EQ(cancelled.text, "");
}

}  // namespace
