// SPDX-License-Identifier: GPL-3.0-or-later
// Building the reader's index: OpenDML super and standard indexes first, then idx1 (relative,
// absolute or shifted offsets), and as the last resort a scan of every movi list.
#include "platform/avi/reader_index.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <optional>

#include "media/vbvfw.h"
#include "platform/avi/frame_probe.h"

namespace avi::detail {

namespace {

constexpr size_t kBatch = 4096;         // index entries read per call
constexpr uint64_t kVerifySpread = 64;  // headers checked per stream when an index is loaded

constexpr uint16_t kTypePalette = TwoCC('p', 'c');
constexpr size_t kProbeBytes = 2048;  // enough for the headers in front of a first picture
constexpr uint16_t kTypeIndex = TwoCC('i', 'x');

// Adds entries under the limit on index entries for the whole file.
class Collector {
  public:
    // Every entry stands for a chunk with its own 8-byte header, so a file cannot hold more
    // entries than an eighth of its size, whatever its indexes claim.
    Collector(std::vector<StreamIndex>* out, const Limits& limits, uint64_t fileSize)
        : m_out(out),
          m_cap(std::min<uint64_t>({limits.maxIndexEntries, UINT32_MAX, fileSize / 8})) {
        for (const auto& stream : *out) {
            m_total += stream.entries.size();
        }
    }
    bool add(int s, const IndexEntry& entry) {
        if (m_total >= m_cap) {
            return false;
        }
        (*m_out)[static_cast<size_t>(s)].entries.push_back(entry);
        ++m_total;
        return true;
    }
    // A palette change counts against the same limit as the entries.
    bool addPalette(int s, uint64_t pos, uint32_t size) {
        if (m_total >= m_cap) {
            return false;
        }
        StreamIndex& stream = (*m_out)[static_cast<size_t>(s)];
        stream.paletteChanges.push_back({stream.entries.size(), pos, size});
        ++m_total;
        return true;
    }
    void clear() {
        for (auto& stream : *m_out) {
            stream = StreamIndex{};
        }
        m_total = 0;
    }

  private:
    std::vector<StreamIndex>* m_out;
    uint64_t m_cap;
    uint64_t m_total = 0;
};

bool EntryFits(uint64_t pos, uint32_t size, const FileHandle& file, const Limits& limits) {
    return pos >= 8 && size <= limits.maxChunkSize && InRange(pos, size, file.size());
}

// Checks the chunk headers of a spread of entries (always the first and the last of a stream).
bool VerifyHeaders(const FileHandle& file, const std::vector<StreamIndex>& streams) {
    for (size_t s = 0; s < streams.size(); ++s) {
        const auto& entries = streams[s].entries;
        const uint64_t n = entries.size();
        if (n == 0) {
            continue;
        }
        const uint64_t step = std::max<uint64_t>(1, n / kVerifySpread);
        for (uint64_t i = 0;; i += step) {
            const IndexEntry& e = entries[std::min(i, n - 1)];
            uint8_t h[8];
            if (!file.readAt(e.pos - 8, h, 8) || !ChunkMatches(file, h, static_cast<int>(s), e)) {
                return false;
            }
            if (i >= n - 1) {
                break;
            }
        }
    }
    return true;
}

// ---- OpenDML
// -------------------------------------------------------------------------------------

bool AddStandardEntries(const uint8_t* p, size_t count, uint32_t longs, uint64_t base, int s,
                        const FileHandle& file, const Limits& limits, Collector* collector) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = p + i * longs * 4;
        const uint32_t raw = ReadU32(e + 4);
        const uint32_t size = raw & 0x7FFFFFFFu;
        const uint64_t pos = base + ReadU32(e);
        if (!EntryFits(pos, size, file, limits) ||
            !collector->add(s, {pos, size, (raw & 0x80000000u) ? 0u : kEntryKey})) {
            return false;
        }
    }
    return true;
}

