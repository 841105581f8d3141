// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through trelvane-cli on clips made by ffmpeg's real encoders: every joined video
// packet is the source packet of its segment, ffmpeg decodes the result cleanly, and each
// segment's audio is exactly its span.
#include <gtest/gtest.h>

#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"

namespace {

using testing_support::Append;
using testing_support::Cli;
using testing_support::Ffmpeg;
using testing_support::ShellQuote;
using testing_support::Slice;
using testing_support::TempDir;
using testing_support::VideoPayloads;

struct Segment {
    std::string file;
    int64_t in;
    int64_t out;  // inclusive
};

class CliFormatsTest : public ::testing::Test {
  protected:
    std::string clip(const std::string& name, const std::string& video, const std::string& audio,
                     double seconds, int rate, const std::string& size, int tone) {
        const std::string path = m_dir.file(name);
        std::string args = "-f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(rate) +
                           ":duration=" + std::to_string(seconds);
        if (!audio.empty()) {
            args += " -f lavfi -i sine=frequency=" + std::to_string(tone) +
                    ":duration=" + std::to_string(seconds) + " " + audio;
        }
        Ffmpeg(args + " " + video + " " + ShellQuote(path));
        return path;
    }
    std::string arg(const Segment& s) {
        return ShellQuote(s.file + "@" + std::to_string(s.in) + "-" + std::to_string(s.out));
    }
    // Joins the segments and checks the video packets, and that ffmpeg decodes the result.
    void joinAndCheckVideo(const std::vector<Segment>& segments, const std::string& extra = "") {
        std::string args = "join --quiet -o " + ShellQuote(out()) + " " + extra;
        std::vector<std::string> expected;
        for (const Segment& s : segments) {
            args += " " + arg(s);
            Append(expected, Slice(VideoPayloads(s.file), s.in, s.out + 1));
        }
        const auto r = Cli(args);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("Completed Clip:"), std::string::npos) << r.output;
        EXPECT_EQ(VideoPayloads(out()), expected);
        EXPECT_EQ(testing_support::DecodeErrors(out()).output, "");
    }
    // For PCM: the decoded audio of the joined file is the sources' spans, end to end.
    void checkPcm(const std::vector<Segment>& segments, join::AudioClock clock,
                  const std::string& format, int bytesPerSample) {
        std::string expected;
        for (const Segment& s : segments) {
            const std::string raw = testing_support::DecodedAudio(s.file, format);
            const int64_t from = join::AudioBoundary(clock, s.in) * bytesPerSample;
            const int64_t to = join::AudioBoundary(clock, s.out + 1) * bytesPerSample;
            ASSERT_LE(to, static_cast<int64_t>(raw.size()));
            expected += raw.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
        }
        const std::string joined = testing_support::DecodedAudio(out(), format);
        EXPECT_EQ(joined.size(), expected.size());
        EXPECT_TRUE(joined == expected);
    }
    // Audio stored one chunk per sample (VBR MP3, AC-3): the joined packets are, one for one,
    // runs of each segment's clip's packets, in step with the picture within half a packet at
    // every splice and at the end.
    void checkChunks(const std::vector<Segment>& segments) {
        std::vector<testing_support::JoinedSegment> joined;
        for (const Segment& s : segments) {
            clips::ReadBack source(s.file);
            ASSERT_EQ(source.reader().streamInfo(source.audio()).dwSampleSize, 0u);
            joined.push_back({s.file, s.in, s.out});
        }
        const testing_support::AudioSync sync =
            testing_support::MeasureAudioSync(out(), joined, false);
        EXPECT_EQ(sync.unheard, 0);
        EXPECT_EQ(sync.filler, std::vector<int>(segments.size() + 1, 0));
        for (const double offset : sync.offset) {
            EXPECT_LE(std::abs(offset), sync.packet / 2 + 1e-9);
        }
        EXPECT_LE(std::abs(sync.end), sync.packet / 2 + 1e-9);
    }
    std::string out() const { return m_dir.file("joined.avi"); }
    TempDir m_dir;
};

TEST_F(CliFormatsTest, MjpegHdWithPcm) {
    // Noise keeps the pictures from compressing well: frames of well over 32 KB.
    const std::string video = "-vf noise=alls=40:allf=t -c:v mjpeg -q:v 2 -pix_fmt yuvj420p";
    const std::string audio = "-c:a pcm_s16le -ac 2 -ar 48000";
    const std::string a = clip("a.avi", video, audio, 0.6, 25, "1280x720", 300);
    const std::string b = clip("b.avi", video, audio, 0.6, 25, "1280x720", 500);
    const std::string c = clip("c.avi", video, audio, 0.6, 25, "1280x720", 700);
    const std::vector<std::string> packets = VideoPayloads(a);
    ASSERT_EQ(packets.size(), 15u);
    ASSERT_GT(std::stoi(packets[0]), 32768);  // frames far above the old 32 KB limit
    const std::vector<Segment> job = {{a, 0, 14}, {b, 4, 11}, {c, 7, 14}};
    joinAndCheckVideo(job);
    checkPcm(job, {48000, 1, 25, 1}, "s16le", 4);
}

