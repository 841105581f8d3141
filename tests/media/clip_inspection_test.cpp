// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "media/clip_inspection.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using testing_support::Ffmpeg;
using testing_support::TempDir;

// Clips made once by ffmpeg for the whole suite.
class ClipInspectionTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        Ffmpeg(
            "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=sample_rate=22050 "
            "-t 10 -c:v mjpeg -c:a pcm_s16le -ac 2 " +
            File("av.avi"));
        Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25 -t 2 -c:v mjpeg " + File("video.avi"));
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string File(const std::string& name) { return s_dir->file(name); }

    // A copy of a clip with one 32-bit field of its video or audio stream header changed.
    std::string Patched(const std::string& name, const char* type, int offset, uint32_t value) {
        const std::string path = m_dir.file("patched.avi");
        std::filesystem::copy_file(File(name), path,
                                   std::filesystem::copy_options::overwrite_existing);
        EXPECT_TRUE(clips::PatchStreamHeader(path, type, offset, value));
        return path;
    }

    static TempDir* s_dir;
    TempDir m_dir;
};

TempDir* ClipInspectionTest::s_dir = nullptr;

constexpr int kScale = 20;
constexpr int kRate = 24;
constexpr int kStart = 28;
constexpr int kLength = 32;

TEST_F(ClipInspectionTest, ClipWithAudio) {
    ClipInfo clip;
    clip.fileName = File("av.avi");
    ASSERT_EQ(LoadClipInfo(clip), 0);
    EXPECT_EQ(clip.fileInfo.dwStreams, 2u);
    EXPECT_EQ(clip.videoInfo.fccType, kStreamTypeVideo);
    EXPECT_EQ(FourCCText(clip.videoFormat.biCompression), "MJPG");
    EXPECT_EQ(clip.videoFormatSize, 40);
    EXPECT_EQ(clip.leadIn, 0);
    EXPECT_EQ(clip.leadOut, 249);
    EXPECT_EQ(clip.segmentFrames, 250);
    EXPECT_EQ(clip.audioPresent, 1);
    EXPECT_EQ(clip.audioFormat.wFormatTag, 1);
    EXPECT_EQ(clip.audioFormat.nChannels, 2);
    EXPECT_EQ(clip.audioFormat.nSamplesPerSec, 22050u);
    EXPECT_EQ(clip.audioFormat.nBlockAlign, 4);
    EXPECT_EQ(GetFrameSize(clip).width, 160);
    const VideoSummary summary = GetVideoSummary(clip);
    EXPECT_EQ(summary.frameCount, 250);
    EXPECT_FLOAT_EQ(summary.frameRate, 25.0f);
}

TEST_F(ClipInspectionTest, VideoOnlyAndLongFormats) {
    ClipInfo clip;
    clip.fileName = File("video.avi");
    ASSERT_EQ(LoadClipInfo(clip), 0);
    EXPECT_EQ(clip.audioPresent, 0);
    EXPECT_EQ(clip.segmentFrames, 50);

    // Formats longer than the fixed records: only their first bytes are kept.
    ClipInfo h264;
    h264.fileName = testing_support::CorpusDir() / "h264-1280x534-24fps-mp3-mono-44k.avi";
    TRELVANE_SKIP_WITHOUT_CORPUS();
    ASSERT_EQ(LoadClipInfo(h264), 0);
    EXPECT_EQ(h264.videoFormatSize, 82);
    EXPECT_EQ(h264.videoFormat.biWidth, 1280);
    EXPECT_EQ(h264.audioFormatSize, 30);
    EXPECT_EQ(h264.audioFormat.wFormatTag, 85);
    EXPECT_EQ(h264.audioPresent, 1);
}

TEST_F(ClipInspectionTest, FailuresReportWhereInspectionStopped) {
    ClipInfo missing;
    missing.fileName = m_dir.file("missing.avi");
    missing.leadOut = 77;
    EXPECT_EQ(LoadClipInfo(missing), -1);
    EXPECT_EQ(vbvfw_error() & 0xFFF, 111);
    EXPECT_EQ(missing.leadOut, 77);  // nothing filled

    const std::string text = m_dir.file("text.avi");
    std::FILE* f = std::fopen(text.c_str(), "wb");
    std::fputs("not a video at all", f);
    std::fclose(f);
    ClipInfo notAvi;
    notAvi.fileName = text;
    EXPECT_EQ(LoadClipInfo(notAvi), -1);

    const std::string corpus = testing_support::CorpusDir() / "audio-only-ac3-mono-48k.avi";
    if (std::filesystem::exists(corpus)) {
        ClipInfo audioOnly;
        audioOnly.fileName = corpus;
        EXPECT_EQ(LoadClipInfo(audioOnly), -2);
    }
}

// A clip never reaches its callers with a clock that would divide by zero or a negative length:
// the library may repair a zero rate from the main header, otherwise inspection refuses the clip
// (video) or drops its audio.
TEST_F(ClipInspectionTest, ImpossibleClocksAreRefusedOrLoseTheAudio) {
    for (const int offset : {kScale, kRate}) {
        ClipInfo clip;
        clip.fileName = Patched("av.avi", "vids", offset, 0);
        const int32_t result = LoadClipInfo(clip);
        EXPECT_TRUE(result == -3 || result == 0) << offset;
        if (result == 0) {
            EXPECT_NE(clip.videoInfo.dwRate, 0u);
            EXPECT_NE(clip.videoInfo.dwScale, 0u);
        }
    }
    ClipInfo late;
    late.fileName = Patched("av.avi", "vids", kStart, 300);  // starts after its end
    EXPECT_EQ(LoadClipInfo(late), -3);
    for (const auto& [offset, value] : {std::pair{kScale, 0u}, std::pair{kRate, 0u}}) {
        ClipInfo clip;
        clip.fileName = Patched("av.avi", "auds", offset, value);
        const int32_t result = LoadClipInfo(clip);
        EXPECT_TRUE(result == 1 || result == 0) << offset;
        if (result == 0) {  // the library may repair the clock from the format
            EXPECT_NE(clip.audioInfo.dwRate, 0u);
            EXPECT_NE(clip.audioInfo.dwScale, 0u);
        } else {
            EXPECT_EQ(clip.audioPresent, 0);
            EXPECT_EQ(clip.segmentFrames, 250);
        }
    }
    ClipInfo lengthened;
    lengthened.fileName = Patched("av.avi", "vids", kLength, 260);
    EXPECT_EQ(LoadClipInfo(lengthened), 0);
    EXPECT_EQ(lengthened.segmentFrames, 260);  // the header's promise; the join reports the rest
}

// A video stream without a usable bitmap header describes no picture; the clip must not become a
// base whose joined file nothing could play.
TEST_F(ClipInspectionTest, VideoWithoutABitmapHeaderIsRefused) {
    std::vector<unsigned char> bytes = testing_support::ReadFileBytes(File("video.avi"));
    const std::string text(bytes.begin(), bytes.end());
    const size_t at = text.find("strf");
    ASSERT_NE(at, std::string::npos);
    std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));  // format gone
    const std::string path = m_dir.file("no_format.avi");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    ClipInfo clip;
    clip.fileName = path;
    const int32_t result = LoadClipInfo(clip);
    EXPECT_TRUE(result == -4 || result == -1) << result;
}

}  // namespace