// A standard index (ix##) chunk whose header is at pos; *end receives where it ends.
bool ReadStandardIndex(const FileHandle& file, uint64_t pos, int s, const Limits& limits,
                       Collector* collector, uint64_t* end) {
    uint8_t h[32];
    if (!file.readAt(pos, h, sizeof h)) {
        return false;
    }
    const uint32_t size = ReadU32(h + 4);
    const uint32_t longs = ReadU16(h + 8);
    const uint64_t base = ReadU64(h + 20);
    // The chunks it lists must be this stream's: an index of another stream is damage.
    if (size < 24 || !InRange(pos + 8, size, file.size()) || h[11] != 1 ||
        (longs != 2 && longs != 3) || base > file.size() || StreamOfChunkId(ReadU32(h + 16)) != s) {
        return false;
    }
    *end = pos + 8 + size;
    const uint64_t stride = longs * 4;
    const uint64_t count = std::min<uint64_t>(ReadU32(h + 12), (size - 24) / stride);
    std::vector<uint8_t> buf(kBatch * stride);
    for (uint64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kBatch, count - done));
        if (!file.readAt(pos + 32 + done * stride, buf.data(), n * stride) ||
            !AddStandardEntries(buf.data(), n, longs, base, s, file, limits, collector)) {
            return false;
        }
        done += n;
    }
    return true;
}

bool ReadSuperIndex(const std::vector<uint8_t>& indx, int s, const FileHandle& file,
                    const Limits& limits, Collector* collector) {
    if (indx.size() < 24) {
        return false;
    }
    const uint8_t* p = indx.data();
    const uint32_t longs = ReadU16(p);
    const uint64_t inUse = ReadU32(p + 4);
    if (p[3] == 1 && (longs == 2 || longs == 3)) {
        // A standard index stored in the header itself.
        const uint64_t count = std::min<uint64_t>(inUse, (indx.size() - 24) / (longs * 4));
        const uint64_t base = ReadU64(p + 12);
        return base <= file.size() && AddStandardEntries(p + 24, static_cast<size_t>(count), longs,
                                                         base, s, file, limits, collector);
    }
    if (p[3] != 0 || longs != 4) {
        return false;
    }
    const uint64_t count = std::min<uint64_t>(inUse, (indx.size() - 24) / 16);
    // Standard indexes follow each other through the file; one listed twice, or out of order,
    // marks the super index as damaged (and cannot multiply the entries of one chunk).
    uint64_t end = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t pos = ReadU64(p + 24 + i * 16);
        if (pos < end || !ReadStandardIndex(file, pos, s, limits, collector, &end)) {
            return false;
        }
    }
    return true;
}

bool LoadOpenDml(const FileHandle& file, const FileLayout& layout, const Limits& limits,
                 std::vector<StreamIndex>* out) {
    Collector collector(out, limits, file.size());
    bool any = false;
    for (size_t s = 0; s < layout.streams.size(); ++s) {
        const auto& indx = layout.streams[s].superIndex;
        if (indx.empty()) {
            continue;
        }
        if (!ReadSuperIndex(indx, static_cast<int>(s), file, limits, &collector)) {
            collector.clear();
            return false;
        }
        any = any || !(*out)[s].entries.empty();
    }
    if (!any || !VerifyHeaders(file, *out)) {
        collector.clear();
        return false;
    }
    return true;
}

// ---- idx1
// ------------------------------------------------------------------------------------------

// The first data chunk of a movi list (skipping lists' headers, JUNK and the like).
std::optional<uint64_t> FirstDataChunk(const FileHandle& file, const MoviRange& movi) {
    uint64_t pos = movi.begin;
    for (int steps = 0; steps < 4096 && pos <= movi.end && movi.end - pos >= 8; ++steps) {
        uint8_t h[8];
        if (!file.readAt(pos, h, 8) || !IsPlausibleId(ReadU32(h))) {
            return std::nullopt;
        }
        const uint32_t id = ReadU32(h);
        if (id == FourCC("LIST")) {
            pos += 12;
            continue;
        }
        if (StreamOfChunkId(id) >= 0) {
            return pos;
        }
        const uint64_t size = ReadU32(h + 4);
        pos += 8 + size + (size & 1);
    }
    return std::nullopt;
}

