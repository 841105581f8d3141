// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/join_engine.h"
#include "join/join_report.h"
#include "join/transfer_buffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <set>

#include "media/clip_inspection.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using clips::ClipShape;
using clips::ReadBack;

class RecordingProgress : public join::JoinProgress {
  public:
    int32_t show_progress(int16_t clip, int16_t segment, int16_t total) override {
        calls.push_back({clip, segment, total});
        return static_cast<int>(calls.size()) == cancelAt ? join::kJoinCancelled : 0;
    }
    struct Call {
        int16_t clip, segment, total;
    };
    std::vector<Call> calls;
    int cancelAt = -1;
};

class JoinEngineTest : public ::testing::Test {
  protected:
    std::string make(const std::string& name, const ClipShape& shape) {
        const std::string path = m_dir.file(name);
        clips::Write(path, shape);
        return path;
    }
    ClipInfo inspect(const std::string& path, int32_t leadIn = 0, int32_t leadOut = -1) {
        return clips::Inspected(path, leadIn, leadOut);
    }
    int32_t run(std::vector<ClipInfo> clips, bool stop = false) {
        m_state = join::JoinState{};
        m_state.clipCount = static_cast<int>(clips.size());
        m_state.clips = std::move(clips);
        m_state.destFileName = out();
        m_state.progressIntervalMs = m_progressIntervalMs;
        join::AttachProgressWindow(m_state, &m_progress);
        return join::RunJoin(m_state, stop);
    }
    std::string out() const { return m_dir.file("joined.avi"); }

    testing_support::TempDir m_dir;
    join::JoinState m_state;
    RecordingProgress m_progress;
    // Progress on percentages only, however slowly the test runs; a test may ask for more.
    int m_progressIntervalMs = std::numeric_limits<int>::max();
};

