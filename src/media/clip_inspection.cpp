// SPDX-License-Identifier: GPL-3.0-or-later
// Inspection of one clip: its file header, first video stream and first audio stream.
#include "media/clip_inspection.h"

#include <algorithm>
#include <cstdint>

namespace {

// A read-format status fails unless it is 0 or "buffer too small, first part filled".
bool FormatReadFailed(int32_t status) {
    return status != 0 && !IsBufferTooSmall(status);
}

// Far above any real stream (eight channels of 32-bit audio at 384 kHz come to 12 MB a second).
constexpr double kMaxAudioSamplesPerSecond = 10e6;
constexpr double kMaxAudioBytesPerSecond = 64.0 * (1 << 20);

// Audio whose header or format leaves the rate undefined cannot be placed against the video, and
// a clock beyond any real stream (a rate of 0xFFFFFFFF, a block align of 65535 on a PCM stream)
// would ask for more audio per frame than any frame has: both are unreadable audio.
bool AudioUsable(const AVISTREAMINFO& info, const WAVEFORMATEX& format) {
    if (info.dwRate == 0 || info.dwScale == 0 || format.nBlockAlign == 0) {
        return false;
    }
    const double perSecond = static_cast<double>(info.dwRate) / info.dwScale;
    const double bytes = info.dwSampleSize == 0 ? 0.0 : perSecond * format.nBlockAlign;
    return perSecond <= kMaxAudioSamplesPerSecond && bytes <= kMaxAudioBytesPerSecond;
}

// Step 7: the first audio stream, when the file has more than one stream. Returns 0 or 1.
int32_t LoadAudio(int16_t file, ClipInfo& clip) {
    clip.audioPresent = 0;
    if (clip.fileInfo.dwStreams <= 1) {
        return 0;
    }
    const int16_t audio = vbvfw_AVIFileGetStream(file, kStreamTypeAudio, 0);
    if (audio < 0) {
        return 0;  // no audio stream is no error
    }
    clip.audioPresent = 1;
    AVISTREAMINFO info;
    if (vbvfw_AVIStreamInfo(audio, &info, kAviStreamInfoSize) != 0) {
        (void)vbvfw_AVIStreamRelease(audio);
        clip.audioPresent = 0;
        return 1;
    }
    clip.audioInfo = info;
    uint8_t bytes[kWaveFormatExtensibleSize] = {};
    int32_t size = kWaveFormatExtensibleSize;
    if (FormatReadFailed(vbvfw_AVIStreamReadFormat(audio, 0, bytes, &size))) {
        (void)vbvfw_AVIStreamRelease(audio);
        clip.audioPresent = 0;
        return 1;
    }
    const int32_t read = std::min(size, kWaveFormatExtensibleSize);
    clip.audioFormat = DecodeWaveFormatEx(bytes, std::min(read, kWaveFormatExSize));
    clip.audioFormatSize = size;
    clip.audioPcm = IsPcmWaveFormat(bytes, read);
    (void)vbvfw_AVIStreamRelease(audio);
    if (!AudioUsable(clip.audioInfo, clip.audioFormat)) {
        clip.audioPresent = 0;
        return 1;
    }
    return 0;
}

// Steps 3 to 6 on an open file: 0, or -2 / -3 / -4.
int32_t LoadVideo(int16_t file, ClipInfo& clip) {
    const int16_t video = vbvfw_AVIFileGetStream(file, kStreamTypeVideo, 0);
    if (video < 0) {
        return -2;
    }
    AVISTREAMINFO info;
    // A zero rate or scale has no frame rate, and a length below the start no frames: both are
    // treated as an unreadable header.
    if (vbvfw_AVIStreamInfo(video, &info, kAviStreamInfoSize) != 0 || info.dwRate == 0 ||
        info.dwScale == 0 || info.dwLength < info.dwStart) {
        (void)vbvfw_AVIStreamRelease(video);
        return -3;
    }
    clip.videoInfo = info;
    uint8_t bytes[kBitmapInfoHeaderSize] = {};
    int32_t size = kBitmapInfoHeaderSize;
    // A video format shorter than a bitmap header (a stream with no format chunk reads as 0
    // bytes) describes no picture: nothing could play the joined file, so it is unreadable too.
    if (FormatReadFailed(vbvfw_AVIStreamReadFormat(video, 0, bytes, &size)) ||
        size < kBitmapInfoHeaderSize) {
        (void)vbvfw_AVIStreamRelease(video);
        return -4;
    }
    clip.videoFormat = DecodeBitmapInfoHeader(bytes, kBitmapInfoHeaderSize);
    clip.videoFormatSize = size;
    const int64_t frames = static_cast<int64_t>(info.dwLength) - info.dwStart;
    clip.segmentFrames = frames > INT32_MAX ? INT32_MAX : static_cast<int32_t>(frames);
    clip.leadIn = 0;
    clip.leadOut = clip.segmentFrames - 1;
    (void)vbvfw_AVIStreamRelease(video);
    return 0;
}

// The streams of each type in an open file.
StreamCounts CountStreams(int16_t file) {
    StreamCounts counts;
    for (int* count : {&counts.video, &counts.audio}) {
        const uint32_t type = count == &counts.video ? kStreamTypeVideo : kStreamTypeAudio;
        for (int16_t s; (s = vbvfw_AVIFileGetStream(file, type, *count)) >= 0;) {
            (void)vbvfw_AVIStreamRelease(s);
            ++*count;
        }
    }
    return counts;
}

}  // namespace

