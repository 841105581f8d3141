// SPDX-License-Identifier: GPL-3.0-or-later
// What our writer writes, judged by ffmpeg and ffprobe: every packet demuxes with the bytes and
// key flags we wrote, the file decodes with no error, in one RIFF part and in several.
#include <gtest/gtest.h>

#include <map>

#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using testing_support::Packet;
using testing_support::ShellQuote;

// Packets per stream as ffmpeg's framecrc output lists them.
std::map<int, std::vector<Packet>> DemuxedPackets(const std::string& path) {
    std::map<int, std::vector<Packet>> packets;
    for (const Packet& p : testing_support::CopiedPackets(path)) {
        packets[p.stream].push_back(p);
    }
    return packets;
}

std::map<int, std::vector<Packet>> ExpectedPackets(const clips::Clip& clip) {
    std::map<int, std::vector<Packet>> packets;
    int64_t frame = 0;
    int64_t audioPos = 0;
    for (const auto& c : clip.chunks) {
        const auto size = static_cast<int64_t>(c.bytes.size());
        const int64_t pts = c.stream == 0 ? frame++ : audioPos;
        if (c.stream == 1)
            audioPos += size;
        packets[c.stream].push_back({c.stream, pts, size, testing_support::FrameCrc(c.bytes)});
    }
    return packets;
}

class WriterJudgedTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new testing_support::TempDir();
        s_small = new clips::Clip(clips::NoisyRgbClip(60, true));
        s_large = new clips::Clip(clips::NoisyRgbClip(300, true));
        ASSERT_EQ(clips::WriteClip(*s_small, s_dir->file("single.avi"), 1ull << 30), AVIERR_OK);
        // About 780 KB in parts of at most 64 KiB: a dozen RIFF parts.
        ASSERT_EQ(clips::WriteClip(*s_large, s_dir->file("parts.avi"), 64 << 10), AVIERR_OK);
        // Raw video is all key frames to ffmpeg; an unknown codec shows the flags as stored.
        s_coded = new clips::Clip(clips::NoisyRgbClip(300, false, clips::FourCC("XXXX")));
        ASSERT_EQ(clips::WriteClip(*s_coded, s_dir->file("coded.avi"), 64 << 10), AVIERR_OK);
    }
    static void TearDownTestSuite() {
        delete s_small;
        delete s_large;
        delete s_coded;
        delete s_dir;
    }
    static testing_support::TempDir* s_dir;
    static clips::Clip* s_small;
    static clips::Clip* s_large;
    static clips::Clip* s_coded;
};

testing_support::TempDir* WriterJudgedTest::s_dir = nullptr;
clips::Clip* WriterJudgedTest::s_small = nullptr;
clips::Clip* WriterJudgedTest::s_large = nullptr;
clips::Clip* WriterJudgedTest::s_coded = nullptr;

TEST_F(WriterJudgedTest, PacketsDemuxExactlyAsWritten) {
    for (const auto& [name, clip] : {std::pair{"single.avi", s_small}, {"parts.avi", s_large}}) {
        SCOPED_TRACE(name);
        const auto demuxed = DemuxedPackets(s_dir->file(name));
        const auto expected = ExpectedPackets(*clip);
        ASSERT_EQ(demuxed.size(), 2u);
        EXPECT_EQ(demuxed.at(0), expected.at(0));
        EXPECT_EQ(demuxed.at(1), expected.at(1));
    }
}

TEST_F(WriterJudgedTest, DecodesWithoutAnyMessage) {
    for (const char* name : {"single.avi", "parts.avi"}) {
        const auto result = testing_support::DecodeErrors(s_dir->file(name));
        EXPECT_EQ(result.exitCode, 0) << name;
        EXPECT_EQ(result.output, "") << name;
    }
}

TEST_F(WriterJudgedTest, KeyFlagsAndStreamPropertiesAsWritten) {
    const auto keys = testing_support::VideoPacketFlags(s_dir->file("coded.avi"));
    ASSERT_EQ(keys.exitCode, 0);
    std::string expected;
    int64_t frame = 0;
    for (const auto& c : s_coded->chunks) {
        if (!c.bytes.empty()) {
            expected += std::to_string(frame) + "," + (c.key ? "K" : "_") + "_\n";
        }
        ++frame;
    }
    EXPECT_EQ(keys.output, expected);

    const std::string path = s_dir->file("parts.avi");
    const auto streams = testing_support::FfprobeOutput(
        "-show_entries stream=codec_name,width,height,r_frame_rate,nb_frames,sample_rate,channels"
        " -of default=nw=1 " +
        ShellQuote(path));
    EXPECT_NE(streams.output.find("codec_name=rawvideo\nwidth=32\nheight=18\nr_frame_rate=10/1"),
              std::string::npos)
        << streams.output;
    EXPECT_NE(streams.output.find("nb_frames=300"), std::string::npos) << streams.output;
    EXPECT_NE(streams.output.find("codec_name=pcm_u8\nsample_rate=8000\nchannels=1"),
              std::string::npos)
        << streams.output;
}

}  // namespace
