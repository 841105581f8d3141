// SPDX-License-Identifier: GPL-3.0-or-later
// Adding clips: the duplicate question, every inspection message, every comparison with the
// base, and what each answer does to the job.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "job/job.h"
#include "job/job_boxes.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using clips::ClipShape;
using platform::MessageAnswer;
using platform::MessageButtons;

const std::string kRefusalTitle = "Problem joining clip";
const std::string kWarningTitle = "Warning: potential problem with clip";
const std::string kNoAudio = "  If you proceed, a clip with no audio will be created.";
const std::string kProceed = "  Do you wish to proceed and join the clips anyway?";
const std::string kUnrecognised =
    "  The file is corrupt, or is not a format recognized by this program.";

class AddClipTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        vbvfw_AVIFileInit();
        s_dir = std::make_unique<testing_support::TempDir>();
        const ClipShape base = clips::CinepakClip();
        Write("base.avi", base);
        Write("same.avi", base);
        Write("ntsc.avi",
              With(base, [](ClipShape& s) { s.videoRate = 30000, s.videoScale = 1001; }));
        Write("rate25.avi", With(base, [](ClipShape& s) { s.videoRate = 25; }));
        Write("rate24.avi", With(base, [](ClipShape& s) { s.videoRate = 24; }));
        Write("rate12_5.avi", With(base, [](ClipShape& s) { s.videoRate = 25, s.videoScale = 2; }));
        Write("rate13.avi", With(base, [](ClipShape& s) { s.videoRate = 13; }));
        Write("mjpg.avi", With(base, [](ClipShape& s) { s.codec = "MJPG"; }));
        Write("upper.avi", With(base, [](ClipShape& s) { s.codec = "CVID"; }));
        Write("big.avi", With(base, [](ClipShape& s) { s.width = 640, s.height = 480; }));
        Write("adpcm.avi", With(base, [](ClipShape& s) {
                  s.wave = WAVEFORMATEX{2, 1, 11025, 11025 * 256, 256, 4, 0};
                  s.audioRate = 11025;
              }));
        Write("mono.avi", With(base, [](ClipShape& s) { s.pcm(1, 22050, 16); }));
        Write("8bit.avi", With(base, [](ClipShape& s) { s.pcm(2, 22050, 8); }));
        Write("44k.avi", With(base, [](ClipShape& s) { s.pcm(2, 44100, 16); }));
        Write("align8.avi", With(base, [](ClipShape& s) {
                  s.wave.nBlockAlign = 8, s.wave.nAvgBytesPerSec = 22050 * 8;
              }));
        Write("silent.avi", With(base, [](ClipShape& s) { s.audio = false; }));
        Write("silent25.avi", With(base, [](ClipShape& s) { s.audio = false, s.videoRate = 25; }));
        Write("audio_only.avi", With(base, [](ClipShape& s) { s.video = false; }));
        // Damaged copies: audio block align 0 (audio unusable), a video start past its length.
        Write("bad_audio.avi", base);
        clips::PatchStreamFormat16(Path("bad_audio.avi"), "auds", clips::kWaveBlockAlign, 0);
        Write("bad_audio_big.avi", With(base, [](ClipShape& s) { s.width = 640, s.height = 480; }));
        clips::PatchStreamFormat16(Path("bad_audio_big.avi"), "auds", clips::kWaveBlockAlign, 0);
        // A zero rate is repaired by the reader from the main header, so a start beyond the
        // stream's length is what leaves the video header unusable.
        Write("bad_start.avi", base);
        clips::PatchStreamHeader(Path("bad_start.avi"), "vids", clips::kStrhStart, 1000);
        std::ofstream(Path("text.avi")) << "not a clip\n";
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    template <typename Change>
    static ClipShape With(ClipShape shape, Change change) {
        change(shape);
        return shape;
    }
    static void Write(const std::string& name, const ClipShape& shape) {
        clips::Write(Path(name), shape);
    }
    static std::string Path(const std::string& name) { return s_dir->file(name); }

    // Adds a clip that must pass without any box.
    void addClean(const std::string& name) {
        const int before = job.clipCount();
        job.AddClip(Path(name));
        ASSERT_EQ(job.clipCount(), before + 1) << name;
    }
    void expectRefusal(const std::string& name, const std::string& msg,
                       MessageAnswer answer = MessageAnswer::Ok) {
        boxes.dialogs.expectMessage(kRefusalTitle,
                                    "Clip " + Path(name) + " could not be joined. (" + msg + ")",
                                    MessageButtons::OkCancel, answer);
    }
    void expectWarning(const std::string& name, const std::string& msg, MessageAnswer answer) {
        boxes.dialogs.expectMessage(kWarningTitle, "Clip " + Path(name) + msg + kProceed,
                                    MessageButtons::YesNo, answer);
    }
    void expectDuplicate(const std::string& name, MessageAnswer answer) {
        boxes.dialogs.expectMessage(
            "Duplicate Clip",
            "File " + Path(name) + " is already selected.  Do you wish to add it a second time?",
            MessageButtons::YesNo, answer);
    }
    // A refused or declined clip leaves everything as it was.
    void addExpectingNoChange(const std::string& name) {
        const auto clips = job.clips();
        const auto lines = boxes.listJoin.lines();
        const auto selected = platform::SelectedLines(boxes.listJoin);
        const bool dropped = job.audioDropped();
        job.AddClip(Path(name));
        ASSERT_EQ(job.clipCount(), static_cast<int>(clips.size()));
        for (size_t k = 0; k < clips.size(); ++k) {
            EXPECT_EQ(job.clips()[k].fileName, clips[k].fileName);
            EXPECT_EQ(job.clips()[k].audioPresent, clips[k].audioPresent);
        }
        EXPECT_EQ(boxes.listJoin.lines(), lines);
        EXPECT_EQ(platform::SelectedLines(boxes.listJoin), selected);
        EXPECT_EQ(job.audioDropped(), dropped);
    }

    static std::unique_ptr<testing_support::TempDir> s_dir;
    job_testing::Boxes boxes;
    job::Job job{boxes.listJoin, boxes.dialogs};
};

