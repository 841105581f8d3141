// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane-cli's contract: exit codes, refusals, the destination rules, source errors, a full
// disk, cancelling, inspection output and the corpus groups.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "join/join_engine.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "trelvane_version.h"

namespace {

using testing_support::Cli;
using testing_support::Ffmpeg;
using testing_support::ShellQuote;
using testing_support::TempDir;

class CliJoinTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        const std::string src = "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 ";
        const std::string tone = "-f lavfi -i sine=duration=2:sample_rate=";
        Ffmpeg(src + tone + "48000 -c:v mjpeg -c:a pcm_s16le " + Q("a.avi"));
        Ffmpeg(src + tone + "48000 -c:v mjpeg -c:a pcm_s16le " + Q("b.avi"));
        Ffmpeg(src + tone + "44100 -c:v mjpeg -c:a pcm_s16le " + Q("b44k.avi"));
        Ffmpeg("-f lavfi -i testsrc=size=176x144:rate=25:duration=2 " + tone +
               "48000 -c:v mjpeg -c:a pcm_s16le " + Q("big.avi"));
        Ffmpeg(src + "-c:v mpeg4 -g 10 -bf 0 " + Q("gop.avi"));
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string F(const std::string& name) { return s_dir->file(name); }
    static std::string Q(const std::string& name) { return ShellQuote(F(name)); }

    // A copy of a clip with one byte run changed at the n-th occurrence of a marker.
    std::string patched(const std::string& name, const std::string& marker, int occurrence,
                        int offset, uint32_t value) {
        std::vector<unsigned char> bytes = testing_support::ReadFileBytes(F(name));
        const std::string text(bytes.begin(), bytes.end());
        size_t at = text.find(marker);
        for (int i = 0; i < occurrence; ++i) {
            at = text.find(marker, at + 1);
        }
        EXPECT_NE(at, std::string::npos);
        for (int i = 0; i < 4; ++i) {
            bytes[at + static_cast<size_t>(offset + i)] =
                static_cast<unsigned char>(value >> (8 * i));
        }
        const std::string path = m_dir.file("patched-" + name);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    std::string out() const { return m_dir.file("out.avi"); }
    testing_support::CommandResult join(const std::string& args) {
        return Cli("join --quiet -o " + ShellQuote(out()) + " " + args);
    }

    static TempDir* s_dir;
    TempDir m_dir;
};

TempDir* CliJoinTest::s_dir = nullptr;

TEST_F(CliJoinTest, CleanJoinExitsZeroWithTheReport) {
    const auto r = join(Q("a.avi") + " " + Q("b.avi") + "@10-");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.rfind("Completed Clip:\n" + out() + "\n\n90 Frames, ", 0), 0u) << r.output;
}

TEST_F(CliJoinTest, TheDestinationIsNeverOneOfTheClips) {
    const std::string clip = m_dir.file("clip.avi");
    std::filesystem::copy_file(F("a.avi"), clip);
    std::filesystem::create_hard_link(clip, m_dir.file("hard.avi"));
    std::filesystem::create_symlink(clip, m_dir.file("soft.avi"));
    const std::string before = testing_support::Md5Sum(clip);
    for (const char* name : {"clip.avi", "hard.avi", "soft.avi"}) {
        const auto r = Cli("join --quiet --overwrite -o " + ShellQuote(m_dir.file(name)) + " " +
                           ShellQuote(clip) + " " + Q("b.avi"));
        EXPECT_EQ(r.exitCode, 2) << name << r.output;
        EXPECT_NE(r.output.find("cannot replace one of the clips"), std::string::npos);
    }
    EXPECT_EQ(testing_support::Md5Sum(clip), before);
}

