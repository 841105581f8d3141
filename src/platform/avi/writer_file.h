// Buffered sequential output for the AVI writer, with in-place patches of bytes already written.
// Every failure is remembered with its errno; later calls do nothing and close() reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avi {

class OutputFile {
  public:
    OutputFile() = default;
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
    static constexpr size_t kBufferSize = 4u << 20;

    void flush();
    // Sequential output goes through it too, at m_bufferStart, so there is one write loop.
    bool writeAllAt(const uint8_t* data, size_t size, uint64_t pos);

    int m_fd = -1;
    std::vector<uint8_t> m_buffer;
    size_t m_used = 0;
    uint64_t m_bufferStart = 0;  // file position of m_buffer[0]
    bool m_failed = false;
    int m_errno = 0;
};

}  // namespace avi
