// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/job_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "media/clip_inspection.h"
#include "media/numbers.h"

namespace job {

namespace {

// Selected lines that stand for an entry, ascending, each once.
std::vector<int> ValidLines(const std::vector<ClipInfo>& clips, std::vector<int> lines) {
    const int count =
        static_cast<int>(std::min<size_t>(clips.size(), std::numeric_limits<int>::max()));
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::erase_if(lines, [count](int line) { return line < 0 || line >= count; });
    return lines;
}

// Frames divided by the base's frame rate, in single precision; 0 when the rate is unusable.
float SecondsOf(int64_t frames, float frameRate) {
    if (!(frameRate > 0.0f) || !std::isfinite(frameRate)) {
        return 0.0f;
    }
    return static_cast<float>(frames) / frameRate;
}

std::string LengthText(int64_t frames, float seconds) {
    return " " + std::to_string(frames) + " frames," + " " + FormatTime(seconds, 2);
}

}  // namespace

int32_t CountedFrames(const ClipInfo& clip) {
    return std::max<int32_t>(0, clip.segmentFrames);
}

bool IsTrimmed(const ClipInfo& clip) {
    const int64_t lastFrame = static_cast<int64_t>(clip.videoInfo.dwLength) -
                              static_cast<int64_t>(clip.videoInfo.dwStart) - 1;
    return clip.leadIn != 0 || clip.leadOut != lastFrame;
}

std::string JoinListLine(const ClipInfo& clip) {
    std::string line = FileTitle(clip.fileName);
    if (IsTrimmed(clip)) {
        line += " [" + std::to_string(clip.leadIn) + "-" + std::to_string(clip.leadOut) + "]";
    }
    return line;
}

JobTotals ComputeTotals(const std::vector<ClipInfo>& clips, const std::vector<int>& selectedLines) {
    JobTotals totals;
    for (const auto& clip : clips) {
        totals.joinedFrames += CountedFrames(clip);
    }
    const std::vector<int> lines = ValidLines(clips, selectedLines);
    totals.selectedLines = static_cast<int>(lines.size());
    for (int line : lines) {
        totals.selectedFrames += CountedFrames(clips[static_cast<size_t>(line)]);
    }
    if (!clips.empty()) {
        const float frameRate = GetVideoSummary(clips.front()).frameRate;
        totals.joinedSeconds = SecondsOf(totals.joinedFrames, frameRate);
        totals.selectedSeconds = SecondsOf(totals.selectedFrames, frameRate);
    }
    return totals;
}

StatsCaptions BuildStatsCaptions(const std::vector<ClipInfo>& clips,
                                 const std::vector<int>& selectedLines) {
    StatsCaptions captions;
    captions.frameJoin = "Joined Clip: ";
    captions.labLength = "Length: ";
    captions.labVideoStats = "Video: ";
    captions.labAudioStats = "Audio: ";
    captions.frameSeg = "Selected Segment: ";
    captions.labSegLength = "Length: ";
    if (clips.empty()) {
        return captions;
    }
    captions.frameJoin += " (" + std::to_string(clips.size()) + " segments)";

    const ClipInfo& base = clips.front();
    const VideoSummary video = GetVideoSummary(base);
    captions.labVideoStats += " " + video.codec + ",";
    const FrameSize size = GetFrameSize(base);
    captions.labVideoStats += " " + media::FormatFloat7(video.frameRate) + "fps, " +
                              std::to_string(size.width) + "x" + std::to_string(size.height);

    if (base.audioPresent == 0) {
        captions.labAudioStats += " (No Audio)";
    } else {
        const WAVEFORMATEX& audio = base.audioFormat;
        captions.labAudioStats += " " + std::to_string(audio.wBitsPerSample) + " bit";
        captions.labAudioStats += " " + ChannelsText(audio.nChannels) + ",";
        captions.labAudioStats += " " + std::to_string(audio.nSamplesPerSec) + "Hz,";
        captions.labAudioStats += " " + FormatTagName(audio.wFormatTag);
    }

    const std::vector<int> lines = ValidLines(clips, selectedLines);
    const JobTotals totals = ComputeTotals(clips, lines);
    if (lines.size() == 1) {
        const ClipInfo& clip = clips[static_cast<size_t>(lines.front())];
        captions.frameSeg += FileTitle(clip.fileName) + " ";
        if (IsTrimmed(clip)) {
            captions.labSegLead = "Lead-in: Frame " + std::to_string(clip.leadIn) +
                                  ", Lead-out: Frame " + std::to_string(clip.leadOut);
        }
    }
    captions.labLength += LengthText(totals.joinedFrames, totals.joinedSeconds);
    if (!lines.empty()) {
        captions.labSegLength += LengthText(totals.selectedFrames, totals.selectedSeconds);
    }
    if (lines.size() > 1) {
        captions.frameSeg = "Selected Segments: (" + std::to_string(lines.size()) + " total)";
    }
    return captions;
}

}  // namespace job
