// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's view of a file on disk and of its RIFF layout: positioned reads (pread, never a
// shared file position), the parsed header list, and where the movi lists and idx1 lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/avi/avi_common.h"
#include "platform/avi/avi_reader.h"

namespace avi::detail {

class FileHandle {
  public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens a regular file for reading; on failure returns false with *err = errno.
    bool open(const std::string& path, int* err);
    uint64_t size() const { return m_size; }

    // Reads exactly len bytes at pos; false on an I/O error or when the range leaves the file.
    bool readAt(uint64_t pos, void* buffer, size_t len) const;
    // Reads a chunk header (8 bytes at pos) and len bytes of payload after it in one call.
    bool readChunkAt(uint64_t pos, uint8_t header[8], void* buffer, size_t len) const;

  private:
    int m_fd = -1;
    uint64_t m_size = 0;
};

// A LIST 'movi': its payload after the 'movi' code, clamped to the file.
struct MoviRange {
    uint64_t fourccPos = 0;  // position of the 'movi' code (idx1 offsets count from here)
    uint64_t begin = 0;      // first chunk header
    uint64_t end = 0;        // end of the list, never beyond the file
};

struct StreamSetup {
    StreamData data;
    std::vector<uint8_t> superIndex;  // indx payload, empty when absent
};

struct FileLayout {
    MainHeader main;
    std::vector<StreamSetup> streams;
    bool hasDmlh = false;
    std::vector<MoviRange> movis;  // the first RIFF's, then one per RIFF AVIX
    bool hasIdx1 = false;
    bool idx1Cut = false;   // idx1 declared longer than the file holds
    uint64_t idx1Pos = 0;   // payload position
    uint64_t idx1Size = 0;  // payload bytes present in the file
};

// Parses the RIFF tree's headers. Returns AVIERR_OK, AVIERR_BADFORMAT (not a RIFF AVI, malformed
// or over-limit headers) or AVIERR_FILEREAD (I/O error).
int32_t ParseLayout(const FileHandle& file, const Limits& limits, FileLayout* layout);

// True for four characters a chunk id may hold (letters, digits, blank, '_').
bool IsPlausibleId(uint32_t fourcc);
// The stream number of a data chunk id ("01wb" -> 1), or -1 when the id names no stream.
int StreamOfChunkId(uint32_t fourcc);
// The two type characters of a data chunk id ("01wb" -> 'wb' as a 16-bit value).
inline uint16_t ChunkType(uint32_t fourcc) {
    return static_cast<uint16_t>(fourcc >> 16);
}
inline constexpr uint16_t TwoCC(char a, char b) {
    return static_cast<uint16_t>(static_cast<uint8_t>(a) | (static_cast<uint8_t>(b) << 8));
}

}  // namespace avi::detail
