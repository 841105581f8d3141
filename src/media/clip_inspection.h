// SPDX-License-Identifier: GPL-3.0-or-later
// Inspection of one clip into a ClipInfo, and the small texts that describe clips.
#pragma once

#include <cstdint>
#include <string>

#include "media/clip_info.h"
#include "platform/avi/avi_common.h"

// How many video and audio streams a file holds (0 and 0 when it cannot be opened). A join copies
// the first of each.
struct StreamCounts {
    int video = 0;
    int audio = 0;
};

// Opens clip.fileName read-only and fills the rest of the record. Results:
//   0 read; 1 usable without audio (audio stream or its format unreadable);
//  -1 cannot open (vbvfw_error() tells why); -2 no video stream; -3 video header unreadable
//  (also a zero rate or scale, or a length below the start); -4 video format unreadable.
// It also counts the file's streams and records the file's identity (both while the one open
// lasts). Fields a failed step does not reach keep their previous contents.
int32_t LoadClipInfo(ClipInfo& clip);

// " has 2 video streams and 3 audio streams.  Only the first video stream and the first audio
// stream will be joined."; empty when the file has no more than one of each.
std::string ExtraStreamsMessage(const StreamCounts& counts);

std::string FormatTagName(uint16_t tag);
std::string ChannelsText(uint16_t channels);
std::string FormatTime(float seconds, int16_t style);
using avi::FourCCText;
std::string FileTitle(const std::string& path);

struct VideoSummary {
    float frameRate = 0.0f;  // rate / scale in single precision
    int32_t frameCount = 0;  // dwLength - dwStart
    std::string codec;       // FourCCText of the handler code
};
VideoSummary GetVideoSummary(const ClipInfo& clip);

// Width and height of the frame: the frame rectangle's right and bottom when both are positive,
// else the format's width and |height| (some writers leave the rectangle empty).
struct FrameSize {
    int32_t width = 0;
    int32_t height = 0;
};
FrameSize GetFrameSize(const ClipInfo& clip);

// The message text (msg) for a LoadClipInfo result other than 0: libraryError is vbvfw_error()
// and systemError vbvfw_errno(), both read right after the failed inspection.
std::string LoadClipInfoMessage(int32_t result, int32_t libraryError, int32_t systemError);
