// SPDX-License-Identifier: GPL-3.0-or-later
// The preview logic against a scripted movie device: the exact commands and their order, the
// numbering of the two views across splices, marking, and what the window is told.
#include <gtest/gtest.h>

#include "preview/preview_logic.h"
#include "preview_fakes.h"

namespace {

using preview::Button;
using preview::OpenMode;
using preview_testing::Entry;
using preview_testing::Preview;
using Commands = std::vector<std::string>;

TEST(PreviewLogicTest, OpeningSendsTheCommandsOfEachModeInOrder) {
    Preview p;
    p.logic.setClips({Entry("with \"quote\" and blank.avi", 100, 20, 80)});
    p.logic.InitPreview(0, 1);
    p.logic.OpenMovie(OpenMode::Cue);
    EXPECT_EQ((Commands{"close movie",
                        "open \"/clips/with \"quote\" and blank.avi\" alias movie style child "
                        "parent 7",
                        "put movie window client at 0 41 320 240", "set movie seek exactly on",
                        "cue movie output to 20"}),
              p.device.take());
    EXPECT_TRUE(p.view.timerOn);
    EXPECT_EQ("with \"quote\" and blank.avi", p.view.panels[1]);

    p.logic.OpenMovie(OpenMode::NoCue);
    EXPECT_EQ(4u, p.device.take().size());
    p.logic.OpenMovie(OpenMode::RangesOnly);
    EXPECT_TRUE(p.device.take().empty());

    // A failed open skips the window, seek mode and cue commands and is reported once.
    p.device.failures["open "] = 275;
    p.dialogs.expectMessage("MCI command error",
                            "'open \"/clips/with \"quote\" and blank.avi\" alias movie style child "
                            "parent 7' returned an error. Error 275 [275]\r\n(failed)",
                            platform::MessageButtons::Ok, platform::MessageAnswer::Ok);
    p.logic.OpenMovie(OpenMode::Cue);
    EXPECT_EQ(2u, p.device.take().size());
    EXPECT_TRUE(p.dialogs.verify());
}

TEST(PreviewLogicTest, PositionReadQueriesModeAndKeyFrameOnlyForANewFrame) {
    Preview p;
    p.device.keyInterval = 10;
    p.show({Entry("a.avi", 100)}, 0);

    p.device.seekingReads = 1;
    p.logic.SeekClipFrame(20);
    p.device.take();
    EXPECT_EQ(preview::kStillSeeking, p.logic.ReadPosition());
    EXPECT_EQ("seeking", p.view.frameLabel);
    EXPECT_EQ(0, p.logic.currentFrame());
    EXPECT_EQ((Commands{"status movie position", "status movie mode "}), p.device.take());

    EXPECT_EQ(0, p.logic.ReadPosition());
    EXPECT_EQ(
        (Commands{"status movie position", "status movie mode ", "status movie reference 20"}),
        p.device.take());
    EXPECT_EQ("k 20", p.view.frameLabel);
    EXPECT_EQ(20, p.view.sliderValue);
    EXPECT_EQ("0:00.80 ", p.view.panels[3]);
    EXPECT_TRUE(p.view.isEnabled(Button::MarkIn));

    EXPECT_EQ(0, p.logic.ReadPosition());  // unchanged: neither mode nor reference
    EXPECT_EQ((Commands{"status movie position"}), p.device.take());

    p.logic.buttonClick(Button::Next);
    p.settle();
    EXPECT_EQ("   21", p.view.frameLabel);
    EXPECT_FALSE(p.view.isEnabled(Button::MarkIn));
}

TEST(PreviewLogicTest, PlayStartsFromTheLeadInOnlyWhenBeforeItAndEndsAtTheLeadOut) {
    Preview p;
    p.show({Entry("a.avi", 100, 40, 80)}, 0);
    p.logic.SeekClipFrame(10);
    p.settle();
    p.logic.TogglePlay();
    EXPECT_EQ((Commands{"play movie from 40 to 80"}), p.device.take());
    EXPECT_TRUE(p.logic.playing());
    EXPECT_EQ(preview::Image::Stop, p.view.images[0]);
    EXPECT_FALSE(p.view.isEnabled(Button::Next));
    EXPECT_FALSE(p.view.sliderEnabled);
    p.logic.sliderMoved(5);  // seeks nothing while playing
    EXPECT_TRUE(p.device.take().empty());

    p.device.finishPlay();
    p.logic.TimerTick();
    EXPECT_FALSE(p.logic.playing());
    EXPECT_EQ(80, p.logic.currentFrame());
    EXPECT_EQ("Play", p.view.toolTips[0]);

    p.logic.TogglePlay();  // at the lead-out: nothing plays
    EXPECT_FALSE(p.logic.playing());
    p.logic.SeekClipFrame(50);
    p.settle();
    p.logic.TogglePlay();
    EXPECT_EQ((Commands{"play movie to 80"}), p.device.take());
    p.logic.TogglePlay();
    EXPECT_EQ((Commands{"stop movie"}), p.device.take());
}

TEST(PreviewLogicTest, JoinedPlaybackMovesOnSegmentBySegment) {
    Preview p;
    p.show({Entry("a.avi", 50, 5, 14), Entry("b.avi", 50, 0, -1), Entry("c.avi", 50, 30, 29),
            Entry("d.avi", 50, 10, 20)},
           -1);
    EXPECT_EQ(10 + 50 + 11, p.logic.viewFrames());  // c has no frames of its own
    p.logic.TogglePlay();
    EXPECT_EQ((Commands{"play movie to 14"}), p.device.take());
    p.device.finishPlay();
    p.logic.TimerTick();
    EXPECT_EQ((Commands{"status movie mode", "close movie",
                        "open \"/clips/b.avi\" alias movie style child parent 7",
                        "put movie window client at 0 41 320 240", "set movie seek exactly on",
                        "play movie from 0 to 49"}),
              p.device.take());
    EXPECT_EQ("b.avi (2/4)", p.view.panels[1]);
    EXPECT_TRUE(p.logic.playing());
    // Near a segment's end the poll comes when the segment ends.
    p.device.position = 48;
    p.logic.TimerTick();
    EXPECT_EQ(80, p.view.interval);
    p.device.finishPlay();
    p.logic.TimerTick();
    EXPECT_EQ("play movie from 10 to 20", p.device.take().back());  // c skipped
    p.device.finishPlay();
    p.logic.TimerTick();
    EXPECT_FALSE(p.logic.playing());
    EXPECT_EQ(70, p.logic.currentFrame());
}

TEST(PreviewLogicTest, JoinedViewNumbersSegmentsEndToEndAndNextSpliceWalksThem) {
    Preview p;
    p.show({Entry("a.avi", 40, 0, 9), Entry("b.avi", 60, 40, 59), Entry("c.avi", 30)}, -1);
    EXPECT_EQ(60, p.logic.viewFrames());
    EXPECT_EQ(59, p.view.sliderMaximum);
    EXPECT_EQ("Joined: 0:02 / 60 Frames", p.view.caption);
    EXPECT_EQ(2 * 5, p.view.redShapes());  // two splice marks of five lines

    p.logic.SeekViewFrame(10);
    Commands opened = p.device.take();
    EXPECT_EQ("open \"/clips/b.avi\" alias movie style child parent 7", opened[1]);
    EXPECT_EQ("seek movie to 40", opened.back());
    p.settle();
    EXPECT_EQ(10, p.logic.currentFrame());

    p.logic.SeekViewFrame(12);
    p.settle();
    p.logic.nextSplice();
    EXPECT_EQ((Commands{"seek movie to 59"}), p.device.take());
    p.settle();
    EXPECT_EQ(29, p.logic.currentFrame());
    p.logic.nextSplice();
    EXPECT_EQ("seek movie to 0", p.device.take().back());
    p.settle();
    EXPECT_EQ(30, p.logic.currentFrame());
    EXPECT_EQ("c.avi (3/3)", p.view.panels[1]);

    p.logic.buttonClick(Button::Last);
    p.settle();
    EXPECT_EQ(59, p.logic.currentFrame());
    for (auto action : {Button::NextSplice, Button::Next}) {
        p.logic.buttonClick(action);
        EXPECT_TRUE(p.device.take().empty());
    }
    p.logic.SeekViewFrame(-1);
    p.logic.SeekViewFrame(60);
    EXPECT_TRUE(p.device.take().empty());
}

TEST(PreviewLogicTest, AClipStillAtItsFirstFrameShowsAsItsSegmentsFirstFrame) {
    Preview p;
    p.show({Entry("a.avi", 900, 500, 899), Entry("b.avi", 10)}, -1);
    p.device.position = 0;  // opened without cue, play not yet started
    p.logic.SeekViewFrame(3);
    p.device.take();
    p.device.position = 0;
    p.settle();
    EXPECT_EQ(0, p.logic.currentFrame());
    EXPECT_EQ(0, p.view.sliderValue);
}

TEST(PreviewLogicTest, MarksTakeOnlyASettledKeyFrameAndKeepTheSegmentInvariant) {
    Preview p;
    p.device.keyInterval = 25;
    p.logic.setClips({Entry("a.avi", 100)});
    p.logic.InitPreview(0, 1);
    p.logic.OpenMovie(OpenMode::Cue);
    // Before the first read nothing is marked, whatever the last showing left.
    p.logic.MarkSegmentEnd(1);
    EXPECT_EQ(99, p.logic.clips()[0].leadOut);
    p.settle();
    EXPECT_FALSE(p.view.panelShown[2]);
    EXPECT_EQ(0, p.view.redShapes());

    p.logic.SeekClipFrame(26);
    p.settle();
    EXPECT_FALSE(p.view.isEnabled(Button::MarkIn));
    p.logic.MarkSegmentEnd(0);  // a delta frame: refused even when asked directly
    EXPECT_EQ(0, p.logic.clips()[0].leadIn);
    EXPECT_EQ((Commands{"status movie reference 26"}), p.device.take());

    p.logic.buttonClick(Button::PrevKey);
    EXPECT_EQ((Commands{"status movie reference 25", "seek movie to 25"}), p.device.take());
    p.settle();
    p.logic.buttonClick(Button::MarkIn);
    EXPECT_EQ(75, p.logic.clips()[0].segmentFrames);
    EXPECT_EQ("In 25 ", p.view.panels[2]);
    p.logic.SeekClipFrame(80);
    p.logic.MarkSegmentEnd(1);  // still seeking: nothing
    EXPECT_EQ(99, p.logic.clips()[0].leadOut);
    p.settle();
    p.logic.buttonClick(Button::MarkOut);
    EXPECT_EQ(56, p.logic.clips()[0].segmentFrames);
    EXPECT_EQ("In 25/Out 80 ", p.view.panels[2]);
    EXPECT_EQ("Preview: 0:02 / 56 Frames", p.view.caption);
    EXPECT_EQ(2, p.view.redShapes());

    // First and Last go to the segment bounds, then to the clip's ends.
    p.logic.buttonClick(Button::First);
    EXPECT_EQ("seek movie to 25", p.device.take().front());
    p.settle();
    p.logic.buttonClick(Button::First);
    EXPECT_EQ("seek movie to 0", p.device.take().front());
}

TEST(PreviewLogicTest, AfterAStopMarkInWaitsForTheKeyFrameTestOfTheFrameShown) {
    Preview p;
    p.device.keyInterval = 10;
    p.show({Entry("a.avi", 100)}, 0);
    EXPECT_TRUE(p.view.isEnabled(Button::MarkIn));
    p.logic.TogglePlay();
    p.device.position = 33;
    p.logic.TimerTick();  // the last position polled while playing
    p.logic.TogglePlay();
    EXPECT_FALSE(p.view.isEnabled(Button::MarkIn));
    p.device.take();
    p.logic.TimerTick();  // same frame as last polled, but not yet tested
    EXPECT_EQ("status movie reference 33", p.device.take().back());
    EXPECT_FALSE(p.view.isEnabled(Button::MarkIn));
    p.logic.MarkSegmentEnd(0);
    EXPECT_EQ(0, p.logic.clips()[0].leadIn);
}

TEST(PreviewLogicTest, ViewSwitchStaysOnTheFrameShownBothWays) {
    Preview p;
    p.show({Entry("a.avi", 100), Entry("b.avi", 200, 40, 199)}, -1);
    p.logic.SeekViewFrame(110);
    p.settle();
    EXPECT_EQ("Preview/mark current segment", p.view.toolTips[9]);
    p.logic.switchView();
    EXPECT_EQ((Commands{"seek movie to 50"}), p.device.take());
    p.settle();
    EXPECT_EQ(50, p.logic.currentFrame());
    EXPECT_TRUE(p.view.isShown(Button::MarkIn));
    EXPECT_FALSE(p.view.isShown(Button::NextSplice));
    EXPECT_EQ("Return to joined view", p.view.toolTips[9]);

    p.logic.switchView();
    EXPECT_EQ((Commands{"seek movie to 50"}), p.device.take());
    p.settle();
    EXPECT_EQ(110, p.logic.currentFrame());

    // A frame before the lead-in comes back as the segment's first frame.
    p.logic.switchView();
    p.logic.SeekClipFrame(10);
    p.settle();
    p.logic.switchView();
    EXPECT_EQ((Commands{"seek movie to 40"}), p.device.take());
}

TEST(PreviewLogicTest, EntriesWithoutFramesTakeNoViewFramesAndNothingIsDrawnForAnEmptyView) {
    Preview p;
    p.show({Entry("a.avi", 50, 0, 4), Entry("b.avi", 50, 10, 4)}, -1);
    EXPECT_EQ(5, p.logic.viewFrames());
    p.logic.nextSplice();
    p.settle();
    EXPECT_EQ(4, p.logic.currentFrame());
    EXPECT_EQ(0, p.logic.currentClip());

    Preview empty;
    empty.show({Entry("a.avi", 50, 10, 4)}, -1);
    EXPECT_EQ(0, empty.view.sliderMaximum);
    EXPECT_TRUE(empty.view.strip.empty());

    // A one-entry job: no splice marks, Next Splice goes to the last frame.
    Preview one;
    one.show({Entry("a.avi", 30)}, -1);
    EXPECT_EQ(0, one.view.redShapes());
    one.logic.nextSplice();
    EXPECT_EQ("seek movie to 29", one.device.take().back());
}

TEST(PreviewLogicTest, AFailingPollIsReportedOnceWithTheTimerHeldAndNeverNests) {
    Preview p;
    bool sawTimerOn = false;
    struct NestingDialogs : platform::Dialogs {
        preview::PreviewLogic* logic = nullptr;
        preview_testing::RecordingView* view = nullptr;
        bool* timerOn = nullptr;
        int boxes = 0;
        std::string text;
        platform::MessageAnswer messageBox(const std::string&, const std::string& shown,
                                           platform::MessageButtons) override {
            ++boxes;
            text = shown;
            *timerOn = view->timerOn;
            logic->TimerTick();  // a tick that arrives while the box is open
            return platform::MessageAnswer::Ok;
        }
        platform::SaveDialogResult saveFile(const platform::SaveDialogRequest&) override {
            return {};
        }
        std::string browseForFolder(const std::string&, const std::string&) override { return {}; }
        void showHelp(const std::string&) override {}
    } boxes;
    preview::PreviewLogic logic(p.view, p.device, boxes);
    boxes.logic = &logic;
    boxes.view = &p.view;
    boxes.timerOn = &sawTimerOn;
    logic.setClips({Entry("a.avi", 100)});
    logic.InitPreview(0, 0);
    logic.SeekClipFrame(5);
    p.device.failures["status movie position"] = 4359;
    for (int tick = 0; tick < 50; ++tick) {
        logic.TimerTick();
    }
    EXPECT_EQ(1, boxes.boxes);
    EXPECT_FALSE(sawTimerOn);
    EXPECT_TRUE(p.view.timerOn);  // polling goes on
    EXPECT_EQ("'status movie position' returned an error. Error 4359 [263]\r\n(failed)",
              boxes.text);
    p.device.failures.clear();
    logic.TimerTick();
    p.device.failures["status movie position"] = 263;
    logic.TimerTick();
    EXPECT_EQ(2, boxes.boxes);  // failing again after a success is news
}

TEST(PreviewLogicTest, ScrubbingSendsOnlyTheNewestTargetAndTheExactFrameAtRelease) {
    Preview p;
    p.show({Entry("a.avi", 500)}, 0);
    p.device.seekingReads = 1000;
    p.logic.sliderMoved(100);
    EXPECT_EQ((Commands{"seek movie to 100"}), p.device.take());
    for (int value = 101; value < 150; ++value) {
        p.logic.sliderMoved(value);
    }
    Commands sent = p.device.take();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "seek movie to 149"), 0);
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("seek", 0) == 0; }));
    p.device.seekingReads = 0;
    p.device.seekingLeft = 0;
    p.logic.TimerTick();  // the picture arrived: the newest target goes out
    EXPECT_EQ("seek movie to 149", p.device.take().back());
    p.device.seekingLeft = 1000;
    p.logic.sliderMoved(200);
    p.logic.sliderReleased(230);
    EXPECT_EQ("seek movie to 230", p.device.take().back());
}

