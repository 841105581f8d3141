// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's index: one compact entry per chunk of each stream, built from the OpenDML indexes,
// from idx1, or by scanning the movi lists, then completed into what sample addressing needs.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/avi/avi_common.h"
#include "platform/avi/reader_file.h"

namespace avi::detail {

inline constexpr uint32_t kEntryKey = 0x1;
// The chunk header declares more bytes than the entry keeps (a cut-off audio chunk).
inline constexpr uint32_t kEntryPartial = 0x2;

struct IndexEntry {
    uint64_t pos = 0;  // first payload byte; the chunk header is the 8 bytes before it
    uint32_t size = 0;
    uint32_t flags = 0;
};
static_assert(sizeof(IndexEntry) == 16);

// How a stream's samples map onto its chunks.
struct StreamShape {
    bool isAudio = false;
    bool isVideo = false;
    uint32_t blockAlign = 0;    // > 0: fixed-size audio addressed in blocks of this many bytes
    bool keyFrameOnly = false;  // codec whose every frame is a key frame (used when scanning)
    uint32_t compression = 0;   // a codec the bitstream probe reads (used when scanning), or 0
};

// A palette-change chunk ('##pc') of a video stream: it takes effect at the entry that follows it.
struct PaletteChange {
    uint64_t entry = 0;  // entries of the stream before the chunk
    uint64_t pos = 0;    // first payload byte
    uint32_t size = 0;
};

struct StreamIndex {
    std::vector<IndexEntry> entries;
    std::vector<PaletteChange> paletteChanges;  // in file order
    std::vector<uint64_t> byteStart;  // block-addressed streams: byte offset of each entry
    std::vector<uint32_t> keys;       // chunk-addressed streams: entry numbers of key samples
    // Chunk-addressed streams: runs of empty chunks (drop frames) as [first, end) entry numbers.
    std::vector<std::pair<uint32_t, uint32_t>> emptyRuns;
    uint64_t totalBytes = 0;
    uint64_t samples = 0;  // samples the index holds
    uint32_t largest = 0;
};

enum class IndexSource { kOpenDml, kIdx1, kScan };

// Builds every stream's index. Never fails: a file whose indexes are unusable is scanned, and a
// scan keeps what it finds.
IndexSource BuildIndex(const FileHandle& file, const FileLayout& layout, const Limits& limits,
                       const std::vector<StreamShape>& shapes, std::vector<StreamIndex>* out);

// Whether a chunk header read from the file agrees with an index entry of stream s.
bool HeaderMatches(const uint8_t header[8], int s, const IndexEntry& entry);
// The same, except that a header whose size alone disagrees is accepted when the file confirms
// the index's size: one damaged size field spoils no more than itself.
bool ChunkMatches(const FileHandle& file, const uint8_t header[8], int s, const IndexEntry& entry);

// The shape of a stream from its header and format.
StreamShape ShapeOf(const StreamData& stream);

}  // namespace avi::detail
