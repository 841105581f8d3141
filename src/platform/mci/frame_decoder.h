// Decoding the frames of an AVI video stream with libavcodec. Packets come from our own AVI
// reader, so frame N here is exactly sample dwStart + N of the stream, the frame the join copies.
// Not thread-safe: one thread decodes; pictures are handed out as references.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"

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

    int64_t frameCount() const { return m_frameCount; }
    bool codecKnown() const { return m_context != nullptr; }
    const std::string& codecText() const { return m_codecText; }
    int64_t keyFrameAtOrBefore(int64_t frame) const;

    // Decodes until the picture of frame n is current, from the key frame at or before n when that
    // is nearer than going on from where the decoder stands. Returns false when cancel became true
    // (the state then stands somewhere before n, still consistent).
    bool decodeTo(int64_t n, const std::atomic<bool>* cancel);
    // The frame whose picture is current (-1 before the first), and its picture: null when that
    // frame could not be read or decoded.
    int64_t currentFrame() const { return m_current; }
    const AVFrame* picture() const { return m_picture.get(); }

  private:
    enum class Slot { Decoded, Repeat, Broken };
    FrameDecoder(const avi::Reader& reader, int stream);
    void openCodec();
    AVCodecContext* newContext() const;
    int64_t leadingPictures(int64_t key);
    int64_t startFor(int64_t n, int64_t* leading);
    void restart(int64_t key, int64_t leading);
    bool resolveFront();
    bool feedNext();
    bool receive();
    bool sendPacket(int64_t index);
    bool retryHeld();

    const avi::Reader& m_reader;
    int m_stream;
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
    FramePtr m_picture;
    std::deque<Slot> m_pending;  // frames sent, in order, whose pictures are not yet resolved
    int64_t m_nextPacket = 0;    // next frame whose packet goes to the decoder
    int64_t m_nextDisplay = 0;   // next frame whose picture gets resolved
    int64_t m_current = -1;      // frame of m_picture
    int64_t m_restartKey = -1;
    int64_t m_leading = 0;  // pictures after m_restartKey that belong to the group before
    bool m_draining = false;
    bool m_held = false;       // m_packet is still to be sent
    bool m_heldShown = false;  // m_packet's picture has a slot in m_pending
    bool m_sendPalette = false;
};

}  // namespace mci
