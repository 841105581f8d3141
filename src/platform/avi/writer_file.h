// SPDX-License-Identifier: GPL-3.0-or-later
// Buffered sequential output for the AVI writer, with in-place patches of bytes already written.
// Every failure is remembered with its errno; later calls do nothing and close() reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace avi {

class OutputFile {
  public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates the file; with createNew only a file that did not exist, never
    // through a symbolic link. Returns false with errno kept in errorNumber().
    bool create(const std::string& path, bool createNew = false);

    // Appends bytes at the end (through the buffer; large blocks go straight to the file).
    void append(const void* data, size_t size);
    void appendZeros(size_t size);
    void appendU32(uint32_t value);
    void appendFourCC(uint32_t code) { appendU32(code); }

    // Overwrites bytes at a position before position(): in the buffer when they are still there,
    // else in the file.
    void patch(uint64_t pos, const void* data, size_t size);
    void patchU32(uint64_t pos, uint32_t value);

    // Logical end of the file, buffered bytes included.
    uint64_t position() const { return m_bufferStart + m_used; }

    // Writes what is buffered and closes the file. True when every write and the close worked.
    bool close();

    bool failed() const { return m_failed; }
    int errorNumber() const { return m_errno; }
    // Marks the file failed without a system error (errno value given by the caller).
    void fail(int errorNumber);

  private:
    // Small writes (chunk headers, audio) gather here; blocks of kDirectSize or more go to the
    // file from the caller's memory, together with what is buffered, in one system call.
    static constexpr size_t kBufferSize = 1u << 20;
    static constexpr size_t kDirectSize = 64u << 10;

    // Write-back of what has reached the file is started every kWritebackStep bytes, so that the
    // data goes to the disk while the copy goes on: the flush before a joined file replaces an
    // old one then has little left to wait for, instead of all of it at the end. Starting it can
    // wait for the disk's queue, so a thread of its own does that while the writes go on.
    static constexpr uint64_t kWritebackStep = 8u << 20;
    class Writeback;

    void flush();
    void startWriteback();
    // Sequential output goes through it too, at m_bufferStart, so there is one write loop.
    bool writeAllAt(const uint8_t* data, size_t size, uint64_t pos);
    // Writes the buffered bytes and then size bytes of data, at m_bufferStart.
    bool writeBufferAnd(const uint8_t* data, size_t size);

    int m_fd = -1;
    std::unique_ptr<uint8_t[]> m_buffer;  // not zeroed: only bytes below m_used are ever read
    size_t m_used = 0;
    uint64_t m_bufferStart = 0;              // file position of m_buffer[0]
    uint64_t m_writebackFrom = 0;            // where the write-back not yet asked for begins
    std::unique_ptr<Writeback> m_writeback;  // started with the first step
    bool m_failed = false;
    int m_errno = 0;
};

}  // namespace avi