TEST_F(CliJoinTest, AnExistingDestinationIsReplacedOnlyWhenAsked) {
    {
        std::FILE* f = std::fopen(out().c_str(), "wb");
        std::fputs("keep me", f);
        std::fclose(f);
    }
    auto r = join(Q("a.avi"));
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_EQ(std::filesystem::file_size(out()), 7u);
    r = join("--overwrite " + Q("a.avi"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST_F(CliJoinTest, UsageErrors) {
    EXPECT_EQ(Cli("").exitCode, 2);
    EXPECT_EQ(Cli("frobnicate").exitCode, 2);
    EXPECT_EQ(Cli("join " + Q("a.avi")).exitCode, 2);                // no -o
    EXPECT_EQ(join("").exitCode, 2);                                 // no clips
    EXPECT_EQ(join("--loud " + Q("a.avi")).exitCode, 2);             // unknown option
    EXPECT_EQ(join(ShellQuote(F("a.avi") + "@x-3")).exitCode, 2);    // not a range
    EXPECT_EQ(join(ShellQuote(F("a.avi") + "@30-20")).exitCode, 2);  // backwards
    EXPECT_EQ(join(ShellQuote(F("a.avi") + "@0-50")).exitCode, 2);   // past the last frame
    const auto r = join(ShellQuote(F("gop.avi") + "@5-"));           // not a key frame
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("frame 5 of " + F("gop.avi") +
                            " is not a key frame; the key frame "
                            "before it is 0"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(join(ShellQuote(F("gop.avi") + "@10-")).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("never.avi")));
}

TEST_F(CliJoinTest, AFileNameWithAnAtSignIsAFileNotARange) {
    const std::string odd = m_dir.file("take@1-2");
    std::filesystem::copy_file(F("a.avi"), odd);
    const auto r = join(ShellQuote(odd));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("50 Frames"), std::string::npos);
}

TEST_F(CliJoinTest, MismatchedVideoIsRefusedAndMismatchedAudioNeedsDropAudio) {
    auto r = join(Q("a.avi") + " " + Q("big.avi"));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("Clip " + F("big.avi") +
                            " could not be joined. (Frame size of 176x144 does not match base "
                            "size of 160x120)"),
              std::string::npos)
        << r.output;
    r = join(Q("a.avi") + " " + Q("b44k.avi"));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("Clip " + F("b44k.avi") +
                            " has a different audio format (44100Hz) than the base clip "
                            "(48000Hz).  If you proceed, a clip with no audio will be created."),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(std::filesystem::exists(out()));
    r = join("--drop-audio " + Q("a.avi") + " " + Q("b44k.avi"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    clips::ReadBack joined(out());
    EXPECT_EQ(joined.audio(), -1);
    EXPECT_EQ(joined.samples(joined.video()), 100);
}

// A clip whose audio header is unusable still has its video compared first.
TEST_F(CliJoinTest, UnreadableAudioDoesNotHideAVideoMismatch) {
    const std::string broken =
        patched("big.avi", "strf", 1, 20, 0);  // audio block align and bits 0
    auto r = join(Q("a.avi") + " " + ShellQuote(broken));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("Frame size of 176x144"), std::string::npos) << r.output;
    const std::string brokenSameSize = patched("b.avi", "strf", 1, 20, 0);
    r = join(Q("a.avi") + " " + ShellQuote(brokenSameSize));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("appears to have an invalid audio stream"), std::string::npos);
}

// The middle clip's header promises 60 frames; the file holds 50.
TEST_F(CliJoinTest, SourceErrorsWarnOrStop) {
    const std::string promise = patched("b.avi", "vids", 0, 32, 60);
    const std::string args = Q("a.avi") + " " + ShellQuote(promise) + " " + Q("a.avi");
    auto r = join(args);
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("WARNING: Joined file may be incomplete or missing frames."),
              std::string::npos);
    EXPECT_NE(r.output.find("150 Frames"), std::string::npos);
    EXPECT_NE(r.output.find("Error reading frame 50 from source file " + promise),
              std::string::npos);
    r = join("--overwrite --stop-on-source-error " + args);
    EXPECT_EQ(r.exitCode, 4) << r.output;
    EXPECT_NE(r.output.find("Operation not completed!\n\nAn error occurred while reading frame 50 "
                            "from source file " +
                            promise + "\nError code "),
              std::string::npos)
        << r.output;
}

