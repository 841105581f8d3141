// SPDX-License-Identifier: GPL-3.0-or-later
// The small texts that describe clips: audio format names, channel counts, times, four-character
// codes, file titles and the video summary.
#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "media/clip_inspection.h"
#include "media/numbers.h"

namespace {

struct TagName {
    uint16_t tag;
    const char* name;
};

constexpr TagName kTagNames[] = {
    {0, "Unknown format"},
    {1, "PCM Uncompressed"},
    {2, "ADPCM"},
    {5, "IBM CVSD"},
    {6, "ALAW"},
    {7, "MULAW"},
    {16, "OKI ADPCM"},
    {17, "IMA ADPCM"},
    {18, "Mediaspace ADPCM"},
    {19, "Sierra ADPCM"},
    {20, "G723 ADPCM"},
    {21, "DIGISTD"},
    {22, "DIGIFIX"},
    {32, "YAMAHA ADPCM"},
    {33, "SONARC"},
    {34, "DSP Truespeech(tm)"},
    {35, "ECHOSC1"},
    {36, "AF36"},
    {37, "APTX"},
    {38, "AF10"},
    {48, "Dolby AC2"},
    {49, "GSM 6.10"},
    {64, "G721 ADPCM"},
    {512, "Creative ADPCM"},
};

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Integer part of a non-negative single-precision value that is known to be small.
int64_t WholePart(float value) {
    return static_cast<int64_t>(std::floor(value));
}

// Hundredths as a plain number: 4250 -> "42.5", 212 -> "2.12", 300 -> "3".
std::string PlainHundredths(int64_t hundredths) {
    const int64_t whole = hundredths / 100;
    const int64_t frac = hundredths % 100;
    if (frac == 0) {
        return Printf("%" PRId64, whole);
    }
    if (frac % 10 == 0) {
        return Printf("%" PRId64 ".%" PRId64, whole, frac / 10);
    }
    return Printf("%" PRId64 ".%02" PRId64, whole, frac);
}

// "00.00": at least two digits before the point and exactly two after, rounded.
std::string SecondsWithHundredths(float seconds) {
    const int64_t hundredths = media::RoundHalfEven(static_cast<double>(seconds) * 100.0);
    return Printf("%02" PRId64 ".%02" PRId64, hundredths / 100, hundredths % 100);
}

}  // namespace

std::string FormatTagName(uint16_t tag) {
    for (const TagName& entry : kTagNames) {
        if (entry.tag == tag) {
            return entry.name;
        }
    }
    return "format #" + std::to_string(tag);
}

std::string ChannelsText(uint16_t channels) {
    if (channels == 1) {
        return "Mono";
    }
    if (channels == 2) {
        return "Stereo";
    }
    return std::to_string(channels) + " Channels";
}

std::string FormatTime(float seconds, int16_t style) {
    // Negative or non-finite times (a broken rate upstream) read as 0 rather than as nonsense.
    // Times beyond about 100 years are clamped so the integer parts always fit.
    constexpr float kMaxSeconds = 3.0e9f;
    if (!std::isfinite(seconds) || seconds < 0.0f) {
        seconds = 0.0f;
    }
    if (seconds > kMaxSeconds) {
        seconds = kMaxSeconds;
    }
    const int64_t hours = WholePart(seconds / 3600.0f);
    seconds = seconds - static_cast<float>(hours) * 3600.0f;
    const int64_t minutes = WholePart(seconds / 60.0f);
    seconds = seconds - static_cast<float>(minutes) * 60.0f;
    if (seconds < 0.0f) {
        seconds = 0.0f;
    }
    const int64_t wholeSeconds = WholePart(seconds);
    switch (style) {
        case 0:
            return Printf("%02" PRId64 ":%02" PRId64 ":%02" PRId64, hours, minutes, wholeSeconds);
        case 1:
            if (hours == 0) {
                return Printf("%" PRId64 ":", minutes) + SecondsWithHundredths(seconds);
            }
            return Printf("%" PRId64 ":%02" PRId64 ":", hours, minutes) +
                   SecondsWithHundredths(seconds);
        case 2:
            if (hours == 0 && minutes == 0) {
                // Truncated to hundredths with a small tolerance, so that 2.11999989 (53 frames
                // at 25 fps in single precision) shows as 2.12.
                const double cents = std::floor(static_cast<double>(seconds) * 100.0 + 1e-3);
                return PlainHundredths(static_cast<int64_t>(cents)) + " seconds";
            }
            if (hours == 0) {
                return Printf("%" PRId64 ":%02" PRId64 " (mm:ss)", minutes, wholeSeconds);
            }
            return Printf("%02" PRId64 ":%02" PRId64 ":%02" PRId64 " (hh:mm:ss)", hours, minutes,
                          wholeSeconds);
        case 3: {
            const int64_t rounded = media::RoundHalfEven(static_cast<double>(seconds));
            if (hours == 0) {
                return Printf("%" PRId64 ":%02" PRId64, minutes, rounded);
            }
            return Printf("%" PRId64 ":%02" PRId64 ":%02" PRId64, hours, minutes, rounded);
        }
        default:
            return std::string();
    }
}

std::string FileTitle(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return path;
    }
    return path.substr(slash + 1);
}

VideoSummary GetVideoSummary(const ClipInfo& clip) {
    VideoSummary summary;
    const float rate = static_cast<float>(clip.videoInfo.dwRate);
    const float scale = static_cast<float>(clip.videoInfo.dwScale);
    // A zero scale never passes inspection; a record built elsewhere still gets a finite rate.
    summary.frameRate = scale > 0.0f ? rate / scale : 0.0f;
    const int64_t frames = static_cast<int64_t>(clip.videoInfo.dwLength) -
                           static_cast<int64_t>(clip.videoInfo.dwStart);
    summary.frameCount =
        frames < 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(frames, INT32_MAX));
    summary.codec = FourCCText(clip.videoInfo.fccHandler);
    return summary;
}

FrameSize GetFrameSize(const ClipInfo& clip) {
    FrameSize size;
    if (clip.videoInfo.rcFrameRight > 0 && clip.videoInfo.rcFrameBottom > 0) {
        size.width = clip.videoInfo.rcFrameRight;
        size.height = clip.videoInfo.rcFrameBottom;
        return size;
    }
    // Writers that leave the frame rectangle empty: the format's dimensions.
    size.width = clip.videoFormat.biWidth;
    const int64_t height = clip.videoFormat.biHeight;
    size.height = static_cast<int32_t>(std::min<int64_t>(height < 0 ? -height : height, INT32_MAX));
    return size;
}
