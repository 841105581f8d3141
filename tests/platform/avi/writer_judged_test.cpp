// What our writer writes, judged by ffmpeg and ffprobe: every packet demuxes with the bytes and
// key flags we wrote, the file decodes with no error, in one RIFF part and in several.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "platform/avi/writer_test_clip.h"
#include "support/test_support.h"

namespace {

using testing_support::RunCommand;
using testing_support::ShellQuote;

struct Packet {
    int64_t pts = 0;
    uint32_t size = 0;
    uint32_t crc = 0;
    bool operator==(const Packet&) const = default;
};

// Packets per stream as ffmpeg's framecrc output lists them.
std::map<int, std::vector<Packet>> DemuxedPackets(const std::string& path) {
    const auto result =
        RunCommand(ShellQuote(testing_support::FfmpegPath()) + " -v error -nostdin -i " +
                       ShellQuote(path) + " -map 0 -c copy -f framecrc -",
                   false);
    EXPECT_EQ(result.exitCode, 0);
    std::map<int, std::vector<Packet>> packets;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        int stream = 0;
        long long dts = 0, pts = 0, duration = 0;
        unsigned size = 0, crc = 0;
        if (std::sscanf(line.c_str(), "%d, %lld, %lld, %lld, %u, 0x%x", &stream, &dts, &pts,
                        &duration, &size, &crc) == 6) {
            packets[stream].push_back({pts, size, crc});
        }
    }
    return packets;
}

std::map<int, std::vector<Packet>> ExpectedPackets(const writer_test::Clip& clip) {
    std::map<int, std::vector<Packet>> packets;
    int64_t frame = 0;
    int64_t audioPos = 0;
    for (const auto& c : clip.chunks) {
        const auto size = static_cast<uint32_t>(c.bytes.size());
        const int64_t pts = c.stream == 0 ? frame++ : audioPos;
        if (c.stream == 1)
            audioPos += size;
        packets[c.stream].push_back({pts, size, writer_test::FrameCrc(c.bytes)});
    }
    return packets;
}

class WriterJudgedTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new testing_support::TempDir();
        s_small = new writer_test::Clip(writer_test::MakeClip(60, true));
        s_large = new writer_test::Clip(writer_test::MakeClip(300, true));
        ASSERT_EQ(writer_test::WriteClip(*s_small, s_dir->file("single.avi"), 1ull << 30),
                  AVIERR_OK);
        // About 780 KB in parts of at most 64 KiB: a dozen RIFF parts.
        ASSERT_EQ(writer_test::WriteClip(*s_large, s_dir->file("parts.avi"), 64 << 10), AVIERR_OK);
        // Raw video is all key frames to ffmpeg; an unknown codec shows the flags as stored.
        s_coded =
            new writer_test::Clip(writer_test::MakeClip(300, false, writer_test::Code("XXXX")));
        ASSERT_EQ(writer_test::WriteClip(*s_coded, s_dir->file("coded.avi"), 64 << 10), AVIERR_OK);
    }
    static void TearDownTestSuite() {
        delete s_small;
        delete s_large;
        delete s_coded;
        delete s_dir;
    }
    static testing_support::TempDir* s_dir;
    static writer_test::Clip* s_small;
    static writer_test::Clip* s_large;
    static writer_test::Clip* s_coded;
};

testing_support::TempDir* WriterJudgedTest::s_dir = nullptr;
writer_test::Clip* WriterJudgedTest::s_small = nullptr;
writer_test::Clip* WriterJudgedTest::s_large = nullptr;
writer_test::Clip* WriterJudgedTest::s_coded = nullptr;

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
        const auto result =
            RunCommand(ShellQuote(testing_support::FfmpegPath()) + " -v error -nostdin -i " +
                       ShellQuote(s_dir->file(name)) + " -f null -");
        EXPECT_EQ(result.exitCode, 0) << name;
        EXPECT_EQ(result.output, "") << name;
    }
}

TEST_F(WriterJudgedTest, KeyFlagsAndStreamPropertiesAsWritten) {
    const auto keys = RunCommand(ShellQuote(testing_support::FfprobePath()) +
                                     " -v quiet -select_streams v -show_entries packet=pts,flags"
                                     " -of csv=p=0 " +
                                     ShellQuote(s_dir->file("coded.avi")),
                                 false);
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
    const auto streams = RunCommand(ShellQuote(testing_support::FfprobePath()) +
                                        " -v error -show_entries stream=codec_name,width,height,"
                                        "r_frame_rate,nb_frames,sample_rate,channels"
                                        " -of default=nw=1 " +
                                        ShellQuote(path),
                                    false);
    EXPECT_NE(streams.output.find("codec_name=rawvideo\nwidth=32\nheight=18\nr_frame_rate=10/1"),
              std::string::npos)
        << streams.output;
    EXPECT_NE(streams.output.find("nb_frames=300"), std::string::npos) << streams.output;
    EXPECT_NE(streams.output.find("codec_name=pcm_u8\nsample_rate=8000\nchannels=1"),
              std::string::npos)
        << streams.output;
}

}  // namespace