// One damaged size field in a chunk header spoils nothing while the index is intact: every frame
// is joined as it is.
TEST_F(CliJoinTest, ADamagedChunkSizeUnderAnIntactIndexLosesNoFrame) {
    const std::string damaged = patched("a.avi", "00dc", 20, 4, 0x7FFF);
    const auto r = join(ShellQuote(damaged));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testing_support::VideoPayloads(out()), testing_support::VideoPayloads(F("a.avi")));
    EXPECT_EQ(testing_support::DecodeErrors(out()).output, "");
}

// Splices into open groups of pictures start where the key picture is shown: a lead-in at the key
// frame's own chunk is refused, naming that frame; from there the leading B pictures, which need
// the group before, are left out and the key chunk is written as the lead-in frame. A lead-out
// that cannot be exact is refused, naming the exact ends around it. What is joined shows exactly
// the segments' pictures, and without its index a clip joins the same. H.264 goes on exactly only
// at an IDR picture.
TEST_F(CliJoinTest, SplicesIntoOpenGroupsShowExactlyTheSegmentsPictures) {
    const auto make = [&](const std::string& name, const char* source, const std::string& codec) {
        const std::string path = m_dir.file(name);
        Ffmpeg(std::string("-f lavfi -i ") + source + "=size=160x120:rate=25:duration=8 " + codec +
               " " + ShellQuote(path));
        return path;
    };
    const std::string a = make("open-a.avi", "testsrc", "-c:v mpeg4 -vtag XVID -bf 2 -g 50");
    const std::string b = make("open-b.avi", "testsrc2", "-c:v mpeg4 -vtag XVID -bf 2 -g 48");
    const auto refused = [&](const std::string& args, int exitCode, const std::string& text) {
        const auto result = join("--overwrite " + args);
        EXPECT_EQ(result.exitCode, exitCode) << result.output;
        EXPECT_NE(result.output.find(text), std::string::npos) << result.output;
    };
    // Frame 49 holds the key picture, which is shown at 51.
    refused(ShellQuote(a + "@49-144"), 2,
            "frame 49 of " + a + " is not a key frame; the key frame before it is 0, after it 51");
    refused(ShellQuote(a + "@51-144") + " " + ShellQuote(b + "@96-190"), 3,
            "Clip " + b +
                " could not be joined. (frame 190 cannot end a segment exactly; the exact end "
                "before it is 189, after it 192)");
    EXPECT_FALSE(std::filesystem::exists(out()));

    auto r = join(ShellQuote(a + "@51-144") + " " + ShellQuote(b + "@96-189") + " " +
                  ShellQuote(a + "@0-48"));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto shownA = testing_support::PicturesByFrame(a);
    const auto shownB = testing_support::PicturesByFrame(b);
    std::vector<std::string> expected = testing_support::PicturesShown(shownA, 51, 144);
    testing_support::Append(expected, testing_support::PicturesShown(shownB, 96, 189));
    testing_support::Append(expected, testing_support::PicturesShown(shownA, 0, 48));
    std::vector<std::string> joined;
    for (const auto& picture : testing_support::PicturesByFrame(out())) {
        joined.push_back(picture.hash);
    }
    EXPECT_EQ(joined, expected);
    EXPECT_EQ(testing_support::DecodeErrors(out()).output, "");
    const auto packetsA = testing_support::VideoPayloads(a);
    const auto packetsB = testing_support::VideoPayloads(b);
    std::vector<std::string> copied = testing_support::Slice(packetsA, 49, 50);
    testing_support::Append(copied, testing_support::Slice(packetsA, 52, 145));
    testing_support::Append(copied, testing_support::Slice(packetsB, 94, 95));
    testing_support::Append(copied, testing_support::Slice(packetsB, 97, 190));
    testing_support::Append(copied, testing_support::Slice(packetsA, 0, 49));
    EXPECT_EQ(testing_support::VideoPayloads(out()), copied);

    // Without its index the clip is scanned, and its key frames come from the bitstream: the
    // same segment is still accepted and joined the same way.
    std::vector<unsigned char> bytes = testing_support::ReadFileBytes(a);
    const std::string text(bytes.begin(), bytes.end());
    const size_t idx1 = text.rfind("idx1");
    ASSERT_NE(idx1, std::string::npos);
    std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(idx1));
    const std::string scanned = m_dir.file("open-scanned.avi");
    std::FILE* file = std::fopen(scanned.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    r = Cli("join --quiet --overwrite -o " + ShellQuote(out()) + " " +
            ShellQuote(scanned + "@51-144"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testing_support::VideoPayloads(out()), testing_support::Slice(copied, 0, 94));

    const std::string h264 =
        make("open-h264.avi", "testsrc",
             "-c:v libx264 -bf 2 -x264-params open-gop=1:scenecut=0:keyint=50:min-keyint=50");
    refused(ShellQuote(h264 + "@50-"), 2,
            "frame 50 of " + h264 + " is not a key frame; the key frame before it is 0\n");
}

// Past a file-size limit the join fails as a destination error and the sources are untouched;
// the same when only the final index no longer fits.
TEST_F(CliJoinTest, AFileSizeLimitFailsTheJoin) {
    const std::string before = testing_support::Md5Sum(F("a.avi"));
    const std::string cmd = ShellQuote(testing_support::CliPath()) +
                            " join --quiet --overwrite -o " + ShellQuote(out()) + " " + Q("a.avi") +
                            " " + Q("b.avi");
    auto r = testing_support::RunCommand("ulimit -f 100; " + cmd);
    EXPECT_EQ(r.exitCode, 4) << r.output;
    EXPECT_NE(r.output.find("An error occurred while writing data to joined file."),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Error code 110 ("), std::string::npos) << r.output;
    EXPECT_EQ(testing_support::Md5Sum(F("a.avi")), before);

    r = testing_support::RunCommand(cmd);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const uint64_t size = std::filesystem::file_size(out());
    const uint64_t index = 8 + 16 * 200;  // idx1: 100 frames and 100 audio chunks
    const uint64_t blocks = (size - index + 1023) / 1024;
    ASSERT_LT(blocks * 1024, size);
    r = testing_support::RunCommand("ulimit -f " + std::to_string(blocks) + "; " + cmd);
    EXPECT_EQ(r.exitCode, 4) << r.output;
    EXPECT_NE(r.output.find("An error occurred while writing data to joined file.\n"),
              std::string::npos)
        << r.output;
    // A failure for lack of room leaves no part behind to keep the disk full.
    EXPECT_NE(r.output.find(join::kPartRemovedText), std::string::npos) << r.output;
    EXPECT_EQ(testing_support::FolderNames(m_dir.path()), std::vector<std::string>{"out.avi"});
}

// Only a regular file or a free name may become the joined file, --overwrite or not.
TEST_F(CliJoinTest, FoldersPipesAndDevicesAreNeverReplaced) {
    std::filesystem::create_directory(m_dir.file("sub"));
    std::vector<std::string> refused = {m_dir.file("sub") + "/", m_dir.file("sub")};
    if (::mkfifo(m_dir.file("fifo.avi").c_str(), 0644) == 0) {
        refused.push_back(m_dir.file("fifo.avi"));
    }
    if (::geteuid() == 0) {
        refused.push_back("/dev/null");  // as root, replacing it would have succeeded
    }
    for (const std::string& dest : refused) {
        const auto r = Cli("join --quiet --overwrite -o " + ShellQuote(dest) + " " + Q("a.avi"));
        EXPECT_EQ(r.exitCode, 2) << r.output;
        EXPECT_NE(r.output.find(dest + " cannot be the joined file ("), std::string::npos)
            << r.output;
    }
    EXPECT_TRUE(testing_support::FolderNames(m_dir.path() / "sub").empty());
    struct stat null {};
    EXPECT_TRUE(::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode));
}

// More than 10 minutes of silence for a clip whose audio ends early needs --allow-silence.
TEST_F(CliJoinTest, LongSilenceNeedsAllowSilence) {
    const std::string hostile = m_dir.file("hostile.avi");
    clips::WriteFile(hostile,
                     clips::BuildAvi(clips::EmptyChunksSpec(25, 15025, clips::Pcm(1, 8000, 8))));
    auto r = join(ShellQuote(hostile));
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_NE(r.output.find("The audio of " + hostile +
                            " ends 00:10:01 before its video (its own audio lasts 00:00:01)"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Use --allow-silence to join it anyway."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out()));
    r = join("--allow-silence " + ShellQuote(hostile));
    EXPECT_LE(r.exitCode, 1) << r.output;
    clips::ReadBack joined(out());
    EXPECT_EQ(joined.samples(joined.audio()), 15050 * 320);
}

// A join stopped by a signal never touches an existing destination: Ctrl-C, SIGTERM and SIGHUP
// cancel and keep a finished partial file; SIGKILL leaves at most the unfinished part.
TEST_F(CliJoinTest, ASignalLeavesTheDestinationAsItWasAndAtMostAPartialFile) {
    clips::ClipShape shape;
    shape.frames = 200000;
    shape.frameSize = [](int) { return 4; };
    shape.audio = false;
    const std::string many = m_dir.file("many.avi");
    clips::Write(many, shape);
    for (const std::string signal : {"INT", "TERM", "HUP", "KILL"}) {
        SCOPED_TRACE(signal);
        TempDir folder;
        const std::string dest = folder.file("out.avi");
        std::filesystem::copy_file(F("a.avi"), dest);
        const std::string before = testing_support::Md5Sum(dest);
        const std::string script = ShellQuote(testing_support::CliPath()) +
                                   " join --quiet --overwrite -o " + ShellQuote(dest) + " " +
                                   ShellQuote(many) + " " + ShellQuote(many) +
                                   " & pid=$!; until ls " + ShellQuote(folder.path().string()) +
                                   "/*.partial.avi >/dev/null 2>&1; do sleep 0.001; done; kill -" +
                                   signal + " $pid; wait $pid; echo rc=$?";
        const auto r = testing_support::RunCommand(script);
        EXPECT_EQ(testing_support::Md5Sum(dest), before);
        const std::vector<std::string> names = testing_support::FolderNames(folder.path());
        ASSERT_LE(names.size(), 2u);
        for (const std::string& name : names) {
            EXPECT_TRUE(name == "out.avi" || name.ends_with(".partial.avi")) << name;
        }
        if (signal == "KILL") {
            EXPECT_NE(r.output.find("rc=137"), std::string::npos) << r.output;
            continue;
        }
        const std::string partial = folder.file("out.partial.avi");
        EXPECT_NE(
            r.output.find("Join cancelled; " + dest +
                          " was not changed. The part written so far is kept as " + partial + "."),
            std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("rc=130"), std::string::npos) << r.output;
        EXPECT_EQ(names, (std::vector<std::string>{"out.avi", "out.partial.avi"}));
        clips::ReadBack kept(partial);
        ASSERT_TRUE(kept.ok());
        EXPECT_GT(kept.samples(kept.video()), 0);
        EXPECT_EQ(kept.read(kept.video(), 0, 1), clips::FrameBytes(shape, 0));
    }
}

TEST_F(CliJoinTest, InfoSummarisesEachFile) {
    auto r = Cli("info " + Q("a.avi"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, F("a.avi") +
                            "\n  Video:  MJPG, 25fps, 160x120, 50 frames, 2 seconds\n  Audio:  16 "
                            "bit Mono, 48000Hz, PCM Uncompressed\n");
    r = Cli("info --json " + Q("a.avi") + " " + ShellQuote(m_dir.file("none.avi")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("\"result\": -1, \"message\": \"The file did not open.  error status "
                            "111, system 2: No such file or directory\""),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("\"frames\": 50"), std::string::npos);
    r = Cli("info " + ShellQuote(patched("b.avi", "strf", 1, 20, 0)));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("Audio:  (No Audio)"), std::string::npos);
}

// Every refusal says why in plain words, and every command explains itself.
TEST_F(CliJoinTest, MessagesSayThePlainReason) {
    auto r = join(ShellQuote(m_dir.file("zz@1-2.avi")));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.output.find("zz@1-2.avi could not be joined. (The file did not open.  error status "
                            "111, system 2: No such file or directory)"),
              std::string::npos)
        << r.output;
    const std::string text = m_dir.file("text.avi");
    std::FILE* file = std::fopen(text.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a movie at all, only some words", file);
    std::fclose(file);
    r = join(ShellQuote(text));
    EXPECT_NE(r.output.find("error status 102, system 0: not an AVI file)"), std::string::npos)
        << r.output;
    r = Cli("join --quiet -o " + ShellQuote(m_dir.file("gone/out.avi")) + " " + Q("a.avi"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("the folder " + m_dir.file("gone") + " for " +
                            m_dir.file("gone/out.avi") + " does not exist"),
              std::string::npos)
        << r.output;
    r = join(Q("gop.avi") + "@0-20 " + Q("gop.avi") + "@15-30");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("frame 15 of " + F("gop.avi") +
                            " is not a key frame; the key frame before it is 10, after it 20"),
              std::string::npos)
        << r.output;
    r = Cli("--version");
    EXPECT_EQ(r.output, std::string("trelvane-cli ") + kTrelvaneVersion + "\n");
    for (const std::string command : {"info", "join"}) {
        r = Cli(command + " --help");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.output.rfind("usage: trelvane-cli " + command, 0), 0u) << r.output;
    }
}

// A second audio stream is not joined: info shows it, the join says so before and after.
TEST_F(CliJoinTest, ExtraStreamsAreNamedNotDroppedSilently) {
    const std::string two = m_dir.file("two-audio.avi");
    Ffmpeg(
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i "
        "sine=duration=1:sample_rate=48000 -f lavfi -i sine=frequency=900:duration=1:sample_rate="
        "48000 -map 0 -map 1 -map 2 -c:v mjpeg -c:a pcm_s16le " +
        ShellQuote(two));
    auto r = Cli("info " + ShellQuote(two));
    EXPECT_NE(r.output.find("  Streams:  1 video, 2 audio; only the first of each is joined"),
              std::string::npos)
        << r.output;
    r = Cli("info --json " + ShellQuote(two));
    EXPECT_NE(r.output.find("\"videoStreams\": 1, \"audioStreams\": 2"), std::string::npos);
    r = join(ShellQuote(two) + " " + Q("a.avi"));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("Note: clip " + two +
                            " has 1 video stream and 2 audio streams.  Only the first video "
                            "stream and the first audio stream will be joined."),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find(two + " has more than one audio stream; only the first was joined"),
              std::string::npos)
        << r.output;
}

// A name that is not UTF-8 still makes valid JSON, and its bytes are given exactly.
TEST_F(CliJoinTest, InfoJsonEscapesNamesThatAreNotUtf8) {
    const std::string odd = m_dir.file("odd\xff\xc3(.avi");
    std::filesystem::copy_file(F("a.avi"), odd);
    const auto r = Cli("info --json " + ShellQuote(odd));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("odd\\ufffd\\ufffd(.avi\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("6f6464ffc3282e617669\""), std::string::npos) << r.output;
    const auto parsed = testing_support::RunCommand(
        "python3 -c 'import json,sys; json.load(sys.stdin)' <<'EOF'\n" + r.output + "EOF\n");
    EXPECT_EQ(parsed.exitCode, 0) << parsed.output;
}

class CliCorpusTest : public CliJoinTest {
  protected:
    void SetUp() override { TRELVANE_SKIP_WITHOUT_CORPUS(); }
    static std::string C(const std::string& name) {
        return ShellQuote((testing_support::CorpusDir() / name).string());
    }
};

TEST_F(CliCorpusTest, JoinableGroups) {
    // J1: MPEG-4 with MP2 audio whose audio ends a little before its video: silent MP2 frames
    // keep the next clip in step, which the report notes.
    auto r = join(C("fmp4-190x240-12fps-mp2-stereo-22k-a.avi") + " " +
                  C("fmp4-190x240-12fps-mp2-stereo-22k-b.avi"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("120 Frames"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("fmp4-190x240-12fps-mp2-stereo-22k-a.avi ends early: 0.104 seconds "
                            "of silence were written"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(testing_support::DecodeErrors(out()).output, "");

    // J2: video only, one member with a damaged index.
    r = join("--overwrite " + C("mjp2-320x180-30fps-idx1-cut.avi") + " " +
             C("mjp2-320x180-30fps-video-only-a.avi") + " " +
             C("mjp2-320x180-30fps-video-only-b.avi"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.rfind("Completed Clip:\n" + out() + "\n\n93 Frames, ", 0), 0u) << r.output;

    // J3: the first member's header promises one frame more than it holds.
    r = join("--overwrite " + C("divx-190x240-24fps-video-only-a.avi") + " " +
             C("divx-190x240-24fps-video-only-b.avi"));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("Error reading frame 120 from source file "), std::string::npos);
    EXPECT_NE(r.output.find("240 Frames"), std::string::npos);
    EXPECT_EQ(testing_support::DecodeErrors(out()).output, "");
}

// Palette changes are copied with the frames they precede, and a segment that starts under another
// palette than the joined file has gets its palette first: every picture is the source's.
TEST_F(CliCorpusTest, PaletteChangesTravelWithTheirFrames) {
    const std::string name = "cram8-200x100-8fps-pcm8-mono-22k-rec-palette-truncated.avi";
    const std::string source = (testing_support::CorpusDir() / name).string();
    const auto r = join(C(name) + "@0-60 " + C(name) + "@0-115");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::vector<std::string> pictures = testing_support::DecodedPictureHashes(source);
    ASSERT_EQ(pictures.size(), 116u);
    ASSERT_NE(pictures[58], pictures[60]);  // the palette changes at 59 and 60 matter
    std::vector<std::string> expected = testing_support::Slice(pictures, 0, 61);
    testing_support::Append(expected, pictures);
    EXPECT_EQ(testing_support::DecodedPictureHashes(out()), expected);
    const std::vector<std::string> packets = testing_support::VideoPayloads(source);
    std::vector<std::string> copied = testing_support::Slice(packets, 0, 61);
    testing_support::Append(copied, testing_support::Slice(packets, 0, 116));
    EXPECT_EQ(testing_support::VideoPayloads(out()), copied);
    EXPECT_EQ(testing_support::DecodeErrors(out()).output, "");
}

// J4: the first member holds no frames at all.
TEST_F(CliCorpusTest, TruncatedMemberFailsCleanly) {
    const std::string args = C("fmp4-96x54-15fps-mp3-first-8k-only.avi") + " " +
                             C("fmp4-96x54-15fps-mp3-stereo-48k.avi");
    auto r = join("--stop-on-source-error " + args);
    EXPECT_EQ(r.exitCode, 4) << r.output;
    EXPECT_NE(r.output.find("An error occurred while reading frame 0 from source file "),
              std::string::npos);
    r = join("--overwrite " + args);
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("WARNING: Joined file may be incomplete"), std::string::npos);
    EXPECT_NE(r.output.find("Error reading frame 0 from source file "), std::string::npos);
}

}  // namespace