// Where idx1 offsets count from: the 'movi' code (relative), 0 (absolute), or an anchor found
// by matching the first entry with the first chunk (shifted).
std::optional<uint64_t> DetectIdx1Base(const FileHandle& file, const MoviRange& movi, uint32_t ckid,
                                       uint32_t offset, uint32_t size) {
    const int s = StreamOfChunkId(ckid);
    auto matches = [&](uint64_t base) {
        uint8_t h[8];
        return file.readAt(base + offset, h, 8) &&
               HeaderMatches(h, s, {base + offset + 8, size, 0});
    };
    std::vector<uint64_t> candidates;
    if (offset >= movi.fourccPos) {
        candidates.push_back(0);
    }
    candidates.push_back(movi.fourccPos);
    if (auto first = FirstDataChunk(file, movi); first && *first >= offset) {
        candidates.push_back(*first - offset);
    }
    for (uint64_t base : candidates) {
        if (matches(base)) {
            return base;
        }
    }
    return std::nullopt;
}

bool LoadIdx1(const FileHandle& file, const FileLayout& layout, const Limits& limits,
              std::vector<StreamIndex>* out) {
    if (!layout.hasIdx1 || layout.idx1Cut || layout.movis.empty()) {
        return false;
    }
    Collector collector(out, limits, file.size());
    const uint64_t count = layout.idx1Size / 16;
    const int streams = static_cast<int>(layout.streams.size());
    std::optional<uint64_t> base;
    std::vector<uint8_t> buf(kBatch * 16);
    for (uint64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kBatch, count - done));
        if (!file.readAt(layout.idx1Pos + done * 16, buf.data(), n * 16)) {
            collector.clear();
            return false;
        }
        done += n;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* e = buf.data() + i * 16;
            const uint32_t ckid = ReadU32(e);
            const uint32_t flags = ReadU32(e + 4);
            const uint32_t offset = ReadU32(e + 8);
            const uint32_t size = ReadU32(e + 12);
            const int s = StreamOfChunkId(ckid);
            if ((flags & kIndexList) != 0 || s < 0 || s >= streams ||
                ChunkType(ckid) == kTypeIndex) {
                continue;
            }
            if (!base) {
                base = DetectIdx1Base(file, layout.movis[0], ckid, offset, size);
            }
            const uint64_t pos = base ? *base + offset + 8 : 0;
            if (ChunkType(ckid) == kTypePalette) {
                // Kept when it lies in the file; a palette change is never a sample.
                if (base && EntryFits(pos, size, file, limits) &&
                    !collector.addPalette(s, pos, size)) {
                    collector.clear();
                    return false;
                }
                continue;
            }
            if (!base || !EntryFits(pos, size, file, limits) ||
                !collector.add(s, {pos, size, (flags & kIndexKeyFrame) ? kEntryKey : 0u})) {
                collector.clear();
                return false;
            }
        }
    }
    if (!base || !VerifyHeaders(file, *out)) {
        collector.clear();
        return false;
    }
    return true;
}

// ---- scanning ----------------------------------------------------------------------------------

// Chunk headers read through a small window, so that runs of tiny chunks (drop frames, padding,
// records) do not cost a system call each.
class HeaderWindow {
  public:
    explicit HeaderWindow(const FileHandle& file) : m_file(file) {}
    bool read(uint64_t pos, uint8_t* out, size_t len) {
        const bool cached = pos >= m_pos && pos - m_pos <= m_len && m_len - (pos - m_pos) >= len;
        if (!cached) {
            const uint64_t left = m_file.size() > pos ? m_file.size() - pos : 0;
            const auto n = static_cast<size_t>(std::min<uint64_t>(sizeof m_buf, left));
            if (n < len || !m_file.readAt(pos, m_buf, n)) {
                return false;
            }
            m_pos = pos;
            m_len = n;
        }
        std::memcpy(out, m_buf + (pos - m_pos), len);
        return true;
    }

  private:
    const FileHandle& m_file;
    uint8_t m_buf[4096];
    uint64_t m_pos = 0;
    size_t m_len = 0;
};

struct ScanState {
    const FileHandle& file;
    const Limits& limits;
    const std::vector<StreamShape>& shapes;
    Collector& collector;
    std::vector<bool> keySeen;
    uint64_t visited = 0;
    uint64_t anchorChecks = 0;  // headers looked up while resynchronising
    HeaderWindow headers{file};
};