std::unique_ptr<testing_support::TempDir> AddClipTest::s_dir;

TEST_F(AddClipTest, MatchingClipsJoinWithoutAnyBoxAndTheNewLineIsTheOnlySelection) {
    addClean("base.avi");
    addClean("same.avi");
    boxes.listJoin.selectOnly({0, 1});
    addClean("upper.avi");  // codec codes compare ignoring case
    EXPECT_EQ(boxes.listJoin.lines(),
              (std::vector<std::string>{"base.avi", "same.avi", "upper.avi"}));
    EXPECT_EQ(platform::SelectedLines(boxes.listJoin), std::vector<int>{2});
    EXPECT_EQ(job.clips()[0].audioPresent, 1);
    EXPECT_EQ(job.clips()[2].segmentFrames, 10);
    EXPECT_FALSE(job.audioDropped());
}

TEST_F(AddClipTest, VideoMismatchesAreRefusedInOrderAndChangeNothing) {
    addClean("base.avi");
    expectRefusal("mjpg.avi", "Video format of MJPG does not match base format of cvid");
    addExpectingNoChange("mjpg.avi");
    expectRefusal("rate25.avi", "Frame rate of 25fps does not match base rate of 30fps.",
                  MessageAnswer::Cancel);
    addExpectingNoChange("rate25.avi");
    expectRefusal("big.avi", "Frame size of 640x480 does not match base size of 320x240");
    addExpectingNoChange("big.avi");
    // A refusal comes before any audio question, even for a clip without audio.
    expectRefusal("silent25.avi", "Frame rate of 25fps does not match base rate of 30fps.");
    addExpectingNoChange("silent25.avi");
}

