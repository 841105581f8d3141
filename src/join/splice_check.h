// SPDX-License-Identifier: GPL-3.0-or-later
// The splice rule as the join, trelvane-cli and the preview apply it to a clip: where its segment
// can start and end so that the joined file shows exactly the pictures the clip shows there (the
// rule itself: platform/avi/splice_map.h), read through the video-file library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/clip_info.h"
#include "platform/avi/splice_map.h"

namespace join {

// A clip's first video stream, opened through the library while this lives.
class ClipFrames : public avi::FrameSource {
  public:
    explicit ClipFrames(const ClipInfo& clip);
    ~ClipFrames() override;
    ClipFrames(const ClipFrames&) = delete;
    ClipFrames& operator=(const ClipFrames&) = delete;

    bool ok() const { return m_stream >= 0; }
    int16_t stream() const { return m_stream; }
    int64_t frameCount() const override { return m_count; }
    int64_t keyAtOrBefore(int64_t frame) const override;
    int64_t keyAfter(int64_t frame) const override;
    bool read(int64_t frame, std::vector<uint8_t>* bytes) const override;

  private:
    int16_t m_file = -1;
    int16_t m_stream = -1;
    int64_t m_start = 0;
    int64_t m_count = 0;
};

// The exact starts and ends of one clip's frames.
class ClipSplices {
  public:
    explicit ClipSplices(const ClipInfo& clip);
    // False when the clip's video could not be read: then nothing is known of it.
    bool ok() const { return m_frames.ok(); }
    // Whether the clip's pictures are read; without, every key frame starts a segment exactly and
    // every frame ends one.
    bool probed() const { return m_map->probed(); }
    avi::SpliceMap& map() { return *m_map; }

  private:
    ClipFrames m_frames;
    std::unique_ptr<avi::SpliceMap> m_map;
};

// How a segment is copied: its lead-in frame is written from the chunk of the key frame
// firstChunk (frames from the stream's start), of which the first keepBytes bytes (-1: all);
// every later frame from its own chunk.
struct SegmentPlan {
    int64_t firstChunk = 0;
    int64_t keepBytes = -1;
};

// A segment copied from its lead-in's own chunk: clips whose pictures the rule does not read.
inline SegmentPlan FromLeadIn(const ClipInfo& clip) {
    return {clip.leadIn > 0 ? clip.leadIn : 0, -1};
}

struct SegmentCheck {
    enum class Problem { kNone, kStart, kEnd };
    Problem problem = Problem::kNone;
    int64_t frame = 0;   // the lead-in or lead-out at fault
    std::string reason;  // why, worded to follow "frame N of FILE "
    // Whether the clip's pictures were read: a start problem of a clip that was not read only
    // says that the lead-in is no key frame.
    bool probed = false;
    SegmentPlan plan;
};

// Whether the rule reads the clip's pictures (MPEG-1/2, MPEG-4 Part 2, H.264); for other codecs
// every key frame starts a segment exactly and every frame ends one.
bool ReadsPictures(const ClipInfo& clip);

// Checks a clip's segment (lead-in .. lead-out) against the rule: a lead-in must be an exact
// start ("is not a key frame; the key frame before it is A, after it B"), a lead-out an exact
// end ("cannot end a segment exactly; the exact end before it is A, after it B"). A clip whose
// video cannot be read passes, with the plan of copying from the lead-in.
SegmentCheck CheckSegment(const ClipInfo& clip);

// "the key frame before it is 10, after it 20", "the exact end after it is 5"; empty when there
// is neither.
std::string NearestText(const std::string& what, int64_t before, int64_t after);

}  // namespace join
