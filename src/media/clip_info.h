// SPDX-License-Identifier: GPL-3.0-or-later
// One clip and its segment: the job entry, the preview's clip and the join engine's input.
// Always copied whole, by value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "media/vbvfw.h"
#include "platform/files.h"

struct ClipInfo {
    std::string fileName;  // full path; set by the caller before inspection
    AVIFILEINFO fileInfo;
    AVISTREAMINFO videoInfo;
    BITMAPINFOHEADER videoFormat;
    int32_t videoFormatSize = 0;
    int16_t audioPresent = 0;  // 1 = usable audio stream, 0 = none
    AVISTREAMINFO audioInfo;
    WAVEFORMATEX audioFormat;
    int32_t audioFormatSize = 0;
    bool audioPcm = false;  // PCM, integer or float, also in the extensible form
    int32_t leadIn = 0;     // first frame of the segment, zero-based from the stream's first frame
    int32_t leadOut = 0;    // last frame of the segment, inclusive
    int32_t segmentFrames = 0;  // leadOut - leadIn + 1
    // Streams of each kind the file holds (a join copies the first of each), and the file as it
    // was when inspected, so that a join can tell whether it is still that file.
    int32_t videoStreams = 0;
    int32_t audioStreams = 0;
    std::optional<platform::FileIdentity> identity;
};
