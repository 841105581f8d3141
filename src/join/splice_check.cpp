// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/splice_check.h"

#include <algorithm>

#include "media/vbvfw.h"
#include "platform/avi/avi_common.h"

namespace join {

namespace {

// The compression code the probe reads for a clip: the format's, else the handler's.
uint32_t ClipCompression(const ClipInfo& clip) {
    return avi::IsProbedCodec(clip.videoFormat.biCompression) ? clip.videoFormat.biCompression
                                                              : clip.videoInfo.fccHandler;
}

std::vector<uint8_t> StreamCodecData(int16_t stream) {
    int32_t size = 0;
    if (stream < 0 || vbvfw_AVIStreamReadFormat(stream, 0, nullptr, &size) != 0 || size <= 0 ||
        size > static_cast<int32_t>(avi::Limits{}.maxFormatSize)) {
        return {};
    }
    std::vector<uint8_t> format(static_cast<size_t>(size));
    if (vbvfw_AVIStreamReadFormat(stream, 0, format.data(), &size) != 0) {
        return {};
    }
    return avi::CodecData(format.data(), std::min(format.size(), static_cast<size_t>(size)));
}

}  // namespace

ClipFrames::ClipFrames(const ClipInfo& clip) {
    m_file = vbvfw_AVIFileOpen(clip.fileName, kOpenRead);
    m_stream = m_file >= 0 ? vbvfw_AVIFileGetStream(m_file, kStreamTypeVideo, 0) : -1;
    AVISTREAMINFO info = clip.videoInfo;
    if (m_stream >= 0) {
        (void)vbvfw_AVIStreamInfo(m_stream, &info, kAviStreamInfoSize);
    }
    m_start = info.dwStart;
    m_count = std::max<int64_t>(int64_t{info.dwLength} - info.dwStart, 0);
}

ClipFrames::~ClipFrames() {
    if (m_stream >= 0) {
        (void)vbvfw_AVIStreamRelease(m_stream);
    }
    if (m_file >= 0) {
        (void)vbvfw_AVIFileRelease(m_file);
    }
}

int64_t ClipFrames::keyAtOrBefore(int64_t frame) const {
    const int64_t found =
        vbvfw_AVIStreamFindSample(m_stream, m_start + frame, kFindPrev | kFindKey);
    return found < m_start ? -1 : found - m_start;
}

int64_t ClipFrames::keyAfter(int64_t frame) const {
    if (frame + 1 >= m_count) {
        return -1;
    }
    const int64_t found =
        vbvfw_AVIStreamFindSample(m_stream, m_start + frame + 1, kFindNext | kFindKey);
    return found < m_start ? -1 : found - m_start;
}

bool ClipFrames::read(int64_t frame, std::vector<uint8_t>* bytes) const {
    int32_t size = 0;
    int32_t samples = 0;
    if (frame < 0 || frame >= m_count ||
        vbvfw_AVIStreamRead(m_stream, m_start + frame, 1, nullptr, 0, &size, &samples) != 0 ||
        size < 0 || static_cast<uint32_t>(size) > avi::Limits{}.maxChunkSize) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    return size == 0 || vbvfw_AVIStreamRead(m_stream, m_start + frame, 1, bytes->data(), size,
                                            &size, &samples) == 0;
}

ClipSplices::ClipSplices(const ClipInfo& clip)
    : m_frames(clip),
      m_map(std::make_unique<avi::SpliceMap>(m_frames, ClipCompression(clip),
                                             StreamCodecData(m_frames.stream()))) {}

bool ReadsPictures(const ClipInfo& clip) {
    return avi::IsProbedCodec(ClipCompression(clip));
}

std::string NearestText(const std::string& what, int64_t before, int64_t after) {
    std::string text;
    if (before >= 0) {
        text = "the " + what + " before it is " + std::to_string(before);
    }
    if (after >= 0) {
        text += (text.empty() ? "the " + what + " after it is " : ", after it ") +
                std::to_string(after);
    }
    return text;
}

SegmentCheck CheckSegment(const ClipInfo& clip) {
    SegmentCheck check;
    check.plan.firstChunk = std::max(clip.leadIn, 0);
    check.probed = ReadsPictures(clip);
    if (clip.segmentFrames <= 0 || (!check.probed && clip.leadIn <= 0)) {
        return check;  // nothing to copy, or every frame ends a segment and the first starts one
    }
    ClipSplices splices(clip);
    if (!splices.ok()) {
        return check;  // the copy itself reports what cannot be read
    }
    avi::SpliceMap& map = splices.map();
    const int64_t in = clip.leadIn;
    const int64_t out = clip.leadOut;
    if (const std::optional<avi::SegmentStart> start = map.startAt(in)) {
        check.plan = {start->keyChunk, start->keepBytes};
    } else {
        const std::string nearest =
            NearestText("key frame", map.startAtOrBefore(in), map.startAfter(in));
        check.problem = SegmentCheck::Problem::kStart;
        check.frame = in;
        check.reason = "is not a key frame" + (nearest.empty() ? "" : "; " + nearest);
        return check;
    }
    if (!map.isEnd(out)) {
        const std::string nearest = NearestText("exact end", map.endBefore(out), map.endAfter(out));
        check.problem = SegmentCheck::Problem::kEnd;
        check.frame = out;
        check.reason = "cannot end a segment exactly" + (nearest.empty() ? "" : "; " + nearest);
    }
    return check;
}

}  // namespace join
