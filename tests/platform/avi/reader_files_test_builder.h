// Byte-level AVI files for the reader's tests: headers, chunks, idx1 in its several forms,
// 'rec ' lists, unpadded odd chunks, and OpenDML parts, written exactly as described.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <sstream>

#include "platform/avi/avi_common.h"
#include "support/test_support.h"

namespace reader_test {

class Bytes {
  public:
    void u8(uint8_t v) { m_v.push_back(v); }
    void u16(uint16_t v) { u8(static_cast<uint8_t>(v)), u8(static_cast<uint8_t>(v >> 8)); }
    void u32(uint32_t v) { u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16)); }
    void u64(uint64_t v) { u32(static_cast<uint32_t>(v)), u32(static_cast<uint32_t>(v >> 32)); }
    void id(const char* s) { m_v.insert(m_v.end(), s, s + 4); }
    void raw(const std::vector<uint8_t>& b) { m_v.insert(m_v.end(), b.begin(), b.end()); }
    void patch32(size_t at, uint32_t v) { avi::WriteU32(m_v.data() + at, v); }
    void patch64(size_t at, uint64_t v) { avi::WriteU64(m_v.data() + at, v); }
    size_t size() const { return m_v.size(); }
    // Opens a chunk or list; close() writes its size.
    size_t open(const char* ckid, const char* listType = nullptr) {
        id(ckid);
        const size_t at = size();
        u32(0);
        if (listType != nullptr) {
            id(listType);
        }
        return at;
    }
    void close(size_t at, bool pad = true) {
        patch32(at, static_cast<uint32_t>(size() - at - 4));
        if (pad && (size() & 1) != 0) {
            u8(0);
        }
    }
    std::vector<uint8_t>& vec() { return m_v; }

  private:
    std::vector<uint8_t> m_v;
};

struct StreamSpec {
    std::string type = "vids";
    std::string handler = "TEST";
    uint32_t scale = 1, rate = 25, start = 0, length = 0, sampleSize = 0, suggested = 0;
    int16_t rc[4] = {0, 0, 0, 0};
    std::vector<uint8_t> format;
    std::string name;
};

inline std::vector<uint8_t> VideoFormat(int32_t width, int32_t height, const char* fourcc) {
    Bytes b;
    b.u32(40), b.u32(static_cast<uint32_t>(width)), b.u32(static_cast<uint32_t>(height));
    b.u16(1), b.u16(24), b.id(fourcc), b.u32(0), b.u32(0), b.u32(0), b.u32(0), b.u32(0);
    return b.vec();
}

inline std::vector<uint8_t> AudioFormat(uint16_t tag, uint16_t channels, uint32_t rate,
                                        uint16_t blockAlign, uint16_t bits) {
    Bytes b;
    b.u16(tag), b.u16(channels), b.u32(rate), b.u32(rate * blockAlign), b.u16(blockAlign);
    b.u16(bits), b.u16(0);
    return b.vec();
}

struct ChunkSpec {
    int stream = 0;
    std::string type = "dc";
    std::vector<uint8_t> data;
    bool key = true;
};

enum class Idx1 { kNone, kRelative, kAbsolute, kShifted, kPastEnd };

struct FileSpec {
    std::vector<StreamSpec> streams;
    std::vector<ChunkSpec> chunks;
    Idx1 idx1 = Idx1::kRelative;
    bool recLists = false;  // every chunk in its own LIST 'rec ' (listed in idx1 too)
    bool padOdd = true;     // false: odd chunks lose their pad byte
    std::string riffForm = "AVI ";
};

inline std::string ChunkId(int stream, const std::string& type) {
    std::string s = "00" + type;
    s[0] = static_cast<char>('0' + stream / 10);
    s[1] = static_cast<char>('0' + stream % 10);
    return s;
}

inline void WriteStreamList(Bytes& b, const StreamSpec& st, const std::vector<uint8_t>& indx = {}) {
    const size_t strl = b.open("LIST", "strl");
    const size_t strh = b.open("strh");
    b.id(st.type.c_str()), b.id(st.handler.c_str()), b.u32(0), b.u16(0), b.u16(0), b.u32(0);
    b.u32(st.scale), b.u32(st.rate), b.u32(st.start), b.u32(st.length), b.u32(st.suggested);
    b.u32(0xFFFFFFFFu), b.u32(st.sampleSize);
    for (int16_t v : st.rc) {
        b.u16(static_cast<uint16_t>(v));
    }
    b.close(strh);
    const size_t strf = b.open("strf");
    b.raw(st.format);
    b.close(strf);
    if (!st.name.empty()) {
        const size_t strn = b.open("strn");
        b.raw(std::vector<uint8_t>(st.name.begin(), st.name.end()));
        b.u8(0);
        b.close(strn);
    }
    if (!indx.empty()) {
        const size_t at = b.open("indx");
        b.raw(indx);
        b.close(at);
    }
    b.close(strl);
}

