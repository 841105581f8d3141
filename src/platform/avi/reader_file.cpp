// SPDX-License-Identifier: GPL-3.0-or-later
// Positioned file reads and the parsing of the RIFF header tree.
#include "platform/avi/reader_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace avi::detail {

// ---- file access
// ---------------------------------------------------------------------------------

FileHandle::~FileHandle() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FileHandle::open(const std::string& path, int* err) {
    // Non-blocking so that a FIFO cannot stall the open; only regular files are accepted.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *err = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FileHandle::readAt(uint64_t pos, void* buffer, size_t len) const {
    if (!InRange(pos, len, m_size)) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (len > 0) {
        const size_t step = std::min<size_t>(len, size_t{1} << 30);
        const ssize_t got = ::pread(m_fd, out, step, static_cast<off_t>(pos));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        pos += static_cast<uint64_t>(got);
        len -= static_cast<size_t>(got);
    }
    return true;
}

bool FileHandle::readChunkAt(uint64_t pos, uint8_t header[8], void* buffer, size_t len) const {
    if (!InRange(pos, 8 + static_cast<uint64_t>(len), m_size)) {
        return false;
    }
    if (len > (size_t{1} << 30)) {
        return readAt(pos, header, 8) && readAt(pos + 8, buffer, len);
    }
    iovec parts[2] = {{header, 8}, {buffer, len}};
    const ssize_t want = static_cast<ssize_t>(8 + len);
    ssize_t got = 0;
    do {
        got = ::preadv(m_fd, parts, len > 0 ? 2 : 1, static_cast<off_t>(pos));
    } while (got < 0 && errno == EINTR);
    if (got == want) {
        return true;
    }
    if (got < 8) {
        return false;
    }
    // A short read (rare on regular files): finish the payload with plain reads.
    const size_t done = static_cast<size_t>(got) - 8;
    return readAt(pos + 8 + done, static_cast<uint8_t*>(buffer) + done, len - done);
}

// ---- chunk ids
// -------------------------------------------------------------------------------------

