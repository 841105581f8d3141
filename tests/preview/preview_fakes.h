// SPDX-License-Identifier: GPL-3.0-or-later
// The preview logic's surroundings for tests: a movie device that answers the command strings from
// a little state and records every command, and a view that records what reaches the window.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "media/clip_info.h"
#include "platform/scripted/scripted_dialogs.h"
#include "preview/movie_commands.h"
#include "preview/preview_logic.h"
#include "preview/preview_view.h"

namespace preview_testing {

// A job entry that needs no file: frames at 25 per second, 320 x 240, the whole clip as segment
// unless a lead-in and lead-out are given.
inline ClipInfo Entry(const std::string& name, int frames, int leadIn = 0, int leadOut = -1) {
    ClipInfo clip{};
    clip.fileName = "/clips/" + name;
    clip.videoInfo.dwRate = 25;
    clip.videoInfo.dwScale = 1;
    clip.videoInfo.dwLength = static_cast<uint32_t>(frames);
    clip.videoInfo.rcFrameRight = 320;
    clip.videoInfo.rcFrameBottom = 240;
    clip.leadIn = leadIn;
    clip.leadOut = leadOut < 0 ? frames - 1 : leadOut;
    clip.segmentFrames = clip.leadOut - clip.leadIn + 1;
    return clip;
}

// Answers as the movie device does: positions move at once, a seek reads "seeking" for
// seekingReads mode queries, key frames every keyInterval frames, play runs until the test
// calls finishPlay(). A command that starts with a key of failures returns that code.
class FakeDevice : public preview::CommandSender {
  public:
    int32_t send(const std::string& command, std::string& reply) override {
        commands.push_back(command);
        reply.clear();
        for (const auto& [prefix, code] : failures) {
            if (command.rfind(prefix, 0) == 0) {
                reply = "failed";
                return code;
            }
        }
        const std::string last = command.substr(command.find_last_of(' ') + 1);
        if (command.rfind("open \"", 0) == 0) {
            position = 0;
            mode = "stopped";
        } else if (command == "status movie position") {
            reply = std::to_string(position);
        } else if (command.rfind("status movie mode", 0) == 0) {
            reply = seekingLeft > 0 ? (--seekingLeft, "seeking") : mode;
        } else if (command.rfind("status movie reference ", 0) == 0) {
            const int frame = std::stoi(last);
            reply = std::to_string(frame - frame % keyInterval);
        } else if (command.rfind("seek movie to ", 0) == 0 ||
                   command.rfind("cue movie output to ", 0) == 0) {
            position = std::stoi(last);
            seekingLeft = seekingReads;
        } else if (command.rfind("play movie", 0) == 0) {
            const size_t from = command.find("from ");
            if (from != std::string::npos) {
                position = std::stoi(command.substr(from + 5));
            }
            playTo = std::stoi(last);
            mode = "playing";
        } else if (command == "stop movie") {
            mode = "stopped";
        }
        return 0;
    }

    void finishPlay() {
        position = playTo;
        mode = "stopped";
    }
    // The commands since the last call.
    std::vector<std::string> take() {
        std::vector<std::string> taken;
        taken.swap(commands);
        return taken;
    }

    std::vector<std::string> commands;
    std::map<std::string, int32_t> failures;
    int position = 0;
    int playTo = 0;
    std::string mode = "stopped";
    int keyInterval = 1;
    int seekingReads = 0;
    int seekingLeft = 0;
};

class RecordingView : public preview::PreviewView {
  public:
    int64_t windowId() const override { return 7; }
    void setCaption(const std::string& text) override { caption = text; }
    void setStatusText(int panel, const std::string& text) override { panels.at(panel) = text; }
    void setStatusVisible(int panel, bool visible) override { panelShown.at(panel) = visible; }
    void setFrameLabel(const std::string& text) override { frameLabel = text; }
    void setSliderMaximum(int32_t maximum) override { sliderMaximum = maximum; }
    void setSliderValue(int32_t value) override { sliderValue = value; }
    void setSliderEnabled(bool enabled) override { sliderEnabled = enabled; }
    void setButtonVisible(preview::Button b, bool visible) override { shown[at(b)] = visible; }
    void setButtonEnabled(preview::Button b, bool enabled) override { enabled_[at(b)] = enabled; }
    bool buttonEnabled(preview::Button b) const override { return enabled_[at(b)]; }
    void setButtonToolTip(preview::Button b, const std::string& text) override {
        toolTips[at(b)] = text;
    }
    void setButtonImage(preview::Button b, preview::Image image) override { images[at(b)] = image; }
    int32_t frameLabelWidth() const override { return 41; }
    int32_t sliderBottom() const override { return 41; }
    preview::SliderTrack sliderTrack(int32_t width) const override { return {7, width - 16}; }
    void applyLayout(const preview::WindowLayout& applied) override { layout = applied; }
    void drawStrip(int32_t width, const std::vector<preview::StripShape>& drawn) override {
        stripWidth = width;
        strip = drawn;
    }
    void setTimerEnabled(bool enabled) override {
        timerOn = enabled;
        ++timerSwitches;
    }
    bool timerEnabled() const override { return timerOn; }
    void setTimerInterval(int ms) override { interval = ms; }

    bool isShown(preview::Button b) const { return shown[at(b)]; }
    bool isEnabled(preview::Button b) const { return enabled_[at(b)]; }
    int redShapes() const {
        int n = 0;
        for (const auto& shape : strip) {
            n += shape.color == 255 ? 1 : 0;
        }
        return n;
    }

    std::string caption;
    std::array<std::string, 4> panels;
    std::array<bool, 4> panelShown{};
    std::string frameLabel;
    int32_t sliderMaximum = 0;
    int32_t sliderValue = 0;
    bool sliderEnabled = true;
    std::array<bool, preview::kButtonCount> shown{};
    std::array<bool, preview::kButtonCount> enabled_{true, true, true, true, true,
                                                     true, true, true, true, true};
    std::array<std::string, preview::kButtonCount> toolTips;
    std::array<preview::Image, preview::kButtonCount> images{};
    preview::WindowLayout layout;
    int32_t stripWidth = 0;
    std::vector<preview::StripShape> strip;
    bool timerOn = false;
    int timerSwitches = 0;
    int interval = 100;

  private:
    static size_t at(preview::Button b) { return static_cast<size_t>(b); }
};

// The logic with its fakes, and dialogs that fail the test on any box not expected.
struct Preview {
    Preview()
        : dialogs([](const std::string& failure) { ADD_FAILURE() << "dialogs: " << failure; }),
          logic(view, device, dialogs) {}

    // Shows entries as PreviewClips does, then settles on the cued frame.
    void show(std::vector<ClipInfo> entries, int index, int16_t marking = 1) {
        logic.setClips(std::move(entries));
        logic.InitPreview(index, marking);
        logic.OpenMovie(preview::OpenMode::Cue);
        settle();
    }
    // Lets the poll timer run until the position has settled.
    void settle() {
        for (int i = 0; i < 20 && view.timerOn; ++i) {
            logic.TimerTick();
        }
        device.take();
    }

    FakeDevice device;
    RecordingView view;
    platform::ScriptedDialogs dialogs;
    preview::PreviewLogic logic;
};

}  // namespace preview_testing
