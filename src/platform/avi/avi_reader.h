// SPDX-License-Identifier: GPL-3.0-or-later
// Reading AVI 1.0 and OpenDML files: headers, formats, an index of every chunk (from idx1, from
// the OpenDML indexes, or rebuilt by scanning), and sample addressing over it.
//
// Thread safety: a Reader is immutable after Open except for its file position-free reads
// (pread), so const members may be called from several threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/vbvfw.h"
#include "platform/avi/avi_common.h"

namespace avi {

struct StreamData {
    StreamHeader header;          // as stored in the file
    std::vector<uint8_t> format;  // strf payload, verbatim
    std::string name;             // strn, empty when absent
    // The display aspect of a video stream's frames from its video properties (vprp), as
    // width:height; 0:0 when the file gives none.
    uint16_t aspectX = 0;
    uint16_t aspectY = 0;
};

class Reader {
  public:
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Opens and indexes a file. On failure returns an AVIERR status (FILEOPEN when the file cannot
    // be opened, with *sysErrno set to errno; BADFORMAT/FILEREAD when it is not a readable AVI)
    // and leaves *out empty.
    [[nodiscard]] static int32_t Open(const std::string& path, const Limits& limits,
                                      std::unique_ptr<Reader>* out, int* sysErrno = nullptr);

    const MainHeader& mainHeader() const;
    int streamCount() const;
    const StreamData& stream(int s) const;

    // The header as the AVIFile-style API reports it: sample size of audio = nBlockAlign (0 for
    // VBR audio, whose header sample size is 0: one chunk per sample; 0 for video),
    // dwSuggestedBufferSize = largest indexed chunk, empty rcFrame filled from the format,
    // dwLength raised to the indexed sample count when that is larger, dwCaps = read, a zero
    // dwScale or dwRate replaced by a usable time base.
    AVISTREAMINFO streamInfo(int s) const;
    AVIFILEINFO fileInfo() const;

    // Index of the first stream of that type ('vids' / 'auds'), counting n matches; -1 if none.
    int findStream(uint32_t type, int n) const;

    // Sample addressing. Positions are stream positions (dwStart .. dwStart + length).
    // Video, and audio whose header sample size is 0: one chunk per sample. Audio with a fixed
    // sample size: blocks of nBlockAlign bytes across chunk boundaries.
    // buffer == nullptr: reports in *bytes the size the read needs, *samples the samples it would
    // return. Buffer too small: AVIERR_BUFFERTOOSMALL, *bytes = needed size, *samples = 0.
    // start == end: success with 0 samples; start outside: AVIERR_NODATA.
    // A chunk whose header does not match the index reads as AVIERR_FILEREAD.
    [[nodiscard]] int32_t read(int s, int64_t start, int64_t count, void* buffer, int64_t capacity,
                               int64_t* bytes, int64_t* samples) const;

    // AVIStreamFindSample semantics (kFindPrev/kFindNext/kFindFromStart with kFindKey/kFindAny,
    // or neither: format changes, the stream's start and each frame a palette change precedes).
    // Returns the position found or -1.
    int64_t findSample(int s, int64_t pos, int32_t flags) const;

    // The stream's format in force at a position: for video with palette changes, the palette
    // after every change that comes before that frame. Empty for an invalid stream.
    std::vector<uint8_t> formatAt(int s, int64_t pos) const;

    // Number of samples the index holds for a stream (not the header's dwLength).
    int64_t indexedSamples(int s) const;
    // Largest chunk of the stream in bytes.
    uint32_t largestChunk(int s) const;

    // True when the file's own index was missing or unusable and the chunks were scanned.
    bool indexRebuilt() const;
    // True when the file was read as OpenDML (super index or AVIX parts).
    bool isOpenDml() const;
    uint64_t fileSize() const;

  private:
    struct Impl;
    explicit Reader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace avi
