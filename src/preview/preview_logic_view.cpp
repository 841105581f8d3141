// SPDX-License-Identifier: GPL-3.0-or-later
// The preview logic's side that faces the window: captions, panels, toolbar state, the marker
// strip, the scale, and the window's events.
#include <algorithm>
#include <cmath>

#include "media/clip_inspection.h"
#include "media/numbers.h"
#include "preview/preview_logic.h"  // the class whose window side this is

namespace preview {

namespace {

std::string Seconds(int32_t frames, float frameRate) {
    const float seconds = frameRate > 0.0f && std::isfinite(frameRate)
                              ? static_cast<float>(std::max(frames, 0)) / frameRate
                              : 0.0f;
    return FormatTime(std::isfinite(seconds) ? seconds : 0.0f, 3);
}

}  // namespace

const char* ButtonKey(Button button) {
    switch (button) {
        case Button::Play:
            return "tbPlay";
        case Button::First:
            return "tbFirst";
        case Button::Prev:
            return "tbPrev";
        case Button::Next:
            return "tbNext";
        case Button::Last:
            return "tbLast";
        case Button::NextSplice:
            return "tbNextSplice";
        case Button::PrevKey:
            return "tbPrevKey";
        case Button::MarkIn:
            return "tbMarkIn";
        case Button::MarkOut:
            return "tbMarkOut";
        case Button::ModeSwitch:
            return "tbModeSwitch";
    }
    return "";
}

void PreviewLogic::SetScale(int16_t scale) {
    LayoutWindow(scale);
    putMovieWindow();
    RefreshView();
}

void PreviewLogic::scaleCommand(int16_t scale) {
    if (m_layout.scale != scale) {
        SetScale(scale);
    }
}

void PreviewLogic::RefreshView() {
    m_view.setButtonVisible(Button::NextSplice, joined());
    if (m_openedClip < 0) {
        m_view.setButtonVisible(Button::ModeSwitch, true);
        m_view.setButtonToolTip(Button::ModeSwitch, !joined() ? "Return to joined view"
                                                    : m_markingAllowed == 1
                                                        ? "Preview/mark current segment"
                                                        : "Preview current segment");
    } else {
        m_view.setButtonVisible(Button::ModeSwitch, false);
    }
    m_view.setButtonVisible(Button::PrevKey, m_markingOn != 0);
    m_view.setButtonVisible(Button::MarkIn, m_markingOn != 0);
    m_view.setButtonVisible(Button::MarkOut, m_markingOn != 0);
    m_view.setSliderMaximum(std::max(m_viewFrames - 1, 0));
    drawStrip();

    if (joined()) {
        m_view.setCaption("Joined: " + Seconds(m_viewFrames, m_frameRate) + " / " +
                          std::to_string(m_viewFrames) + " Frames");
        m_view.setStatusVisible(2, false);
        return;
    }
    const int32_t segment =
        validClip(m_currentClip) ? m_clips[static_cast<size_t>(m_currentClip)].segmentFrames : 0;
    m_view.setCaption("Preview: " + Seconds(segment, m_frameRate) + " / " +
                      std::to_string(segment) + " Frames");
    std::string text;
    if (leadIn() > 0) {
        text = "In " + std::to_string(leadIn());
    }
    if (leadOut() != clipFrames(m_currentClip) - 1) {
        text += (text.empty() ? "" : "/") + std::string("Out ") + std::to_string(leadOut());
    }
    if (text.empty()) {
        m_view.setStatusVisible(2, false);
    } else {
        m_view.setStatusText(2, text + " ");
        m_view.setStatusVisible(2, true);
    }
}

void PreviewLogic::drawStrip() {
    const int32_t width = m_layout.areaWidth - m_view.frameLabelWidth();
    StripModel model;
    model.joined = joined();
    model.viewFrames = m_viewFrames;
    if (joined()) {
        int64_t sum = 0;
        for (size_t k = 0; k + 1 < m_clips.size(); ++k) {
            sum += segmentFrames(static_cast<int>(k));
            model.splices.push_back(media::RoundHalfEvenToInt32(static_cast<double>(sum)));
        }
    } else {
        model.clipFrames = clipFrames(m_currentClip);
        model.leadIn = leadIn();
        model.leadOut = leadOut();
    }
    m_view.drawStrip(width, MarkerStripShapes(model, 9, m_view.sliderTrack(width)));
}

void PreviewLogic::ShowPlayState() {
    m_view.setButtonImage(Button::Play, m_playing ? Image::Stop : Image::Play);
    m_view.setButtonToolTip(Button::Play, m_playing ? "Stop" : "Play");
    for (Button button : {Button::First, Button::Prev, Button::Next, Button::Last, Button::PrevKey,
                          Button::NextSplice, Button::ModeSwitch}) {
        m_view.setButtonEnabled(button, !m_playing);
    }
    // Mark In and Mark Out wait for the tests of the frame shown.
    if (m_playing) {
        m_view.setButtonEnabled(Button::MarkIn, false);
        m_view.setButtonEnabled(Button::MarkOut, false);
    }
    m_view.setSliderEnabled(!m_playing);
}

void PreviewLogic::buttonClick(Button button) {
    if (m_playing && button != Button::Play) {
        return;
    }
    // Steps count from the frame on its way, so held keys keep moving.
    const int32_t v = m_seekInFlight ? m_lastSeekTarget : m_currentFrame;
    switch (button) {
        case Button::Play:
            TogglePlay();
            break;
        case Button::Prev:
            SeekViewFrame(v - 1);
            break;
        case Button::Next:
            SeekViewFrame(v + 1);
            break;
        case Button::First:
            if (joined()) {
                SeekViewFrame(0);
            } else {
                SeekClipFrame(v == leadIn() ? 0 : leadIn());
            }
            break;
        case Button::Last:
            if (joined()) {
                SeekViewFrame(m_viewFrames - 1);
            } else {
                SeekClipFrame(v == leadOut() ? clipFrames(m_currentClip) - 1 : leadOut());
            }
            break;
        case Button::PrevKey:
            previousKeyFrame();
            break;
        case Button::MarkIn:
            MarkSegmentEnd(0);
            break;
        case Button::MarkOut:
            MarkSegmentEnd(1);
            break;
        case Button::NextSplice:
            nextSplice();
            break;
        case Button::ModeSwitch:
            switchView();
            break;
    }
}

void PreviewLogic::sliderMoved(int32_t value) {
    if (m_playing) {
        return;
    }
    if (m_seekInFlight) {
        // Only the newest target waits; it goes out once the picture being decoded is shown.
        std::string reply;
        if (m_sender.send("status movie mode ", reply) == 0 && ModeIs(reply, "seeking")) {
            m_scrubTarget = value;
            return;
        }
        m_seekInFlight = false;
    }
    m_scrubTarget.reset();
    SeekViewFrame(value);
}

void PreviewLogic::sliderReleased(int32_t value) {
    if (m_playing) {
        return;
    }
    m_scrubTarget.reset();
    if (m_seekInFlight && value == m_lastSeekTarget) {
        return;  // already on its way
    }
    SeekViewFrame(value);
}

}  // namespace preview