TEST_F(AddClipTest, FrameRatesCompareRoundedHalfToEven) {
    addClean("base.avi");
    addClean("ntsc.avi");  // 29.97 rounds to 30
    job.ClearJob();
    addClean("rate25.avi");
    expectRefusal("rate24.avi", "Frame rate of 24fps does not match base rate of 25fps.");
    addExpectingNoChange("rate24.avi");
    job.ClearJob();
    addClean("rate12_5.avi");  // 12.5 rounds to 12
    expectRefusal("rate13.avi", "Frame rate of 13fps does not match base rate of 12.5fps.");
    addExpectingNoChange("rate13.avi");
    job.ClearJob();
    addClean("ntsc.avi");
    expectRefusal("rate25.avi", "Frame rate of 25fps does not match base rate of 29.97003fps.");
    addExpectingNoChange("rate25.avi");
}

TEST_F(AddClipTest, EachAudioDifferenceGivesItsOwnWarning) {
    addClean("base.avi");
    // The format tag decides alone, although channels, bits and rate differ too.
    expectWarning(
        "adpcm.avi",
        " has a different audio format (ADPCM) than the base clip (PCM Uncompressed)." + kNoAudio,
        MessageAnswer::No);
    addExpectingNoChange("adpcm.avi");
    expectWarning("mono.avi",
                  " has a different audio format (Mono) than the base clip (Stereo)." + kNoAudio,
                  MessageAnswer::No);
    addExpectingNoChange("mono.avi");
    expectWarning("8bit.avi",
                  " has a different audio format (8 bits) than the base clip (16 bits)." + kNoAudio,
                  MessageAnswer::No);
    addExpectingNoChange("8bit.avi");
    expectWarning(
        "44k.avi",
        " has a different audio format (44100Hz) than the base clip (22050Hz)." + kNoAudio,
        MessageAnswer::No);
    addExpectingNoChange("44k.avi");
    expectWarning("align8.avi",
                  " has a different audio format (176400 bytes/s) than the base clip (88200 "
                  "bytes/s)." +
                      kNoAudio,
                  MessageAnswer::No);
    addExpectingNoChange("align8.avi");
    expectWarning("silent.avi", " has no audio track, but the base clip does." + kNoAudio,
                  MessageAnswer::No);
    addExpectingNoChange("silent.avi");
}

TEST_F(AddClipTest, AnAcceptedWarningSilencesTheJobUntilACleanFirstClip) {
    addClean("base.avi");
    boxes.listJoin.selectOnly({0});
    expectWarning("mono.avi",
                  " has a different audio format (Mono) than the base clip (Stereo)." + kNoAudio,
                  MessageAnswer::Yes);
    job.AddClip(Path("mono.avi"));
    ASSERT_EQ(job.clipCount(), 2);
    EXPECT_EQ(job.clips()[0].audioPresent, 0);
    EXPECT_EQ(job.clips()[1].audioPresent, 1);
    EXPECT_TRUE(job.audioDropped());
    EXPECT_EQ(platform::SelectedLines(boxes.listJoin), std::vector<int>{1});
    EXPECT_EQ(job.refreshStatsCaptions().labAudioStats, "Audio:  (No Audio)");

    // The job is silent now: other audio raises no question.
    addClean("44k.avi");
    addClean("silent.avi");

    // Dragged below another, the base that was silenced has its own audio flag back.
    job.MoveClips({0}, 2);
    ASSERT_EQ(FileTitle(job.clips()[1].fileName), "base.avi");
    EXPECT_EQ(job.clips()[1].audioPresent, 1);

    // Clearing alone keeps the flag; a first clip that passes clean resets it.
    job.ClearJob();
    EXPECT_TRUE(job.audioDropped());
    addClean("base.avi");
    EXPECT_FALSE(job.audioDropped());
    EXPECT_EQ(job.clips()[0].audioPresent, 1);
}