// Adds one data chunk found by scanning; false when the scan must stop.
bool AddScanned(ScanState& st, int s, uint64_t pos, uint32_t size) {
    const StreamShape& shape = st.shapes[static_cast<size_t>(s)];
    const uint64_t avail = st.file.size() - pos;
    uint32_t flags = 0;
    uint32_t keep = size;
    if (size > avail) {
        // Cut off by the end of the file: audio keeps its whole blocks, video loses the frame.
        if (shape.blockAlign == 0) {
            return false;
        }
        keep = static_cast<uint32_t>(avail - avail % shape.blockAlign);
        flags |= kEntryPartial;
        if (keep == 0) {
            return false;
        }
    }
    if (keep > st.limits.maxChunkSize) {
        return false;
    }
    const bool everyKey = !shape.isVideo || shape.keyFrameOnly;
    bool probedKey = false;
    if (keep > 0 && shape.compression != 0) {
        // Without an index, the picture type says which frames a segment may start at.
        uint8_t start[kProbeBytes];
        const size_t n = std::min<size_t>(keep, sizeof start);
        const PictureType type = st.headers.read(pos, start, n)
                                     ? ProbePicture(shape.compression, start, n)
                                     : PictureType::kUnknown;
        probedKey = type == PictureType::kIntra || type == PictureType::kClosedIntra;
    }
    if (keep > 0 && (everyKey || probedKey || !st.keySeen[static_cast<size_t>(s)])) {
        flags |= kEntryKey;
        st.keySeen[static_cast<size_t>(s)] = true;
    }
    return st.collector.add(s, {pos, keep, flags}) && (flags & kEntryPartial) == 0;
}

// Whether a data chunk header is believable at pos: a known stream, a size the file can hold,
// and a believable id right after it (or the end of the list).
bool IsAnchor(ScanState& st, uint64_t pos, uint64_t end, const uint8_t* h) {
    const uint32_t id = ReadU32(h);
    const uint32_t size = ReadU32(h + 4);
    const int s = StreamOfChunkId(id);
    const uint16_t type = ChunkType(id);
    if (s < 0 || s >= static_cast<int>(st.shapes.size()) || size > st.limits.maxChunkSize ||
        (type != TwoCC('d', 'c') && type != TwoCC('d', 'b') && type != TwoCC('w', 'b'))) {
        return false;
    }
    const uint64_t next = pos + 8 + size + (size & 1);
    uint8_t after[8];
    ++st.anchorChecks;
    return next <= st.file.size() &&
           (next + 8 > end || (st.file.readAt(next, after, 8) && IsPlausibleId(ReadU32(after))));
}

// After damage (zeroed or overwritten bytes), the next believable data chunk at or after pos.
// Blocks grow from small, so that damage of a few bytes costs little; a file that keeps
// offering false anchors ends the search.
std::optional<uint64_t> Resync(ScanState& st, uint64_t pos, uint64_t end) {
    constexpr uint64_t kMaxAnchorChecks = 1 << 20;
    std::vector<uint8_t> buf;
    size_t block = 512;
    for (uint64_t base = pos; base < end && end - base >= 8; base += block, block *= 2) {
        block = std::min<size_t>(block, 64 << 10);
        buf.resize(block + 8);
        const auto n = static_cast<size_t>(std::min<uint64_t>(buf.size(), end - base));
        if (!st.file.readAt(base, buf.data(), n)) {
            return std::nullopt;
        }
        for (size_t i = 0; i + 8 <= n && i < block; ++i) {
            if (st.anchorChecks > kMaxAnchorChecks) {
                return std::nullopt;
            }
            if (IsAnchor(st, base + i, end, buf.data() + i)) {
                return base + i;
            }
        }
    }
    return std::nullopt;
}