int32_t LoadClipInfo(ClipInfo& clip) {
    // Taken before the file is opened: a file changed in between then reads as changed later,
    // never the other way round.
    clip.identity = platform::PosixFiles().identify(clip.fileName);
    clip.videoStreams = 0;
    clip.audioStreams = 0;
    const int16_t file = vbvfw_AVIFileOpen(clip.fileName, kOpenRead);
    if (file < 0) {
        return -1;
    }
    const StreamCounts streams = CountStreams(file);
    clip.videoStreams = streams.video;
    clip.audioStreams = streams.audio;
    (void)vbvfw_AVIFileInfo(file, &clip.fileInfo, kAviFileInfoSize);  // status ignored
    int32_t result = LoadVideo(file, clip);
    if (result == 0) {
        result = LoadAudio(file, clip);
    }
    (void)vbvfw_AVIFileRelease(file);
    return result;
}

std::string ExtraStreamsMessage(const StreamCounts& counts) {
    if (counts.video <= 1 && counts.audio <= 1) {
        return {};
    }
    const auto streams = [](int n, const char* kind) {
        return std::to_string(n) + " " + kind + (n == 1 ? " stream" : " streams");
    };
    return " has " + streams(counts.video, "video") + " and " + streams(counts.audio, "audio") +
           ".  Only the first video stream" +
           (counts.audio > 0 ? " and the first audio stream" : "") + " will be joined.";
}

std::string LoadClipInfoMessage(int32_t result, int32_t libraryError, int32_t systemError) {
    const char* const kCorrupt =
        "  The file is corrupt, or is not a format recognized by this program.";
    switch (result) {
        case 1:
            return " appears to have an invalid audio stream.  If you proceed, the clip will be "
                   "generated with no audio.";
        case -1:
            return "The file did not open.  error status " + std::to_string(libraryError & 4095) +
                   ", system " + std::to_string(systemError);
        case -2:
            return std::string("The video stream did not open.") + kCorrupt;
        case -3:
            return std::string("The video stream info was inaccessible.") + kCorrupt;
        case -4:
            return std::string("The video stream format data was inaccessible.") + kCorrupt;
        default:
            return "Error " + std::to_string(result) +
                   " occurred while loading the clip info.    The file is corrupt, or is not a "
                   "format recognized by this program.";
    }
}