// Frames far beyond the old 32 KB buffer, and a frame's audio of 864,000 bytes.
TEST_F(JoinEngineTest, LargeFramesAndAudioSpansAreCopiedExactly) {
    ClipShape shape;
    shape.videoRate = 1;
    shape.frames = 4;
    shape.frameSize = [](int f) { return f % 2 == 0 ? 144000 : 500000; };
    shape.wave = WAVEFORMATEX{1, 9, 48000, 864000, 18, 16, 0};
    shape.audioRate = 48000;
    const std::string a = make("a.avi", shape);
    shape.tag = "B";
    const std::string b = make("b.avi", shape);
    ASSERT_EQ(run({inspect(a), inspect(b)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.framesWritten, 8);
    EXPECT_EQ(m_state.warnings, "");
    ReadBack joined(out());
    ASSERT_TRUE(joined.ok());
    for (int f = 0; f < 8; ++f) {
        ClipShape source = shape;
        source.tag = f < 4 ? "A" : "B";
        EXPECT_EQ(joined.read(joined.video(), f, 1), clips::FrameBytes(source, f % 4)) << f;
    }
    EXPECT_EQ(joined.read(joined.audio(), 48000 * 5, 48000),
              clips::SampleBytes(shape, 48000, 48000));
}

// A trimmed segment writes only its own frames; a first frame that is no key frame keeps its
// missing key flag; the audio of a trimmed segment is exactly its span.
TEST_F(JoinEngineTest, TrimmedSegmentsTakeTheirOwnFramesAndAudio) {
    ClipShape shape;
    shape.frames = 30;
    shape.isKey = [](int f) { return f % 5 == 0; };
    shape.audioRate = 11025;
    shape.videoRate = 30;
    shape.wave = WAVEFORMATEX{1, 1, 11025, 11025, 1, 8, 0};
    const std::string a = make("a.avi", shape);
    ASSERT_EQ(run({inspect(a, 10, 19), inspect(a, 3, 8)}), 0) << m_state.lastErrorText;
    ASSERT_EQ(m_state.framesWritten, 16);
    ReadBack joined(out());
    EXPECT_EQ(joined.read(joined.video(), 0, 1), clips::FrameBytes(shape, 10));
    EXPECT_EQ(joined.read(joined.video(), 10, 1), clips::FrameBytes(shape, 3));
    EXPECT_TRUE(joined.isKey(joined.video(), 0));
    EXPECT_FALSE(joined.isKey(joined.video(), 10));
    EXPECT_TRUE(joined.isKey(joined.video(), 12));  // source frame 5
    const join::AudioClock clock = clips::Clock(shape);
    const int64_t first = join::AudioBoundary(clock, 20) - join::AudioBoundary(clock, 10);
    const int64_t second = join::AudioBoundary(clock, 9) - join::AudioBoundary(clock, 3);
    ASSERT_EQ(joined.samples(joined.audio()), first + second);
    EXPECT_EQ(joined.read(joined.audio(), 0, first),
              clips::SampleBytes(shape, join::AudioBoundary(clock, 10), first));
    EXPECT_EQ(joined.read(joined.audio(), first, second),
              clips::SampleBytes(shape, join::AudioBoundary(clock, 3), second));
}

// 48 kHz under 29.97 fps for 20,000 frames: the joined audio is one unbroken ramp per segment,
// with no sample repeated or skipped at any frame.
TEST_F(JoinEngineTest, LongRampAudioStaysContinuous) {
    ClipShape shape;
    shape.frames = 20000;
    shape.frameSize = [](int) { return 12; };
    shape.videoRate = 30000;
    shape.videoScale = 1001;
    shape.wave = WAVEFORMATEX{1, 1, 48000, 48000, 1, 8, 0};
    const std::string a = make("ramp.avi", shape);
    ASSERT_EQ(run({inspect(a), inspect(a, 7001, 19998)}), 0) << m_state.lastErrorText;
    const join::AudioClock clock = clips::Clock(shape);
    const int64_t first = join::AudioBoundary(clock, 20000);
    const int64_t second = join::AudioBoundary(clock, 19999) - join::AudioBoundary(clock, 7001);
    ReadBack joined(out());
    ASSERT_EQ(joined.samples(joined.audio()), first + second);
    const std::vector<uint8_t> all = joined.read(joined.audio(), 0, first + second);
    ASSERT_EQ(static_cast<int64_t>(all.size()), first + second);
    const int64_t secondStart = join::AudioBoundary(clock, 7001);
    for (int64_t s = 0; s < first + second; ++s) {
        const int64_t source = s < first ? s : secondStart + (s - first);
        ASSERT_EQ(all[static_cast<size_t>(s)], clips::AudioByte(source, 0)) << s;
    }
}

// Less than one audio block per frame: frames without a block get no audio, and no warning.
TEST_F(JoinEngineTest, FramesWithoutAudioBlocksAreNoError) {
    ClipShape shape;
    shape.wave = WAVEFORMATEX{2, 1, 22050, 10240, 512, 4, 0};
    shape.audioRate = 20;  // 0.8 blocks per frame at 25 fps
    const std::string a = make("adpcm.avi", shape);
    for (const bool stop : {false, true}) {
        ASSERT_EQ(run({inspect(a), inspect(a)}, stop), 0) << m_state.lastErrorText;
        EXPECT_EQ(m_state.framesWritten, 100);
        EXPECT_EQ(m_state.warnings, "");
        ReadBack joined(out());
        ASSERT_EQ(joined.samples(joined.audio()), 80);
        EXPECT_EQ(joined.read(joined.audio(), 40, 40), clips::SampleBytes(shape, 0, 40));
    }
}

// PCM that ends before its video is padded with silence, so the next clip stays in sync.
TEST_F(JoinEngineTest, ShortPcmAudioIsPaddedWithSilence) {
    ClipShape shape;
    shape.frames = 25;
    shape.audioSamples = 45600;  // 0.95 s under 1 s of video
    const std::string shortClip = make("short.avi", shape);
    ClipShape full;
    full.tag = "B";
    full.frames = 25;
    const std::string b = make("b.avi", full);
    for (const bool stop : {false, true}) {
        ASSERT_EQ(run({inspect(shortClip), inspect(b)}, stop), 0) << m_state.lastErrorText;
        EXPECT_EQ(m_state.framesWritten, 50);
        EXPECT_EQ(m_state.warnings, "");
        EXPECT_EQ(m_state.notes, "Audio of " + shortClip +
                                     " ends early: 2400 samples (0.05 seconds) of silence were "
                                     "written\r\n");
        ReadBack joined(out());
        ASSERT_EQ(joined.samples(joined.audio()), 96000);
        EXPECT_EQ(joined.read(joined.audio(), 0, 45600), clips::SampleBytes(shape, 0, 45600));
        EXPECT_EQ(joined.read(joined.audio(), 45600, 2400), std::vector<uint8_t>(4800, 0));
        EXPECT_EQ(joined.read(joined.audio(), 48000, 48000), clips::SampleBytes(full, 0, 48000));
    }
}

// A clip accepted without audio into a PCM job gets silence of exactly its span, so the next
// clip's audio starts with its first frame; the report names the silence and stays clean.
TEST_F(JoinEngineTest, AClipWithoutAudioGetsSilenceInAPcmJob) {
    ClipShape loud;
    loud.frames = 10;
    loud.wave = WAVEFORMATEX{1, 1, 11025, 11025, 1, 8, 0};
    loud.audioRate = 11025;  // 441 samples a frame
    const std::string a = make("a.avi", loud);
    ClipShape quiet = loud;
    quiet.tag = "Q";
    quiet.audio = false;
    const std::string q = make("q.avi", quiet);
    ASSERT_EQ(run({inspect(a), inspect(q, 3, 9), inspect(a)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.warnings, "");
    EXPECT_EQ(m_state.notes,
              q + " has no audio: 3087 samples (0.28 seconds) of silence were written\r\n");
    ReadBack joined(out());
    ASSERT_EQ(joined.samples(joined.audio()), 27 * 441);
    EXPECT_EQ(joined.read(joined.audio(), 4410, 3087), std::vector<uint8_t>(3087, 0x80));
    EXPECT_EQ(joined.read(joined.audio(), 7497, 4410), clips::SampleBytes(loud, 0, 4410));
    const join::JoinReport report = join::MakeJoinReport(0, m_state);
    EXPECT_TRUE(report.clean);
    EXPECT_TRUE(report.text.ends_with("\r\n" + q +
                                      " has no audio: 3087 samples (0.28 seconds) "
                                      "of silence were written"))
        << report.text;

    loud.wave = WAVEFORMATEX{2, 1, 11025, 5588, 256, 4, 0};  // ADPCM cannot be made up
    loud.audioRate = 25;
    const std::string adpcm = make("adpcm.avi", loud);
    ASSERT_EQ(run({inspect(adpcm), inspect(q), inspect(adpcm)}), 0);
    EXPECT_EQ(m_state.warnings,
              q + " has no audio; the audio of the clips after it plays early\r\n");
}

// Other formats cannot be padded: the video goes on and a warning tells by how much.
TEST_F(JoinEngineTest, ShortCompressedAudioIsReported) {
    ClipShape shape;
    shape.frames = 25;
    shape.wave = WAVEFORMATEX{2, 1, 22050, 25600, 256, 4, 0};
    shape.audioRate = 100;    // 4 blocks per frame
    shape.audioSamples = 90;  // frames 23 and 24 find none, frame 22 half
    const std::string a = make("short.avi", shape);
    ASSERT_EQ(run({inspect(a)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.framesWritten, 25);
    EXPECT_EQ(m_state.warnings, "");
    ASSERT_EQ(m_state.audioShortfalls.size(), 1u);
    EXPECT_EQ(m_state.audioShortfalls[0].entry, 0);
    EXPECT_EQ(m_state.audioShortfalls[0].frames, 2);
    const join::JoinReport report = join::MakeJoinReport(0, m_state);
    EXPECT_EQ(report.text.rfind("Completed Clip:", 0), 0u) << report.text;
    EXPECT_NE(report.text.find("Audio of " + a + " ends 2 frames before its video"),
              std::string::npos)
        << report.text;
    EXPECT_EQ(report.text.find("out of sync"), std::string::npos) << report.text;
}

// Audio with a sample size of 0 keeps its chunks: n chunks in, the same n chunks out.
TEST_F(JoinEngineTest, VariableRateAudioIsCopiedChunkByChunk) {
    ClipShape shape;
    shape.vbr = true;
    shape.wave = WAVEFORMATEX{85, 2, 48000, 16000, 1152, 0, 0};
    shape.audioRate = 48000;
    shape.audioScale = 1152;  // 41.67 chunks per second, 1.67 per frame
    const std::string a = make("vbr.avi", shape);
    ASSERT_EQ(run({inspect(a, 10, 39)}), 0) << m_state.lastErrorText;
    const join::AudioClock clock = clips::Clock(shape);
    const int64_t from = join::AudioBoundary(clock, 10);
    const int64_t count = join::AudioBoundary(clock, 40) - from;
    ReadBack joined(out());
    ASSERT_EQ(joined.samples(joined.audio()), count);
    for (int64_t c = 0; c < count; ++c) {
        EXPECT_EQ(joined.read(joined.audio(), c, 1), clips::SampleBytes(shape, from + c, 1));
    }
}

// An audio clock beyond any real stream, or a PCM block align of 65535, makes the audio
// unreadable: the clip joins without it and keeps every frame. Handed to the engine anyway, such
// audio is a bad read, never an endless stream of silence.
TEST_F(JoinEngineTest, AbsurdAudioClocksLoseTheAudioNotTheVideo) {
    ClipShape shape;
    shape.frames = 60;
    const std::string wide = make("wide.avi", shape);
    ASSERT_TRUE(clips::PatchStreamFormat16(wide, "auds", clips::kWaveBlockAlign, 65535));
    shape.frames = 5;
    shape.wave = WAVEFORMATEX{1, 1, 4000000000u, 4000000000u, 1, 8, 0};
    shape.audioRate = 4000000000u;  // 160 million samples per frame
    shape.audioSamples = 1000;
    const std::string a = make("absurd.avi", shape);
    for (const auto& [path, frames] : {std::pair{wide, 60}, std::pair{a, 5}}) {
        ClipInfo clip;
        clip.fileName = path;
        ASSERT_EQ(LoadClipInfo(clip), 1) << path;
        EXPECT_EQ(clip.audioPresent, 0);
        ASSERT_EQ(run({clip}), 0) << m_state.lastErrorText;
        ReadBack joined(out());
        EXPECT_EQ(joined.samples(joined.video()), frames);
        EXPECT_EQ(joined.read(joined.video(), frames - 1, 1), clips::FrameBytes(shape, frames - 1));
        EXPECT_EQ(joined.audio(), -1);
    }

    ClipInfo forced;
    forced.fileName = a;
    ASSERT_EQ(LoadClipInfo(forced), 1);
    forced.audioPresent = 1;
    ASSERT_EQ(run({forced}, false), 0);
    EXPECT_EQ(m_state.warnings, "Error reading audio for frame 0 from source file " + a + "\r\n");
    EXPECT_LT(std::filesystem::file_size(out()), 1u << 20);
    EXPECT_EQ(run({forced}, true), -2);
    EXPECT_EQ(m_state.lastErrorText, "reading audio for frame 0 from source file " + a);
}

TEST(TransferBuffer, GrowsOnlyUpToTheCapAndNeverShrinks) {
    join::TransferBuffer buffer;
    const int32_t initial = buffer.capacity();
    EXPECT_GT(initial, 0);
    EXPECT_FALSE(buffer.reserve(join::kMaxTransferSize + 1));
    EXPECT_EQ(buffer.capacity(), initial);
    EXPECT_TRUE(buffer.reserve(500000));
    EXPECT_EQ(buffer.capacity(), 500000);
    EXPECT_TRUE(buffer.reserve(1000));
    EXPECT_EQ(buffer.capacity(), 500000);
    EXPECT_TRUE(buffer.fill(3, 0x80));
    EXPECT_EQ(buffer.data()[2], 0x80);
}

TEST_F(JoinEngineTest, ZeroByteFramesAreCopiedAsEmptyFrames) {
    ClipShape shape;
    shape.frameSize = [](int f) { return f == 3 || f == 4 ? 0 : 24; };
    shape.isKey = [](int f) { return f != 3 && f != 4; };
    const std::string a = make("drops.avi", shape);
    ASSERT_EQ(run({inspect(a)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.framesWritten, 50);
    EXPECT_EQ(m_state.warnings, "");
    ReadBack joined(out());
    EXPECT_EQ(joined.samples(joined.video()), 50);
    EXPECT_TRUE(joined.read(joined.video(), 3, 1).empty());
    EXPECT_EQ(joined.read(joined.video(), 5, 1), clips::FrameBytes(shape, 5));
    EXPECT_EQ(joined.samples(joined.audio()), 96000);
}

// The middle clip's header promises 25 frames, its file holds 20.
class MissingFrameTest : public JoinEngineTest {
  protected:
    void SetUp() override {
        for (const char* tag : {"A", "B", "C"}) {
            ClipShape shape;
            shape.tag = tag;
            shape.frames = 20;
            paths.push_back(make(std::string(tag) + ".avi", shape));
        }
        clips::PatchVideoLength(paths[1], 25);
    }
    std::vector<ClipInfo> job() {
        return {inspect(paths[0]), inspect(paths[1]), inspect(paths[2])};
    }
    std::vector<std::string> paths;
};

TEST_F(MissingFrameTest, ContinuingSkipsTheRestOfThatClipWithAWarning) {
    ASSERT_EQ(run(job(), false), 0);
    EXPECT_EQ(m_state.framesWritten, 60);
    EXPECT_EQ(m_state.warnings, "Error reading frame 20 from source file " + paths[1] + "\r\n");
    ReadBack joined(out());
    ClipShape c;
    c.tag = "C";
    EXPECT_EQ(joined.read(joined.video(), 40, 1), clips::FrameBytes(c, 0));
    EXPECT_EQ(joined.samples(joined.audio()), 60 * 1920);
}

TEST_F(MissingFrameTest, StoppingFailsWithTheFrameAndFile) {
    EXPECT_EQ(run(job(), true), -2);
    EXPECT_EQ(m_state.lastErrorText, "reading frame 20 from source file " + paths[1]);
    EXPECT_NE(m_state.lastErrorCode, 0);
}

// A failed join leaves an existing destination as it was and keeps what it wrote, finished,
// under NAME.partial.avi; a second failure does not replace that one either.
TEST_F(MissingFrameTest, AFailureKeepsTheDestinationAndThePartWritten) {
    const auto before = testing_support::ReadFileBytes(make("joined.avi", ClipShape{}));
    ASSERT_EQ(run(job(), true), -2);
    EXPECT_EQ(testing_support::ReadFileBytes(out()), before);
    const std::string partial = m_dir.file("joined.partial.avi");
    EXPECT_EQ(m_state.partialFileName, partial);
    ReadBack kept(partial);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.samples(kept.video()), 40);
    EXPECT_EQ(kept.samples(kept.audio()), 40 * 1920);
    EXPECT_NE(join::MakeJoinReport(-2, m_state)
                  .text.find("The part written so far was kept as:\r\n" + partial),
              std::string::npos);

    ASSERT_EQ(run(job(), true), -2);
    EXPECT_NE(m_state.partialFileName, partial);
    EXPECT_TRUE(m_state.partialFileName.ends_with(".partial.avi"));
    EXPECT_EQ(ReadBack(partial).samples(kept.video()), 40);
    EXPECT_EQ(testing_support::FolderNames(m_dir.path()).size(), 6u);
}

// Writing nothing is a failure, and leaves nothing behind.
TEST_F(JoinEngineTest, AJoinThatWritesNoFrameFailsAndLeavesNoFile) {
    ClipInfo empty = inspect(make("a.avi", ClipShape{}));
    empty.leadIn = 10;
    empty.leadOut = 9;
    empty.segmentFrames = 0;
    EXPECT_EQ(run({empty}), -1);
    EXPECT_EQ(m_state.lastErrorText,
              "writing the joined file: no frame of the clips could be written, so no file was "
              "made.");
    EXPECT_EQ(m_state.partialFileName, "");
    EXPECT_EQ(testing_support::FolderNames(m_dir.path()), std::vector<std::string>{"a.avi"});
}

// A link put at the destination is replaced by the joined file, never written through; the
// destination may not name one of the clips.
TEST_F(JoinEngineTest, TheDestinationIsReplacedNeverWrittenThrough) {
    ClipShape shape;
    const std::string a = make("a.avi", shape);
    shape.tag = "V";
    const std::string victim = make("victim.avi", shape);
    const auto before = testing_support::ReadFileBytes(victim);
    std::filesystem::create_symlink(victim, out());
    ASSERT_EQ(run({inspect(a)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(testing_support::ReadFileBytes(victim), before);
    EXPECT_FALSE(std::filesystem::is_symlink(out()));
    EXPECT_EQ(ReadBack(out()).read(0, 0, 1), clips::FrameBytes(ClipShape{}, 0));

    std::filesystem::remove(out());
    std::filesystem::create_symlink(a, out());
    EXPECT_EQ(run({inspect(a)}), -1);
    EXPECT_NE(m_state.lastErrorText.find("(it is one of the clips being joined)"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(out()));
}

// A frame whose chunk is damaged fails when it is read. Frames before the lead-in are never
// read, so a damaged one there costs nothing.
TEST_F(JoinEngineTest, ADamagedFrameBeforeTheLeadInCostsNothing) {
    ClipShape shape;
    shape.frames = 640;  // the reader checks a sample of chunk headers on open, not frame 5
    shape.frameSize = [](int) { return 12; };
    shape.audio = false;
    const std::string a = make("damaged.avi", shape);
    clips::DamageFrame(a, shape, 5);
    ASSERT_EQ(run({inspect(a, 0, 20)}, false), 0);
    ASSERT_EQ(m_state.warnings, "Error reading frame 5 from source file " + a + "\r\n");
    for (const bool stop : {false, true}) {
        ASSERT_EQ(run({inspect(a, 10, 639)}, stop), 0) << m_state.lastErrorText;
        EXPECT_EQ(m_state.framesWritten, 630);
        EXPECT_EQ(m_state.warnings, "");
    }
}

TEST_F(JoinEngineTest, ProgressReachesOneHundredWithoutRepeatsAndSkipsEmptySegments) {
    ClipShape shape;
    shape.frames = 100;
    const std::string a = make("a.avi", shape);
    ClipInfo empty = inspect(a, 60, 9);  // a segment of -50 frames
    ASSERT_EQ(run({inspect(a), empty, inspect(a)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_state.framesWritten, 200);
    ASSERT_FALSE(m_progress.calls.empty());
    std::set<std::pair<int, int>> seen;
    for (const RecordingProgress::Call& c : m_progress.calls) {
        EXPECT_TRUE(seen.insert({c.segment, c.total}).second || c.clip == 2);
        EXPECT_GE(c.total, 0);
        EXPECT_LE(c.total, 100);
        EXPECT_LE(c.segment, 100);
        EXPECT_NE(c.clip, 1);
    }
    EXPECT_EQ(m_progress.calls.back().total, 100);
    EXPECT_EQ(m_progress.calls.back().segment, 100);
    // Consecutive calls always differ.
    for (size_t i = 1; i < m_progress.calls.size(); ++i) {
        const auto& p = m_progress.calls[i - 1];
        const auto& c = m_progress.calls[i];
        EXPECT_TRUE(p.segment != c.segment || p.total != c.total) << i;
    }
}

// Between percentages the window still hears from the join as time passes (here after every
// frame): a slow disk never leaves it unanswered for a whole percent.
TEST_F(JoinEngineTest, ProgressIsAlsoReportedAsTimePasses) {
    ClipShape shape;
    shape.frames = 500;
    const std::string a = make("a.avi", shape);
    m_progressIntervalMs = 0;
    ASSERT_EQ(run({inspect(a)}), 0) << m_state.lastErrorText;
    EXPECT_EQ(m_progress.calls.size(), 500u);
    EXPECT_EQ(m_progress.calls.back().total, 100);
}

TEST_F(JoinEngineTest, CancelStopsAtTheNextProgressCallAndLeavesTheErrorAlone) {
    ClipShape shape;
    shape.frames = 100;
    const std::string a = make("a.avi", shape);
    const auto before = testing_support::ReadFileBytes(make("joined.avi", shape));
    m_progress.cancelAt = 3;
    join::JoinState& state = m_state;
    state = join::JoinState{};
    state.clipCount = 1;
    state.clips = {inspect(a)};
    state.destFileName = out();
    state.lastErrorText = "earlier";
    state.progressIntervalMs = m_progressIntervalMs;
    join::AttachProgressWindow(state, &m_progress);
    EXPECT_EQ(join::RunJoin(state, false), -9);
    EXPECT_EQ(state.lastErrorText, "earlier");
    EXPECT_EQ(state.framesWritten, 3);
    EXPECT_EQ(m_progress.calls.size(), 3u);
    // The destination is as it was; the three frames are a finished file of their own.
    EXPECT_EQ(testing_support::ReadFileBytes(out()), before);
    EXPECT_EQ(state.partialFileName, m_dir.file("joined.partial.avi"));
    ReadBack partial(state.partialFileName);
    ASSERT_TRUE(partial.ok());
    EXPECT_EQ(partial.samples(partial.video()), 3);
    EXPECT_EQ(testing_support::FolderNames(m_dir.path()),
              (std::vector<std::string>{"a.avi", "joined.avi", "joined.partial.avi"}));
    // Every handle was released: the file can be replaced and read at once.
    EXPECT_EQ(run({inspect(a)}), 0);
    EXPECT_EQ(m_state.partialFileName, "");
    ReadBack joined(out());
    EXPECT_EQ(joined.samples(joined.video()), 100);
}

TEST_F(JoinEngineTest, FirstClipWithoutAudioMakesASilentJoin) {
    ClipShape silent;
    silent.audio = false;
    const std::string a = make("a.avi", silent);
    ClipShape loud;
    loud.tag = "B";
    const std::string b = make("b.avi", loud);
    ASSERT_EQ(run({inspect(a), inspect(b)}), 0) << m_state.lastErrorText;
    ReadBack joined(out());
    EXPECT_EQ(joined.audio(), -1);
    EXPECT_EQ(joined.samples(joined.video()), 100);
}

TEST_F(JoinEngineTest, OpeningFailuresNameTheSideAndTheFile) {
    ClipShape shape;
    const std::string a = make("a.avi", shape);
    m_state = join::JoinState{};
    m_state.clipCount = 1;
    m_state.clips = {inspect(a)};
    m_state.destFileName = m_dir.file("no/such/folder/joined.avi");
    EXPECT_EQ(join::RunJoin(m_state, false), -1);
    EXPECT_EQ(m_state.lastErrorText, "opening destination file " + m_state.destFileName);
    EXPECT_LT(m_state.lastErrorCode, 0);
    EXPECT_EQ(m_state.lastErrorErrno, ENOENT);
    EXPECT_NE(join::MakeJoinReport(-1, m_state).text.find(": No such file or directory"),
              std::string::npos);

    ClipInfo gone = inspect(a);
    gone.fileName = m_dir.file("gone.avi");
    EXPECT_EQ(run({inspect(a), gone}), -2);
    EXPECT_EQ(m_state.lastErrorText, "opening source file " + gone.fileName);
}

}  // namespace