inline void WriteHeaderList(Bytes& b, const std::vector<StreamSpec>& streams,
                            const std::vector<std::vector<uint8_t>>& indexes = {}) {
    const size_t hdrl = b.open("LIST", "hdrl");
    const size_t avih = b.open("avih");
    b.u32(40000), b.u32(0), b.u32(0), b.u32(0x910), b.u32(0), b.u32(0);
    b.u32(static_cast<uint32_t>(streams.size())), b.u32(0), b.u32(64), b.u32(48);
    b.u32(0), b.u32(0), b.u32(0), b.u32(0);
    b.close(avih);
    for (size_t i = 0; i < streams.size(); ++i) {
        WriteStreamList(b, streams[i], i < indexes.size() ? indexes[i] : std::vector<uint8_t>{});
    }
    b.close(hdrl);
}

inline std::vector<uint8_t> BuildAvi(const FileSpec& shape) {
    Bytes b;
    const size_t riff = b.open("RIFF", shape.riffForm.c_str());
    WriteHeaderList(b, shape.streams);
    const size_t movi = b.open("LIST", "movi");
    const size_t moviFourcc = movi + 4;
    struct Entry {
        std::string id;
        uint32_t flags, offset, size;
    };
    std::vector<Entry> entries;
    for (const ChunkSpec& c : shape.chunks) {
        size_t rec = 0;
        if (shape.recLists) {
            rec = b.open("LIST", "rec ");
            entries.push_back({"rec ", avi::kIndexList, static_cast<uint32_t>(rec - 4), 0});
        }
        const std::string id = ChunkId(c.stream, c.type);
        const size_t at = b.open(id.c_str());
        b.raw(c.data);
        b.close(at, shape.padOdd);
        entries.push_back({id, c.key ? avi::kIndexKeyFrame : 0u, static_cast<uint32_t>(at - 4),
                           static_cast<uint32_t>(c.data.size())});
        if (shape.recLists) {
            b.close(rec);
        }
    }
    b.close(movi);
    if (shape.idx1 != Idx1::kNone) {
        const size_t idx1 = b.open("idx1");
        for (const Entry& e : entries) {
            uint32_t off = e.offset;  // absolute position of the chunk header
            if (shape.idx1 == Idx1::kRelative || shape.idx1 == Idx1::kPastEnd) {
                off -= static_cast<uint32_t>(moviFourcc);
            } else if (shape.idx1 == Idx1::kShifted) {
                off -= static_cast<uint32_t>(moviFourcc) - 100;  // counted from 100 bytes earlier
            }
            b.id(e.id.c_str()), b.u32(e.flags), b.u32(off), b.u32(e.size);
        }
        b.close(idx1);
        if (shape.idx1 == Idx1::kPastEnd) {
            b.patch32(idx1, static_cast<uint32_t>(entries.size() * 16 + 4096));
        }
    }
    b.close(riff);
    return b.vec();
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Deterministic payloads: frame i of n bytes, and a run of an audio byte stream from 'from'.
inline std::vector<uint8_t> Frame(int i, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t j = 0; j < n; ++j) {
        v[j] = static_cast<uint8_t>(i * 37 + j * 11 + (j >> 8));
    }
    return v;
}
inline std::vector<uint8_t> AudioBytes(uint64_t from, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t j = 0; j < n; ++j) {
        v[j] = static_cast<uint8_t>((from + j) % 251);
    }
    return v;
}

// ---- ffmpeg as the judge
// -------------------------------------------------------------------------

// Adler-32 seeded with 0, as ffmpeg's framecrc muxer prints it.
inline uint32_t Adler32(const uint8_t* p, size_t n) {
    uint32_t a = 0;
    uint32_t b = 0;
    for (size_t i = 0; i < n; ++i) {
        a = (a + p[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

struct Packet {
    int64_t size = 0;
    uint32_t adler = 0;
    bool operator==(const Packet&) const = default;
};

// The packets of one stream ("0:v:0") as ffmpeg copies them; false when ffmpeg fails.
inline bool FfmpegPackets(const std::string& path, const std::string& map,
                          std::vector<Packet>* out) {
    using testing_support::ShellQuote;
    const auto crc = testing_support::RunCommand(ShellQuote(testing_support::FfmpegPath()) +
                                                     " -v error -i " + ShellQuote(path) + " -map " +
                                                     map + " -c copy -f framecrc -",
                                                 false);
    std::istringstream lines(crc.output);
    for (std::string line; std::getline(lines, line);) {
        // "stream, dts, pts, duration, size, checksum[, flags]"
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, ',');) {
            f.push_back(x);
        }
        if (line[0] != '#' && f.size() >= 6) {
            out->push_back(
                {std::stoll(f[4]), static_cast<uint32_t>(std::stoul(f[5], nullptr, 16))});
        }
    }
    return crc.exitCode == 0;
}

}  // namespace reader_test