// The audio comes back with the removal of the clips whose audio differed, and only then.
TEST_F(AddClipTest, RemovingTheClipsWhoseAudioDifferedGivesTheJobItsAudioBack) {
    addClean("base.avi");
    expectWarning("mono.avi",
                  " has a different audio format (Mono) than the base clip (Stereo)." + kNoAudio,
                  MessageAnswer::Yes);
    job.AddClip(Path("mono.avi"));
    addClean("44k.avi");  // no question in a silent job
    addClean("same.avi");
    addClean("silent.avi");

    boxes.listJoin.selectOnly({1});
    job.RemoveSelectedClips();
    EXPECT_TRUE(job.audioDropped());  // 44k.avi still differs
    EXPECT_EQ(job.refreshStatsCaptions().labAudioStats, "Audio:  (No Audio)");

    boxes.listJoin.selectOnly({1});
    job.RemoveSelectedClips();
    EXPECT_FALSE(job.audioDropped());
    EXPECT_EQ(job.clips()[0].audioPresent, 1);
    EXPECT_EQ(job.refreshStatsCaptions().labAudioStats,
              "Audio:  16 bit Stereo, 22050Hz, PCM Uncompressed");
    // From here on a differing clip is asked about again.
    expectWarning("mono.avi",
                  " has a different audio format (Mono) than the base clip (Stereo)." + kNoAudio,
                  MessageAnswer::No);
    addExpectingNoChange("mono.avi");
}

TEST_F(AddClipTest, ASilentBaseWarnsAboutAudioOnlyUntilTheUserAccepts) {
    addClean("silent.avi");
    const std::string msg =
        " contains an audio track, but the joined clip does not.  The audio from this clip will "
        "not be copied.";
    expectWarning("base.avi", msg, MessageAnswer::No);
    addExpectingNoChange("base.avi");
    expectWarning("base.avi", msg, MessageAnswer::Yes);
    job.AddClip(Path("base.avi"));
    EXPECT_EQ(job.clipCount(), 2);
    EXPECT_TRUE(job.audioDropped());
    addClean("same.avi");
}

TEST_F(AddClipTest, UnreadableAudioIsCheckedForVideoFirstThenWarned) {
    const std::string msg =
        " appears to have an invalid audio stream.  If you proceed, the clip will be generated "
        "with no audio.";
    addClean("base.avi");
    expectRefusal("bad_audio_big.avi", "Frame size of 640x480 does not match base size of 320x240");
    addExpectingNoChange("bad_audio_big.avi");
    expectWarning("bad_audio.avi", msg, MessageAnswer::No);
    addExpectingNoChange("bad_audio.avi");
    expectWarning("bad_audio.avi", msg, MessageAnswer::Yes);
    job.AddClip(Path("bad_audio.avi"));
    ASSERT_EQ(job.clipCount(), 2);
    EXPECT_EQ(job.clips()[0].audioPresent, 0);
    EXPECT_EQ(job.clips()[1].audioPresent, 0);
    EXPECT_TRUE(job.audioDropped());
}

TEST_F(AddClipTest, AFirstClipWithUnreadableAudioAcceptedGivesASilentJob) {
    expectWarning("bad_audio.avi",
                  " appears to have an invalid audio stream.  If you proceed, the clip will be "
                  "generated with no audio.",
                  MessageAnswer::Yes);
    job.AddClip(Path("bad_audio.avi"));
    ASSERT_EQ(job.clipCount(), 1);
    EXPECT_TRUE(job.audioDropped());
    addClean("base.avi");  // no warning: the user already chose a silent job
    EXPECT_EQ(job.clips()[0].audioPresent, 0);
}

