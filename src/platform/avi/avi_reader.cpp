// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI reader: opens a file, builds its index and addresses samples over it.
#include "platform/avi/avi_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/avi/reader_file.h"
#include "platform/avi/reader_index.h"

namespace avi {

using detail::IndexEntry;
using detail::StreamIndex;
using detail::StreamShape;

struct Reader::Impl {
    detail::FileHandle file;
    detail::FileLayout layout;
    std::vector<StreamShape> shapes;
    std::vector<StreamIndex> index;
    detail::IndexSource source = detail::IndexSource::kScan;

    bool valid(int s) const { return s >= 0 && static_cast<size_t>(s) < index.size(); }
    const StreamHeader& header(int s) const {
        return layout.streams[static_cast<size_t>(s)].data.header;
    }
    // Samples the stream reports: the header's length, raised to what the index holds.
    uint64_t length(int s) const {
        return std::max<uint64_t>(header(s).dwLength, index[static_cast<size_t>(s)].samples);
    }
    int32_t readChunk(int s, const IndexEntry& e, uint64_t skip, uint64_t len, uint8_t* out) const;
    int32_t readChunks(int s, int64_t rel, int64_t count, uint8_t* buffer, int64_t capacity,
                       int64_t* bytes, int64_t* samples) const;
    int32_t readBlocks(int s, int64_t rel, int64_t count, uint8_t* buffer, int64_t capacity,
                       int64_t* bytes, int64_t* samples) const;
};

namespace {

// A stream header with no time base gets one: video from the main header's frame period, audio
// from the format's bytes per second and block size, else 15 per second.
void RepairRate(const StreamData& data, const StreamShape& shape, const MainHeader& main,
                AVISTREAMINFO* info) {
    info->dwScale = 1;
    info->dwRate = 15;
    if (shape.isVideo && main.dwMicroSecPerFrame != 0) {
        info->dwScale = main.dwMicroSecPerFrame;
        info->dwRate = 1000000;
    } else if (shape.isAudio) {
        const WAVEFORMATEX wf =
            DecodeWaveFormatEx(data.format.data(), static_cast<int32_t>(data.format.size()));
        if (wf.nAvgBytesPerSec != 0 && wf.nBlockAlign != 0) {
            info->dwScale = wf.nBlockAlign;
            info->dwRate = wf.nAvgBytesPerSec;
        }
    }
}

}  // namespace

Reader::Reader(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Reader::~Reader() = default;

int32_t Reader::Open(const std::string& path, const Limits& limits, std::unique_ptr<Reader>* out,
                     int* sysErrno) {
    out->reset();
    auto impl = std::make_unique<Impl>();
    int err = 0;
    if (!impl->file.open(path, &err)) {
        if (sysErrno != nullptr) {
            *sysErrno = err;
        }
        return AVIERR_FILEOPEN;
    }
    const int32_t status = detail::ParseLayout(impl->file, limits, &impl->layout);
    if (status != AVIERR_OK) {
        return status;
    }
    for (const auto& stream : impl->layout.streams) {
        impl->shapes.push_back(detail::ShapeOf(stream.data));
    }
    impl->source = detail::BuildIndex(impl->file, impl->layout, limits, impl->shapes, &impl->index);
    out->reset(new Reader(std::move(impl)));
    return AVIERR_OK;
}

const MainHeader& Reader::mainHeader() const {
    return m_impl->layout.main;
}
int Reader::streamCount() const {
    return static_cast<int>(m_impl->index.size());
}
const StreamData& Reader::stream(int s) const {
    return m_impl->layout.streams[static_cast<size_t>(s)].data;
}

AVISTREAMINFO Reader::streamInfo(int s) const {
    AVISTREAMINFO info;
    if (!m_impl->valid(s)) {
        return info;
    }
    const StreamData& data = stream(s);
    const StreamHeader& h = data.header;
    const StreamShape& shape = m_impl->shapes[static_cast<size_t>(s)];
    info.fccType = h.fccType;
    info.fccHandler = h.fccHandler;
    info.dwFlags = h.dwFlags;
    info.dwCaps = 1;  // can read
    info.wPriority = h.wPriority;
    info.wLanguage = h.wLanguage;
    info.dwScale = h.dwScale;
    info.dwRate = h.dwRate;
    if (h.dwScale == 0 || h.dwRate == 0) {
        RepairRate(data, shape, mainHeader(), &info);
    }
    info.dwStart = h.dwStart;
    info.dwLength = static_cast<uint32_t>(std::min<uint64_t>(m_impl->length(s), UINT32_MAX));
    info.dwInitialFrames = h.dwInitialFrames;
    info.dwSuggestedBufferSize = largestChunk(s);
    info.dwQuality = h.dwQuality;
    // Audio addressed in blocks reports the block; video and chunk-per-sample audio report 0.
    info.dwSampleSize = shape.blockAlign;
    if (!shape.isAudio && !shape.isVideo) {
        info.dwSampleSize = h.dwSampleSize;
    }
    info.rcFrameLeft = h.rcLeft;
    info.rcFrameTop = h.rcTop;
    info.rcFrameRight = h.rcRight;
    info.rcFrameBottom = h.rcBottom;
    if (h.fccType == kStreamTypeVideo && (h.rcRight <= h.rcLeft || h.rcBottom <= h.rcTop)) {
        const BITMAPINFOHEADER bi =
            DecodeBitmapInfoHeader(data.format.data(), static_cast<int32_t>(data.format.size()));
        info.rcFrameLeft = 0;
        info.rcFrameTop = 0;
        info.rcFrameRight = bi.biWidth;
        // |biHeight| without overflowing on INT32_MIN.
        info.rcFrameBottom =
            bi.biHeight < 0
                ? static_cast<int32_t>(-static_cast<int64_t>(std::max(bi.biHeight, -INT32_MAX)))
                : bi.biHeight;
    }
    const size_t n = std::min(data.name.size(), sizeof info.szName - 1);
    std::memcpy(info.szName, data.name.data(), n);
    return info;
}

AVIFILEINFO Reader::fileInfo() const {
    AVIFILEINFO info;
    const MainHeader& m = mainHeader();
    info.dwMaxBytesPerSec = m.dwMaxBytesPerSec;
    info.dwFlags = m.dwFlags;
    info.dwCaps = 1;
    info.dwStreams = static_cast<uint32_t>(streamCount());
    info.dwWidth = m.dwWidth;
    info.dwHeight = m.dwHeight;
    for (int s = 0; s < streamCount(); ++s) {
        info.dwSuggestedBufferSize = std::max(info.dwSuggestedBufferSize, largestChunk(s));
    }
    if (streamCount() > 0) {
        const AVISTREAMINFO first = streamInfo(0);
        info.dwScale = first.dwScale;
        info.dwRate = first.dwRate;
        // The longest stream, in the first stream's units (exact, rounded to nearest).
        unsigned __int128 longest = 0;
        for (int s = 0; s < streamCount(); ++s) {
            const AVISTREAMINFO si = streamInfo(s);
            const unsigned __int128 num =
                static_cast<unsigned __int128>(si.dwLength) * si.dwScale * first.dwRate;
            const unsigned __int128 den = static_cast<unsigned __int128>(si.dwRate) * first.dwScale;
            longest = std::max(longest, (num + den / 2) / den);
        }
        info.dwLength = static_cast<uint32_t>(std::min<unsigned __int128>(longest, UINT32_MAX));
    }
    return info;
}

int Reader::findStream(uint32_t type, int n) const {
    for (int s = 0; s < streamCount(); ++s) {
        if ((type == 0 || m_impl->header(s).fccType == type) && n-- == 0) {
            return s;
        }
    }
    return -1;
}

int32_t Reader::Impl::readChunk(int s, const IndexEntry& e, uint64_t skip, uint64_t len,
                                uint8_t* out) const {
    uint8_t h[8];
    if (skip == 0) {
        if (!file.readChunkAt(e.pos - 8, h, out, static_cast<size_t>(len))) {
            return AVIERR_FILEREAD;
        }
    } else if (!file.readAt(e.pos - 8, h, 8) || !file.readAt(e.pos + skip, out, len)) {
        return AVIERR_FILEREAD;
    }
    return detail::ChunkMatches(file, h, s, e) ? AVIERR_OK : AVIERR_FILEREAD;
}

int32_t Reader::Impl::readChunks(int s, int64_t rel, int64_t count, uint8_t* buffer,
                                 int64_t capacity, int64_t* bytes, int64_t* samples) const {
    const StreamIndex& idx = index[static_cast<size_t>(s)];
    const auto first = static_cast<uint64_t>(rel);
    if (first >= idx.entries.size()) {
        return AVIERR_FILEREAD;  // promised by the header, missing from the file
    }
    // Video reads one frame; chunk-per-sample audio reads whole chunks (with a negative count,
    // as many as fit, at least one).
    const uint64_t left = idx.entries.size() - first;
    uint64_t n = 1;
    if (!shapes[static_cast<size_t>(s)].isVideo && count > 0) {
        n = std::min<uint64_t>(static_cast<uint64_t>(count), left);
    }
    uint64_t need = 0;
    for (uint64_t i = 0; i < n; ++i) {
        need += idx.entries[first + i].size;
    }
    if (!shapes[static_cast<size_t>(s)].isVideo && count < 0 && buffer != nullptr) {
        while (n < left && need + idx.entries[first + n].size <= static_cast<uint64_t>(capacity)) {
            need += idx.entries[first + n].size;
            ++n;
        }
    }
    if (buffer == nullptr || need > static_cast<uint64_t>(capacity)) {
        *bytes = static_cast<int64_t>(need);
        *samples = buffer == nullptr ? static_cast<int64_t>(n) : 0;
        return buffer == nullptr ? AVIERR_OK : AVIERR_BUFFERTOOSMALL;
    }
    uint64_t done = 0;
    for (uint64_t i = 0; i < n; ++i) {
        const IndexEntry& e = idx.entries[first + i];
        const int32_t status = readChunk(s, e, 0, e.size, buffer + done);
        if (status != AVIERR_OK) {
            return status;
        }
        done += e.size;
    }
    *bytes = static_cast<int64_t>(done);
    *samples = static_cast<int64_t>(n);
    return AVIERR_OK;
}

int32_t Reader::Impl::readBlocks(int s, int64_t rel, int64_t count, uint8_t* buffer,
                                 int64_t capacity, int64_t* bytes, int64_t* samples) const {
    const StreamIndex& idx = index[static_cast<size_t>(s)];
    const uint64_t block = shapes[static_cast<size_t>(s)].blockAlign;
    const auto first = static_cast<uint64_t>(rel);
    if (first >= idx.samples) {
        return AVIERR_FILEREAD;
    }
    uint64_t n = static_cast<uint64_t>(count);
    if (count < 0) {
        n = buffer == nullptr ? 1 : std::max<uint64_t>(1, static_cast<uint64_t>(capacity) / block);
    }
    n = std::min(n, idx.samples - first);  // a read running off the end returns what exists
    const uint64_t need = n * block;
    if (buffer == nullptr || need > static_cast<uint64_t>(capacity)) {
        *bytes = static_cast<int64_t>(need);
        *samples = buffer == nullptr ? static_cast<int64_t>(n) : 0;
        return buffer == nullptr ? AVIERR_OK : AVIERR_BUFFERTOOSMALL;
    }
    uint64_t pos = first * block;
    const uint64_t end = pos + need;
    // The chunk holding the first byte, then on across chunk boundaries.
    size_t c =
        static_cast<size_t>(std::upper_bound(idx.byteStart.begin(), idx.byteStart.end(), pos) -
                            idx.byteStart.begin() - 1);
    uint8_t* out = buffer;
    while (pos < end) {
        const IndexEntry& e = idx.entries[c];
        const uint64_t skip = pos - idx.byteStart[c];
        const uint64_t len = std::min<uint64_t>(e.size - skip, end - pos);
        if (len > 0) {
            const int32_t status = readChunk(s, e, skip, len, out);
            if (status != AVIERR_OK) {
                return status;
            }
        }
        out += len;
        pos += len;
        ++c;
    }
    *bytes = static_cast<int64_t>(need);
    *samples = static_cast<int64_t>(n);
    return AVIERR_OK;
}

int32_t Reader::read(int s, int64_t start, int64_t count, void* buffer, int64_t capacity,
                     int64_t* bytes, int64_t* samples) const {
    int64_t bytesOut = 0;
    int64_t samplesOut = 0;
    int32_t status = AVIERR_BADPARAM;
    if (m_impl->valid(s)) {
        const int64_t first = m_impl->header(s).dwStart;
        const auto length = static_cast<int64_t>(m_impl->length(s));
        if (start < first || start - first > length) {
            status = AVIERR_NODATA;
        } else if (start - first == length || count == 0) {
            status = AVIERR_OK;
        } else {
            auto* out = static_cast<uint8_t*>(buffer);
            const int64_t cap = std::max<int64_t>(capacity, 0);
            // Never more than the samples left before the end.
            const int64_t n = count < 0 ? count : std::min(count, length - (start - first));
            status =
                m_impl->shapes[static_cast<size_t>(s)].blockAlign > 0
                    ? m_impl->readBlocks(s, start - first, n, out, cap, &bytesOut, &samplesOut)
                    : m_impl->readChunks(s, start - first, n, out, cap, &bytesOut, &samplesOut);
        }
    }
    if (bytes != nullptr) {
        *bytes = bytesOut;
    }
    if (samples != nullptr) {
        *samples = samplesOut;
    }
    return status;
}

int64_t Reader::findSample(int s, int64_t pos, int32_t flags) const {
    if (!m_impl->valid(s) || (flags & 0xF000) != 0) {
        return -1;
    }
    const int64_t first = m_impl->header(s).dwStart;
    const auto length = static_cast<int64_t>(m_impl->length(s));
    bool forward = (flags & kFindNext) != 0;
    if ((flags & kFindFromStart) != 0) {
        pos = first;
        forward = true;
    }
    if (pos < first || length == 0) {
        return -1;
    }
    const int64_t rel = std::min(pos - first, length - 1);  // past the end: the last sample
    const StreamIndex& idx = m_impl->index[static_cast<size_t>(s)];
    if ((flags & (kFindKey | kFindAny)) == 0) {
        // Format changes: the start, and every sample a palette change comes before.
        int64_t found = forward ? (rel == 0 ? 0 : -1) : 0;
        for (const detail::PaletteChange& change : idx.paletteChanges) {
            const auto at = static_cast<int64_t>(change.entry);
            if (forward && at >= rel && at < length && (found < 0 || at < found)) {
                found = at;
            } else if (!forward && at <= rel && at > found) {
                found = at;
            }
        }
        return found >= 0 ? first + found : -1;
    }
    if (m_impl->shapes[static_cast<size_t>(s)].blockAlign > 0) {
        // Every block that exists is a key and non-empty.
        const auto have = static_cast<int64_t>(idx.samples);
        if (forward) {
            return rel < have ? first + rel : -1;
        }
        return have > 0 ? first + std::min(rel, have - 1) : -1;
    }
    const auto have = static_cast<int64_t>(idx.entries.size());
    if ((flags & kFindKey) != 0) {
        const auto r = static_cast<uint32_t>(std::min<int64_t>(rel, UINT32_MAX));
        if (forward) {
            auto it = std::lower_bound(idx.keys.begin(), idx.keys.end(), r);
            return (it != idx.keys.end() && rel <= static_cast<int64_t>(*it)) ? first + *it : -1;
        }
        auto it = std::upper_bound(idx.keys.begin(), idx.keys.end(), r);
        return it == idx.keys.begin() ? -1 : first + *(it - 1);
    }
    // Any sample that holds data: step over the run of drop frames rel may lie in.
    const int64_t at = forward ? rel : std::min(rel, have - 1);
    if (at < 0 || at >= have) {
        return -1;
    }
    const auto n = static_cast<uint32_t>(at);
    auto run =
        std::upper_bound(idx.emptyRuns.begin(), idx.emptyRuns.end(), std::make_pair(n, UINT32_MAX));
    if (run == idx.emptyRuns.begin() || n >= (run - 1)->second) {
        return first + at;  // not a drop frame
    }
    --run;
    if (forward) {
        return run->second < have ? first + run->second : -1;
    }
    return run->first > 0 ? first + run->first - 1 : -1;
}

std::vector<uint8_t> Reader::formatAt(int s, int64_t pos) const {
    if (!m_impl->valid(s)) {
        return {};
    }
    std::vector<uint8_t> format = stream(s).format;
    const StreamIndex& idx = m_impl->index[static_cast<size_t>(s)];
    if (idx.paletteChanges.empty() || format.size() < 40) {
        return format;
    }
    // The palette follows the bitmap header; each change sets a run of its entries. A change
    // stored as PALETTEENTRY (red, green, blue, flags) lands as RGBQUAD (blue, green, red, 0).
    const uint64_t paletteStart = std::min<uint64_t>(ReadU32(format.data()), format.size());
    const int64_t rel = pos - m_impl->header(s).dwStart;
    for (const detail::PaletteChange& change : idx.paletteChanges) {
        if (static_cast<int64_t>(change.entry) > rel || change.size < 4) {
            continue;
        }
        std::vector<uint8_t> bytes(std::min<uint32_t>(change.size, 4 + 256 * 4));
        if (!m_impl->file.readAt(change.pos, bytes.data(), bytes.size())) {
            continue;
        }
        const unsigned firstEntry = bytes[0];
        const unsigned count = bytes[1] == 0 ? 256 : bytes[1];
        for (unsigned i = 0; i < count && 4 + 4 * (i + 1) <= bytes.size(); ++i) {
            const uint64_t at = paletteStart + 4ull * ((firstEntry + i) & 0xFF);
            if (at + 4 > format.size()) {
                continue;
            }
            const uint8_t* entry = bytes.data() + 4 + 4 * i;
            format[at] = entry[2];
            format[at + 1] = entry[1];
            format[at + 2] = entry[0];
            format[at + 3] = 0;
        }
    }
    return format;
}

int64_t Reader::indexedSamples(int s) const {
    return m_impl->valid(s) ? static_cast<int64_t>(m_impl->index[static_cast<size_t>(s)].samples)
                            : 0;
}

uint32_t Reader::largestChunk(int s) const {
    return m_impl->valid(s) ? m_impl->index[static_cast<size_t>(s)].largest : 0;
}

bool Reader::indexRebuilt() const {
    return m_impl->source == detail::IndexSource::kScan;
}

bool Reader::isOpenDml() const {
    return m_impl->source == detail::IndexSource::kOpenDml || m_impl->layout.movis.size() > 1;
}

uint64_t Reader::fileSize() const {
    return m_impl->file.size();
}

}  // namespace avi
