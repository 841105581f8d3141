// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/window_geometry.h"

#include <algorithm>
#include <limits>

namespace platform {

namespace {

int64_t Overlap(int64_t start, int64_t length, int64_t areaStart, int64_t areaLength) {
    return std::max<int64_t>(
        0, std::min(start + length, areaStart + areaLength) - std::max(start, areaStart));
}

// How far a rectangle lies outside an area, along the worse of the two axes.
int64_t Distance(const ScreenArea& window, const ScreenArea& area) {
    const auto gap = [](int64_t start, int64_t length, int64_t areaStart, int64_t areaLength) {
        return std::max<int64_t>(
            {0, areaStart - (start + length), start - (areaStart + areaLength)});
    };
    return std::max(gap(window.left, window.width, area.left, area.width),
                    gap(window.top, window.height, area.top, area.height));
}

// The start of a span of the given length moved into the area, the area's start when it does
// not fit.
int64_t Inside(int64_t start, int64_t length, int64_t areaStart, int64_t areaLength) {
    return std::max(areaStart, std::min(start, areaStart + areaLength - length));
}

}  // namespace

ScreenArea KeepOnScreens(const ScreenArea& window, const std::vector<ScreenArea>& screens) {
    const ScreenArea* best = nullptr;
    int64_t bestOverlap = 0;
    int64_t bestDistance = std::numeric_limits<int64_t>::max();
    for (const ScreenArea& area : screens) {
        if (area.empty()) {
            continue;
        }
        const int64_t overlap = Overlap(window.left, window.width, area.left, area.width) *
                                Overlap(window.top, window.height, area.top, area.height);
        const int64_t distance = Distance(window, area);
        if (overlap > bestOverlap ||
            (bestOverlap == 0 && overlap == 0 && distance < bestDistance)) {
            best = &area;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    if (best == nullptr) {
        return window;
    }
    ScreenArea kept = window;
    kept.width = std::clamp(window.width, 0, best->width);
    kept.height = std::clamp(window.height, 0, best->height);
    kept.left = static_cast<int32_t>(Inside(window.left, kept.width, best->left, best->width));
    kept.top = static_cast<int32_t>(Inside(window.top, kept.height, best->top, best->height));
    return kept;
}

}  // namespace platform