// Scans one movi list; false when scanning must stop altogether.
bool ScanMovi(ScanState& st, const MoviRange& movi) {
    uint64_t pos = movi.begin;
    bool afterOdd = false;
    const int streams = static_cast<int>(st.shapes.size());
    while (pos <= movi.end && movi.end - pos >= 8) {
        if (++st.visited > st.limits.maxScanChunks) {
            return false;
        }
        uint8_t h[12];
        if (!st.headers.read(pos, h, 8)) {
            return false;
        }
        const uint32_t id = ReadU32(h);
        const uint32_t size = ReadU32(h + 4);
        if (!IsPlausibleId(id)) {
            if (afterOdd) {
                // An odd-sized chunk written without its pad byte: the next header is one earlier.
                afterOdd = false;
                --pos;
                continue;
            }
            const std::optional<uint64_t> next = Resync(st, pos + 1, movi.end);
            if (!next) {
                return false;
            }
            pos = *next;
            continue;
        }
        if (id == FourCC("LIST")) {
            if (!st.headers.read(pos + 8, h + 8, 4)) {
                return false;
            }
            const uint32_t type = ReadU32(h + 8);
            if (type == FourCC("rec ") || type == FourCC("movi")) {
                pos += 12;  // records are entered transparently
                afterOdd = false;
                continue;
            }
        }
        const int s = StreamOfChunkId(id);
        if (s >= 0 && s < streams && ChunkType(id) == kTypePalette) {
            if (InRange(pos + 8, size, st.file.size()) &&
                !st.collector.addPalette(s, pos + 8, size)) {
                return false;
            }
        } else if (s >= 0 && s < streams && ChunkType(id) != kTypeIndex &&
                   !AddScanned(st, s, pos + 8, size)) {
            return false;
        }
        afterOdd = (size & 1) != 0;
        pos += 8 + static_cast<uint64_t>(size) + (size & 1);
    }
    return true;
}

// Scans the movi lists from the given one on, adding to what the index already holds.
void Scan(const FileHandle& file, const FileLayout& layout, const Limits& limits,
          const std::vector<StreamShape>& shapes, size_t firstMovi, std::vector<StreamIndex>* out) {
    Collector collector(out, limits, file.size());
    ScanState st{file, limits, shapes, collector, std::vector<bool>(shapes.size())};
    for (size_t s = 0; s < out->size(); ++s) {
        st.keySeen[s] = !(*out)[s].entries.empty();
    }
    for (size_t m = firstMovi; m < layout.movis.size(); ++m) {
        if (!ScanMovi(st, layout.movis[m])) {
            break;
        }
    }
}

// Key flags, sizes, byte offsets and sample counts from the entries.
void Complete(const StreamShape& shape, StreamIndex* index) {
    bool anyKey = false;
    for (IndexEntry& e : index->entries) {
        if (e.size == 0) {
            e.flags &= ~kEntryKey;  // a drop frame is never a key frame
        } else if (!shape.isVideo) {
            e.flags |= kEntryKey;  // every audio block is a key
        }
        anyKey = anyKey || (e.flags & kEntryKey) != 0;
        index->largest = std::max(index->largest, e.size);
        if (shape.blockAlign > 0) {
            index->byteStart.push_back(index->totalBytes);
        }
        index->totalBytes += e.size;
    }
    if (!anyKey) {
        // No entry carries the flag: the first picture is a key frame all the same.
        for (IndexEntry& e : index->entries) {
            if (e.size > 0) {
                e.flags |= kEntryKey;
                break;
            }
        }
    }
    if (shape.blockAlign > 0) {
        index->samples = index->totalBytes / shape.blockAlign;
        return;
    }
    index->samples = index->entries.size();
    for (size_t i = 0; i < index->entries.size(); ++i) {
        const auto n = static_cast<uint32_t>(i);
        if ((index->entries[i].flags & kEntryKey) != 0) {
            index->keys.push_back(n);
        }
        if (index->entries[i].size == 0) {
            if (!index->emptyRuns.empty() && index->emptyRuns.back().second == n) {
                index->emptyRuns.back().second = n + 1;
            } else {
                index->emptyRuns.emplace_back(n, n + 1);
            }
        }
    }
}

