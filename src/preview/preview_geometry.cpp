// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/preview_geometry.h"

#include <algorithm>

#include "media/numbers.h"

namespace preview {

namespace {

constexpr uint32_t kRed = 255;
constexpr uint32_t kBlack = 0;

int32_t Round(double value) {
    return media::RoundHalfEvenToInt32(value);
}

// x of the frame at fraction part / whole along the track, from the thumb's first centre.
int32_t TrackX(const SliderTrack& track, double part, double whole) {
    const double fraction = std::clamp(part / whole, 0.0, 1.0);
    return Round(track.length * fraction);
}

}  // namespace

WindowLayout ComputeLayout(int32_t frameWidth, int32_t frameHeight, int16_t scale,
                           int32_t sliderBottom) {
    WindowLayout layout;
    layout.scale = scale;
    int32_t w = std::max(frameWidth, 0);
    int32_t h = std::max(frameHeight, 0);
    if (scale == kScaleHalf) {
        w = Round(w / 2.0);
        h = Round(h / 2.0);
    } else if (scale == kScaleDouble) {
        w = Round(w * 2.0);
        h = Round(h * 2.0);
    }
    layout.areaWidth = std::max(w, kMinAreaWidth);
    layout.areaHeight = std::max(h, kMinAreaHeight);
    layout.movieLeft = w < layout.areaWidth ? Round((layout.areaWidth - w) / 2.0) : 0;
    layout.movieTop =
        (h < layout.areaHeight ? Round((layout.areaHeight - h) / 2.0) : 0) + sliderBottom;
    layout.movieWidth = w;
    layout.movieHeight = h;
    return layout;
}

WindowLayout ComputeFitLayout(int32_t frameWidth, int32_t frameHeight, FrameAspect aspect,
                              int32_t areaWidth, int32_t areaHeight, int32_t sliderBottom) {
    WindowLayout layout;
    layout.scale = kScaleFit;
    layout.areaWidth = std::max(areaWidth, kMinAreaWidth);
    layout.areaHeight = std::max(areaHeight, kMinAreaHeight);
    double ratio =
        frameHeight > 0 && frameWidth > 0 ? static_cast<double>(frameWidth) / frameHeight : 0.0;
    if (aspect.x > 0 && aspect.y > 0) {
        const double given = static_cast<double>(aspect.x) / aspect.y;
        ratio = given >= 0.1 && given <= 10.0 ? given : ratio;
    }
    if (ratio <= 0.0) {
        layout.movieTop = sliderBottom;
        return layout;
    }
    int32_t w = layout.areaWidth;
    int32_t h = Round(w / ratio);
    if (h > layout.areaHeight) {
        h = layout.areaHeight;
        w = std::min(layout.areaWidth, Round(h * ratio));
    }
    layout.movieWidth = w;
    layout.movieHeight = h;
    layout.movieLeft = Round((layout.areaWidth - w) / 2.0);
    layout.movieTop = Round((layout.areaHeight - h) / 2.0) + sliderBottom;
    return layout;
}

std::vector<StripShape> MarkerStripShapes(const StripModel& model, int32_t height,
                                          SliderTrack track) {
    std::vector<StripShape> shapes;
    const int32_t frames = model.joined ? model.viewFrames : model.clipFrames;
    if (track.length <= 0 || frames <= 0 || height <= 0) {
        return shapes;
    }
    const int32_t o = track.offset;
    const int32_t t = track.length;
    const int32_t h = height;
    auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
        shapes.push_back({StripShape::Kind::Line, x1, y1, x2, y2, color});
    };
    auto box = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
        shapes.push_back({StripShape::Kind::Box, x1, y1, x2, y2, color});
    };
    if (model.joined) {
        for (int32_t splice : model.splices) {
            const int32_t x = TrackX(track, splice, frames) + o;
            line(x, 0, x, h, kRed);
            line(x - 1, 0, x - 1, h - 3, kRed);
            line(x - 1, h - 1, x + 1, h - 1, kRed);
            line(x - 2, h - 2, x + 2, h - 2, kRed);
            line(x - 3, h - 3, x + 3, h - 3, kRed);
        }
    } else {
        if (model.leadIn > 0) {
            box(o + 1, 0, TrackX(track, model.leadIn, frames) + o, h, kRed);
        }
        if (model.leadOut != frames - 1) {
            box(TrackX(track, model.leadOut, frames) + o, 0, o + t - 1, h, kRed);
        }
    }
    for (int i = 0; i <= 8; ++i) {
        const int32_t x = Round(t * i * 12.5 / 100.0) + o;
        int32_t y0 = Round(3.0 * h / 4.0);
        if (i % 4 == 0) {
            y0 = 0;
        } else if (i % 2 == 0) {
            y0 = Round(h / 2.0);
        }
        line(x, y0, x, h, kBlack);
    }
    box(o, 0, o, h, kBlack);
    box(o + t, 0, o + t, h, kBlack);
    return shapes;
}

}  // namespace preview
