// SPDX-License-Identifier: GPL-3.0-or-later
// Writing AVI files: AVI 1.0 with idx1, continued past a size limit per RIFF part as OpenDML
// (RIFF AVIX parts, super index and standard indexes, idx1 kept for the first part).
// Headers are written on finish(): dwStart 0, dwLength = samples written, dwSuggestedBufferSize =
// largest chunk, avih and dmlh totals from what was written; every other field of the stream
// header given to addStream is kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/vbvfw.h"
#include "platform/avi/avi_common.h"

namespace avi {

struct WriterOptions {
    uint64_t riffPartLimit = 1ull << 30;  // bytes per RIFF part before the next one starts
    bool createNew = false;  // fail (EEXIST) rather than truncate an existing file or follow a link
};

class Writer {
  public:
    ~Writer();  // finishes the file if finish() was not called (status then lost)
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Creates (truncates) the file. On failure returns AVIERR_FILEOPEN with *sysErrno = errno.
    [[nodiscard]] static int32_t Create(const std::string& path, const WriterOptions& options,
                                        std::unique_ptr<Writer>* out, int* sysErrno = nullptr);

    // Adds a stream described by the header (fccType, dwScale, dwRate must be non-zero). Not
    // allowed once data was written. *index receives the stream number.
    [[nodiscard]] int32_t addStream(const AVISTREAMINFO& info, int* index);
    // Sets the stream's format once, before data (an identical second call is accepted).
    [[nodiscard]] int32_t setFormat(int s, const void* data, int32_t size);
    // Writes one chunk of count samples (video: count 0 or 1; a start beyond the next position
    // is filled with empty frames). Audio: start must equal the samples written so far, size must
    // equal count x sample size for fixed-size audio; VBR audio (sample size 0): one chunk = one
    // sample.
    [[nodiscard]] int32_t write(int s, int64_t start, int32_t count, const void* data, int32_t size,
                                int32_t flags, int32_t* samplesWritten, int32_t* bytesWritten);
    // The header as it would be written now.
    AVISTREAMINFO streamInfo(int s) const;
    int streamCount() const;
    // Samples written so far to a stream.
    int64_t samplesWritten(int s) const;
    // The largest chunk written so far to a stream (bytes).
    uint32_t largestChunk(int s) const;
    // errno of the first failed write (0 while every write worked).
    int systemError() const;

    // Writes headers and indexes and closes the file. Any earlier write failure, or a failure
    // here, is returned (AVIERR_FILEWRITE); errno of the failure goes to *sysErrno.
    [[nodiscard]] int32_t finish(int* sysErrno = nullptr);

  private:
    struct Impl;
    explicit Writer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace avi
