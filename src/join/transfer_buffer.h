// The join's transfer buffer: one block of memory that grows to the largest sample read, never
// shrinks, and is capped so that no file can make the engine allocate without bound.
#pragma once

#include <cstdint>
#include <vector>

namespace join {

class TransferBuffer {
  public:
    TransferBuffer();

    // Makes room for at least bytes; false (and unchanged) beyond kMaxTransferSize.
    bool reserve(int64_t bytes);
    // Makes room for bytes and sets them all to value.
    bool fill(int64_t bytes, uint8_t value);

    uint8_t* data() { return m_bytes.data(); }
    int32_t capacity() const { return static_cast<int32_t>(m_bytes.size()); }

    // vbvfw_AVIStreamRead into the buffer. When the data does not fit, the buffer grows to the
    // size the library reports and the read is made again; a sample beyond the cap stays a
    // failed read (AVIERR_BUFFERTOOSMALL).
    int32_t read(int16_t stream, int64_t start, int32_t count, int32_t* bytes, int32_t* samples);

  private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace join
