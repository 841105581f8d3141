// SPDX-License-Identifier: GPL-3.0-or-later
// Where a segment of a video stream can start and end so that its frames, copied chunk by chunk,
// show exactly the pictures the stream shows at those frames: none missing, none added.
//
// Frames are numbered as the stream is shown: decoding every chunk in order, the n-th chunk that
// holds data shows the n-th picture the decoder puts out (a chunk without data shows the picture
// before it). With B pictures the two orders differ: a chunk holds the picture it is decoded as,
// a frame shows the picture displayed at that time.
//
// Start: a segment starts at a key chunk. The pictures that chunk's group shows before its key
// picture (the leading B pictures of an open group) were predicted from the group before; they
// are not copied, and the key chunk is written as the frame its key picture is shown at, so that
// frame is the exact start (with a packed MPEG-4 key chunk cut before its second picture, which
// belongs to the group before). The leading pictures of a closed group need nothing before them:
// they stay, and the key chunk's own frame is the start.
// End: a segment can end at a frame when the chunks up to it hold exactly the pictures shown up to
// it, and no packed picture is still held back (for IBBP material: at a reference picture's
// display position). The last frame of a stream always ends a segment exactly, and its first
// frame always starts one.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avi/frame_probe.h"

namespace avi {

// The frames of one video stream, numbered from 0.
class FrameSource {
  public:
    virtual ~FrameSource() = default;
    virtual int64_t frameCount() const = 0;
    // The key frame at or before frame, or -1 when there is none.
    virtual int64_t keyAtOrBefore(int64_t frame) const = 0;
    // The first key frame after frame, or -1 when there is none.
    virtual int64_t keyAfter(int64_t frame) const = 0;
    // A frame's bytes (empty for a drop frame); false when the frame cannot be read.
    virtual bool read(int64_t frame, std::vector<uint8_t>* bytes) const = 0;
};

class Reader;

// The frames of a stream of our reader.
class ReaderFrames : public FrameSource {
  public:
    ReaderFrames(const Reader& reader, int stream);
    int64_t frameCount() const override { return m_count; }
    int64_t keyAtOrBefore(int64_t frame) const override;
    int64_t keyAfter(int64_t frame) const override;
    bool read(int64_t frame, std::vector<uint8_t>* bytes) const override;

  private:
    const Reader& m_reader;
    int m_stream;
    int64_t m_start = 0;
    int64_t m_count = 0;
};

// The codec's bytes of a video format: what follows its bitmap header.
std::vector<uint8_t> CodecData(const uint8_t* format, size_t size);

// How a segment starting exactly at frame is written: that frame's chunk is the key chunk's, its
// first keepBytes bytes (-1: all of it); every later frame is its own chunk.
struct SegmentStart {
    int64_t frame = -1;
    int64_t keyChunk = -1;
    int64_t keepBytes = -1;
};

// Safe to use from several threads.
class SpliceMap {
  public:
    // codecData: the format's bytes after the bitmap header (parameter sets, VOL).
    SpliceMap(const FrameSource& source, uint32_t compression, std::vector<uint8_t> codecData);

    // Whether the stream's pictures are read at all; without, every key frame starts a segment
    // and every frame ends one.
    bool probed() const { return m_family != CodecFamily::kNone; }

    // The start at exactly this frame, if a segment can start there.
    std::optional<SegmentStart> startAt(int64_t frame);
    // The nearest exact start at or before frame, and after it; -1 when there is none.
    int64_t startAtOrBefore(int64_t frame);
    int64_t startAfter(int64_t frame);
    // Pictures the group of this key frame shows before its key picture and cannot show without
    // the group before: 0 for a closed group; -1 when the stream does not tell.
    int64_t leadingPictures(int64_t key);

    bool isEnd(int64_t frame);
    // Whether every frame of frame's group of pictures ends a segment exactly (no B pictures).
    bool everyFrameEnds(int64_t frame);
    // The nearest exact end before frame, and after it; -1 when there is none.
    int64_t endBefore(int64_t frame);
    int64_t endAfter(int64_t frame);

  private:
    struct Group {
        int64_t key = 0;
        int64_t end = 0;  // one past its last frame
        SegmentStart start;
        int64_t leading = -1;
        std::vector<bool> ends;  // for frames key .. end - 1
    };
    struct Fed;

    int64_t groupKey(int64_t frame) const;
    const Group& group(int64_t key);
    Group analyse(int64_t key) const;
    void feed(std::vector<Fed>& fed, std::optional<Fed>& held, int64_t frame,
              const std::vector<ProbedPicture>& pictures, size_t chunkSize) const;
    static std::vector<size_t> DisplayOrder(const std::vector<Fed>& fed, CodecFamily family);
    static void MarkEnds(Group& group, const std::vector<Fed>& fed,
                         const std::vector<size_t>& outIndex, const std::vector<int64_t>& slots,
                         const std::vector<bool>& heldAfter);
    static void FindStart(Group& group, CodecFamily family, const std::vector<Fed>& fed,
                          const std::vector<size_t>& outIndex, const std::vector<int64_t>& slots,
                          const std::vector<bool>& heldAfter);

    const FrameSource& m_source;
    const uint32_t m_compression;
    const CodecFamily m_family;
    const std::vector<uint8_t> m_codecData;
    std::mutex m_mutex;
    std::map<int64_t, Group> m_groups;  // by key frame, the last few asked about
};

}  // namespace avi
