// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed audio joined as whole packets. Clips made by ffmpeg (as it writes them, a codec
// frame a chunk, or rewritten as byte streams whose frames straddle chunks) are trimmed and
// joined, and ffmpeg judges the result: no decoding error, every packet one of its clip's, in
// order, and the sound within half a packet of the picture at every splice and at the end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "join/join_engine.h"
#include "media/clip_compare.h"
#include "platform/mci/ffmpeg_silence.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"

namespace {

using testing_support::AudioSync;
using testing_support::JoinedSegment;
using testing_support::ShellQuote;

struct Codec {
    const char* name;
    const char* audio;       // ffmpeg's options for the clips' sound
    const char* byteStream;  // ffmpeg's muxer of the elementary stream; null: keep the chunks
    uint32_t byteRate;       // the byte stream's clock
};

const Codec kMp3Cbr{"Mp3CbrChunks", "-c:a libmp3lame -b:a 96k -ar 44100", nullptr, 0};
const Codec kMp3Vbr{"Mp3VbrChunks", "-c:a libmp3lame -q:a 4 -ar 44100", nullptr, 0};
const Codec kMp3Bytes{"Mp3CbrBytes", "-c:a libmp3lame -b:a 96k -ar 44100", "mp3", 12000};
const Codec kAc3{"Ac3Chunks", "-c:a ac3 -b:a 96k -ar 48000", nullptr, 0};
const Codec kAc3Bytes{"Ac3Bytes", "-c:a ac3 -b:a 96k -ar 48000", "ac3", 12000};
const Codec kAac{"AacChunks", "-c:a aac -b:a 64k -ar 48000", nullptr, 0};
const Codec kAdtsBytes{"AacAdtsBytes", "-c:a aac -b:a 64k -ar 48000", "adts", 8000};

// A byte stream's clock counts whole bytes: a cut can be half a byte off the exact time.
constexpr double kClockSlack = 0.0002;

class AudioSpliceTest : public ::testing::Test {
  protected:
    // Two seconds (50 frames) of pictures with the codec's sound, as ffmpeg writes them or
    // rewritten as a byte stream (its bytes edited so first, when edit is given).
    std::string clip(const Codec& codec, const std::string& name, int seed,
                     double audioSeconds = -1,
                     const std::function<void(std::vector<uint8_t>&)>& edit = nullptr) {
        const std::string path = m_dir.file(name + ".avi");
        const std::string made = codec.byteStream ? m_dir.file(name + ".chunks.avi") : path;
        EXPECT_TRUE(
            clips::FfmpegClip(made, "-c:v mjpeg -q:v 8", codec.audio, 2, seed, audioSeconds));
        if (codec.byteStream != nullptr) {
            const std::string elementary = m_dir.file(name + ".es");
            EXPECT_TRUE(testing_support::Ffmpeg("-i " + ShellQuote(made) +
                                                " -map 0:a -c copy -id3v2_version 0 "
                                                "-write_xing 0 -f " +
                                                codec.byteStream + " " + ShellQuote(elementary)));
            const std::vector<unsigned char> read = testing_support::ReadFileBytes(elementary);
            std::vector<uint8_t> bytes(read.begin(), read.end());
            if (edit) {
                edit(bytes);
            }
            // ADTS frames carry their own configuration: no AudioSpecificConfig in the format.
            const std::vector<uint8_t> format =
                std::string(codec.byteStream) == "adts"
                    ? clips::WaveFormat({0x00FF, 1, 48000, codec.byteRate, 1, 0, 0})
                    : std::vector<uint8_t>{};
            EXPECT_TRUE(clips::WriteByteStreamClip(made, bytes, codec.byteRate, path, format));
        }
        return path;
    }

