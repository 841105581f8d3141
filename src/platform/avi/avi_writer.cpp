// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/avi/avi_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/avi/writer_file.h"
#include "platform/avi/writer_layout.h"

namespace avi {
namespace {

constexpr uint32_t kMaxPartLimit = 0x7FFF0000u;  // signed 32-bit sizes stay positive
constexpr uint64_t kHardPartSize = 0xF0000000u;  // no RIFF part may come near 4 GiB
constexpr int64_t kMaxVideoGap = 1 << 20;        // empty frames one write may add
constexpr uint32_t kHeaderFlags = kAvifHasIndex | kAvifIsInterleaved | kAvifTrustCkType;

uint32_t ClampU32(uint64_t v) {
    return v > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                    : static_cast<uint32_t>(v);
}

int16_t ClampI16(int32_t v) {
    return static_cast<int16_t>(std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

// round(a / b) with halves to even; b > 0.
uint64_t DivideRounded(uint64_t a, uint64_t b) {
    const uint64_t q = a / b;
    const uint64_t r = a % b;
    if (r > b - r || (r == b - r && (q & 1) != 0)) {
        return q + 1;
    }
    return q;
}

constexpr uint32_t kStreamPaletteChanges = 0x00010000;  // AVISF_VIDEO_PALCHANGES

struct StreamState {
    AVISTREAMINFO info;
    std::vector<uint8_t> format;   // as stored in the header
    std::vector<uint8_t> current;  // in force now (palette changes applied)
    bool formatSet = false;
    bool video = false;
    uint32_t chunkId = 0;
    int64_t samples = 0;
    uint32_t largest = 0;
    int64_t partStartSamples = 0;
    uint32_t partChunks = 0;
    int64_t firstPartSamples = -1;  // set when the first part is closed
    std::vector<SuperIndexEntry> superIndex;

    // Bytes per sample for fixed-size streams, 0 for one chunk per sample.
    uint32_t sampleBytes() const {
        if (video || info.dwSampleSize == 0) {
            return 0;
        }
        if (info.fccType == kStreamTypeAudio && formatSet) {
            const uint16_t align =
                DecodeWaveFormatEx(format.data(), static_cast<int32_t>(format.size())).nBlockAlign;
            if (align != 0) {
                return align;
            }
        }
        return info.dwSampleSize;
    }
};

}  // namespace

struct Writer::Impl {
    WriterOptions options;
    uint64_t partLimit = 0;
    OutputFile file;
    std::vector<StreamState> streams;
    std::vector<ChunkRecord> partChunks;  // chunks of the current RIFF part
    bool dataBegun = false;
    bool openDml = false;
    bool finished = false;
    int32_t finishStatus = AVIERR_OK;
    int finishErrno = 0;
    int32_t status = AVIERR_OK;  // first failure, returned by every later call
    size_t headerSize = 0;
    uint32_t partIndex = 0;
    uint64_t riffStart = 0;
    uint64_t moviStart = 0;  // position of the 'LIST' of the current movi
    uint32_t firstRiffSize = 0;
    uint64_t dataBytes = 0;
    uint64_t totalChunks = 0;

    bool valid(int s) const { return s >= 0 && static_cast<size_t>(s) < streams.size(); }

    int32_t check() {
        if (status == AVIERR_OK && file.failed()) {
            status = AVIERR_FILEWRITE;
        }
        return status;
    }

    int videoStream() const {
        for (size_t i = 0; i < streams.size(); ++i) {
            if (streams[i].video) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    StreamHeader storedHeader(const StreamState& st) const {
        const AVISTREAMINFO& i = st.info;
        StreamHeader h;
        h.fccType = i.fccType;
        h.fccHandler = i.fccHandler;
        h.dwFlags = i.dwFlags;
        h.wPriority = i.wPriority;
        h.wLanguage = i.wLanguage;
        h.dwInitialFrames = i.dwInitialFrames;
        h.dwScale = i.dwScale;
        h.dwRate = i.dwRate;
        h.dwStart = 0;
        h.dwLength = ClampU32(static_cast<uint64_t>(st.samples));
        h.dwSuggestedBufferSize = st.largest;
        h.dwQuality = i.dwQuality;
        h.dwSampleSize = i.dwSampleSize;
        h.rcLeft = ClampI16(i.rcFrameLeft);
        h.rcTop = ClampI16(i.rcFrameTop);
        h.rcRight = ClampI16(i.rcFrameRight);
        h.rcBottom = ClampI16(i.rcFrameBottom);
        return h;
    }

    MainHeader mainHeader() const {
        MainHeader m;
        m.dwFlags = kHeaderFlags;
        m.dwStreams = static_cast<uint32_t>(streams.size());
        for (const auto& st : streams) {
            m.dwSuggestedBufferSize = std::max(m.dwSuggestedBufferSize, st.largest);
        }
        const int v = videoStream();
        if (v < 0) {
            return m;
        }
        const StreamState& st = streams[static_cast<size_t>(v)];
        m.dwMicroSecPerFrame =
            ClampU32(DivideRounded(1000000ull * st.info.dwScale, st.info.dwRate));
        const int64_t frames = st.firstPartSamples >= 0 ? st.firstPartSamples : st.samples;
        m.dwTotalFrames = ClampU32(static_cast<uint64_t>(frames));
        const BITMAPINFOHEADER bih =
            DecodeBitmapInfoHeader(st.format.data(), static_cast<int32_t>(st.format.size()));
        if (bih.biWidth != 0) {
            m.dwWidth =
                static_cast<uint32_t>(bih.biWidth < 0 ? -int64_t{bih.biWidth} : bih.biWidth);
            m.dwHeight =
                static_cast<uint32_t>(bih.biHeight < 0 ? -int64_t{bih.biHeight} : bih.biHeight);
        } else {
            m.dwWidth =
                static_cast<uint32_t>(std::max(0, st.info.rcFrameRight - st.info.rcFrameLeft));
            m.dwHeight =
                static_cast<uint32_t>(std::max(0, st.info.rcFrameBottom - st.info.rcFrameTop));
        }
        // Duration in microseconds = frames x period; bytes per second over that duration.
        const unsigned __int128 micros = static_cast<unsigned __int128>(st.samples) * 1000000u *
                                         st.info.dwScale / st.info.dwRate;
        if (micros > 0) {
            const unsigned __int128 rate =
                static_cast<unsigned __int128>(dataBytes) * 1000000u / micros;
            m.dwMaxBytesPerSec = rate > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(rate);
        }
        return m;
    }

    std::vector<uint8_t> header() const {
        HeaderLayout layout;
        layout.main = mainHeader();
        layout.openDml = openDml;
        layout.firstRiffSize = firstRiffSize;
        for (const auto& st : streams) {
            StreamLayout s;
            s.header = storedHeader(st);
            s.format = &st.format;
            s.name.assign(st.info.szName, strnlen(st.info.szName, sizeof st.info.szName - 1));
            s.chunkId = st.chunkId;
            s.superIndex = &st.superIndex;
            layout.streams.push_back(std::move(s));
        }
        const int v = videoStream();
        if (v >= 0) {
            layout.dmlhTotalFrames =
                ClampU32(static_cast<uint64_t>(streams[static_cast<size_t>(v)].samples));
        }
        return BuildHeader(layout);
    }

    void openMovi() {
        moviStart = file.position();
        file.appendFourCC(FourCC("LIST"));
        file.appendU32(0);
        file.appendFourCC(FourCC("movi"));
    }

    void beginData() {
        dataBegun = true;
        for (size_t i = 0; i < streams.size(); ++i) {
            StreamState& st = streams[i];
            const int n = static_cast<int>(i);
            if (st.video) {
                const bool rgb =
                    st.formatSet &&
                    DecodeBitmapInfoHeader(st.format.data(), static_cast<int32_t>(st.format.size()))
                            .biCompression == 0;
                st.chunkId = DataChunkId(n, rgb ? "db" : "dc");
            } else if (st.info.fccType == kStreamTypeAudio) {
                st.chunkId = DataChunkId(n, "wb");
            } else if (st.info.fccType == FourCC("txts")) {
                st.chunkId = DataChunkId(n, "tx");
            } else {
                st.chunkId = DataChunkId(n, "dc");
            }
        }
        const std::vector<uint8_t> h = header();
        headerSize = h.size();
        riffStart = 0;
        file.append(h.data(), h.size());
        openMovi();
    }

    // Bytes the current part would have once closed, with one more chunk of the given size.
    uint64_t projectedPartSize(uint32_t size) const {
        const uint64_t chunk = 8 + uint64_t{size} + (size & 1);
        const uint64_t entries = partChunks.size() + 1;
        uint64_t indexes = 8 + 16 * entries;  // idx1 (first part) or slack
        for (const auto& st : streams) {
            indexes += StandardIndexBytes(st.partChunks + 1);
        }
        return file.position() + chunk + indexes - riffStart;
    }

    void closePart() {
        if (openDml) {
            for (size_t i = 0; i < streams.size(); ++i) {
                StreamState& st = streams[i];
                if (st.partChunks == 0) {
                    continue;
                }
                const std::vector<uint8_t> ix =
                    BuildStandardIndex(partChunks, static_cast<int>(i), st.chunkId, moviStart + 8);
                SuperIndexEntry e;
                e.offset = file.position();
                e.size = static_cast<uint32_t>(ix.size());
                e.duration = ClampU32(static_cast<uint64_t>(st.samples - st.partStartSamples));
                st.superIndex.push_back(e);
                file.append(ix.data(), ix.size());
            }
        }
        file.patchU32(moviStart + 4, static_cast<uint32_t>(file.position() - moviStart - 8));
        if (partIndex == 0) {
            std::vector<uint32_t> ids;
            for (auto& st : streams) {
                ids.push_back(st.chunkId);
                st.firstPartSamples = st.samples;
            }
            const std::vector<uint8_t> idx1 = BuildLegacyIndex(partChunks, moviStart + 8, ids);
            file.append(idx1.data(), idx1.size());
            firstRiffSize = static_cast<uint32_t>(file.position() - riffStart - 8);
        }
        file.patchU32(riffStart + 4, static_cast<uint32_t>(file.position() - riffStart - 8));
        partChunks.clear();
        for (auto& st : streams) {
            st.partChunks = 0;
            st.partStartSamples = st.samples;
        }
    }

    void startPart() {
        openDml = true;
        closePart();
        ++partIndex;
        riffStart = file.position();
        file.appendFourCC(FourCC("RIFF"));
        file.appendU32(0);
        file.appendFourCC(FourCC("AVIX"));
        openMovi();
    }

    int32_t writeChunk(int s, const void* data, uint32_t size, bool key, bool palette = false) {
        if (!dataBegun) {
            beginData();
        }
        const uint64_t projected = projectedPartSize(size);
        if (totalChunks >= Limits{}.maxIndexEntries) {
            file.fail(EFBIG);  // more chunks than a reader would index
        } else if (!partChunks.empty() && projected > partLimit) {
            if (partIndex + 1 < kSuperIndexCapacity) {
                startPart();
            } else if (projected > kHardPartSize) {
                file.fail(EFBIG);  // every super index slot is used and the part is full
            }
        }
        StreamState& st = streams[static_cast<size_t>(s)];
        ChunkRecord rec;
        rec.pos = file.position();
        rec.size = size;
        rec.stream = static_cast<uint16_t>(s);
        rec.key = key && size > 0;
        rec.palette = palette;
        file.appendFourCC(palette ? (st.chunkId & 0xFFFFu) | (uint32_t{'p'} << 16) |
                                        (uint32_t{'c'} << 24)
                                  : st.chunkId);
        file.appendU32(size);
        file.append(data, size);
        if (size % 2 != 0) {
            file.appendZeros(1);
        }
        if (check() != AVIERR_OK) {
            return status;
        }
        partChunks.push_back(rec);
        ++totalChunks;
        if (palette) {
            return AVIERR_OK;
        }
        ++st.partChunks;
        st.largest = std::max(st.largest, size);
        dataBytes += size;
        return AVIERR_OK;
    }

    // A later format of a palettised video stream that differs from the one in force only in
    // palette entries: written as a palette change before the next frame, covering the entries
    // from the first to the last that differ.
    int32_t changePalette(int s, const uint8_t* bytes, size_t size) {
        StreamState& st = streams[static_cast<size_t>(s)];
        const std::vector<uint8_t>& now = st.current;
        if (!st.video || size != now.size() || size < 44) {
            return AVIERR_UNSUPPORTED;
        }
        const uint64_t start = ReadU32(now.data());
        if (start < 40 || start > size || std::memcmp(now.data(), bytes, start) != 0) {
            return AVIERR_UNSUPPORTED;
        }
        const size_t entries = std::min<size_t>((size - start) / 4, 256);
        size_t first = entries;
        size_t last = 0;
        for (size_t i = 0; i < entries; ++i) {
            if (std::memcmp(now.data() + start + 4 * i, bytes + start + 4 * i, 4) != 0) {
                first = std::min(first, i);
                last = i;
            }
        }
        if (first == entries) {
            return memcmp(now.data(), bytes, size) == 0 ? AVIERR_OK : AVIERR_UNSUPPORTED;
        }
        const size_t count = last - first + 1;
        std::vector<uint8_t> change(4 + 4 * count);
        change[0] = static_cast<uint8_t>(first);
        change[1] = static_cast<uint8_t>(count & 0xFF);  // 0 means 256
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* quad = bytes + start + 4 * (first + i);  // blue, green, red
            change[4 + 4 * i] = quad[2];
            change[5 + 4 * i] = quad[1];
            change[6 + 4 * i] = quad[0];
        }
        const int32_t r =
            writeChunk(s, change.data(), static_cast<uint32_t>(change.size()), false, true);
        if (r == AVIERR_OK) {
            st.current.assign(bytes, bytes + size);
            st.info.dwFlags |= kStreamPaletteChanges;
        }
        return r;
    }
};

Writer::Writer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Writer::~Writer() {
    if (m_impl && !m_impl->finished) {
        (void)finish();
    }
}

int32_t Writer::Create(const std::string& path, const WriterOptions& options,
                       std::unique_ptr<Writer>* out, int* sysErrno) {
    if (out == nullptr) {
        return AVIERR_BADPARAM;
    }
    out->reset();
    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->partLimit = std::clamp<uint64_t>(options.riffPartLimit, 1, kMaxPartLimit);
    if (!impl->file.create(path, options.createNew)) {
        if (sysErrno != nullptr) {
            *sysErrno = impl->file.errorNumber();
        }
        return AVIERR_FILEOPEN;
    }
    out->reset(new Writer(std::move(impl)));
    return AVIERR_OK;
}

int32_t Writer::addStream(const AVISTREAMINFO& info, int* index) {
    Impl& m = *m_impl;
    if (m.check() != AVIERR_OK) {
        return m.status;
    }
    if (m.finished || m.dataBegun) {
        return AVIERR_UNSUPPORTED;
    }
    if (info.fccType == 0 || info.dwScale == 0 || info.dwRate == 0) {
        return AVIERR_BADFORMAT;
    }
    if (m.streams.size() >= static_cast<size_t>(Limits{}.maxStreams)) {
        return AVIERR_UNSUPPORTED;
    }
    StreamState st;
    st.info = info;
    st.info.szName[sizeof st.info.szName - 1] = '\0';
    st.video = info.fccType == kStreamTypeVideo;
    m.streams.push_back(std::move(st));
    if (index != nullptr) {
        *index = static_cast<int>(m.streams.size() - 1);
    }
    return AVIERR_OK;
}

int32_t Writer::setFormat(int s, const void* data, int32_t size) {
    Impl& m = *m_impl;
    if (m.check() != AVIERR_OK) {
        return m.status;
    }
    if (!m.valid(s)) {
        return AVIERR_BADPARAM;
    }
    if (size <= 0 || data == nullptr) {
        return AVIERR_BADPARAM;
    }
    if (static_cast<uint32_t>(size) > Limits{}.maxFormatSize) {
        return AVIERR_BADSIZE;
    }
    StreamState& st = m.streams[static_cast<size_t>(s)];
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (st.formatSet) {
        const bool same = st.current.size() == static_cast<size_t>(size) &&
                          std::memcmp(st.current.data(), bytes, st.current.size()) == 0;
        if (same) {
            return AVIERR_OK;
        }
        return m.finished ? AVIERR_UNSUPPORTED
                          : m.changePalette(s, bytes, static_cast<size_t>(size));
    }
    if (m.dataBegun || m.finished) {
        return AVIERR_UNSUPPORTED;  // the header's room is already laid out
    }
    st.format.assign(bytes, bytes + size);
    st.current = st.format;
    st.formatSet = true;
    return AVIERR_OK;
}

int32_t Writer::write(int s, int64_t start, int32_t count, const void* data, int32_t size,
                      int32_t flags, int32_t* samplesWritten, int32_t* bytesWritten) {
    Impl& m = *m_impl;
    if (samplesWritten != nullptr) {
        *samplesWritten = 0;
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    if (m.check() != AVIERR_OK) {
        return m.status;
    }
    if (m.finished) {
        return AVIERR_UNSUPPORTED;
    }
    if (!m.valid(s) || count < 0 || size < 0 || (size > 0 && data == nullptr)) {
        return AVIERR_BADPARAM;
    }
    if (static_cast<uint32_t>(size) > Limits{}.maxChunkSize) {
        return AVIERR_BADSIZE;
    }
    StreamState& st = m.streams[static_cast<size_t>(s)];
    const bool key = (flags & kAviIfKeyFrame) != 0;
    int32_t written = 1;
    if (st.video) {
        if (count > 1) {
            return AVIERR_UNSUPPORTED;
        }
        if (start < st.samples) {
            return AVIERR_UNSUPPORTED;  // frames are only appended
        }
        if (start - st.samples > kMaxVideoGap) {
            return AVIERR_BADPARAM;
        }
        while (st.samples < start) {  // skipped frames become empty (drop) frames
            if (m.writeChunk(s, nullptr, 0, false) != AVIERR_OK) {
                return m.status;
            }
            ++st.samples;
        }
    } else {
        if (start != st.samples) {
            return AVIERR_UNSUPPORTED;  // audio cannot skip or rewrite
        }
        const uint32_t unit = st.sampleBytes();
        if (unit == 0) {
            if (count > 1) {
                return AVIERR_BADPARAM;  // one chunk is one sample
            }
        } else {
            if (int64_t{count} * unit != size) {
                return AVIERR_BADPARAM;
            }
            if (count == 0) {
                return AVIERR_OK;
            }
            written = count;
        }
    }
    if (m.writeChunk(s, data, static_cast<uint32_t>(size), key || !st.video) != AVIERR_OK) {
        return m.status;
    }
    st.samples += written;
    if (samplesWritten != nullptr) {
        *samplesWritten = written;
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = size;
    }
    return AVIERR_OK;
}

AVISTREAMINFO Writer::streamInfo(int s) const {
    const Impl& m = *m_impl;
    if (!m.valid(s)) {
        return {};
    }
    const StreamState& st = m.streams[static_cast<size_t>(s)];
    AVISTREAMINFO info = st.info;
    info.dwCaps = 0x3;  // read | write
    info.dwStart = 0;
    info.dwLength = ClampU32(static_cast<uint64_t>(st.samples));
    info.dwSuggestedBufferSize = st.largest;
    info.dwEditCount = 0;
    info.dwFormatChangeCount = 0;
    return info;
}

int Writer::streamCount() const {
    return static_cast<int>(m_impl->streams.size());
}

int64_t Writer::samplesWritten(int s) const {
    return m_impl->valid(s) ? m_impl->streams[static_cast<size_t>(s)].samples : 0;
}

uint32_t Writer::largestChunk(int s) const {
    return m_impl->valid(s) ? m_impl->streams[static_cast<size_t>(s)].largest : 0;
}

int Writer::systemError() const {
    return m_impl->file.errorNumber();
}

int32_t Writer::finish(int* sysErrno) {
    Impl& m = *m_impl;
    if (!m.finished) {
        m.finished = true;
        if (!m.dataBegun) {
            m.beginData();
        }
        m.closePart();
        const std::vector<uint8_t> h = m.header();
        if (h.size() == m.headerSize) {
            m.file.patch(0, h.data(), h.size());
        } else {
            m.file.fail(EIO);  // cannot happen: the header's size is fixed once data began
        }
        const bool closed = m.file.close();
        m.finishStatus = (closed && m.status == AVIERR_OK) ? AVIERR_OK : AVIERR_FILEWRITE;
        m.finishErrno = m.file.errorNumber();
    }
    if (sysErrno != nullptr) {
        *sysErrno = m.finishErrno;
    }
    return m.finishStatus;
}

}  // namespace avi
