// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/clip_compare.h"

#include <gtest/gtest.h>

#include "avi_fourcc.h"

namespace {

const std::string kNoAudioTail = ").  If you proceed, a clip with no audio will be created.";

ClipInfo MakeClip() {
    ClipInfo clip;
    clip.videoInfo.fccType = kStreamTypeVideo;
    clip.videoInfo.fccHandler = Fcc("MJPG");
    clip.videoInfo.dwRate = 25;
    clip.videoInfo.dwScale = 1;
    clip.videoInfo.dwLength = 100;
    clip.videoInfo.rcFrameRight = 640;
    clip.videoInfo.rcFrameBottom = 480;
    clip.videoFormat.biWidth = 640;
    clip.videoFormat.biHeight = 480;
    clip.videoFormat.biCompression = Fcc("MJPG");
    clip.videoFormat.biBitCount = 24;
    clip.audioPresent = 1;
    clip.audioFormat.wFormatTag = 1;
    clip.audioFormat.nChannels = 2;
    clip.audioFormat.nSamplesPerSec = 48000;
    clip.audioFormat.wBitsPerSample = 16;
    clip.audioFormat.nBlockAlign = 4;
    clip.audioFormat.nAvgBytesPerSec = 192000;
    return clip;
}

TEST(CompareClipWithBase, IdenticalClipsPass) {
    const ClipCheck check = CompareClipWithBase(MakeClip(), MakeClip(), false);
    EXPECT_EQ(check.kind, ClipCheckKind::Pass);
    EXPECT_EQ(check.message, "");
}

TEST(CompareClipWithBase, CodecIsComparedIgnoringCaseAndByCompressionAndDepth) {
    const ClipInfo base = MakeClip();
    ClipInfo c = MakeClip();
    c.videoInfo.fccHandler = Fcc("mjpg");
    c.videoFormat.biCompression = Fcc("mjpg");
    EXPECT_EQ(CompareClipWithBase(base, c, false).kind, ClipCheckKind::Pass);

    c.videoInfo.fccHandler = Fcc("cvid");
    ClipCheck check = CompareClipWithBase(base, c, false);
    EXPECT_EQ(check.kind, ClipCheckKind::Refuse);
    EXPECT_EQ(check.message, "Video format of cvid does not match base format of MJPG");

    // Uncompressed clips often have no handler code: 24 and 32 bits must not join.
    ClipInfo raw24 = MakeClip();
    raw24.videoInfo.fccHandler = 0;
    raw24.videoFormat.biCompression = 0;
    ClipInfo raw32 = raw24;
    raw32.videoFormat.biBitCount = 32;
    check = CompareClipWithBase(raw24, raw32, false);
    EXPECT_EQ(check.kind, ClipCheckKind::Refuse);
    EXPECT_EQ(check.message,
              "Video format of ???? (32 bits) does not match base format of ???? (24 bits)");

    ClipInfo yuy2 = raw24;
    yuy2.videoFormat.biCompression = Fcc("YUY2");
    check = CompareClipWithBase(raw24, yuy2, false);
    EXPECT_EQ(check.message, "Video format of YUY2 does not match base format of ????");
}

TEST(CompareClipWithBase, RatesAreComparedRoundedToWholeFrames) {
    ClipInfo base = MakeClip();
    base.videoInfo.dwRate = 30;
    ClipInfo c = MakeClip();
    c.videoInfo.dwRate = 30000;
    c.videoInfo.dwScale = 1001;
    EXPECT_EQ(CompareClipWithBase(base, c, false).kind, ClipCheckKind::Pass);

    base.videoInfo.dwRate = 25;
    c.videoInfo.dwRate = 24;
    c.videoInfo.dwScale = 1;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              "Frame rate of 24fps does not match base rate of 25fps.");

    base.videoInfo.dwRate = 25;
    base.videoInfo.dwScale = 2;  // 12.5 rounds to 12
    c.videoInfo.dwRate = 13;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              "Frame rate of 13fps does not match base rate of 12.5fps.");
}

TEST(CompareClipWithBase, SizeComesFromTheFormatWhenTheRectangleIsEmpty) {
    const ClipInfo base = MakeClip();
    ClipInfo c = MakeClip();
    c.videoInfo.rcFrameRight = 0;
    c.videoInfo.rcFrameBottom = 0;
    EXPECT_EQ(CompareClipWithBase(base, c, false).kind, ClipCheckKind::Pass);
    c.videoFormat.biWidth = 320;
    c.videoFormat.biHeight = -240;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              "Frame size of 320x240 does not match base size of 640x480");
}

TEST(CompareClipWithBase, VideoIsCheckedEvenWhenTheAudioWasUnreadable) {
    const ClipInfo base = MakeClip();
    ClipInfo c = MakeClip();
    c.audioPresent = 0;
    c.videoInfo.rcFrameRight = 720;
    EXPECT_EQ(CompareClipWithBase(base, c, false).kind, ClipCheckKind::Refuse);
    c.videoInfo.rcFrameRight = 640;
    const ClipCheck check = CompareClipWithBase(base, c, false);
    EXPECT_EQ(check.kind, ClipCheckKind::Warn);
    EXPECT_EQ(check.message,
              " has no audio track, but the base clip does.  If you proceed, a clip with no audio "
              "will be created.");
}

