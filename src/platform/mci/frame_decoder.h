// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding the frames of an AVI video stream with libavcodec. Packets come from our own AVI
// reader, so frame N here is exactly sample dwStart + N of the stream, the frame the join copies.
// Frame N's picture is the one decoding the whole stream in order shows at N: a chunk that
// decodes to no picture (empty, "no change", not coded) shows the picture before it, and frames
// before the first picture show none. Not thread-safe: one thread decodes; pictures are handed
// out as references.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "platform/avi/splice_map.h"

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace mci {

// Frees an AVFrame (and its reference) when the last owner lets go.
struct FrameDeleter {
    void operator()(AVFrame* frame) const;
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using SharedFrame = std::shared_ptr<const AVFrame>;

// A new reference to the same picture; null for null.
SharedFrame ShareFrame(const AVFrame* frame);

class FrameDecoder {
  public:
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // Always succeeds for a video stream: a codec that cannot be found or opened leaves a decoder
    // that numbers frames but has no pictures (codecKnown() false, codecText() says why).
    static std::unique_ptr<FrameDecoder> Create(const avi::Reader& reader, int stream);

    // Pictures kept around the position so that stepping back needs no decoding: at most this
    // many bytes of decoded pictures (about 20 pictures at 1920x1080).
    static constexpr size_t kPictureCacheBytes = size_t{64} << 20;

    int64_t frameCount() const { return m_frameCount; }
    bool codecKnown() const { return m_context != nullptr; }
    const std::string& codecText() const { return m_codecText; }
    // The key frame at or before frame, as shown: the frame a segment can start at exactly (with
    // B pictures, where the key frame's picture is shown); -1 when there is none.
    int64_t keyFrameAtOrBefore(int64_t frame) const;

    // Decodes until the picture of frame n is current, from the key frame at or before n when that
    // is nearer than going on from where the decoder stands. Returns false when cancel became true
    // (the state then stands somewhere before n, still consistent).
    bool decodeTo(int64_t n, const std::atomic<bool>* cancel);
    // The frame whose picture is current (-1 before the first), and its picture: null when that
    // frame could not be read or decoded.
    int64_t currentFrame() const { return m_current; }
    const AVFrame* picture() const { return m_picture.get(); }
    const SharedFrame& sharedPicture() const { return m_picture; }
    // Pictures the decoder has produced so far (to see what a request cost).
    int64_t picturesDecoded() const { return m_decodedCount; }

  private:
    enum class Kind { Decoded, Repeat, Broken };
    struct Slot {
        int64_t index;  // the chunk
        Kind kind;
    };
    struct Start {
        int64_t key = 0;
        int64_t leading = 0;   // pictures after key that belong before it, skipped
        int64_t syncKey = -1;  // frame numbers are known once this key's group comes out
    };
    FrameDecoder(const avi::Reader& reader, int stream);
    void openCodec();
    AVCodecContext* newContext() const;
    bool readChunk(int64_t index, std::vector<uint8_t>* bytes) const;
    int64_t keyChunkAtOrBefore(int64_t frame) const;
    int64_t knownLeading(int64_t key);
    Start startFor(int64_t n);
    void restart(const Start& start);
    void resolve(const SharedFrame& picture);
    bool resolveFront();
    bool feedNext();
    bool receive();
    bool sendPacket(int64_t index);
    bool retryHeld();
    void remember(int64_t frame, const SharedFrame& picture);
    bool recall(int64_t frame);

    const avi::Reader& m_reader;
    int m_stream;
    avi::ReaderFrames m_frames;
    std::unique_ptr<avi::SpliceMap> m_splices;  // where segments start exactly, and open groups
    int64_t m_start = 0;
    int64_t m_frameCount = 0;
    std::vector<uint8_t> m_extradata;
    std::vector<uint32_t> m_palette;
    std::string m_codecText;
    const AVCodec* m_codec = nullptr;
    BITMAPINFOHEADER m_header;
    AVCodecContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    FramePtr m_received;
    SharedFrame m_picture;       // the picture of m_current
    SharedFrame m_lastResolved;  // the decoder's latest picture, which a chunk without one repeats
    std::deque<Slot> m_pending;  // frames sent, in order, whose pictures are not yet resolved
    int64_t m_nextPacket = 0;    // next frame whose packet goes to the decoder
    int64_t m_nextDisplay = 0;   // next frame whose picture gets resolved
    int64_t m_current = -1;      // frame of m_picture
    int64_t m_stored = 0;        // frames the file really holds (the header may claim more)
    int64_t m_restartKey = -1;
    int64_t m_leading = 0;  // pictures after m_restartKey that belong to the group before
    int64_t m_syncKey = -1;
    // Codecs that never reorder pictures: a picture belongs to the chunk it was decoded from, so
    // chunks without one are seen as such. Others number their pictures in output order.
    bool m_byChunk = true;
    bool m_restartNeeded = true;
    std::map<int64_t, int64_t> m_leadingOf;  // key frame -> pictures after it shown before it
    std::map<int64_t, SharedFrame> m_cache;  // frame -> picture, near the latest request
    size_t m_cacheBytes = 0;
    int64_t m_decodedCount = 0;
    int64_t m_cacheCentre = 0;
    bool m_haveReceived = false;  // m_received holds a picture that waits for its frame
    bool m_draining = false;
    bool m_held = false;       // m_packet is still to be sent
    bool m_heldShown = false;  // m_packet's picture has a slot in m_pending
    bool m_sendPalette = false;
};

}  // namespace mci