TEST_F(CliFormatsTest, DvPalWithPcm) {
    const std::string video = "-c:v dvvideo -pix_fmt yuv420p";
    const std::string audio = "-c:a pcm_s16le -ac 2 -ar 48000";
    const std::string a = clip("a.avi", video, audio, 0.4, 25, "720x576", 440);
    const std::string b = clip("b.avi", video, audio, 0.4, 25, "720x576", 880);
    ASSERT_EQ(VideoPayloads(a).at(0).substr(0, 7), "144000,");
    const std::vector<Segment> job = {{a, 0, 9}, {b, 3, 9}};
    joinAndCheckVideo(job);
    checkPcm(job, {48000, 1, 25, 1}, "s16le", 4);
}

TEST_F(CliFormatsTest, CinepakWithEightBitPcmAt11025) {
    const std::string video = "-c:v cinepak";
    const std::string audio = "-c:a pcm_u8 -ac 1 -ar 11025";
    const std::string a = clip("a.avi", video, audio, 1, 15, "160x120", 300);
    const std::string b = clip("b.avi", video, audio, 1, 15, "160x120", 600);
    const std::vector<Segment> job = {{a, 0, 14}, {b, 0, 14}};
    joinAndCheckVideo(job);
    checkPcm(job, {11025, 1, 15, 1}, "u8", 1);
}

// Key frames of a clip (positions in file order), from ffprobe's packet flags.
std::vector<int64_t> KeyFrames(const std::string& file) {
    const auto r = testing_support::RunCommand(
        ShellQuote(testing_support::FfprobePath()) +
            " -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 " +
            ShellQuote(file),
        false);
    std::vector<int64_t> keys;
    std::istringstream lines(r.output);
    std::string line;
    for (int64_t i = 0; std::getline(lines, line); ++i) {
        if (!line.empty() && line[0] == 'K') {
            keys.push_back(i);
        }
    }
    return keys;
}

// B-frames and VBR MP3: a segment that starts at a later key frame, and audio copied chunk by
// chunk (one MP3 frame per chunk) with each segment's exact chunk span. The groups are closed, so
// every frame is copied as it is (splices into open groups have a test of their own).
TEST_F(CliFormatsTest, Mpeg4WithBFramesAndVbrMp3) {
    const std::string video = "-c:v mpeg4 -bf 2 -g 12 -flags +cgop -sc_threshold 1000000000";
    const std::string audio = "-c:a libmp3lame -q:a 4 -ar 44100";
    const std::string a = clip("a.avi", video, audio, 2, 25, "176x144", 300);
    const std::string b = clip("b.avi", video, audio, 2, 25, "176x144", 600);
    const std::vector<int64_t> keys = KeyFrames(b);
    ASSERT_GE(keys.size(), 2u);
    const std::vector<Segment> job = {{a, 0, 49}, {b, keys[1], 49}};
    joinAndCheckVideo(job);
    checkChunks(job);
}

TEST_F(CliFormatsTest, H264WithAc3) {
    const std::string video = "-c:v libx264 -g 10 -bf 0";
    const std::string audio = "-c:a ac3 -ar 48000";
    const std::string a = clip("a.avi", video, audio, 1, 25, "176x144", 300);
    const std::string b = clip("b.avi", video, audio, 1, 25, "176x144", 600);
    const std::vector<Segment> job = {{a, 0, 24}, {b, 10, 24}};
    joinAndCheckVideo(job);
    checkChunks(job);
}

// A clip whose audio ends 0.1 s before its video: the gap is filled with silence so that the
// next clip's audio starts with its video.
TEST_F(CliFormatsTest, ShortPcmAudioKeepsTheNextClipInSync) {
    const std::string a = m_dir.file("short.avi");
    Ffmpeg(
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i "
        "sine=frequency=300:duration=0.9 -c:v mjpeg -c:a pcm_s16le -ar 48000 " +
        ShellQuote(a));
    const std::string b =
        clip("b.avi", "-c:v mjpeg", "-c:a pcm_s16le -ar 48000", 1, 25, "160x120", 600);
    const auto r =
        Cli("join --quiet -o " + ShellQuote(out()) + " " + ShellQuote(a) + " " + ShellQuote(b));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string joined = testing_support::DecodedAudio(out(), "s16le");
    const std::string first = testing_support::DecodedAudio(a, "s16le");
    const std::string second = testing_support::DecodedAudio(b, "s16le");
    ASSERT_EQ(first.size(), 43200u * 2);
    ASSERT_EQ(joined.size(), 96000u * 2);
    EXPECT_TRUE(joined.substr(0, first.size()) == first);
    EXPECT_EQ(joined.substr(first.size(), 9600), std::string(9600, '\0'));
    EXPECT_TRUE(joined.substr(96000) == second.substr(0, 96000));
}

}  // namespace
