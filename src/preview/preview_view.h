// SPDX-License-Identifier: GPL-3.0-or-later
// What the preview logic needs of its window: captions, status panels, the frame label, the
// slider, the toolbar buttons, the marker strip, the scale check marks, the window size and the
// poll timer. The Qt window implements it; tests record what reaches it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace preview {

// The toolbar buttons by role; their keys are the Qt object names ("tbPlay", ...).
enum class Button {
    Play,
    First,
    Prev,
    Next,
    Last,
    NextSplice,
    PrevKey,
    MarkIn,
    MarkOut,
    ModeSwitch,
};
inline constexpr int kButtonCount = 10;

// The key of a button: "tbPlay", "tbFirst", ...
const char* ButtonKey(Button button);

// Images of the toolbar's image list, numbered from 1 as the list holds them.
enum class Image {
    Play = 1,
    Stop = 2,
    First = 3,
    Prev = 4,
    Next = 5,
    Last = 6,
    PrevKey = 7,
    MarkIn = 8,
    MarkOut = 9,
    NextSplice = 10,
    ModeSwitch = 11,
};

// One drawing step of the marker strip, in the strip's pixels (y downwards). A line runs from
// (x1, y1) to (x2, y2); a box fills the rectangle between the two corners, both included.
struct StripShape {
    enum class Kind { Line, Box };
    Kind kind = Kind::Line;
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    uint32_t color = 0;  // 0x00BBGGRR as the drawing colour values: 255 is red, 0 black
};

// Where the slider's thumb centre sits at the minimum (offset) and how far it travels to the
// maximum (length), in the strip's pixels. A slider of width W without style metrics: 7, W - 16.
struct SliderTrack {
    int32_t offset = 7;
    int32_t length = 0;
};

// What LayoutWindow decided: the scale, the movie area between slider and status bar (at least
// 240 x 180) and the movie rectangle inside the client area.
struct WindowLayout {
    int16_t scale = 0;
    int32_t areaWidth = 240;
    int32_t areaHeight = 180;
    int32_t movieLeft = 0;
    int32_t movieTop = 0;
    int32_t movieWidth = 0;
    int32_t movieHeight = 0;
};

// The display aspect a clip's format gives for its pictures (an AVI file's video properties), as
// width:height; 0:0 when it gives none.
struct FrameAspect {
    int32_t x = 0;
    int32_t y = 0;
};

class PreviewView {
  public:
    virtual ~PreviewView() = default;

    // The number the movie open command names as the parent window.
    virtual int64_t windowId() const = 0;

    virtual void setCaption(const std::string& caption) = 0;
    // Panels 1..3 of the status bar.
    virtual void setStatusText(int panel, const std::string& text) = 0;
    virtual void setStatusVisible(int panel, bool visible) = 0;
    virtual void setFrameLabel(const std::string& text) = 0;

    virtual void setSliderMaximum(int32_t maximum) = 0;
    virtual void setSliderValue(int32_t value) = 0;
    virtual void setSliderEnabled(bool enabled) = 0;

    virtual void setButtonVisible(Button button, bool visible) = 0;
    virtual void setButtonEnabled(Button button, bool enabled) = 0;
    virtual bool buttonEnabled(Button button) const = 0;
    virtual void setButtonToolTip(Button button, const std::string& toolTip) = 0;
    virtual void setButtonImage(Button button, Image image) = 0;

    // The frame label's width; the slider and the strip take the rest of the client width.
    virtual int32_t frameLabelWidth() const = 0;
    // The slider's bottom edge in the client area, where the movie area starts.
    virtual int32_t sliderBottom() const = 0;
    // The thumb's travel on a slider of the given width.
    virtual SliderTrack sliderTrack(int32_t sliderWidth) const = 0;
    // Sizes the window so the client area is layout.areaWidth wide and holds exactly the movie
    // area between slider and status bar (a window of that size already stays as it is); puts
    // the check mark on the layout's scale.
    virtual void applyLayout(const WindowLayout& layout) = 0;
    // The display aspect of the movie open now.
    virtual FrameAspect displayAspect() const { return {}; }
    // Clears the marker strip, sets its width, and draws the shapes in order.
    virtual void drawStrip(int32_t width, const std::vector<StripShape>& shapes) = 0;

    virtual void setTimerEnabled(bool enabled) = 0;
    virtual bool timerEnabled() const = 0;
    // The poll interval in milliseconds (100 unless the logic asks for an earlier tick).
    virtual void setTimerInterval(int milliseconds) = 0;
};

}  // namespace preview
