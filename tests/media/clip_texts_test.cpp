// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "media/clip_inspection.h"

namespace {

TEST(FormatTime, FourStylesOfTheSameTime) {
    EXPECT_EQ(FormatTime(3725.7f, 0), "01:02:05");
    EXPECT_EQ(FormatTime(3725.7f, 1), "1:02:05.70");
    EXPECT_EQ(FormatTime(3725.7f, 2), "01:02:05 (hh:mm:ss)");
    EXPECT_EQ(FormatTime(3725.7f, 3), "1:02:06");
    EXPECT_EQ(FormatTime(75.25f, 0), "00:01:15");
    EXPECT_EQ(FormatTime(75.25f, 1), "1:15.25");
    EXPECT_EQ(FormatTime(75.25f, 2), "1:15 (mm:ss)");
    EXPECT_EQ(FormatTime(75.25f, 3), "1:15");
    EXPECT_EQ(FormatTime(42.5f, 2), "42.5 seconds");
    EXPECT_EQ(FormatTime(25.0f, 2), "25 seconds");
    EXPECT_EQ(FormatTime(5.0f, 4), "");
    EXPECT_EQ(FormatTime(5.0f, -1), "");
}

TEST(FormatTime, SecondsAreRoundedAfterTheMinutesWereTaken) {
    // Kept as the established behaviour: the rounding happens after the split.
    EXPECT_EQ(FormatTime(59.7f, 3), "0:60");
}

TEST(FormatTime, ShortLengthsDoNotLoseAHundredthToSinglePrecision) {
    EXPECT_EQ(FormatTime(53.0f / 25.0f, 2), "2.12 seconds");
    EXPECT_EQ(FormatTime(250.0f / 30.0f, 2), "8.33 seconds");
    // Every length under a minute at 25 fps shows its exact hundredths.
    for (int frames = 1; frames < 1500; ++frames) {
        const float seconds = static_cast<float>(frames) / 25.0f;
        const int cents = frames * 4;
        std::string expected = std::to_string(cents / 100);
        if (cents % 100 != 0) {
            expected += cents % 10 == 0
                            ? "." + std::to_string((cents % 100) / 10)
                            : (cents % 100 < 10 ? ".0" : ".") + std::to_string(cents % 100);
        }
        ASSERT_EQ(FormatTime(seconds, 2), expected + " seconds") << frames;
    }
}

TEST(FormatTime, BrokenInputReadsAsZero) {
    EXPECT_EQ(FormatTime(std::numeric_limits<float>::quiet_NaN(), 0), "00:00:00");
    EXPECT_EQ(FormatTime(std::numeric_limits<float>::infinity(), 1), "0:00.00");
    EXPECT_EQ(FormatTime(-3.0f, 2), "0 seconds");
    EXPECT_FALSE(FormatTime(1e30f, 0).empty());
}

TEST(ClipTexts, TagNamesChannelsCodesAndTitles) {
    EXPECT_EQ(FormatTagName(1), "PCM Uncompressed");
    EXPECT_EQ(FormatTagName(34), "DSP Truespeech(tm)");
    EXPECT_EQ(FormatTagName(512), "Creative ADPCM");
    EXPECT_EQ(FormatTagName(85), "format #85");
    EXPECT_EQ(FormatTagName(65535), "format #65535");
    EXPECT_EQ(ChannelsText(1), "Mono");
    EXPECT_EQ(ChannelsText(2), "Stereo");
    EXPECT_EQ(ChannelsText(6), "6 Channels");
    EXPECT_EQ(ChannelsText(0), "0 Channels");
    EXPECT_EQ(FourCCText(0x64697663u), "cvid");
    EXPECT_EQ(FourCCText(0), "????");
    EXPECT_EQ(FourCCText(0x7F204D41u), "AM ?");
    EXPECT_EQ(FileTitle("/clips/a.avi"), "a.avi");
    EXPECT_EQ(FileTitle("a.avi"), "a.avi");
    EXPECT_EQ(FileTitle("/clips/"), "");
    EXPECT_EQ(FileTitle("/clips/back\\slash.avi"), "back\\slash.avi");
}

TEST(ClipTexts, VideoSummaryAndFrameSize) {
    ClipInfo clip;
    clip.videoInfo.dwRate = 30000;
    clip.videoInfo.dwScale = 1001;
    clip.videoInfo.dwStart = 5;
    clip.videoInfo.dwLength = 255;
    clip.videoInfo.fccHandler = 0x64697663u;
    const VideoSummary summary = GetVideoSummary(clip);
    EXPECT_FLOAT_EQ(summary.frameRate, 30000.0f / 1001.0f);
    EXPECT_EQ(summary.frameCount, 250);
    EXPECT_EQ(summary.codec, "cvid");

    clip.videoFormat.biWidth = 320;
    clip.videoFormat.biHeight = -240;
    EXPECT_EQ(GetFrameSize(clip).width, 320);
    EXPECT_EQ(GetFrameSize(clip).height, 240);
    clip.videoInfo.rcFrameRight = 352;
    clip.videoInfo.rcFrameBottom = 288;
    EXPECT_EQ(GetFrameSize(clip).width, 352);
    EXPECT_EQ(GetFrameSize(clip).height, 288);

    clip.videoInfo.dwScale = 0;  // never passes inspection, but must not divide by zero
    clip.videoInfo.dwLength = 0;
    EXPECT_EQ(GetVideoSummary(clip).frameRate, 0.0f);
    EXPECT_EQ(GetVideoSummary(clip).frameCount, 0);
}

TEST(ClipTexts, InspectionFailureMessages) {
    EXPECT_EQ(LoadClipInfoMessage(-1, static_cast<int32_t>(0x8004406F), 2),
              "The file did not open.  error status 111, system 2");
    EXPECT_EQ(LoadClipInfoMessage(-3, 0, 0),
              "The video stream info was inaccessible.  The file is corrupt, or is not a format "
              "recognized by this program.");
    EXPECT_EQ(LoadClipInfoMessage(1, 0, 0),
              " appears to have an invalid audio stream.  If you proceed, the clip will be "
              "generated with no audio.");
    EXPECT_EQ(LoadClipInfoMessage(7, 0, 0).substr(0, 20), "Error 7 occurred whi");
}

}  // namespace