bool IsKeyFrameOnlyCodec(uint32_t compression) {
    if (compression <= 3) {
        return compression == 0 || compression == 3;  // BI_RGB, BI_BITFIELDS (not RLE)
    }
    char c[5] = {};
    for (int i = 0; i < 4; ++i) {
        c[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(compression >> (8 * i))));
    }
    static const char* const kCodes[] = {"MJPG", "JPEG", "DMB1", "AVRN", "MJPA", "MJPB", "LJPG",
                                         "MJP2", "MJ2C", "DVSD", "DVHD", "DVSL", "DV25", "DV50",
                                         "DVH1", "CDVC", "DVCP", "DVPP", "HFYU", "FFVH", "YUY2",
                                         "UYVY", "YVYU", "YV12", "I420", "IYUV", "Y8  ", "Y800",
                                         "GREY", "NV12", "V210", "2VUY", "RAW ", "DIB "};
    for (const char* code : kCodes) {
        if (std::equal(c, c + 4, code)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool HeaderMatches(const uint8_t header[8], int s, const IndexEntry& entry) {
    const uint32_t size = ReadU32(header + 4);
    const bool sizeOk =
        (entry.flags & kEntryPartial) != 0 ? size >= entry.size : size == entry.size;
    return sizeOk && StreamOfChunkId(ReadU32(header)) == s;
}

bool ChunkMatches(const FileHandle& file, const uint8_t header[8], int s, const IndexEntry& entry) {
    if (HeaderMatches(header, s, entry)) {
        return true;
    }
    if (StreamOfChunkId(ReadU32(header)) != s || (entry.flags & kEntryPartial) != 0) {
        return false;
    }
    // Only the size field disagrees. The index holds when the chunk it describes is followed by
    // the next chunk's header (or by the end of the file): then the header's size is the damage.
    const uint64_t next = entry.pos + entry.size + (entry.size & 1);
    if (next >= file.size()) {
        return next == file.size() || entry.pos + entry.size == file.size();
    }
    uint8_t id[4];
    if (!file.readAt(next, id, 4)) {
        return false;
    }
    const uint32_t fourcc = ReadU32(id);
    return StreamOfChunkId(fourcc) >= 0 || fourcc == FourCC("LIST") || fourcc == FourCC("JUNK") ||
           fourcc == FourCC("idx1");
}

StreamShape ShapeOf(const StreamData& stream) {
    StreamShape shape;
    const uint32_t type = stream.header.fccType;
    if (type == FourCC("auds")) {
        shape.isAudio = true;
        if (stream.header.dwSampleSize != 0) {
            const WAVEFORMATEX wf = DecodeWaveFormatEx(stream.format.data(),
                                                       static_cast<int32_t>(stream.format.size()));
            shape.blockAlign = std::max<uint32_t>(1, wf.nBlockAlign);
        }
    } else if (type == FourCC("vids")) {
        shape.isVideo = true;
        const BITMAPINFOHEADER bi = DecodeBitmapInfoHeader(
            stream.format.data(), static_cast<int32_t>(stream.format.size()));
        shape.keyFrameOnly = stream.format.size() >= 20 && IsKeyFrameOnlyCodec(bi.biCompression);
        if (!shape.keyFrameOnly) {
            if (IsProbedCodec(bi.biCompression)) {
                shape.compression = bi.biCompression;
            } else if (IsProbedCodec(stream.header.fccHandler)) {
                shape.compression = stream.header.fccHandler;
            }
        }
    } else if (type == FourCC("iavs")) {
        shape.isVideo = true;
        shape.keyFrameOnly = true;  // interleaved DV: every frame stands alone
    }
    return shape;
}

IndexSource BuildIndex(const FileHandle& file, const FileLayout& layout, const Limits& limits,
                       const std::vector<StreamShape>& shapes, std::vector<StreamIndex>* out) {
    out->assign(shapes.size(), StreamIndex{});
    IndexSource source = IndexSource::kScan;
    if (LoadOpenDml(file, layout, limits, out)) {
        source = IndexSource::kOpenDml;
    } else if (LoadIdx1(file, layout, limits, out)) {
        // idx1 covers the first RIFF only; OpenDML parts after it are scanned.
        source = IndexSource::kIdx1;
        Scan(file, layout, limits, shapes, 1, out);
    } else {
        Scan(file, layout, limits, shapes, 0, out);
    }
    for (size_t s = 0; s < out->size(); ++s) {
        Complete(shapes[s], &(*out)[s]);
    }
    return source;
}

}  // namespace avi::detail
