// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/palette_follower.h"

#include <algorithm>
#include <cstring>

#include "media/vbvfw.h"

namespace join {

namespace {

constexpr int32_t kBitmapHeaderSize = 40;

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

void PaletteFollower::start(const uint8_t* format, int32_t size) {
    m_active = false;
    m_written = 0;
    if (format == nullptr || size < kBitmapHeaderSize + 4) {
        return;
    }
    const BITMAPINFOHEADER header = DecodeBitmapInfoHeader(format, size);
    const uint32_t paletteStart = ReadLe32(format);
    if (header.biBitCount == 0 || header.biBitCount > 8 || paletteStart < kBitmapHeaderSize ||
        paletteStart + 4 > static_cast<uint32_t>(size)) {
        return;
    }
    m_format.assign(format, format + size);
    m_paletteStart = paletteStart;
    m_active = true;
}

int32_t PaletteFollower::beforeFrame(int16_t sourceVideo, int16_t destVideo, int64_t f,
                                     int64_t destPos, bool segmentStart) {
    if (!m_active || (!segmentStart && f != m_nextChange)) {
        return 0;
    }
    const int64_t after = vbvfw_AVIStreamFindSample(sourceVideo, f + 1, kFindNext | kFindFormat);
    m_nextChange = after > f ? after : -1;
    std::vector<uint8_t> source(m_format.size());
    auto size = static_cast<int32_t>(source.size());
    const int32_t status =
        vbvfw_AVIStreamReadFormat(sourceVideo, static_cast<int32_t>(f), source.data(), &size);
    if ((status != 0 && !IsBufferTooSmall(status)) ||
        size != static_cast<int32_t>(m_format.size())) {
        return 0;  // a source whose format has another shape keeps the joined file's palette
    }
    // The joined stream keeps its own header; only the palette entries follow the source.
    std::vector<uint8_t> wanted = m_format;
    std::copy(source.begin() + m_paletteStart, source.end(), wanted.begin() + m_paletteStart);
    if (wanted == m_format) {
        return 0;
    }
    const int32_t written =
        vbvfw_AVIStreamSetFormat(destVideo, static_cast<int32_t>(destPos), wanted.data(),
                                 static_cast<int32_t>(wanted.size()));
    if (written == 0) {
        m_format = std::move(wanted);
        ++m_written;
    }
    return written;
}

}  // namespace join
