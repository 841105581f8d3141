// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of the fixed-size start of stream formats from their stored bytes.
#include <algorithm>
#include <cstring>

#include "media/vbvfw.h"
#include "platform/avi/avi_common.h"

namespace {

// Copies the first bytes of a format into a zeroed buffer of the fixed size, so that short formats
// (a 16-byte PCMWAVEFORMAT, say) read their missing fields as 0.
template <size_t N>
void CopyPrefix(uint8_t (&out)[N], const void* bytes, int32_t size) {
    std::memset(out, 0, N);
    if (bytes != nullptr && size > 0) {
        std::memcpy(out, bytes, std::min<size_t>(N, static_cast<size_t>(size)));
    }
}

}  // namespace

BITMAPINFOHEADER DecodeBitmapInfoHeader(const void* bytes, int32_t size) {
    uint8_t b[40];
    CopyPrefix(b, bytes, size);
    BITMAPINFOHEADER h;
    h.biSize = avi::ReadU32(b + 0);
    h.biWidth = avi::ReadI32(b + 4);
    h.biHeight = avi::ReadI32(b + 8);
    h.biPlanes = avi::ReadU16(b + 12);
    h.biBitCount = avi::ReadU16(b + 14);
    h.biCompression = avi::ReadU32(b + 16);
    h.biSizeImage = avi::ReadU32(b + 20);
    h.biXPelsPerMeter = avi::ReadI32(b + 24);
    h.biYPelsPerMeter = avi::ReadI32(b + 28);
    h.biClrUsed = avi::ReadU32(b + 32);
    h.biClrImportant = avi::ReadU32(b + 36);
    return h;
}

WAVEFORMATEX DecodeWaveFormatEx(const void* bytes, int32_t size) {
    uint8_t b[18];
    CopyPrefix(b, bytes, size);
    WAVEFORMATEX w;
    w.wFormatTag = avi::ReadU16(b + 0);
    w.nChannels = avi::ReadU16(b + 2);
    w.nSamplesPerSec = avi::ReadU32(b + 4);
    w.nAvgBytesPerSec = avi::ReadU32(b + 8);
    w.nBlockAlign = avi::ReadU16(b + 12);
    w.wBitsPerSample = avi::ReadU16(b + 14);
    w.cbSize = avi::ReadU16(b + 16);
    return w;
}

bool IsPcmWaveFormat(const void* bytes, int32_t size) {
    constexpr uint16_t kTagPcm = 1;
    constexpr uint16_t kTagFloat = 3;
    constexpr uint16_t kTagExtensible = 0xFFFE;
    constexpr int32_t kSubFormatOffset = 24;
    if (bytes == nullptr || size < 2) {
        return false;
    }
    const auto* b = static_cast<const uint8_t*>(bytes);
    uint16_t tag = avi::ReadU16(b);
    if (tag == kTagExtensible && size >= kSubFormatOffset + 2) {
        tag = avi::ReadU16(b + kSubFormatOffset);
    }
    return tag == kTagPcm || tag == kTagFloat;
}
