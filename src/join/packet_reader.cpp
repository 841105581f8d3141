// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/packet_reader.h"

#include <algorithm>

#include "media/vbvfw.h"

namespace join {

namespace {

// A byte stream is read in windows of this size, reaching back far enough that checking the
// frames after a header and going on one byte later stay inside one window.
constexpr int64_t kWindowBytes = 64 * 1024;
constexpr int64_t kLookBack = 2 * kMaxFrameBytes + kFrameHeaderBytes;
// How far past a position the first frame is looked for before the stream counts as no stream
// of frames at all.
constexpr int64_t kSearchBytes = 64 * 1024;

}  // namespace

PacketReader::PacketReader(int16_t stream, int64_t first, int64_t end, FrameSyntax syntax)
    : m_stream(stream),
      m_first(first),
      m_length(std::max<int64_t>(end - first, 0)),
      m_syntax(syntax) {}

bool PacketReader::moveNear(int64_t position) {
    position = std::clamp<int64_t>(position, 0, m_length);
    m_next = position;
    if (!frames()) {
        moveToChunk(position);
        return true;
    }
    if (position >= m_length) {
        return true;
    }
    int64_t q = findFrame(std::max<int64_t>(position - kMaxFrameBytes, 0), position + kSearchBytes);
    CodecFrame frame;
    while (q >= 0 && q < position) {
        if (!frameAt(q, &frame)) {
            q = findFrame(q + 1, position + kSearchBytes);
            continue;
        }
        const int64_t after = q + frame.size;
        if (after >= position) {
            if (after - position < position - q) {
                q = after;
            }
            break;
        }
        q = after;
    }
    if (q < 0) {
        return m_status != 0 || position >= m_length;  // a failed read shows in next()
    }
    m_next = q;
    return true;
}

// An empty chunk takes no time (players give it none): the packet at position is the first
// chunk with data after position chunks with data. Their sizes come from the index alone.
void PacketReader::moveToChunk(int64_t position) {
    int64_t chunk = 0;
    for (int64_t counted = 0; counted < position && chunk < m_length; ++chunk) {
        int32_t bytes = 0;
        int32_t samples = 0;
        const int32_t status =
            vbvfw_AVIStreamRead(m_stream, m_first + chunk, 1, nullptr, 0, &bytes, &samples);
        if (status != 0) {
            break;  // the read at this chunk tells what is wrong
        }
        counted += bytes > 0 ? 1 : 0;
    }
    m_next = chunk;
}

int32_t PacketReader::next(AudioPacket* packet) {
    if (m_status != 0) {
        return m_status;
    }
    return frames() ? nextFrame(packet) : nextChunk(packet);
}

int32_t PacketReader::nextChunk(AudioPacket* packet) {
    while (m_next < m_length) {
        int32_t bytes = 0;
        int32_t samples = 0;
        const int32_t status = m_chunk.read(m_stream, m_first + m_next, 1, &bytes, &samples);
        if (status == AVIERR_NODATA) {
            m_length = m_next;  // the stream ends earlier than its header said
            break;
        }
        if (status != 0 || samples <= 0) {
            return status != 0 ? status : AVIERR_FILEREAD;
        }
        const int64_t chunk = m_next++;
        if (bytes > 0) {  // an empty chunk holds no sound and takes no time
            *packet = {m_chunk.data(), bytes, chunk, 1, 0};
            return kPacketRead;
        }
    }
    return kNoPacket;
}

int32_t PacketReader::nextFrame(AudioPacket* packet) {
    CodecFrame frame;
    int64_t pos = m_next;
    if (pos < m_length && !frameAt(pos, &frame)) {
        pos = m_status == 0 ? findFrame(pos + 1, m_length) : -1;
        if (pos >= 0) {
            (void)frameAt(pos, &frame);
        }
    }
    if (m_status != 0) {
        return m_status;
    }
    // Past the end, or a last frame the stream holds only part of: no more whole packets.
    const int64_t got = pos >= 0 && pos < m_length ? window(pos, frame.size) : 0;
    if (got < 0) {
        return m_status;
    }
    if (got == 0 || got < frame.size) {
        m_next = m_length;
        return kNoPacket;
    }
    *packet = {at(pos), frame.size, pos, frame.size, pos - m_next};
    m_next = pos + frame.size;
    return kPacketRead;
}

int64_t PacketReader::window(int64_t pos, int64_t bytes) {
    if (pos < 0 || pos >= m_length) {
        return 0;
    }
    const int64_t wanted = std::min(bytes, m_length - pos);
    if (pos >= m_windowPos && pos + wanted <= m_windowPos + m_windowSize) {
        return wanted;
    }
    const int64_t start = std::max<int64_t>(pos - kLookBack, 0);
    const int64_t count = std::min(kLookBack + kWindowBytes, m_length - start);
    m_window.resize(static_cast<size_t>(kLookBack + kWindowBytes));
    int32_t read = 0;
    int32_t samples = 0;
    const int32_t status =
        vbvfw_AVIStreamRead(m_stream, m_first + start, static_cast<int32_t>(count), m_window.data(),
                            static_cast<int32_t>(m_window.size()), &read, &samples);
    m_windowPos = start;
    m_windowSize = 0;
    if (status == AVIERR_NODATA) {
        m_length = start;  // nothing there, whatever the header said
        return 0;
    }
    if (status != 0) {
        m_status = status;
        return -1;
    }
    m_windowSize = std::clamp<int64_t>(read, 0, count);
    if (m_windowSize < count) {
        m_length = start + m_windowSize;  // the stream ends here
    }
    return std::clamp<int64_t>(m_windowPos + m_windowSize - pos, 0, wanted);
}

bool PacketReader::frameAt(int64_t pos, CodecFrame* frame) {
    const int64_t got = window(pos, kFrameHeaderBytes);
    CodecFrame parsed;
    if (got < kFrameHeaderBytes ||
        !ParseCodecFrame(m_syntax, at(pos), static_cast<size_t>(got), &parsed) ||
        (m_keyed && parsed.streamKey != m_key)) {
        return false;
    }
    *frame = parsed;
    return true;
}

bool PacketReader::confirmedAt(int64_t pos, CodecFrame* frame) {
    CodecFrame first;
    CodecFrame second;
    if (!frameAt(pos, &first)) {
        return false;
    }
    const int64_t after = pos + first.size;
    if (after > m_length ||
        (after < m_length && (!frameAt(after, &second) || second.streamKey != first.streamKey))) {
        return false;
    }
    if (!m_keyed) {
        // The stream's first frame: a third must follow as well, so that bytes which merely
        // look like two headers do not decide what the stream's frames are.
        const int64_t third = after + second.size;
        CodecFrame next;
        if (after < m_length && third < m_length &&
            (!frameAt(third, &next) || next.streamKey != first.streamKey)) {
            return false;
        }
        m_key = first.streamKey;
        m_keyed = true;
    }
    *frame = first;
    return true;
}

int64_t PacketReader::findFrame(int64_t from, int64_t limit) {
    limit = std::min(limit, m_length);
    for (int64_t p = std::max<int64_t>(from, 0); p < limit; ++p) {
        if (window(p, kFrameHeaderBytes) < kFrameHeaderBytes) {
            return -1;
        }
        const uint8_t b = *at(p);
        if (b != 0xFF && b != 0x0B) {
            continue;  // every syntax here starts with one of these bytes
        }
        CodecFrame frame;
        if (confirmedAt(p, &frame)) {
            return p;
        }
        if (m_status != 0) {
            return -1;
        }
    }
    return -1;
}

}  // namespace join