    int32_t join(const std::vector<JoinedSegment>& segments, bool silence = true) {
        m_state = join::JoinState{};
        for (const JoinedSegment& s : segments) {
            m_state.clips.push_back(clips::Inspected(s.file, static_cast<int32_t>(s.first),
                                                     static_cast<int32_t>(s.last)));
        }
        m_state.clipCount = static_cast<int>(segments.size());
        m_state.destFileName = out();
        m_state.silenceEncoder = silence ? &m_encoder : nullptr;
        return join::RunJoin(m_state, true);
    }

    // The joined file decodes cleanly, and its sound is its segments' packets, in step.
    AudioSync judge(const std::vector<JoinedSegment>& segments, bool byteClock,
                    const std::string& label) {
        EXPECT_EQ(testing_support::DecodeErrors(out(), "0:a").output, "") << label;
        const AudioSync sync = testing_support::MeasureAudioSync(out(), segments, byteClock);
        std::string figures;
        for (const double offset : sync.offset) {
            EXPECT_LE(std::abs(offset), sync.packet / 2 + kClockSlack) << label;
            char text[16];
            std::snprintf(text, sizeof text, "%.1f ", offset * 1e3);
            figures += text;
        }
        EXPECT_LE(std::abs(sync.end), sync.packet / 2 + kClockSlack) << label;
        std::printf("[ sync     ] %s: splices (ms) %send %.1f, half a packet %.1f\n", label.c_str(),
                    figures.c_str(), sync.end * 1e3, sync.packet * 500);
        return sync;
    }

    std::string out() const { return m_dir.file("joined.avi"); }