bool IsPlausibleId(uint32_t fourcc) {
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<uint8_t>(fourcc >> (8 * i));
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == ' ' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

int StreamOfChunkId(uint32_t fourcc) {
    const auto a = static_cast<uint8_t>(fourcc);
    const auto b = static_cast<uint8_t>(fourcc >> 8);
    if (a < '0' || a > '9' || b < '0' || b > '9' || !IsPlausibleId(fourcc)) {
        return -1;
    }
    return (a - '0') * 10 + (b - '0');
}

namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");

// Chunks of a header list held in memory: header, then payload clamped to what is present.
class ChunkWalker {
  public:
    ChunkWalker(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool next(uint32_t* id, const uint8_t** payload, size_t* size, uint32_t* declared) {
        if (m_pos > m_size || m_size - m_pos < 8) {
            return false;
        }
        *id = ReadU32(m_data + m_pos);
        *declared = ReadU32(m_data + m_pos + 4);
        const size_t start = m_pos + 8;
        *payload = m_data + start;
        *size = std::min<size_t>(*declared, m_size - start);
        m_pos = start + *size + (*size & 1);
        return true;
    }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

MainHeader ParseMainHeader(const uint8_t* p) {
    MainHeader h;
    h.dwMicroSecPerFrame = ReadU32(p + 0);
    h.dwMaxBytesPerSec = ReadU32(p + 4);
    h.dwPaddingGranularity = ReadU32(p + 8);
    h.dwFlags = ReadU32(p + 12);
    h.dwTotalFrames = ReadU32(p + 16);
    h.dwInitialFrames = ReadU32(p + 20);
    h.dwStreams = ReadU32(p + 24);
    h.dwSuggestedBufferSize = ReadU32(p + 28);
    h.dwWidth = ReadU32(p + 32);
    h.dwHeight = ReadU32(p + 36);
    return h;
}

StreamHeader ParseStreamHeader(const uint8_t* p, size_t size) {
    StreamHeader h;
    h.fccType = ReadU32(p + 0);
    h.fccHandler = ReadU32(p + 4);
    h.dwFlags = ReadU32(p + 8);
    h.wPriority = ReadU16(p + 12);
    h.wLanguage = ReadU16(p + 14);
    h.dwInitialFrames = ReadU32(p + 16);
    h.dwScale = ReadU32(p + 20);
    h.dwRate = ReadU32(p + 24);
    h.dwStart = ReadU32(p + 28);
    h.dwLength = ReadU32(p + 32);
    h.dwSuggestedBufferSize = ReadU32(p + 36);
    h.dwQuality = ReadU32(p + 40);
    h.dwSampleSize = ReadU32(p + 44);
    if (size >= 56) {
        h.rcLeft = ReadI16(p + 48);
        h.rcTop = ReadI16(p + 50);
        h.rcRight = ReadI16(p + 52);
        h.rcBottom = ReadI16(p + 54);
    }
    return h;
}

int32_t ParseStreamList(const uint8_t* data, size_t size, const Limits& limits, StreamSetup* out) {
    ChunkWalker walker(data, size);
    uint32_t id = 0;
    uint32_t declared = 0;
    const uint8_t* payload = nullptr;
    size_t len = 0;
    bool haveHeader = false;
    while (walker.next(&id, &payload, &len, &declared)) {
        if (id == FourCC("strh")) {
            if (len < 48) {
                return AVIERR_BADFORMAT;
            }
            out->data.header = ParseStreamHeader(payload, len);
            haveHeader = true;
        } else if (id == FourCC("strf")) {
            if (declared > limits.maxFormatSize) {
                return AVIERR_BADFORMAT;
            }
            out->data.format.assign(payload, payload + len);
        } else if (id == FourCC("strn")) {
            const auto* end = std::find(payload, payload + len, uint8_t{0});
            out->data.name.assign(payload, end);
        } else if (id == FourCC("indx")) {
            out->superIndex.assign(payload, payload + len);
        } else if (id == FourCC("vprp") && len >= 24) {
            // dwFrameAspectRatio: the width in its high 16 bits, the height in its low ones.
            const uint32_t aspect = ReadU32(payload + 20);
            out->data.aspectX = static_cast<uint16_t>(aspect >> 16);
            out->data.aspectY = static_cast<uint16_t>(aspect & 0xFFFF);
        }
    }
    return haveHeader ? AVIERR_OK : AVIERR_BADFORMAT;
}

int32_t ParseHeaderList(const uint8_t* data, size_t size, const Limits& limits,
                        FileLayout* layout) {
    ChunkWalker walker(data, size);
    uint32_t id = 0;
    uint32_t declared = 0;
    const uint8_t* payload = nullptr;
    size_t len = 0;
    bool haveMain = false;
    while (walker.next(&id, &payload, &len, &declared)) {
        if (id == FourCC("avih")) {
            if (len < 40) {
                return AVIERR_BADFORMAT;
            }
            layout->main = ParseMainHeader(payload);
            haveMain = true;
        } else if (id == kList && len >= 4 && ReadU32(payload) == FourCC("strl")) {
            if (static_cast<int>(layout->streams.size()) >= limits.maxStreams) {
                return AVIERR_BADFORMAT;
            }
            StreamSetup stream;
            const int32_t status = ParseStreamList(payload + 4, len - 4, limits, &stream);
            if (status != AVIERR_OK) {
                return status;
            }
            layout->streams.push_back(std::move(stream));
        } else if (id == kList && len >= 4 && ReadU32(payload) == FourCC("odml")) {
            ChunkWalker inner(payload + 4, len - 4);
            uint32_t innerId = 0;
            uint32_t innerDeclared = 0;
            const uint8_t* innerPayload = nullptr;
            size_t innerLen = 0;
            while (inner.next(&innerId, &innerPayload, &innerLen, &innerDeclared)) {
                layout->hasDmlh = layout->hasDmlh || innerId == FourCC("dmlh");
            }
        }
    }
    return haveMain ? AVIERR_OK : AVIERR_BADFORMAT;
}

// End of a list or chunk whose payload starts at 'start' with a declared size, clamped to the
// file. A size of 0 (an unfinished writer) means "up to the end of the file".
uint64_t ClampedEnd(uint64_t start, uint64_t declared, uint64_t fileSize) {
    if (declared == 0 || start > fileSize || declared > fileSize - start) {
        return fileSize;
    }
    return start + declared;
}

int32_t ReadHeaderList(const FileHandle& file, uint64_t payloadPos, uint64_t end,
                       const Limits& limits, FileLayout* layout) {
    const uint64_t size = end - payloadPos;
    if (size > limits.maxHeaderSize) {
        return AVIERR_BADFORMAT;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!file.readAt(payloadPos, bytes.data(), bytes.size())) {
        return AVIERR_FILEREAD;
    }
    return ParseHeaderList(bytes.data(), bytes.size(), limits, layout);
}

// Walks the children of one RIFF part, noting hdrl (first part only), movi and idx1.
int32_t WalkRiffPart(const FileHandle& file, uint64_t pos, uint64_t end, bool first,
                     const Limits& limits, FileLayout* layout, bool* haveHeaders) {
    uint8_t h[12];
    while (pos <= end && end - pos >= 8 && file.readAt(pos, h, 8)) {
        const uint32_t id = ReadU32(h);
        const uint32_t declared = ReadU32(h + 4);
        const uint64_t payload = pos + 8;
        if (id == kList && end - pos >= 12 && file.readAt(pos + 8, h + 8, 4)) {
            const uint32_t type = ReadU32(h + 8);
            const uint64_t listEnd = ClampedEnd(payload, declared < 4 ? 0 : declared, end);
            if (type == FourCC("hdrl") && first && !*haveHeaders) {
                const int32_t status = ReadHeaderList(file, payload + 4, listEnd, limits, layout);
                if (status != AVIERR_OK) {
                    return status;
                }
                *haveHeaders = true;
            } else if (type == FourCC("movi")) {
                // A movi list whose size is missing runs to the end of the file.
                const uint64_t moviEnd =
                    declared < 4 ? file.size() : ClampedEnd(payload, declared, file.size());
                layout->movis.push_back({payload, payload + 4, moviEnd});
                pos = moviEnd + (moviEnd & 1);
                continue;
            }
            pos = listEnd + (listEnd & 1);
            continue;
        }
        if (id == FourCC("idx1") && first && !layout->hasIdx1) {
            layout->hasIdx1 = true;
            layout->idx1Pos = payload;
            const uint64_t present = file.size() - std::min(payload, file.size());
            layout->idx1Size = std::min<uint64_t>(declared, present);
            layout->idx1Cut = declared > present;
        }
        if (!IsPlausibleId(id)) {
            break;
        }
        const uint64_t next = payload + declared + (declared & 1);
        if (next > end) {
            break;
        }
        pos = next;
    }
    return AVIERR_OK;
}

}  // namespace

int32_t ParseLayout(const FileHandle& file, const Limits& limits, FileLayout* layout) {
    uint8_t h[12];
    if (!file.readAt(0, h, 12) || ReadU32(h) != kRiff || ReadU32(h + 8) != FourCC("AVI ")) {
        return AVIERR_BADFORMAT;
    }
    uint64_t riffEnd = ClampedEnd(8, ReadU32(h + 4), file.size());
    bool haveHeaders = false;
    int32_t status = WalkRiffPart(file, 12, riffEnd, true, limits, layout, &haveHeaders);
    if (status != AVIERR_OK) {
        return status;
    }
    if (!haveHeaders) {
        return AVIERR_BADFORMAT;
    }
    // OpenDML continuation parts follow the first RIFF back to back.
    uint64_t pos = riffEnd + (riffEnd & 1);
    // The first movi may run past a RIFF size that was never updated; continue after it.
    if (!layout->movis.empty() && layout->movis.back().end > pos) {
        pos = layout->movis.back().end + (layout->movis.back().end & 1);
    }
    for (uint32_t part = 1; part < limits.maxRiffParts; ++part) {
        if (!file.readAt(pos, h, 12) || ReadU32(h) != kRiff || ReadU32(h + 8) != FourCC("AVIX")) {
            break;
        }
        riffEnd = ClampedEnd(pos + 8, ReadU32(h + 4), file.size());
        status = WalkRiffPart(file, pos + 12, riffEnd, false, limits, layout, &haveHeaders);
        if (status != AVIERR_OK) {
            return status;
        }
        const uint64_t next = riffEnd + (riffEnd & 1);
        if (next <= pos) {
            break;
        }
        pos = next;
    }
    return AVIERR_OK;
}

}  // namespace avi::detail