TEST(PreviewLogicTest, LayoutCentresSmallFramesAndRoundsHalvesToEven) {
    using preview::ComputeLayout;
    const auto orig = ComputeLayout(320, 240, preview::kScaleOriginal, 41);
    EXPECT_EQ((std::array{320, 240, 0, 41, 320, 240}),
              (std::array{orig.areaWidth, orig.areaHeight, orig.movieLeft, orig.movieTop,
                          orig.movieWidth, orig.movieHeight}));
    const auto half = ComputeLayout(320, 240, preview::kScaleHalf, 41);
    EXPECT_EQ((std::array{240, 180, 40, 41 + 30, 160, 120}),
              (std::array{half.areaWidth, half.areaHeight, half.movieLeft, half.movieTop,
                          half.movieWidth, half.movieHeight}));
    const auto twice = ComputeLayout(320, 240, preview::kScaleDouble, 41);
    EXPECT_EQ((std::array{640, 480, 0, 41}),
              (std::array{twice.areaWidth, twice.areaHeight, twice.movieLeft, twice.movieTop}));
    const auto odd = ComputeLayout(161, 121, preview::kScaleHalf, 0);
    EXPECT_EQ((std::array{80, 60, 80, 60}),
              (std::array{odd.movieWidth, odd.movieHeight, odd.movieLeft, odd.movieTop}));
}

}  // namespace
