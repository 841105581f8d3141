// SPDX-License-Identifier: GPL-3.0-or-later
// The join's transfer buffer: one block of memory that grows to the largest sample read, never
// shrinks, and is capped so that no file can make the engine allocate without bound. Growing
// does not keep the contents (every caller reads or fills after making room), and memory is not
// zeroed: a frame copied through it is touched once, by the read.
#pragma once

#include <cstdint>
#include <memory>

namespace join {

class TransferBuffer {
  public:
    TransferBuffer();

    // Makes room for at least bytes; false (and unchanged) beyond kMaxTransferSize. The contents
    // are undefined after it grew.
    bool reserve(int64_t bytes);
    // Makes room for bytes and sets them all to value.
    bool fill(int64_t bytes, uint8_t value);

    uint8_t* data() { return m_bytes.get(); }
    int32_t capacity() const { return static_cast<int32_t>(m_capacity); }

    // vbvfw_AVIStreamRead into the buffer. When the data does not fit, the buffer grows to the
    // size the library reports and the read is made again; a sample beyond the cap stays a
    // failed read (AVIERR_BUFFERTOOSMALL).
    int32_t read(int16_t stream, int64_t start, int32_t count, int32_t* bytes, int32_t* samples);

  private:
    std::unique_ptr<uint8_t[]> m_bytes;
    int64_t m_capacity = 0;
};

}  // namespace join
