// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/transfer_buffer.h"

#include <algorithm>
#include <cstring>

#include "join/join_engine.h"
#include "media/vbvfw.h"

namespace join {

namespace {
constexpr int64_t kInitialSize = 1 << 16;
}

TransferBuffer::TransferBuffer()
    : m_bytes(std::make_unique_for_overwrite<uint8_t[]>(kInitialSize)), m_capacity(kInitialSize) {}

bool TransferBuffer::reserve(int64_t bytes) {
    if (bytes > kMaxTransferSize) {
        return false;
    }
    if (bytes > m_capacity) {
        // At least doubling: frames of slowly growing sizes do not reallocate each time.
        const int64_t size = std::min(std::max(bytes, 2 * m_capacity), kMaxTransferSize);
        m_bytes.reset();
        m_bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
        m_capacity = size;
    }
    return true;
}

bool TransferBuffer::fill(int64_t bytes, uint8_t value) {
    if (bytes < 0 || !reserve(bytes)) {
        return false;
    }
    std::memset(m_bytes.get(), value, static_cast<size_t>(bytes));
    return true;
}

int32_t TransferBuffer::read(int16_t stream, int64_t start, int32_t count, int32_t* bytes,
                             int32_t* samples) {
    *bytes = 0;
    *samples = 0;
    int32_t status = vbvfw_AVIStreamRead(stream, start, count, data(), capacity(), bytes, samples);
    if (IsBufferTooSmall(status) && *bytes > capacity() && reserve(*bytes)) {
        *bytes = 0;
        *samples = 0;
        status = vbvfw_AVIStreamRead(stream, start, count, data(), capacity(), bytes, samples);
    }
    return status;
}

}  // namespace join
