// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a candidate clip can be joined to the base clip, and the texts that say why not.
#include "media/clip_compare.h"

#include <cstdlib>

#include "media/clip_inspection.h"
#include "media/numbers.h"

namespace {

const char* const kNoAudioCreated = ").  If you proceed, a clip with no audio will be created.";

uint32_t FoldCase(uint32_t code) {
    uint32_t folded = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t byte = (code >> (8 * i)) & 0xFFu;
        if (byte >= 'A' && byte <= 'Z') {
            byte += 'a' - 'A';
        }
        folded |= byte << (8 * i);
    }
    return folded;
}

std::string LowerText(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

ClipCheck Refuse(std::string message) {
    return {ClipCheckKind::Refuse, std::move(message)};
}
ClipCheck Warn(std::string message) {
    return {ClipCheckKind::Warn, std::move(message)};
}

ClipCheck CodecRefusal(const std::string& candidate, const std::string& base) {
    return Refuse("Video format of " + candidate + " does not match base format of " + base);
}

// The codec: handler codes compared as texts ignoring letter case, then the format's compression
// code (ignoring case) and bit depth, which tell uncompressed and mislabelled streams apart.
ClipCheck CompareCodec(const ClipInfo& base, const ClipInfo& candidate) {
    const VideoSummary b = GetVideoSummary(base);
    const VideoSummary c = GetVideoSummary(candidate);
    if (LowerText(b.codec) != LowerText(c.codec)) {
        return CodecRefusal(c.codec, b.codec);
    }
    const BITMAPINFOHEADER& bf = base.videoFormat;
    const BITMAPINFOHEADER& cf = candidate.videoFormat;
    if (FoldCase(bf.biCompression) != FoldCase(cf.biCompression)) {
        return CodecRefusal(FourCCText(cf.biCompression), FourCCText(bf.biCompression));
    }
    if (bf.biBitCount != cf.biBitCount) {
        return CodecRefusal(c.codec + " (" + std::to_string(cf.biBitCount) + " bits)",
                            b.codec + " (" + std::to_string(bf.biBitCount) + " bits)");
    }
    return {};
}

ClipCheck CompareVideo(const ClipInfo& base, const ClipInfo& candidate) {
    ClipCheck check = CompareCodec(base, candidate);
    if (check.kind != ClipCheckKind::Pass) {
        return check;
    }
    const float baseRate = GetVideoSummary(base).frameRate;
    const float rate = GetVideoSummary(candidate).frameRate;
    if (media::RoundHalfEven(rate) != media::RoundHalfEven(baseRate)) {
        return Refuse("Frame rate of " + media::FormatFloat7(rate) +
                      "fps does not match base rate of " + media::FormatFloat7(baseRate) + "fps.");
    }
    const FrameSize b = GetFrameSize(base);
    const FrameSize c = GetFrameSize(candidate);
    if (b.width != c.width || b.height != c.height) {
        return Refuse("Frame size of " + std::to_string(c.width) + "x" + std::to_string(c.height) +
                      " does not match base size of " + std::to_string(b.width) + "x" +
                      std::to_string(b.height));
    }
    return {};
}

ClipCheck AudioDiffers(const std::string& candidate, const std::string& base) {
    return Warn(" has a different audio format (" + candidate + ") than the base clip (" + base +
                kNoAudioCreated);
}

// Audio that counts chunks (sample size 0, "VBR") on a clock of its own: a chunk a codec frame.
bool CountsFrames(const ClipInfo& clip) {
    return clip.audioInfo.dwSampleSize == 0 && clip.audioInfo.dwRate != 0 &&
           clip.audioInfo.dwScale != 0;
}

// How a stream lays out its sound: for audio counting frames the samples a frame (its clock),
// else the byte rate.
std::string LayoutText(const ClipInfo& clip) {
    if (CountsFrames(clip)) {
        const double samples = static_cast<double>(clip.audioInfo.dwScale) *
                               clip.audioFormat.nSamplesPerSec / clip.audioInfo.dwRate;
        return std::to_string(media::RoundHalfEven(samples)) + " samples a frame";
    }
    return std::to_string(clip.audioFormat.nAvgBytesPerSec) + " bytes/s";
}

// Beyond tag, channels, bits and rate: where the samples land. Audio that counts frames places
// them by its frame clock and block align; its byte rate is only an average that says nothing
// about where any sample is. Other audio places them by block align and byte rate.
ClipCheck CompareAudioLayout(const ClipInfo& base, const ClipInfo& candidate) {
    const WAVEFORMATEX& b = base.audioFormat;
    const WAVEFORMATEX& c = candidate.audioFormat;
    if (CountsFrames(base) && CountsFrames(candidate)) {
        const uint64_t baseClock =
            static_cast<uint64_t>(base.audioInfo.dwScale) * candidate.audioInfo.dwRate;
        const uint64_t clock =
            static_cast<uint64_t>(candidate.audioInfo.dwScale) * base.audioInfo.dwRate;
        if (baseClock != clock) {
            return AudioDiffers(LayoutText(candidate), LayoutText(base));
        }
        if (b.nBlockAlign != c.nBlockAlign) {
            return AudioDiffers("block align " + std::to_string(c.nBlockAlign),
                                "block align " + std::to_string(b.nBlockAlign));
        }
        return {};
    }
    if (CountsFrames(base) != CountsFrames(candidate) || b.nBlockAlign != c.nBlockAlign ||
        b.nAvgBytesPerSec != c.nAvgBytesPerSec) {
        return AudioDiffers(LayoutText(candidate), LayoutText(base));
    }
    return {};
}

// The candidate's audio against the base's audio (the base has audio).
ClipCheck CompareAudio(const ClipInfo& base, const ClipInfo& candidate) {
    if (candidate.audioPresent <= 0) {
        return Warn(
            " has no audio track, but the base clip does.  If you proceed, a clip with no audio "
            "will be created.");
    }
    const WAVEFORMATEX& b = base.audioFormat;
    const WAVEFORMATEX& c = candidate.audioFormat;
    if (b.wFormatTag != c.wFormatTag) {
        return AudioDiffers(FormatTagName(c.wFormatTag), FormatTagName(b.wFormatTag));
    }
    if (b.nChannels != c.nChannels) {
        return AudioDiffers(ChannelsText(c.nChannels), ChannelsText(b.nChannels));
    }
    if (b.wBitsPerSample != c.wBitsPerSample) {
        return AudioDiffers(std::to_string(c.wBitsPerSample) + " bits",
                            std::to_string(b.wBitsPerSample) + " bits");
    }
    if (b.nSamplesPerSec != c.nSamplesPerSec) {
        return AudioDiffers(std::to_string(c.nSamplesPerSec) + "Hz",
                            std::to_string(b.nSamplesPerSec) + "Hz");
    }
    return CompareAudioLayout(base, candidate);
}

}  // namespace

ClipCheck CompareClipWithBase(const ClipInfo& base, const ClipInfo& candidate, bool audioDropped) {
    ClipCheck check = CompareVideo(base, candidate);
    if (check.kind != ClipCheckKind::Pass) {
        return check;
    }
    if (base.audioPresent > 0) {
        return CompareAudio(base, candidate);
    }
    if (candidate.audioPresent > 0 && !audioDropped) {
        return Warn(
            " contains an audio track, but the joined clip does not.  The audio from this clip "
            "will not be copied.");
    }
    return {};
}

ClipCheck CheckJobAudio(const ClipInfo* clips, int count, int* index) {
    if (index != nullptr) {
        *index = -1;
    }
    if (clips == nullptr || count <= 0 || clips[0].audioPresent <= 0) {
        return {};
    }
    for (int i = 1; i < count; ++i) {
        ClipCheck check = CompareAudio(clips[0], clips[i]);
        if (check.kind != ClipCheckKind::Pass) {
            if (index != nullptr) {
                *index = i;
            }
            return check;
        }
    }
    return {};
}
