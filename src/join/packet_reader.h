// SPDX-License-Identifier: GPL-3.0-or-later
// The whole packets of one source audio stream, in order: each chunk of a stream that counts
// chunks (sample size 0), or each codec frame of a byte stream, found by its header.
#pragma once

#include <cstdint>
#include <vector>

#include "join/codec_frames.h"
#include "join/transfer_buffer.h"

namespace join {

struct AudioPacket {
    const uint8_t* data = nullptr;  // valid until the reader is used again
    int32_t size = 0;               // bytes
    int64_t position = 0;           // stream samples (chunks or bytes) from the stream's start
    int64_t length = 0;             // stream samples it takes: one chunk, or its bytes
    // Stream samples before it that hold no packet (bytes that are no frame); an empty chunk
    // takes no time and counts as none.
    int64_t gap = 0;
};

inline constexpr int32_t kPacketRead = 0;
inline constexpr int32_t kNoPacket = 1;  // the stream has no more packets

class PacketReader {
  public:
    // stream: an open source audio stream whose positions run from first to end; syntax kNone
    // reads chunks, any other syntax finds frames in a byte stream (one byte a sample).
    PacketReader(int16_t stream, int64_t first, int64_t end, FrameSyntax syntax);

    bool frames() const { return m_syntax != FrameSyntax::kNone; }

    // The next packet is the one whose start lies nearest position (counted from the stream's
    // start): for chunks the one after position chunks that hold data, for frames the frame
    // boundary nearest that byte. False when frames are looked for and none is found near
    // position although the stream goes on there: the stream is not made of frames of its
    // syntax.
    bool moveNear(int64_t position);

    // kPacketRead with *packet set, kNoPacket at the end, or the failing read's status.
    int32_t next(AudioPacket* packet);

  private:
    void moveToChunk(int64_t position);
    int32_t nextChunk(AudioPacket* packet);
    int32_t nextFrame(AudioPacket* packet);
    // Makes [pos, pos + bytes) readable from the window as far as the stream reaches; returns
    // the bytes available from pos (0 at the end), or -1 with m_status set when a read failed.
    int64_t window(int64_t pos, int64_t bytes);
    const uint8_t* at(int64_t pos) const { return m_window.data() + (pos - m_windowPos); }
    // A frame of the stream starts at pos: a valid header with the stream's fields.
    bool frameAt(int64_t pos, CodecFrame* frame);
    // As frameAt, and the frame is followed by another one or by the stream's end.
    bool confirmedAt(int64_t pos, CodecFrame* frame);
    // The first confirmed frame at from or after it, before limit; -1 when none (m_status tells
    // whether a read failed).
    int64_t findFrame(int64_t from, int64_t limit);

    const int16_t m_stream;
    const int64_t m_first;
    int64_t m_length;  // shrinks to where the data ends when the stream is shorter than it says
    const FrameSyntax m_syntax;
    int64_t m_next = 0;  // the next chunk, or where the next frame should start
    uint32_t m_key = 0;  // the stream's fixed header fields, once a frame was found
    bool m_keyed = false;
    int32_t m_status = 0;    // the failing read, if any
    TransferBuffer m_chunk;  // a chunk as read
    std::vector<uint8_t> m_window;
    int64_t m_windowPos = 0;
    int64_t m_windowSize = 0;
};

}  // namespace join
