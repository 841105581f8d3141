// SPDX-License-Identifier: GPL-3.0-or-later
// The preview window's arithmetic that needs no window: the movie area for a display scale, and
// the marker strip's drawing steps.
#pragma once

#include <cstdint>
#include <vector>

#include "preview/preview_view.h"

namespace preview {

// Display scales.
inline constexpr int16_t kScaleHalf = -1;
inline constexpr int16_t kScaleOriginal = 0;
inline constexpr int16_t kScaleDouble = 1;
// The picture as large as the window's movie area lets it be, at its display aspect.
inline constexpr int16_t kScaleFit = 2;

// The smallest movie area, whatever the frame size.
inline constexpr int32_t kMinAreaWidth = 240;
inline constexpr int32_t kMinAreaHeight = 180;

// The movie area and rectangle for a frame of frameWidth x frameHeight at a scale, below a slider
// whose bottom edge is sliderBottom. Half size rounds halves to even; a frame smaller than the
// minimum area is centred in it, a larger one makes the area larger.
WindowLayout ComputeLayout(int32_t frameWidth, int32_t frameHeight, int16_t scale,
                           int32_t sliderBottom);

// The movie rectangle for a frame in a movie area of areaWidth x areaHeight (at least the minimum
// area): the largest that fits at the picture's display aspect (aspectX:aspectY where both are
// given and sensible, else the frame's own), centred, below the slider.
WindowLayout ComputeFitLayout(int32_t frameWidth, int32_t frameHeight, FrameAspect aspect,
                              int32_t areaWidth, int32_t areaHeight, int32_t sliderBottom);

// What the marker strip shows.
struct StripModel {
    bool joined = false;
    // Joined view: the view frame at which each entry after the first begins.
    std::vector<int32_t> splices;
    int32_t viewFrames = 0;
    // Single-clip view: the clip's frames and its segment.
    int32_t clipFrames = 0;
    int32_t leadIn = 0;
    int32_t leadOut = 0;
};

// The strip's drawing steps: red splice marks (joined view) or red boxes over the frames the join
// leaves out (single-clip view), the black ruler of eighths and the end bars, lined up with the
// slider's thumb. Nothing is drawn when the track or the view has no length.
std::vector<StripShape> MarkerStripShapes(const StripModel& model, int32_t height,
                                          SliderTrack track);

}  // namespace preview
