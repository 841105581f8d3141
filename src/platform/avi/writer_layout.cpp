// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/avi/writer_layout.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace avi {
namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");
constexpr uint32_t kJunk = FourCC("JUNK");
constexpr uint32_t kDmlhPayload = 248;
constexpr uint32_t kSuperIndexPayload = 24 + 16 * kSuperIndexCapacity;

class ByteSink {
  public:
    explicit ByteSink(std::vector<uint8_t>* out) : m_out(out) {}
    void u16(uint16_t v) {
        uint8_t b[2];
        WriteU16(b, v);
        bytes(b, 2);
    }
    void u32(uint32_t v) {
        uint8_t b[4];
        WriteU32(b, v);
        bytes(b, 4);
    }
    void u64(uint64_t v) {
        uint8_t b[8];
        WriteU64(b, v);
        bytes(b, 8);
    }
    // Grown and then copied into: gcc 12 at -O3 warns falsely about inserting a range.
    void bytes(const void* p, size_t n) {
        if (n == 0) {
            return;
        }
        const size_t at = m_out->size();
        m_out->resize(at + n);
        std::memcpy(m_out->data() + at, p, n);
    }
    void zeros(size_t n) { m_out->insert(m_out->end(), n, 0); }
    size_t size() const { return m_out->size(); }
    // Starts a chunk or list; returns the position of its size field.
    size_t open(uint32_t id, uint32_t listType = 0) {
        u32(id);
        const size_t at = size();
        u32(0);
        if (listType != 0) {
            u32(listType);
        }
        return at;
    }
    // Fills the size field and pads the payload to an even length.
    void close(size_t sizeField) {
        const size_t payload = size() - sizeField - 4;
        WriteU32(m_out->data() + sizeField, static_cast<uint32_t>(payload));
        if (payload % 2 != 0) {
            zeros(1);
        }
    }

  private:
    std::vector<uint8_t>* m_out;
};

void PutMainHeader(ByteSink& out, const MainHeader& h) {
    const size_t at = out.open(FourCC("avih"));
    out.u32(h.dwMicroSecPerFrame);
    out.u32(h.dwMaxBytesPerSec);
    out.u32(h.dwPaddingGranularity);
    out.u32(h.dwFlags);
    out.u32(h.dwTotalFrames);
    out.u32(h.dwInitialFrames);
    out.u32(h.dwStreams);
    out.u32(h.dwSuggestedBufferSize);
    out.u32(h.dwWidth);
    out.u32(h.dwHeight);
    out.zeros(16);
    out.close(at);
}

void PutStreamHeader(ByteSink& out, const StreamHeader& h) {
    const size_t at = out.open(FourCC("strh"));
    out.u32(h.fccType);
    out.u32(h.fccHandler);
    out.u32(h.dwFlags);
    out.u16(h.wPriority);
    out.u16(h.wLanguage);
    out.u32(h.dwInitialFrames);
    out.u32(h.dwScale);
    out.u32(h.dwRate);
    out.u32(h.dwStart);
    out.u32(h.dwLength);
    out.u32(h.dwSuggestedBufferSize);
    out.u32(h.dwQuality);
    out.u32(h.dwSampleSize);
    out.u16(static_cast<uint16_t>(h.rcLeft));
    out.u16(static_cast<uint16_t>(h.rcTop));
    out.u16(static_cast<uint16_t>(h.rcRight));
    out.u16(static_cast<uint16_t>(h.rcBottom));
    out.close(at);
}

void PutSuperIndex(ByteSink& out, const StreamLayout& s, bool openDml) {
    if (!openDml) {
        const size_t at = out.open(kJunk);
        out.zeros(kSuperIndexPayload);
        out.close(at);
        return;
    }
    const size_t at = out.open(FourCC("indx"));
    const std::vector<SuperIndexEntry> none;
    const auto& entries = s.superIndex != nullptr ? *s.superIndex : none;
    const size_t used = std::min<size_t>(entries.size(), kSuperIndexCapacity);
    out.u16(4);  // longs per entry
    out.u16(0);  // sub type 0, type AVI_INDEX_OF_INDEXES
    out.u32(static_cast<uint32_t>(used));
    out.u32(s.chunkId);
    out.zeros(12);
    for (size_t i = 0; i < used; ++i) {
        out.u64(entries[i].offset);
        out.u32(entries[i].size);
        out.u32(entries[i].duration);
    }
    out.zeros(16 * (kSuperIndexCapacity - used));
    out.close(at);
}