TEST_F(AddClipTest, FilesThatCannotBeInspectedAreRefusedWithTheirMessage) {
    // The first clip is checked only against its own inspection.
    expectRefusal("missing.avi", "The file did not open.  error status 111, system 2");
    addExpectingNoChange("missing.avi");
    expectRefusal("audio_only.avi", "The video stream did not open." + kUnrecognised);
    addExpectingNoChange("audio_only.avi");
    expectRefusal("bad_start.avi", "The video stream info was inaccessible." + kUnrecognised);
    addExpectingNoChange("bad_start.avi");
    expectRefusal("text.avi", "The file did not open.  error status 102, system 0");
    addExpectingNoChange("text.avi");
    EXPECT_EQ(job.clipCount(), 0);
}

TEST_F(AddClipTest, StatusesNoFileReachesAreStillRefusedWithTheirMessage) {
    // Our library reads every format it finds, so an unreadable video format and unknown
    // statuses come only from another inspector.
    int32_t status = -4;
    job.setInspector([&status](ClipInfo&) { return status; });
    expectRefusal("base.avi", "The video stream format data was inaccessible." + kUnrecognised);
    addExpectingNoChange("base.avi");
    status = 7;
    expectRefusal("base.avi", "Error 7 occurred while loading the clip info.  " + kUnrecognised);
    addExpectingNoChange("base.avi");
}

TEST_F(AddClipTest, EachRecordStartsFreshSoNothingLeaksFromAnEarlierClip) {
    // The inspector sees an empty record every time, whatever was inspected before.
    int calls = 0;
    job.setInspector([&calls](ClipInfo& clip) {
        ++calls;
        EXPECT_EQ(clip.audioPresent, 0);
        EXPECT_EQ(clip.audioFormat.nSamplesPerSec, 0u);
        EXPECT_EQ(clip.videoInfo.dwRate, 0u);
        return LoadClipInfo(clip);
    });
    addClean("base.avi");
    expectRefusal("audio_only.avi", "The video stream did not open." + kUnrecognised);
    job.AddClip(Path("audio_only.avi"));
    addClean("same.avi");
    EXPECT_EQ(calls, 3);
}

TEST_F(AddClipTest, TheDuplicateQuestionIsAskedOncePerStandingEntry) {
    addClean("base.avi");
    expectDuplicate("base.avi", MessageAnswer::Yes);
    job.AddClip(Path("base.avi"));
    ASSERT_EQ(job.clipCount(), 2);

    // Twice in the job: two questions; the second No adds nothing after a first Yes.
    expectDuplicate("base.avi", MessageAnswer::Yes);
    expectDuplicate("base.avi", MessageAnswer::No);
    addExpectingNoChange("base.avi");
    // A first No ends it at once, before any inspection.
    expectDuplicate("base.avi", MessageAnswer::No);
    addExpectingNoChange("base.avi");

    expectDuplicate("base.avi", MessageAnswer::Yes);
    expectDuplicate("base.avi", MessageAnswer::Yes);
    job.AddClip(Path("base.avi"));
    EXPECT_EQ(job.clipCount(), 3);
    EXPECT_EQ(boxes.listJoin.lines(),
              (std::vector<std::string>{"base.avi", "base.avi", "base.avi"}));
}

TEST_F(AddClipTest, FileNamesCompareExactly) {
    addClean("base.avi");
    // Another spelling of the same file is another name.
    addClean("./base.avi");
    EXPECT_EQ(job.clipCount(), 2);
}

TEST_F(AddClipTest, AddSelectedFilesAddsEverySelectedLineWhateverTheAnswers) {
    platform::MemoryListBox listFiles({"base.avi", "big.avi", "rate25.avi", "same.avi"});
    job.AddSelectedFiles(listFiles, s_dir->path().string());
    EXPECT_EQ(job.clipCount(), 0);  // nothing selected: nothing happens

    listFiles.selectOnly({0, 1, 3});
    expectRefusal("big.avi", "Frame size of 640x480 does not match base size of 320x240",
                  MessageAnswer::Cancel);
    job.AddSelectedFiles(listFiles, s_dir->path().string() + "/");
    EXPECT_EQ(boxes.listJoin.lines(), (std::vector<std::string>{"base.avi", "same.avi"}));
    EXPECT_EQ(job.clips()[1].fileName, Path("same.avi"));
}

