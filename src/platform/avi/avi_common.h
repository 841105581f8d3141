// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the AVI container library: byte order helpers, four-character codes, the
// limits on what a file may ask for, and the headers as they are stored in a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace avi {

// ---- little-endian access, always through memcpy ----------------------------------------------

inline uint16_t ReadU16(const uint8_t* p) {
    uint8_t b[2];
    std::memcpy(b, p, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t ReadU32(const uint8_t* p) {
    uint8_t b[4];
    std::memcpy(b, p, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline uint64_t ReadU64(const uint8_t* p) {
    return static_cast<uint64_t>(ReadU32(p)) | (static_cast<uint64_t>(ReadU32(p + 4)) << 32);
}
inline int16_t ReadI16(const uint8_t* p) {
    return static_cast<int16_t>(ReadU16(p));
}
inline int32_t ReadI32(const uint8_t* p) {
    return static_cast<int32_t>(ReadU32(p));
}

inline void WriteU16(uint8_t* p, uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    std::memcpy(p, b, 2);
}
inline void WriteU32(uint8_t* p, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    std::memcpy(p, b, 4);
}
inline void WriteU64(uint8_t* p, uint64_t v) {
    WriteU32(p, static_cast<uint32_t>(v));
    WriteU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// ---- four-character codes -----------------------------------------------------------------------

constexpr uint32_t FourCC(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

// The four characters of a code as text, each one outside 32..126 shown as "?".
inline std::string FourCCText(uint32_t code) {
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const uint32_t byte = (code >> (8 * i)) & 0xFFu;
        if (byte >= 32 && byte <= 126) {
            text[static_cast<size_t>(i)] = static_cast<char>(byte);
        }
    }
    return text;
}

// ---- overflow-safe range checks -----------------------------------------------------------------

// True when [pos, pos + len) lies inside [0, size).
constexpr bool InRange(uint64_t pos, uint64_t len, uint64_t size) {
    return len <= size && pos <= size - len;
}

// ---- limits on what a file may ask for ----------------------------------------------------------

struct Limits {
    int maxStreams = 64;
    uint64_t maxIndexEntries = 64ull << 20;  // per file, all streams together
    uint32_t maxChunkSize = 256u << 20;      // a single frame or audio chunk, read or written
    uint32_t maxFormatSize = 1u << 20;       // strf payload
    uint32_t maxHeaderSize = 64u << 20;      // the whole hdrl list
    uint32_t maxRiffParts = 100000;          // RIFF AVI + AVIX parts
    uint64_t maxScanChunks = 64ull << 20;    // chunks visited when an index is rebuilt
    // The movie device. A picture larger than this many pixels is not decoded (as large as a
    // 8192 x 8192 picture: every real format fits). A window's width and height are held to
    // maxWindowSize; what is painted stays within maxPaintedWidth x maxPaintedHeight (a 4K
    // screen) and is stretched beyond, so a huge window costs no memory. Movies open at once in
    // one process (each has its own decoding thread), and the length of one command string.
    int64_t maxPicturePixels = 8192ll * 8192;
    int32_t maxWindowSize = 16384;
    int32_t maxPaintedWidth = 3840;
    int32_t maxPaintedHeight = 2160;
    int32_t maxOpenMovies = 32;
    size_t maxCommandLength = 64u << 10;
};

// ---- headers as stored in the file --------------------------------------------------------------

// avih, 56 bytes.
struct MainHeader {
    uint32_t dwMicroSecPerFrame = 0;
    uint32_t dwMaxBytesPerSec = 0;
    uint32_t dwPaddingGranularity = 0;
    uint32_t dwFlags = 0;
    uint32_t dwTotalFrames = 0;
    uint32_t dwInitialFrames = 0;
    uint32_t dwStreams = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwWidth = 0;
    uint32_t dwHeight = 0;
};

// strh, 56 bytes (48 in old files: no frame rectangle).
struct StreamHeader {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwFlags = 0;
    uint16_t wPriority = 0;
    uint16_t wLanguage = 0;
    uint32_t dwInitialFrames = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;
    uint32_t dwStart = 0;
    uint32_t dwLength = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwQuality = 0;
    uint32_t dwSampleSize = 0;
    int16_t rcLeft = 0;
    int16_t rcTop = 0;
    int16_t rcRight = 0;
    int16_t rcBottom = 0;
};

// Index flags as stored in idx1.
inline constexpr uint32_t kIndexList = 0x01;
inline constexpr uint32_t kIndexKeyFrame = 0x10;
inline constexpr uint32_t kIndexNoTime = 0x100;

// avih flags.
inline constexpr uint32_t kAvifHasIndex = 0x10;
inline constexpr uint32_t kAvifIsInterleaved = 0x100;
inline constexpr uint32_t kAvifTrustCkType = 0x800;

}  // namespace avi
