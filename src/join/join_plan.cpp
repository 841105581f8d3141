// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/join_plan.h"

#include <algorithm>

#include "join/audio_span.h"
#include "join/join_engine.h"
#include "join/packet_audio.h"
#include "media/clip_admission.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"

namespace join {

namespace {

// The bytes of samples [from, from + count) of a stream as its index gives them: one query for
// audio in blocks, one per chunk for video and chunked audio. Samples past the end count 0.
int64_t SpanBytes(int16_t stream, int64_t from, int64_t count, bool perSample, int64_t* chunks) {
    if (count <= 0) {
        return 0;
    }
    if (!perSample) {
        int32_t bytes = 0;
        int32_t samples = 0;
        const int32_t wanted = static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
        if (vbvfw_AVIStreamRead(stream, from, wanted, nullptr, 0, &bytes, &samples) != 0) {
            return 0;
        }
        *chunks += 1 + count / 4096;  // the engine writes about one chunk a frame
        return bytes;
    }
    int64_t total = 0;
    for (int64_t s = from; s < from + count; ++s) {
        int32_t bytes = 0;
        int32_t samples = 0;
        if (vbvfw_AVIStreamRead(stream, s, 1, nullptr, 0, &bytes, &samples) != 0) {
            break;
        }
        total += std::max<int32_t>(bytes, 0);
        ++*chunks;
    }
    return total;
}

double Seconds(int64_t samples, uint32_t rate, uint32_t scale) {
    return rate == 0 ? 0.0 : static_cast<double>(samples) * scale / rate;
}

// What the joined file's audio is: entry 0's clock and layout, PCM or not.
struct DestinationAudio {
    bool present = false;
    bool padded = false;  // short audio is made up with silence (PCM in blocks, codec packets)
    uint32_t rate = 0;
    uint32_t scale = 0;
    int64_t blockAlign = 1;
};

DestinationAudio AudioOf(const ClipInfo& base, bool codecSilence) {
    DestinationAudio audio;
    audio.present =
        base.audioPresent > 0 && base.audioInfo.dwRate != 0 && base.audioInfo.dwScale != 0;
    // Audio of whole codec packets gets silent packets too, when the program can make them.
    audio.padded =
        audio.present && ((base.audioPcm && base.audioInfo.dwSampleSize != 0) ||
                          (codecSilence && PacketLayoutOf(base.audioInfo, base.audioFormat,
                                                          base.audioPcm) != PacketLayout::kBlocks));
    audio.rate = base.audioInfo.dwRate;
    audio.scale = base.audioInfo.dwScale;
    audio.blockAlign = std::max<int64_t>(base.audioFormat.nBlockAlign, 1);
    return audio;
}

// One entry's frames, audio and silence.
void PlanEntry(const ClipInfo& clip, bool first, const SegmentPlan& start, const ClipInfo& base,
               const DestinationAudio& dest, JoinPlan& plan, int64_t& chunks) {
    const int16_t file = vbvfw_AVIFileOpen(clip.fileName, kOpenRead);
    if (file < 0) {
        return;  // the copy reports it
    }
    const int16_t video = vbvfw_AVIFileGetStream(file, kStreamTypeVideo, 0);
    const int64_t in = std::max<int32_t>(clip.leadIn, 0);
    const int64_t frames = std::max<int32_t>(clip.segmentFrames, 0);
    if (video >= 0 && frames > 0) {
        const int64_t origin = clip.videoInfo.dwStart;
        int64_t lead = SpanBytes(video, origin + start.firstChunk, 1, true, &chunks);
        if (start.keepBytes >= 0) {
            lead = std::min(lead, start.keepBytes);
        }
        plan.bytes += lead + SpanBytes(video, origin + in + 1, frames - 1, true, &chunks);
    }
    if (video >= 0) {
        (void)vbvfw_AVIStreamRelease(video);
    }
    const AudioClock destClock{dest.rate, dest.scale, base.videoInfo.dwRate,
                               base.videoInfo.dwScale};
    int64_t silence = 0;
    int64_t own = 0;
    const bool noAudio = !first && clip.audioPresent <= 0;
    if (dest.present && noAudio && dest.padded) {
        silence = AudioBoundary(destClock, in + frames) - AudioBoundary(destClock, in);
    } else if (dest.present && clip.audioPresent > 0) {
        const AudioClock clock{clip.audioInfo.dwRate, clip.audioInfo.dwScale, base.videoInfo.dwRate,
                               base.videoInfo.dwScale};
        const int64_t start = AudioBoundary(clock, in);
        const int64_t span = AudioBoundary(clock, in + frames) - start;
        own = std::clamp<int64_t>(static_cast<int64_t>(clip.audioInfo.dwLength) - start, 0, span);
        const int16_t audio = vbvfw_AVIFileGetStream(file, kStreamTypeAudio, 0);
        if (audio >= 0) {
            plan.bytes += SpanBytes(audio, clip.audioInfo.dwStart + start, own,
                                    clip.audioInfo.dwSampleSize == 0, &chunks);
            (void)vbvfw_AVIStreamRelease(audio);
        }
        silence = dest.padded ? span - own : 0;
    }
    (void)vbvfw_AVIFileRelease(file);
    plan.bytes += silence * dest.blockAlign;
    chunks += silence / 4096;
    const double seconds = Seconds(silence, dest.rate, dest.scale);
    const double ownSeconds = Seconds(own, clip.audioInfo.dwRate, clip.audioInfo.dwScale);
    if (seconds > std::max(kSilenceWithoutAskingSeconds, ownSeconds)) {
        plan.longSilences.push_back({clip.fileName, noAudio, seconds, ownSeconds});
    }
}

}  // namespace

JoinPlan PlanJoin(const JoinState& state, const std::vector<SegmentPlan>& starts) {
    JoinPlan plan;
    const int count = std::min<int>(state.clipCount, static_cast<int>(state.clips.size()));
    if (count <= 0) {
        return plan;
    }
    const ClipInfo& base = state.clips.front();
    const DestinationAudio dest = AudioOf(base, state.silenceEncoder != nullptr);
    int64_t chunks = 0;
    for (int i = 0; i < count; ++i) {
        const ClipInfo& clip = state.clips[static_cast<size_t>(i)];
        const SegmentPlan start = static_cast<size_t>(i) < starts.size()
                                      ? starts[static_cast<size_t>(i)]
                                      : FromLeadIn(clip);
        PlanEntry(clip, i == 0, start, base, dest, plan, chunks);
    }
    plan.bytes += chunks * kIndexBytesPerChunk + kHeaderBytes;
    return plan;
}

std::string LongSilenceText(const LongSilence& silence) {
    const std::string length = FormatTime(static_cast<float>(silence.seconds), 0);
    if (silence.noAudio) {
        return silence.fileName + " has no audio: the joined file would get " + length +
               " of silence in its place.";
    }
    return "The audio of " + silence.fileName + " ends " + length +
           " before its video (its own audio lasts " +
           FormatTime(static_cast<float>(silence.ownSeconds), 0) +
           "): the joined file would get that much silence in its place.";
}

std::string CheckClipUnchanged(const platform::Files& files, const ClipInfo& base, ClipInfo& clip) {
    if (!clip.identity) {
        return {};
    }
    const std::optional<platform::FileIdentity> now = files.identify(clip.fileName);
    if (!now || *now == *clip.identity) {
        return {};
    }
    ClipInfo fresh{};
    fresh.fileName = clip.fileName;
    const int32_t status = LoadClipInfo(fresh);
    const bool audioDropped = base.audioPresent <= 0;
    const ClipAdmission verdict =
        AdmitClip(&base, fresh, status, vbvfw_error(), vbvfw_errno(), audioDropped);
    const std::string changed =
        "checking source file " + clip.fileName + ": it was changed after it was added and ";
    if (verdict.kind != ClipCheckKind::Pass) {
        return changed + "no longer fits the base clip (" + verdict.message + ")";
    }
    if (fresh.segmentFrames <= clip.leadOut) {
        return changed + "no longer holds the frames " + std::to_string(clip.leadIn) + " to " +
               std::to_string(clip.leadOut) + " of its segment";
    }
    fresh.leadIn = clip.leadIn;
    fresh.leadOut = clip.leadOut;
    fresh.segmentFrames = clip.segmentFrames;
    fresh.audioPresent = std::min(fresh.audioPresent, clip.audioPresent);
    clip = fresh;
    return {};
}

}  // namespace join