TEST_F(AddClipTest, BeforeAJoinEveryEntryIsCheckedAgainstTheBaseAudio) {
    addClean("base.avi");
    addClean("same.avi");
    EXPECT_TRUE(job.confirmJoinAudio());  // all alike: no question

    // Accepting a warning silences the base; the next clip then passes without one.
    expectWarning(
        "44k.avi",
        " has a different audio format (44100Hz) than the base clip (22050Hz)." + kNoAudio,
        MessageAnswer::Yes);
    job.AddClip(Path("44k.avi"));
    // Moving the 44.1 kHz clip to the top gives a base with audio again, and entries that do not
    // match it.
    boxes.listJoin.selectOnly({2});
    job.MoveSelectedClip(-1);
    job.MoveSelectedClip(-1);
    ASSERT_EQ(FileTitle(job.clips()[0].fileName), "44k.avi");
    ASSERT_EQ(job.clips()[0].audioPresent, 1);

    // The clip that was the base has its audio flag back and is compared by what it has: it
    // differs from the new base, and accepting that means a join without audio.
    EXPECT_EQ(job.clips()[1].audioPresent, 1);
    const std::string differs =
        " has a different audio format (22050Hz) than the base clip (44100Hz)." + kNoAudio;
    expectWarning("base.avi", differs, MessageAnswer::No);
    EXPECT_FALSE(job.confirmJoinAudio());
    EXPECT_EQ(job.clips()[0].audioPresent, 1);

    expectWarning("base.avi", differs, MessageAnswer::Yes);
    EXPECT_TRUE(job.confirmJoinAudio());
    EXPECT_EQ(job.clips()[0].audioPresent, 0);
    EXPECT_EQ(job.clips()[1].audioPresent, 1);
    EXPECT_TRUE(job.audioDropped());
    EXPECT_TRUE(job.confirmJoinAudio());  // a silent base asks nothing
}

// With compressed audio nothing can stand in for the missing audio: the question says so, and
// Yes keeps the audio of the others.
TEST_F(AddClipTest, AnEntryWithoutAudioInACompressedJobIsOutOfSync) {
    addClean("silent.avi");
    expectWarning("adpcm.avi",
                  " contains an audio track, but the joined clip does not.  The audio from this "
                  "clip will not be copied.",
                  MessageAnswer::Yes);
    job.AddClip(Path("adpcm.avi"));
    boxes.listJoin.selectOnly({1});
    job.MoveSelectedClip(-1);
    ASSERT_EQ(job.clips()[0].audioPresent, 1);
    expectWarning("silent.avi",
                  " has no audio track, but the base clip does.  If you proceed, it is joined "
                  "without audio and the audio of every clip after it will be out of sync.",
                  MessageAnswer::Yes);
    EXPECT_TRUE(job.confirmJoinAudio());
    EXPECT_EQ(job.clips()[0].audioPresent, 1);
}

