// SPDX-License-Identifier: GPL-3.0-or-later
// Real clips from other people's software: the near-miss sets are refused or warned about with
// the right texts, the joinable groups join, and no file of the corpus upsets the job.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "job/job.h"
#include "job/job_boxes.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"
#include "support/test_support.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

std::string Corpus(const std::string& name) {
    return (testing_support::CorpusDir() / name).string();
}

// Answers every box with its first button and keeps what it was asked.
class AgreeingDialogs : public platform::Dialogs {
  public:
    MessageAnswer messageBox(const std::string& title, const std::string& text,
                             MessageButtons buttons) override {
        shown.push_back(title + ": " + text);
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    platform::SaveDialogResult saveFile(const platform::SaveDialogRequest&) override { return {}; }
    std::string browseForFolder(const std::string&, const std::string&) override { return {}; }
    void showHelp(const std::string&) override {}
    std::vector<std::string> shown;
};

class CorpusJobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vbvfw_AVIFileInit();
        TRELVANE_SKIP_WITHOUT_CORPUS();
    }
    void add(const std::string& name) {
        const int before = job.clipCount();
        job.AddClip(Corpus(name));
        ASSERT_EQ(job.clipCount(), before + 1) << name;
    }
    void expectWarning(const std::string& name, const std::string& msg) {
        boxes.dialogs.expectMessage(
            "Warning: potential problem with clip",
            "Clip " + Corpus(name) + msg + "  Do you wish to proceed and join the clips anyway?",
            MessageButtons::YesNo, MessageAnswer::No);
    }
    void expectRefusal(const std::string& name, const std::string& msg) {
        boxes.dialogs.expectMessage("Problem joining clip",
                                    "Clip " + Corpus(name) + " could not be joined. (" + msg + ")",
                                    MessageButtons::OkCancel, MessageAnswer::Ok);
    }

    job_testing::Boxes boxes;
    job::Job job{boxes.listJoin, boxes.dialogs};
};

TEST_F(CorpusJobTest, ClipsThatDifferOnlyInAudioAreWarnedAbout) {
    add("h264-1280x534-24fps-pcm16-stereo-44k.avi");
    const std::string noAudio = ").  If you proceed, a clip with no audio will be created.";
    expectWarning("h264-1280x534-24fps-pcm8-mono-44k.avi",
                  " has a different audio format (Mono) than the base clip (Stereo" + noAudio);
    expectWarning(
        "h264-1280x534-24fps-msadpcm-stereo-44k.avi",
        " has a different audio format (ADPCM) than the base clip (PCM Uncompressed" + noAudio);
    expectWarning("h264-1280x534-24fps-mp3-mono-44k.avi",
                  " has a different audio format (format #85) than the base clip (PCM "
                  "Uncompressed" +
                      noAudio);
    for (const char* name :
         {"h264-1280x534-24fps-pcm8-mono-44k.avi", "h264-1280x534-24fps-msadpcm-stereo-44k.avi",
          "h264-1280x534-24fps-mp3-mono-44k.avi"}) {
        job.AddClip(Corpus(name));
    }
    EXPECT_EQ(job.clipCount(), 1);
    EXPECT_EQ(job.refreshStatsCaptions().labAudioStats,
              "Audio:  16 bit Stereo, 44100Hz, PCM Uncompressed");
}

TEST_F(CorpusJobTest, ClipsOfAnotherCodecAreRefused) {
    add("cvid-176x144-25fps-idx1-absolute.avi");
    expectRefusal("dib24-176x144-25fps-idx1-absolute.avi",
                  "Video format of DIB  does not match base format of cvid");
    expectRefusal("iv50-176x144-25fps-video-only.avi",
                  "Video format of iv50 does not match base format of cvid");
    job.AddClip(Corpus("dib24-176x144-25fps-idx1-absolute.avi"));
    job.AddClip(Corpus("iv50-176x144-25fps-video-only.avi"));
    EXPECT_EQ(job.clipCount(), 1);
}

TEST_F(CorpusJobTest, JoinableGroupsJoinWithoutAQuestion) {
    add("mjp2-320x180-30fps-video-only-a.avi");
    add("mjp2-320x180-30fps-video-only-b.avi");
    add("mjp2-320x180-30fps-idx1-cut.avi");
    job.ClearJob();
    add("fmp4-190x240-12fps-mp2-stereo-22k-a.avi");
    add("fmp4-190x240-12fps-mp2-stereo-22k-b.avi");
    const auto captions = job.refreshStatsCaptions();
    EXPECT_EQ(captions.frameJoin, "Joined Clip:  (2 segments)");
    EXPECT_EQ(captions.labLength, "Length:  120 frames, 10 seconds");
    EXPECT_EQ(captions.labVideoStats, "Video:  FMP4, 12fps, 190x240");
    EXPECT_EQ(captions.labAudioStats, "Audio:  0 bit Stereo, 22050Hz, format #80");
    EXPECT_TRUE(job.confirmJoinAudio());
}

TEST_F(CorpusJobTest, EveryCorpusFileMeetsEveryOtherAsBase) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(testing_support::CorpusDir())) {
        if (entry.path().extension() == ".avi") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    ASSERT_GT(names.size(), 50u);
    platform::MemoryListBox listFiles(names);
    for (int line = 0; line < listFiles.count(); ++line) {
        listFiles.setSelected(line, true);
    }
    // Each file in turn is the base, then every file is offered to it: each one is added or
    // refused (warnings are accepted, duplicates confirmed), and the job can still be described.
    for (const auto& base : names) {
        platform::MemoryListBox listJoin;
        AgreeingDialogs dialogs;
        job::Job corpusJob(listJoin, dialogs);
        corpusJob.AddClip(Corpus(base));
        if (corpusJob.clipCount() == 0) {
            continue;  // refused even as a first clip
        }
        dialogs.shown.clear();
        corpusJob.AddSelectedFiles(listFiles, testing_support::CorpusDir().string());
        ASSERT_EQ(listJoin.count(), corpusJob.clipCount()) << base;
        const auto refusals = std::count_if(
            dialogs.shown.begin(), dialogs.shown.end(),
            [](const std::string& box) { return box.rfind("Problem joining clip: ", 0) == 0; });
        EXPECT_EQ(corpusJob.clipCount() - 1 + static_cast<int>(refusals),
                  static_cast<int>(names.size()))
            << base;
        EXPECT_GE(corpusJob.clipCount(), 2) << base;  // itself, at least
        for (int line = 0; line < listJoin.count(); ++line) {
            listJoin.selectOnly({line});
            EXPECT_EQ(corpusJob.refreshStatsCaptions().frameSeg.rfind("Selected Segment: ", 0), 0u);
        }
        EXPECT_TRUE(corpusJob.confirmJoinAudio());
    }
}

}  // namespace
