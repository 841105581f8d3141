// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/avi/writer_file.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/avi/avi_common.h"

namespace avi {

// Starts the write-back of [0, end) of the file as the writer asks for more, one range after
// the other; the thread ends (and is waited for) before the file is closed.
class OutputFile::Writeback {
  public:
    explicit Writeback(int fd) : m_fd(fd), m_thread([this] { run(); }) {}
    ~Writeback() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    Writeback(const Writeback&) = delete;
    Writeback& operator=(const Writeback&) = delete;

    void upTo(uint64_t end) {
        {
            std::lock_guard lock(m_mutex);
            m_wanted = std::max(m_wanted, end);
        }
        m_wake.notify_one();
    }

  private:
    void run() {
        uint64_t done = 0;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_wanted > done; });
            if (m_stop) {
                return;  // what is left is the final flush's
            }
            const uint64_t end = m_wanted;
            lock.unlock();
            // Only advice: a file system or file that cannot do it is written back as ever.
            (void)::sync_file_range(m_fd, static_cast<off64_t>(done),
                                    static_cast<off64_t>(end - done), SYNC_FILE_RANGE_WRITE);
            done = end;
            lock.lock();
        }
    }

    const int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    uint64_t m_wanted = 0;
    bool m_stop = false;
    std::thread m_thread;  // last: started once the rest is set
};

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    m_writeback.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool OutputFile::create(const std::string& path, bool createNew) {
    const int flags = createNew ? O_EXCL | O_NOFOLLOW : O_TRUNC;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
    if (m_fd < 0) {
        m_failed = true;
        m_errno = errno;
        return false;
    }
    m_buffer = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
    return true;
}

void OutputFile::fail(int errorNumber) {
    if (!m_failed) {
        m_failed = true;
        m_errno = errorNumber;
    }
}

bool OutputFile::writeAllAt(const uint8_t* data, size_t size, uint64_t pos) {
    while (size > 0) {
        const ssize_t n = ::pwrite(m_fd, data, size, static_cast<off_t>(pos));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(errno);
            return false;
        }
        if (n == 0) {
            fail(EIO);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        pos += static_cast<uint64_t>(n);
    }
    return true;
}

void OutputFile::flush() {
    if (m_failed || m_used == 0) {
        return;
    }
    if (writeAllAt(m_buffer.get(), m_used, m_bufferStart)) {
        m_bufferStart += m_used;
        m_used = 0;
        startWriteback();
    }
}

void OutputFile::startWriteback() {
    if (m_bufferStart - m_writebackFrom < kWritebackStep) {
        return;
    }
    if (m_writeback == nullptr) {
        try {
            m_writeback = std::make_unique<Writeback>(m_fd);
        } catch (const std::exception&) {
            m_writebackFrom = m_bufferStart;  // no thread to spare: the final flush does it all
            return;
        }
    }
    m_writeback->upTo(m_bufferStart);
    m_writebackFrom = m_bufferStart;
}

bool OutputFile::writeBufferAnd(const uint8_t* data, size_t size) {
    iovec parts[2] = {{m_buffer.get(), m_used}, {const_cast<uint8_t*>(data), size}};
    const size_t want = m_used + size;
    ssize_t n = 0;
    do {
        n = ::pwritev(m_fd, parts, 2, static_cast<off_t>(m_bufferStart));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        fail(errno);
        return false;
    }
    // A short write (rare on regular files): the rest with the plain loop.
    const size_t done = static_cast<size_t>(n);
    bool ok = true;
    if (done < m_used) {
        ok = writeAllAt(m_buffer.get() + done, m_used - done, m_bufferStart + done) &&
             writeAllAt(data, size, m_bufferStart + m_used);
    } else if (done < want) {
        ok = writeAllAt(data + (done - m_used), want - done, m_bufferStart + done);
    }
    if (ok) {
        m_bufferStart += want;
        m_used = 0;
        startWriteback();
    }
    return ok;
}

void OutputFile::append(const void* data, size_t size) {
    if (m_failed || m_fd < 0 || size == 0) {
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (size >= kDirectSize) {
        (void)writeBufferAnd(bytes, size);
        return;
    }
    if (size > kBufferSize - m_used) {
        flush();
        if (m_failed) {
            return;
        }
    }
    std::memcpy(m_buffer.get() + m_used, bytes, size);
    m_used += size;
}

void OutputFile::appendZeros(size_t size) {
    static const uint8_t kZeros[4096] = {};
    while (size > 0 && !m_failed) {
        const size_t n = std::min(size, sizeof kZeros);
        append(kZeros, n);
        size -= n;
    }
}

void OutputFile::appendU32(uint32_t value) {
    uint8_t b[4];
    WriteU32(b, value);
    append(b, 4);
}

void OutputFile::patch(uint64_t pos, const void* data, size_t size) {
    if (m_failed || m_fd < 0 || size == 0) {
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (pos >= m_bufferStart && InRange(pos - m_bufferStart, size, m_used)) {
        std::memcpy(m_buffer.get() + (pos - m_bufferStart), bytes, size);
        return;
    }
    if (pos + size > m_bufferStart) {
        flush();  // the patch reaches into the buffer: write the buffer first
    }
    if (!m_failed) {
        writeAllAt(bytes, size, pos);
    }
}

void OutputFile::patchU32(uint64_t pos, uint32_t value) {
    uint8_t b[4];
    WriteU32(b, value);
    patch(pos, b, 4);
}

bool OutputFile::close() {
    if (m_fd < 0) {
        return !m_failed;
    }
    flush();
    m_writeback.reset();
    if (::close(m_fd) != 0) {
        fail(errno);
    }
    m_fd = -1;
    m_buffer.reset();
    return !m_failed;
}

}  // namespace avi