// PCM in its extensible form (ffmpeg's choice for six channels) is PCM too: silence is joined
// in the place of missing audio, and the question says so.
TEST_F(AddClipTest, AnEntryWithoutAudioUnderExtensiblePcmGetsSilence) {
    const std::string video = "-f lavfi -i testsrc=size=160x120:rate=25:duration=0.4 ";
    ASSERT_TRUE(testing_support::Ffmpeg(
        video + "-f lavfi -i sine=sample_rate=48000:duration=0.4 -c:v mjpeg -ac 6 -c:a pcm_s16le " +
        testing_support::ShellQuote(Path("six.avi"))));
    ASSERT_TRUE(testing_support::Ffmpeg(video + "-c:v mjpeg -an " +
                                        testing_support::ShellQuote(Path("six_silent.avi"))));
    addClean("six_silent.avi");
    expectWarning("six.avi",
                  " contains an audio track, but the joined clip does not.  The audio from this "
                  "clip will not be copied.",
                  MessageAnswer::Yes);
    job.AddClip(Path("six.avi"));
    boxes.listJoin.selectOnly({1});
    job.MoveSelectedClip(-1);
    ASSERT_EQ(job.clips()[0].audioPresent, 1);
    ASSERT_EQ(job.clips()[0].audioFormat.wFormatTag, 0xFFFE);
    expectWarning("six_silent.avi",
                  " has no audio track, but the base clip does.  If you proceed, silence will be "
                  "joined in its place.",
                  MessageAnswer::Yes);
    EXPECT_TRUE(job.confirmJoinAudio());
    EXPECT_EQ(job.clips()[0].audioPresent, 1);
}

// Only the first video and audio stream are joined: a clip with more is added only when the
// user accepts that.
TEST_F(AddClipTest, AClipWithMoreStreamsIsAddedOnlyAfterAWarning) {
    const std::string source = "-f lavfi -i testsrc=size=320x240:rate=30:duration=0.4 ";
    const std::string tone = "-f lavfi -i sine=sample_rate=22050:duration=0.4 ";
    ASSERT_TRUE(testing_support::Ffmpeg(source + tone + tone +
                                        "-map 0 -map 1 -map 2 -c:v mjpeg -c:a pcm_s16le -ac 2 " +
                                        testing_support::ShellQuote(Path("two_audio.avi"))));
    const std::string msg =
        " has 1 video stream and 2 audio streams.  Only the first video stream and the first "
        "audio stream will be joined.";
    expectWarning("two_audio.avi", msg, MessageAnswer::No);
    addExpectingNoChange("two_audio.avi");
    expectWarning("two_audio.avi", msg, MessageAnswer::Yes);
    job.AddClip(Path("two_audio.avi"));
    EXPECT_EQ(job.clipCount(), 1);
    EXPECT_EQ(job.clips()[0].audioPresent, 1);
}

TEST_F(AddClipTest, ClipsMadeByFfmpegAreComparedByWhatTheyAre) {
    if (testing_support::FfmpegPath().empty()) {
        GTEST_SKIP() << "ffmpeg not found";
    }
    const std::string source = "-f lavfi -i testsrc=size=160x120:rate=25:duration=0.4 ";
    const std::string audio = "-f lavfi -i sine=frequency=440:sample_rate=22050:duration=0.4 ";
    ASSERT_TRUE(testing_support::Ffmpeg(source + audio + "-c:v mjpeg -c:a pcm_s16le " +
                                        testing_support::ShellQuote(Path("ff_mjpeg.avi"))));
    ASSERT_TRUE(testing_support::Ffmpeg(source + "-c:v mpeg4 -an " +
                                        testing_support::ShellQuote(Path("ff_mpeg4.avi"))));
    ASSERT_TRUE(testing_support::Ffmpeg(audio + "-c:a pcm_u8 " +
                                        testing_support::ShellQuote(Path("ff_sound.avi"))));
    addClean("ff_mjpeg.avi");
    EXPECT_EQ(job.refreshStatsCaptions().labVideoStats, "Video:  MJPG, 25fps, 160x120");
    EXPECT_EQ(job.refreshStatsCaptions().labAudioStats,
              "Audio:  16 bit Mono, 22050Hz, PCM Uncompressed");
    expectRefusal("ff_mpeg4.avi", "Video format of FMP4 does not match base format of MJPG");
    addExpectingNoChange("ff_mpeg4.avi");
    expectRefusal("ff_sound.avi", "The video stream did not open." + kUnrecognised);
    addExpectingNoChange("ff_sound.avi");
}

}  // namespace
