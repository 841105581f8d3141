// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the picture probe and the splice map: the input is a video stream of one of the
// probed codecs, its chunks behind 16-bit lengths; every frame is asked whether a segment can
// start and end there, and where the nearest start and end are.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/avi/avi_common.h"
#include "platform/avi/splice_map.h"

namespace {

class Frames : public avi::FrameSource {
  public:
    Frames(std::vector<std::vector<uint8_t>> chunks, int64_t keyEvery)
        : m_chunks(std::move(chunks)), m_keyEvery(keyEvery) {}
    int64_t frameCount() const override { return static_cast<int64_t>(m_chunks.size()); }
    int64_t keyAtOrBefore(int64_t frame) const override {
        return frame < 0 ? -1 : frame - frame % m_keyEvery;
    }
    int64_t keyAfter(int64_t frame) const override {
        const int64_t next = frame - frame % m_keyEvery + m_keyEvery;
        return next < frameCount() ? next : -1;
    }
    bool read(int64_t frame, std::vector<uint8_t>* bytes) const override {
        if (frame < 0 || frame >= frameCount() || frame % 7 == 6) {
            return false;  // now and then a frame that cannot be read
        }
        *bytes = m_chunks[static_cast<size_t>(frame)];
        return true;
    }

  private:
    std::vector<std::vector<uint8_t>> m_chunks;
    int64_t m_keyEvery;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    static const uint32_t kCodes[] = {avi::FourCC("MPG2"), avi::FourCC("XVID"),
                                      avi::FourCC("H264")};
    const uint32_t compression = kCodes[data[0] % 3];
    const int64_t keyEvery = 1 + data[1] % 32;
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t at = 2; at + 2 <= size && chunks.size() < 512;) {
        const size_t length = std::min<size_t>(size_t{data[at]} << 8 | data[at + 1], size - at - 2);
        chunks.emplace_back(data + at + 2, data + at + 2 + length);
        at += 2 + length;
    }
    Frames frames(std::move(chunks), keyEvery);
    avi::SpliceMap map(frames, compression, {});
    for (int64_t f = 0; f < frames.frameCount(); ++f) {
        (void)map.startAt(f);
        (void)map.isEnd(f);
        (void)map.everyFrameEnds(f);
        (void)map.leadingPictures(f);
    }
    const int64_t middle = frames.frameCount() / 2;
    (void)map.startAtOrBefore(middle);
    (void)map.startAfter(middle);
    (void)map.endBefore(middle);
    (void)map.endAfter(middle);
    return 0;
}