void PutStreamList(ByteSink& out, const StreamLayout& s, bool openDml) {
    const size_t list = out.open(kList, FourCC("strl"));
    PutStreamHeader(out, s.header);
    const size_t strf = out.open(FourCC("strf"));
    if (s.format != nullptr && !s.format->empty()) {
        out.bytes(s.format->data(), s.format->size());
    }
    out.close(strf);
    if (!s.name.empty()) {
        const size_t strn = out.open(FourCC("strn"));
        out.bytes(s.name.data(), s.name.size());
        out.zeros(1);
        out.close(strn);
    }
    PutSuperIndex(out, s, openDml);
    out.close(list);
}

}  // namespace

uint32_t DataChunkId(int stream, const char (&twoCC)[3]) {
    const char id[5] = {static_cast<char>('0' + stream / 10 % 10),
                        static_cast<char>('0' + stream % 10), twoCC[0], twoCC[1], 0};
    return FourCC(id);
}

uint32_t IndexChunkId(int stream) {
    const char id[5] = {'i', 'x', static_cast<char>('0' + stream / 10 % 10),
                        static_cast<char>('0' + stream % 10), 0};
    return FourCC(id);
}

std::vector<uint8_t> BuildHeader(const HeaderLayout& layout) {
    std::vector<uint8_t> bytes;
    ByteSink out(&bytes);
    out.u32(kRiff);
    out.u32(layout.firstRiffSize);
    out.u32(FourCC("AVI "));
    const size_t hdrl = out.open(kList, FourCC("hdrl"));
    PutMainHeader(out, layout.main);
    for (const auto& s : layout.streams) {
        PutStreamList(out, s, layout.openDml);
    }
    if (layout.openDml) {
        const size_t odml = out.open(kList, FourCC("odml"));
        const size_t dmlh = out.open(FourCC("dmlh"));
        out.u32(layout.dmlhTotalFrames);
        out.zeros(kDmlhPayload - 4);
        out.close(dmlh);
        out.close(odml);
    } else {
        const size_t junk = out.open(kJunk);
        out.zeros(4 + 8 + kDmlhPayload);
        out.close(junk);
    }
    out.close(hdrl);
    return bytes;
}

std::vector<uint8_t> BuildLegacyIndex(const std::vector<ChunkRecord>& chunks, uint64_t moviFourCC,
                                      const std::vector<uint32_t>& chunkIds) {
    std::vector<uint8_t> bytes;
    bytes.reserve(8 + 16 * chunks.size());
    ByteSink out(&bytes);
    const size_t at = out.open(FourCC("idx1"));
    for (const auto& c : chunks) {
        const uint32_t id = chunkIds[c.stream];
        out.u32(c.palette ? (id & 0xFFFFu) | (uint32_t{'p'} << 16) | (uint32_t{'c'} << 24) : id);
        out.u32(c.palette ? kIndexNoTime : c.key ? kIndexKeyFrame : 0);
        out.u32(static_cast<uint32_t>(c.pos - moviFourCC));
        out.u32(c.size);
    }
    out.close(at);
    return bytes;
}

std::vector<uint8_t> BuildStandardIndex(const std::vector<ChunkRecord>& chunks, int stream,
                                        uint32_t chunkId, uint64_t moviFourCC) {
    std::vector<uint8_t> bytes;
    ByteSink out(&bytes);
    const size_t at = out.open(IndexChunkId(stream));
    const size_t countAt = out.size() + 4;
    out.u16(2);       // longs per entry
    out.u16(0x0100);  // sub type 0, type AVI_INDEX_OF_CHUNKS
    out.u32(0);       // entries in use, filled below
    out.u32(chunkId);
    out.u64(moviFourCC);  // base offset
    out.u32(0);
    uint32_t count = 0;
    for (const auto& c : chunks) {
        if (c.stream != stream || c.palette) {
            continue;
        }
        out.u32(static_cast<uint32_t>(c.pos + 8 - moviFourCC));
        out.u32(c.size | (c.key ? 0u : 0x80000000u));
        ++count;
    }
    WriteU32(bytes.data() + countAt, count);
    out.close(at);
    return bytes;
}

}  // namespace avi
