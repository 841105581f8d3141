// SPDX-License-Identifier: GPL-3.0-or-later
// The reader against ffmpeg as an independent judge, on clips that Debian's ffmpeg encodes and
// muxes: packet count, packet sizes and checksums of the video, key frames, and the audio bytes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using avi::Reader;
using testing_support::Ffmpeg;
using testing_support::FfmpegPath;
using testing_support::ShellQuote;

struct Clip {
    const char* name;
    const char* args;  // encoder arguments after the inputs
    bool vbrAudio;
};

const Clip kClips[] = {
    {"mjpeg_pcm16", "-c:v mjpeg -q:v 5 -c:a pcm_s16le", false},
    {"mpeg4_mp3", "-c:v mpeg4 -g 12 -bf 2 -c:a libmp3lame -b:a 64k", true},
    {"h264_ac3", "-c:v libx264 -preset ultrafast -g 10 -c:a ac3 -b:a 96k", true},
    {"dv_pcm16", "-s 720x576 -r 25 -pix_fmt yuv420p -c:v dvvideo -c:a pcm_s16le -ar 48000", false},
    {"cinepak_pcm8", "-c:v cinepak -c:a pcm_u8", false},
    {"msvideo1_ima", "-pix_fmt rgb555le -c:v msvideo1 -c:a adpcm_ima_wav", false},
    {"huffyuv_msadpcm", "-c:v huffyuv -c:a adpcm_ms", false},
};

class ReaderFfmpeg : public ::testing::TestWithParam<Clip> {
  protected:
    static void SetUpTestSuite() {
        if (FfmpegPath().empty()) {
            return;
        }
        s_dir = new testing_support::TempDir;
        for (const Clip& clip : kClips) {
            const std::string out = s_dir->file(std::string(clip.name) + ".avi");
            const bool dv = std::string(clip.name).rfind("dv", 0) == 0;
            const std::string size = dv ? "720x576" : "96x64";
            Ffmpeg("-f lavfi -i testsrc2=size=" + size +
                   ":rate=25:duration=" + (dv ? "0.4" : "1.6") +
                   " -f lavfi -i sine=frequency=440:sample_rate=22050:" + "duration=1.6 " +
                   clip.args + " -ac 1 " + ShellQuote(out));
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static inline testing_support::TempDir* s_dir = nullptr;
};

TEST_P(ReaderFfmpeg, PacketsKeyFramesAndAudioBytesAgreeWithFfmpeg) {
    if (s_dir == nullptr) {
        GTEST_SKIP() << "ffmpeg not found";
    }
    const Clip& clip = GetParam();
    const std::string path = s_dir->file(std::string(clip.name) + ".avi");
    std::unique_ptr<Reader> reader;
    ASSERT_EQ(Reader::Open(path, {}, &reader), AVIERR_OK);
    EXPECT_FALSE(reader->indexRebuilt());
    const int v = reader->findStream(kStreamTypeVideo, 0);
    const int a = reader->findStream(kStreamTypeAudio, 0);
    ASSERT_GE(v, 0);
    ASSERT_GE(a, 0);

    bool demuxed = false;
    const auto packets = testing_support::CopiedPackets(
        path, "0:v", testing_support::PacketHash::kFrameCrc, &demuxed);
    ASSERT_TRUE(demuxed);
    const auto keys = testing_support::VideoPacketFlags(path);
    ASSERT_EQ(keys.exitCode, 0);

    // ffmpeg leaves out empty chunks (drop frames); every other chunk is one of its packets.
    std::vector<uint8_t> buf(reader->largestChunk(v));
    std::istringstream keyLines(keys.output);
    size_t p = 0;
    for (int64_t i = 0; i < reader->indexedSamples(v); ++i) {
        int64_t bytes = 0;
        int64_t samples = 0;
        ASSERT_EQ(
            reader->read(v, i, 1, buf.data(), static_cast<int64_t>(buf.size()), &bytes, &samples),
            AVIERR_OK);
        const bool key = reader->findSample(v, i, kFindPrev | kFindKey) == i;
        if (bytes == 0) {
            EXPECT_FALSE(key);
            continue;
        }
        ASSERT_LT(p, packets.size()) << clip.name;
        EXPECT_EQ(bytes, packets[p].size) << clip.name << " packet " << p;
        EXPECT_EQ(testing_support::FrameCrc(buf.data(), static_cast<size_t>(bytes)),
                  packets[p].hash)
            << clip.name << " packet " << p;
        std::string flags;
        std::getline(keyLines, flags);
        EXPECT_EQ(key, flags.find('K') != std::string::npos) << clip.name << " packet " << p;
        ++p;
    }
    EXPECT_EQ(p, packets.size()) << clip.name;

    // The audio stream's bytes, as ffmpeg copies them out, equal what the reader reads.
    std::vector<uint8_t> want;
    ASSERT_TRUE(testing_support::CopiedStreamBytes(path, "0:a", &want));
    const AVISTREAMINFO info = reader->streamInfo(a);
    EXPECT_EQ(info.dwSampleSize == 0, clip.vbrAudio) << clip.name;
    std::vector<uint8_t> all;
    std::vector<uint8_t> chunk(1 << 20);
    for (int64_t pos = 0; pos < reader->indexedSamples(a);) {
        int64_t bytes = 0;
        int64_t samples = 0;
        ASSERT_EQ(reader->read(a, pos, -1, chunk.data(), static_cast<int64_t>(chunk.size()), &bytes,
                               &samples),
                  AVIERR_OK);
        ASSERT_GT(samples, 0);
        all.insert(all.end(), chunk.begin(), chunk.begin() + bytes);
        pos += samples;
    }
    EXPECT_EQ(all.size(), want.size()) << clip.name;
    EXPECT_TRUE(all == want) << clip.name;
}

INSTANTIATE_TEST_SUITE_P(Clips, ReaderFfmpeg, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.name); });

// The display aspect a file gives for its frames (OpenDML video properties) is read; a file made
// for square pixels gives the frame's own.
TEST(ReaderFfmpegAspect, VideoPropertiesGiveTheDisplayAspect) {
    if (FfmpegPath().empty()) {
        GTEST_SKIP() << "ffmpeg not found";
    }
    testing_support::TempDir dir;
    const std::string wide = dir.file("wide.avi");
    const std::string square = dir.file("square.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc2=size=96x64:rate=25:duration=0.2 -c:v mjpeg "
               "-aspect 16:9 " +
               ShellQuote(wide)));
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=96x64:rate=25:duration=0.2 -c:v mjpeg " +
                       ShellQuote(square)));
    for (const auto& [path, x, y] : {std::tuple{wide, 16, 9}, std::tuple{square, 3, 2}}) {
        std::unique_ptr<Reader> reader;
        ASSERT_EQ(Reader::Open(path, avi::Limits{}, &reader), 0) << path;
        const avi::StreamData& video = reader->stream(reader->findStream(kStreamTypeVideo, 0));
        EXPECT_EQ(video.aspectX * y, video.aspectY * x) << path;
        EXPECT_GT(video.aspectX, 0) << path;
    }
}

}  // namespace