    testing_support::TempDir m_dir;
    join::JoinState m_state;
    mci::FfmpegSilenceEncoder m_encoder;
};

class AudioSpliceCodecTest : public AudioSpliceTest, public ::testing::WithParamInterface<Codec> {};

// Three segments that start and end inside the clips: before, cuts fell inside codec frames of
// byte streams ("Header missing" after every splice) and the rounding of each segment's span
// added up from splice to splice.
TEST_P(AudioSpliceCodecTest, TrimmedSegmentsAreWholePacketsInStep) {
    const Codec& codec = GetParam();
    const std::string a = clip(codec, "a", 1);
    const std::string b = clip(codec, "b", 2);
    const std::vector<JoinedSegment> segments = {{a, 10, 34}, {b, 7, 44}, {a, 21, 49}};
    ASSERT_EQ(join(segments), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.warnings, "");
    const AudioSync sync = judge(segments, codec.byteStream != nullptr, codec.name);
    EXPECT_EQ(sync.unheard, 0);
    EXPECT_EQ(sync.filler, std::vector<int>(segments.size() + 1, 0));
}

INSTANTIATE_TEST_SUITE_P(Codecs, AudioSpliceCodecTest,
                         ::testing::Values(kMp3Cbr, kMp3Vbr, kMp3Bytes, kAc3, kAc3Bytes, kAac,
                                           kAdtsBytes),
                         [](const auto& info) { return std::string(info.param.name); });

// A middle clip whose sound ends 0.8 s before its picture, or that has none: silence in the
// clip's own format fills the gap, so that the clip after it starts in step.
TEST_F(AudioSpliceTest, SilenceKeepsTheClipsAfterAShortOneInStep) {
    for (const Codec& codec : {kMp3Bytes, kAc3Bytes, kAac}) {
        const std::string a = clip(codec, "a", 1);
        const std::string shortClip = clip(codec, "short", 3, 1.2);
        const std::vector<JoinedSegment> segments = {{a, 0, 49}, {shortClip, 0, 49}, {a, 0, 24}};
        ASSERT_EQ(join(segments), 0) << m_state.lastErrorText;
        EXPECT_EQ(m_state.warnings, "") << codec.name;
        double silence = 0;
        const std::string note = "Audio of " + shortClip + " ends early: %lf seconds of silence";
        ASSERT_EQ(std::sscanf(m_state.notes.c_str(), note.c_str(), &silence), 1) << m_state.notes;
        const AudioSync sync = judge(segments, codec.byteStream != nullptr,
                                     std::string(codec.name) + " short middle clip");
        ASSERT_EQ(sync.filler.size(), 4u);
        EXPECT_EQ(sync.unheard, 0) << codec.name;
        EXPECT_EQ(sync.filler[1] + sync.filler[3], 0) << codec.name;
        EXPECT_NEAR(sync.filler[2] * sync.packet, silence, sync.packet) << codec.name;
        EXPECT_NEAR(silence, 0.8, 0.1) << codec.name;
    }

    // A first segment that lies wholly beyond its clip's audio gets silence too.
    const std::string shortClip = clip(kMp3Cbr, "short", 3, 1.2);
    const std::string a = clip(kMp3Cbr, "a", 1);
    ASSERT_EQ(join({{shortClip, 35, 49}, {a, 0, 24}}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.warnings, "");
    const AudioSync beyond =
        judge({{shortClip, 35, 49}, {a, 0, 24}}, false, "Mp3CbrChunks beyond the audio");
    EXPECT_EQ(beyond.unheard, 1);
    EXPECT_EQ(beyond.filler, (std::vector<int>{0, 23, 0}));  // 0.6 s of 26 ms frames

    const std::string silent = m_dir.file("silent.avi");
    ASSERT_TRUE(clips::FfmpegClip(silent, "-c:v mjpeg -q:v 8", "", 2, 0));
    const std::vector<JoinedSegment> segments = {{a, 0, 49}, {silent, 5, 44}, {a, 0, 24}};
    ASSERT_EQ(join(segments), 0) << m_state.lastErrorText;
    // 61 frames of 1152 samples at 44.1 kHz come nearest 40 frames at 25 a second.
    EXPECT_EQ(m_state.notes, silent + " has no audio: 1.593 seconds of silence were written\r\n");
    EXPECT_EQ(judge(segments, false, "Mp3CbrChunks middle clip without audio").filler,
              (std::vector<int>{0, 0, 61, 0}));
}

// Silent packets count as silence does for PCM: a clip whose compressed audio ends hours before
// its video is asked about before anything is written, not encoded for hours.
TEST_F(AudioSpliceTest, HoursOfCompressedSilenceAreAskedAboutFirst) {
    const std::string a = m_dir.file("hostile.avi");
    clips::WriteFile(
        a, clips::BuildAvi(clips::EmptyChunksSpec(41, 1000000, {0x55, 1, 12000, 12000, 1, 0, 0})));
    ASSERT_EQ(join({{a, 0, 1000040}}), join::kJoinDestinationError);
    EXPECT_TRUE(m_state.lastErrorText.starts_with("planning the joined file: The audio of " + a +
                                                  " ends 11:06:40 before its video"))
        << m_state.lastErrorText;
    EXPECT_FALSE(std::filesystem::exists(out()));
}

// Without an encoder the report says how far the clips after it are shifted: exactly as far as
// ffmpeg finds their sound early.
TEST_F(AudioSpliceTest, WithoutSilenceTheReportGivesTheShift) {
    const std::string a = clip(kMp3Vbr, "a", 1);
    const std::string shortClip = clip(kMp3Vbr, "short", 3, 1.2);
    const std::vector<JoinedSegment> segments = {{a, 0, 49}, {shortClip, 0, 49}, {a, 0, 24}};
    ASSERT_EQ(join(segments, false), 0) << m_state.lastErrorText;
    double shift = 0;
    ASSERT_EQ(std::sscanf(m_state.warnings.c_str(), ("Audio of " + shortClip + " ends %lf").c_str(),
                          &shift),
              1)
        << m_state.warnings;
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  " seconds before its video; the audio of the clips after it plays %.3f seconds "
                  "early\r\n",
                  shift);
    EXPECT_TRUE(m_state.warnings.ends_with(expected)) << m_state.warnings;
    EXPECT_NEAR(shift, 0.8, 0.1);
    const AudioSync sync = testing_support::MeasureAudioSync(out(), segments, false);
    ASSERT_EQ(sync.offset.size(), 3u);
    EXPECT_EQ(sync.unheard, 0);
    EXPECT_NEAR(sync.offset[2], -shift, sync.packet / 2);
}

// Bytes of a byte stream that are no frames (damage, a cut) are left out, and silence takes the
// time they stood for: ffmpeg finds no broken frame and the sound still ends with the picture.
TEST_F(AudioSpliceTest, BytesThatAreNoFramesBecomeSilence) {
    const std::string a = clip(kMp3Bytes, "a", 1, -1, [](std::vector<uint8_t>& bytes) {
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), 1500, 0x55);
    });
    const std::vector<JoinedSegment> segments = {{a, 0, 49}};
    ASSERT_EQ(join(segments), 0) << m_state.lastErrorText;
    double seconds = 0;
    const std::string note =
        "Audio of " + a + " holds %lf seconds of bytes that are no audio frames";
    ASSERT_EQ(std::sscanf(m_state.notes.c_str(), note.c_str(), &seconds), 1) << m_state.notes;
    EXPECT_EQ(testing_support::DecodeErrors(out(), "0:a").output, "");
    const AudioSync sync = testing_support::MeasureAudioSync(out(), segments, true);
    EXPECT_NEAR(seconds, 1500.0 / kMp3Bytes.byteRate, sync.packet / 2);  // whole silent frames
    EXPECT_LE(std::abs(sync.end), sync.packet / 2 + kClockSlack);
}

