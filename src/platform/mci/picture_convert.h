// SPDX-License-Identifier: GPL-3.0-or-later
// Turning decoded pictures into bytes: 32-bit BGRA at any size for painting (libswscale), and
// the picture's own pixel layout packed without padding for comparisons with other decoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AVFrame;
struct SwsContext;

namespace mci {

// 32-bit pixels, byte order B G R A (QImage::Format_RGB32 on little-endian machines). Rows are
// padded to a multiple of 64 bytes, and the buffer has room after the last row, because the
// scaler writes whole blocks of pixels.
struct BgraPicture {
    int width = 0;
    int height = 0;
    int stride = 0;      // bytes from one row to the next
    int64_t frame = -1;  // the frame the picture shows, when it is a movie's
    std::vector<uint8_t> pixels;
};

// A cache for one scaling context; not thread-safe.
class PictureScaler {
  public:
    PictureScaler() = default;
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;
    // Scales frame to width x height (its own size when either is 0 or less). False on failure.
    bool toBgra(const AVFrame* frame, int width, int height, BgraPicture* out);

  private:
    SwsContext* m_context = nullptr;
};

// The picture in its decoder's pixel format, planes packed one after another without padding,
// and that format's name; palette formats are given as "rgb24". False when nothing to pack.
bool PackPicture(const AVFrame* frame, std::vector<uint8_t>* bytes, std::string* pixelFormat);

}  // namespace mci
