// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the AVI reader: open the input as a file, inspect every stream, read every
// sample (and the size of each), walk the key frames, and read the formats.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"

namespace {

// Reads a stream from start to end as a caller would: size query, then the read itself.
void ReadStream(const avi::Reader& reader, int s) {
    const AVISTREAMINFO info = reader.streamInfo(s);
    std::vector<uint8_t> buffer(4096);
    int64_t pos = info.dwStart;
    const int64_t end = pos + info.dwLength;
    for (int guard = 0; pos < end && guard < 20000; ++guard) {
        int64_t bytes = 0;
        int64_t samples = 0;
        const int64_t count = info.dwSampleSize > 0 ? 3 : 1;
        if (reader.read(s, pos, count, nullptr, 0, &bytes, &samples) != AVIERR_OK) {
            ++pos;
            continue;
        }
        if (bytes > static_cast<int64_t>(buffer.size()) && bytes <= (16 << 20)) {
            buffer.resize(static_cast<size_t>(bytes));
        }
        const int32_t status = reader.read(s, pos, count, buffer.data(),
                                           static_cast<int64_t>(buffer.size()), &bytes, &samples);
        (void)reader.findSample(s, pos, kFindPrev | kFindKey);
        (void)reader.findSample(s, pos, kFindNext | kFindAny);
        pos += (status == AVIERR_OK && samples > 0) ? samples : 1;
    }
    (void)reader.read(s, -1, 1, buffer.data(), 1, nullptr, nullptr);
    (void)reader.read(s, end, -1, buffer.data(), static_cast<int64_t>(buffer.size()), nullptr,
                      nullptr);
    (void)reader.findSample(s, end + 5, kFindPrev | kFindKey);
    (void)reader.findSample(s, 0, kFindFromStart | kFindKey);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("fuzz-avi", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    avi::Limits limits;
    limits.maxIndexEntries = 1 << 20;
    limits.maxScanChunks = 1 << 20;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::unique_ptr<avi::Reader> reader;
    if (avi::Reader::Open(path, limits, &reader) == AVIERR_OK) {
        (void)reader->fileInfo();
        (void)reader->isOpenDml();
        (void)reader->indexRebuilt();
        for (int s = 0; s < reader->streamCount(); ++s) {
            const avi::StreamData& stream = reader->stream(s);
            (void)DecodeBitmapInfoHeader(stream.format.data(),
                                         static_cast<int32_t>(stream.format.size()));
            (void)DecodeWaveFormatEx(stream.format.data(),
                                     static_cast<int32_t>(stream.format.size()));
            ReadStream(*reader, s);
        }
        (void)reader->findStream(kStreamTypeVideo, 0);
        (void)reader->findStream(kStreamTypeAudio, 1);
    }
    close(fd);
    return 0;
}