// Sound that counts frames places its samples by its frame clock: clips that differ in their
// average byte rate alone are one format, and join in step.
TEST_F(AudioSpliceTest, FrameCountingAudioOfOtherByteRatesJoins) {
    const Codec low{"Mp3Low", "-c:a libmp3lame -b:a 64k -ar 44100", nullptr, 0};
    const Codec high{"Mp3High", "-c:a libmp3lame -b:a 128k -ar 44100", nullptr, 0};
    const std::string a = clip(low, "a", 1);
    const std::string b = clip(high, "b", 2);
    const ClipInfo base = clips::Inspected(a);
    const ClipInfo other = clips::Inspected(b);
    ASSERT_NE(base.audioFormat.nAvgBytesPerSec, other.audioFormat.nAvgBytesPerSec);
    EXPECT_EQ(CompareClipWithBase(base, other, false).kind, ClipCheckKind::Pass);
    const std::vector<JoinedSegment> segments = {{a, 3, 40}, {b, 9, 49}};
    ASSERT_EQ(join(segments), 0) << m_state.lastErrorText;
    EXPECT_EQ(judge(segments, false, "Mp3 64k + 128k").unheard, 0);
}

// Real files: each joined with itself after a trim at its second key frame (or whole).
TEST_F(AudioSpliceTest, CorpusClipsJoinedWithThemselves) {
    TRELVANE_SKIP_WITHOUT_CORPUS();
    const std::pair<const char*, bool> files[] = {
        {"dx50-512x384-25fps-mp3cbr-stereo-44k.avi", true},
        {"xvid-720x528-23p976fps-ac3-stereo-48k.avi", true},
        {"xvid-320x240-25fps-mp3vbr-stereo-44k.avi", false},
    };
    for (const auto& [name, byteClock] : files) {
        const std::string file = (testing_support::CorpusDir() / name).string();
        clips::ReadBack source(file);
        const int64_t frames = source.samples(source.video());
        int64_t key = 1;
        while (key < frames && !source.isKey(source.video(), key)) {
            ++key;
        }
        key = key < frames ? key : 0;  // a single key frame: joined whole with itself
        const std::vector<JoinedSegment> segments = {{file, key, frames - 1},
                                                     {file, 0, frames - 1}};
        ASSERT_EQ(join(segments), 0) << name << ": " << m_state.lastErrorText;
        EXPECT_EQ(judge(segments, byteClock, name).unheard, 0);
    }
}

}  // namespace