TEST(CompareClipWithBase, FirstAudioDifferenceDecides) {
    const ClipInfo base = MakeClip();
    ClipInfo c = MakeClip();
    c.audioFormat.wFormatTag = 85;
    c.audioFormat.nChannels = 1;
    c.audioFormat.nSamplesPerSec = 44100;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (format #85) than the base clip (PCM "
              "Uncompressed" +
                  kNoAudioTail);
    c.audioFormat.wFormatTag = 1;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (Mono) than the base clip (Stereo" + kNoAudioTail);
    c.audioFormat.nChannels = 2;
    c.audioFormat.wBitsPerSample = 8;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (8 bits) than the base clip (16 bits" + kNoAudioTail);
    c.audioFormat.wBitsPerSample = 16;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (44100Hz) than the base clip (48000Hz" + kNoAudioTail);
}

TEST(CompareClipWithBase, BlockAlignAndByteRateAreCompared) {
    ClipInfo base = MakeClip();
    base.audioFormat.wFormatTag = 2;  // MS ADPCM
    base.audioFormat.wBitsPerSample = 4;
    base.audioFormat.nBlockAlign = 1024;
    base.audioFormat.nAvgBytesPerSec = 48000;
    ClipInfo c = base;
    c.audioFormat.nBlockAlign = 512;
    c.audioFormat.nAvgBytesPerSec = 48500;
    const ClipCheck check = CompareClipWithBase(base, c, false);
    EXPECT_EQ(check.kind, ClipCheckKind::Warn);
    EXPECT_EQ(check.message,
              " has a different audio format (48500 bytes/s) than the base clip "
              "(48000 bytes/s" +
                  kNoAudioTail);
}

// Audio that counts frames (sample size 0) lands where its frame clock puts it: its average
// byte rate says nothing about that. Its frame clock and block align are what must match.
TEST(CompareClipWithBase, FrameCountingAudioIsComparedByItsFrameLayout) {
    ClipInfo base = MakeClip();
    base.audioFormat = {0x55, 2, 44100, 16000, 1152, 0, 12};
    base.audioInfo.dwSampleSize = 0;
    base.audioInfo.dwScale = 1152;
    base.audioInfo.dwRate = 44100;
    ClipInfo c = base;
    c.audioFormat.nAvgBytesPerSec = 24000;
    c.audioInfo.dwScale = 2304;  // the same clock written otherwise
    c.audioInfo.dwRate = 88200;
    EXPECT_EQ(CompareClipWithBase(base, c, false).kind, ClipCheckKind::Pass);

    c.audioInfo.dwScale = 1152;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (576 samples a frame) than the base clip (1152 "
              "samples a frame" +
                  kNoAudioTail);
    c = base;
    c.audioFormat.nBlockAlign = 576;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (block align 576) than the base clip (block align "
              "1152" +
                  kNoAudioTail);
    c = base;  // the same sound as a byte stream
    c.audioInfo = {};
    c.audioInfo.dwSampleSize = 1;
    c.audioFormat.nBlockAlign = 1;
    EXPECT_EQ(CompareClipWithBase(base, c, false).message,
              " has a different audio format (16000 bytes/s) than the base clip (1152 samples a "
              "frame" +
                  kNoAudioTail);
}

TEST(CompareClipWithBase, SilentBaseWarnsAboutCandidateAudioUnlessDropped) {
    ClipInfo base = MakeClip();
    base.audioPresent = 0;
    const ClipInfo c = MakeClip();
    const ClipCheck check = CompareClipWithBase(base, c, false);
    EXPECT_EQ(check.kind, ClipCheckKind::Warn);
    EXPECT_EQ(check.message,
              " contains an audio track, but the joined clip does not.  The audio from this clip "
              "will not be copied.");
    EXPECT_EQ(CompareClipWithBase(base, c, true).kind, ClipCheckKind::Pass);
    ClipInfo silent = c;
    silent.audioPresent = 0;
    EXPECT_EQ(CompareClipWithBase(base, silent, false).kind, ClipCheckKind::Pass);
}

TEST(CheckJobAudio, FindsTheFirstEntryWhoseAudioDiffers) {
    ClipInfo clips[4] = {MakeClip(), MakeClip(), MakeClip(), MakeClip()};
    int index = 99;
    EXPECT_EQ(CheckJobAudio(clips, 4, &index).kind, ClipCheckKind::Pass);
    EXPECT_EQ(index, -1);
    clips[2].audioPresent = 0;
    clips[3].audioFormat.nSamplesPerSec = 44100;
    const ClipCheck check = CheckJobAudio(clips, 4, &index);
    EXPECT_EQ(check.kind, ClipCheckKind::Warn);
    EXPECT_EQ(index, 2);
    EXPECT_NE(check.message.find("has no audio track"), std::string::npos);
    clips[0].audioPresent = 0;  // a silent job copies no audio at all
    EXPECT_EQ(CheckJobAudio(clips, 4, &index).kind, ClipCheckKind::Pass);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(CheckJobAudio(nullptr, 0, &index).kind, ClipCheckKind::Pass);
}

}  // namespace
