// SPDX-License-Identifier: GPL-3.0-or-later
// The byte layout the AVI writer produces: the header block (RIFF 'AVI ' header and LIST 'hdrl'
// with room reserved for the OpenDML super indexes and 'dmlh'), idx1 and ix## index chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/avi/avi_common.h"

namespace avi {

// Super index entries reserved in the header per stream. With 1 GiB parts this covers 512 GiB.
inline constexpr uint32_t kSuperIndexCapacity = 512;

struct SuperIndexEntry {
    uint64_t offset = 0;    // file position of the ix## chunk header
    uint32_t size = 0;      // ix## chunk size including its 8-byte header
    uint32_t duration = 0;  // samples the part holds for the stream
};

// One chunk written to the current RIFF part.
struct ChunkRecord {
    uint64_t pos = 0;  // file position of the chunk header
    uint32_t size = 0;
    uint16_t stream = 0;
    bool key = false;
    bool palette = false;  // a '##pc' palette change: in idx1 only, never a sample
};

struct StreamLayout {
    StreamHeader header;
    const std::vector<uint8_t>* format = nullptr;
    std::string name;  // written as strn when not empty
    uint32_t chunkId = 0;
    const std::vector<SuperIndexEntry>* superIndex = nullptr;
};

struct HeaderLayout {
    MainHeader main;
    std::vector<StreamLayout> streams;
    bool openDml = false;  // indx and odml written as such, else left as JUNK
    uint32_t dmlhTotalFrames = 0;
    uint32_t firstRiffSize = 0;  // RIFF 'AVI ' size field
};

// Chunk ids: "00dc", "01wb", "ix00", ...
uint32_t DataChunkId(int stream, const char (&twoCC)[3]);
uint32_t IndexChunkId(int stream);

// The block from the RIFF header to the end of LIST 'hdrl'. Its size depends only on the
// stream count, format sizes and names, so a final version can replace a provisional one.
std::vector<uint8_t> BuildHeader(const HeaderLayout& layout);

// idx1 chunk (header included) for the chunks of the first part; offsets relative to moviFourCC.
std::vector<uint8_t> BuildLegacyIndex(const std::vector<ChunkRecord>& chunks, uint64_t moviFourCC,
                                      const std::vector<uint32_t>& chunkIds);

// ix## chunk (header included) for one stream's chunks of a part, based at moviFourCC.
std::vector<uint8_t> BuildStandardIndex(const std::vector<ChunkRecord>& chunks, int stream,
                                        uint32_t chunkId, uint64_t moviFourCC);

// Bytes an ix## chunk for n entries takes, header included.
constexpr uint64_t StandardIndexBytes(uint64_t entries) {
    return 8 + 24 + 8 * entries;
}

}  // namespace avi
