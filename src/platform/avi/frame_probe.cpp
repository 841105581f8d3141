// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/avi/frame_probe.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace avi {

namespace {

// The position just after the next 00 00 01 at or after from, or size when there is none.
size_t NextStartCode(const uint8_t* data, size_t size, size_t from) {
    for (size_t i = from; i + 3 <= size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            return i + 3;
        }
    }
    return size;
}

// Reads bits MSB first; past the end reads zeros and marks the reader overrun.
class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t bits(int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            const size_t byte = m_pos / 8;
            uint32_t bit = 0;
            if (byte < m_size) {
                bit = (m_data[byte] >> (7 - static_cast<int>(m_pos % 8))) & 1u;
            } else {
                m_overrun = true;
            }
            value = value << 1 | bit;
            ++m_pos;
        }
        return value;
    }
    bool flag() { return bits(1) != 0; }
    // Exp-Golomb, as H.264 codes its header fields; large values are cut short.
    uint32_t ue() {
        int zeros = 0;
        while (bits(1) == 0 && zeros < 31 && !m_overrun) {
            ++zeros;
        }
        return (1u << zeros) - 1 + bits(zeros);
    }
    int32_t se() {
        const uint32_t v = ue();
        return (v & 1) != 0 ? static_cast<int32_t>((v + 1) / 2) : -static_cast<int32_t>(v / 2);
    }
    bool overrun() const { return m_overrun; }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_overrun = false;
};

// An H.264 NAL unit's payload without its emulation prevention bytes, at most limit bytes.
std::vector<uint8_t> Unescaped(const uint8_t* payload, size_t size, size_t limit) {
    std::vector<uint8_t> clean;
    clean.reserve(std::min(size, limit));
    int zeros = 0;
    for (size_t i = 0; i < size && clean.size() < limit; ++i) {
        if (zeros >= 2 && payload[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = payload[i] == 0 ? zeros + 1 : 0;
        clean.push_back(payload[i]);
    }
    return clean;
}

// Calls visit(nal, size) for each NAL unit: Annex B start codes, or lengths of lengthSize bytes.
template <typename Visit>
void ForEachNal(const uint8_t* data, size_t size, int lengthSize, Visit visit) {
    if (lengthSize > 0) {
        for (size_t at = 0; at + static_cast<size_t>(lengthSize) < size;) {
            uint32_t length = 0;
            for (int i = 0; i < lengthSize; ++i) {
                length = length << 8 | data[at + static_cast<size_t>(i)];
            }
            at += static_cast<size_t>(lengthSize);
            if (length == 0 || length > size - at) {
                return;
            }
            if (!visit(data + at, static_cast<size_t>(length))) {
                return;
            }
            at += length;
        }
        return;
    }
    size_t at = NextStartCode(data, size, 0);
    while (at < size) {
        const size_t next = NextStartCode(data, size, at);
        size_t end = next < size ? next - 3 : size;
        while (end > at && data[end - 1] == 0) {
            --end;  // the zero byte of a four-byte start code, or trailing zeros
        }
        if (!visit(data + at, end - at)) {
            return;
        }
        at = next;
    }
}

}  // namespace

CodecFamily ProbedFamily(uint32_t compression) {
    char c[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(compression >> (8 * i))));
    }
    struct Code {
        const char* code;
        CodecFamily family;
    };
    static const Code kCodes[] = {
        {"MPG1", CodecFamily::kMpeg12}, {"MPG2", CodecFamily::kMpeg12},
        {"MPEG", CodecFamily::kMpeg12}, {"MP2V", CodecFamily::kMpeg12},
        {"M2V1", CodecFamily::kMpeg12}, {"MPGV", CodecFamily::kMpeg12},
        {"PIM1", CodecFamily::kMpeg12}, {"MMES", CodecFamily::kMpeg12},
        {"XVID", CodecFamily::kMpeg4},  {"DIVX", CodecFamily::kMpeg4},
        {"DX50", CodecFamily::kMpeg4},  {"FMP4", CodecFamily::kMpeg4},
        {"MP4V", CodecFamily::kMpeg4},  {"M4S2", CodecFamily::kMpeg4},
        {"MP4S", CodecFamily::kMpeg4},  {"3IV2", CodecFamily::kMpeg4},
        {"XVIX", CodecFamily::kMpeg4},  {"BLZ0", CodecFamily::kMpeg4},
        {"UMP4", CodecFamily::kMpeg4},  {"SEDG", CodecFamily::kMpeg4},
        {"RMP4", CodecFamily::kMpeg4},  {"H264", CodecFamily::kH264},
        {"X264", CodecFamily::kH264},   {"AVC1", CodecFamily::kH264},
        {"DAVC", CodecFamily::kH264},   {"VSSH", CodecFamily::kH264},
    };
    for (const Code& code : kCodes) {
        if (std::equal(c, c + 4, code.code)) {
            return code.family;
        }
    }
    return CodecFamily::kNone;
}

bool IsProbedCodec(uint32_t compression) {
    return ProbedFamily(compression) != CodecFamily::kNone;
}

PictureType ProbePicture(uint32_t compression, const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0) {
        return PictureType::kUnknown;
    }
    PictureProbe probe(compression, nullptr, 0);
    const std::vector<ProbedPicture> pictures = probe.probe(data, size);
    return pictures.empty() ? PictureType::kUnknown : pictures.front().type;
}

PictureProbe::PictureProbe(uint32_t compression, const uint8_t* codecData, size_t codecDataSize)
    : m_family(ProbedFamily(compression)) {
    if (codecData == nullptr || codecDataSize == 0) {
        return;
    }
    if (m_family == CodecFamily::kH264 && codecDataSize >= 7 && codecData[0] == 1) {
        // An avcC record: the length size, then counted parameter sets behind 16-bit lengths.
        m_nalLengthSize = (codecData[4] & 3) + 1;
        size_t at = 5;
        for (int list = 0; list < 2 && at < codecDataSize; ++list) {
            const int count = list == 0 ? codecData[at] & 0x1F : codecData[at];
            ++at;
            for (int i = 0; i < count && at + 2 <= codecDataSize; ++i) {
                const size_t length = static_cast<size_t>(codecData[at] << 8 | codecData[at + 1]);
                at += 2;
                if (length > codecDataSize - at) {
                    return;
                }
                ProbedPicture ignored;
                h264Nal(codecData + at, length, true, &ignored);
                at += length;
            }
        }
        return;
    }
    readHeaders(codecData, codecDataSize);
}

void PictureProbe::readHeaders(const uint8_t* data, size_t size) {
    if (m_family == CodecFamily::kMpeg4) {
        probeMpeg4(data, size);
    } else if (m_family == CodecFamily::kH264) {
        probeH264(data, size, true);
    }
}

void PictureProbe::restartOrder() {
    m_orderStarted = false;
    m_prevPocMsb = 0;
    m_prevPocLsb = 0;
    m_prevFrameNum = 0;
    m_frameNumOffset = 0;
}

std::vector<ProbedPicture> PictureProbe::probe(const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0) {
        return {};
    }
    switch (m_family) {
        case CodecFamily::kMpeg12:
            return probeMpeg12(data, size);
        case CodecFamily::kMpeg4:
            return probeMpeg4(data, size);
        case CodecFamily::kH264:
            return probeH264(data, size, false);
        case CodecFamily::kNone:
            break;
    }
    return {};
}

// ---- MPEG-1/2 ---------------------------------------------------------------------------------

std::vector<ProbedPicture> PictureProbe::probeMpeg12(const uint8_t* data, size_t size) const {
    bool closedGop = false;
    for (size_t at = NextStartCode(data, size, 0); at < size; at = NextStartCode(data, size, at)) {
        const uint8_t code = data[at];
        if (code == 0xB8 && at + 5 <= size) {
            BitReader r(data + at + 1, size - at - 1);
            r.bits(25);  // time code
            const bool closed = r.flag();
            const bool brokenLink = r.flag();
            closedGop = closed && !brokenLink;
        } else if (code == 0x00 && at + 3 <= size) {
            // The first picture header; a second one (the other field) belongs to the same frame.
            BitReader r(data + at + 1, size - at - 1);
            r.bits(10);  // temporal reference
            ProbedPicture picture;
            picture.offset = at - 3;
            switch (r.bits(3)) {
                case 1:
                    picture.type = closedGop ? PictureType::kClosedIntra : PictureType::kIntra;
                    break;
                case 2:
                    picture.type = PictureType::kPredicted;
                    break;
                case 3:
                    picture.type = PictureType::kBidirectional;
                    picture.reference = false;
                    break;
                default:
                    return {};
            }
            return {picture};
        }
    }
    return {};
}

// ---- MPEG-4 Part 2 ----------------------------------------------------------------------------

// A video object layer: how many bits a VOP's time increment takes, and whether the stream says
// it has no B pictures (simple profiles say so by leaving it out).
void PictureProbe::readVol(const uint8_t* data, size_t size) {
    BitReader r(data, size);
    r.bits(1);  // random accessible
    const uint32_t objectType = r.bits(8);
    m_lowDelay = objectType == 1 || objectType == 17;
    int verid = 1;
    if (r.flag()) {
        verid = static_cast<int>(r.bits(4));
        r.bits(3);
    }
    if (r.bits(4) == 15) {
        r.bits(16);  // pixel aspect ratio
    }
    if (r.flag()) {
        r.bits(2);  // chroma format
        m_lowDelay = r.flag();
        if (r.flag()) {
            r.bits(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1);  // VBV parameters
        }
    }
    const uint32_t shape = r.bits(2);
    if (shape == 3 && verid != 1) {
        r.bits(4);
    }
    r.bits(1);  // marker
    const uint32_t resolution = r.bits(16);
    if (!r.overrun() && resolution > 0) {
        int bits = 1;
        while (bits < 16 && (1u << bits) < resolution) {
            ++bits;
        }
        m_vopTimeBits = bits;
    }
}

std::vector<ProbedPicture> PictureProbe::probeMpeg4(const uint8_t* data, size_t size) {
    std::vector<ProbedPicture> pictures;
    bool closedGov = false;
    for (size_t at = NextStartCode(data, size, 0); at < size; at = NextStartCode(data, size, at)) {
        const uint8_t code = data[at];
        BitReader r(data + at + 1, size - at - 1);
        if (code >= 0x20 && code <= 0x2F) {
            readVol(data + at + 1, size - at - 1);
        } else if (code == 0xB3 && at + 4 <= size) {
            r.bits(18);  // time code
            closedGov = r.flag();
        } else if (code == 0xB6 && at + 2 <= size) {
            ProbedPicture picture;
            picture.offset = at - 3;
            switch (r.bits(2)) {
                case 0:
                    picture.type = closedGov && pictures.empty() ? PictureType::kClosedIntra
                                                                 : PictureType::kIntra;
                    break;
                case 2:
                    picture.type = PictureType::kBidirectional;
                    picture.reference = false;
                    break;
                default:
                    picture.type = PictureType::kPredicted;  // P or S
                    break;
            }
            if (m_vopTimeBits > 0) {
                while (r.flag() && !r.overrun()) {
                }  // modulo time base
                r.bits(1 + m_vopTimeBits + 1);
                picture.coded = r.flag() || r.overrun();
            } else {
                picture.coded = size - picture.offset > kPlaceholderVopSize;
            }
            pictures.push_back(picture);
            if (pictures.size() == 2) {
                break;
            }
        }
    }
    return pictures;
}

// ---- H.264 ------------------------------------------------------------------------------------

std::vector<ProbedPicture> PictureProbe::probeH264(const uint8_t* data, size_t size,
                                                   bool headersOnly) {
    ProbedPicture picture;
    bool found = false;
    auto visit = [&](const uint8_t* nal, size_t n) {
        found = h264Nal(nal, n, headersOnly, &picture);
        return !found;
    };
    ForEachNal(data, size, m_nalLengthSize, visit);
    if (!found && m_nalLengthSize == 0 && !headersOnly) {
        // Some writers put length-prefixed units in AVI without saying so.
        ForEachNal(data, size, 4, visit);
    }
    if (!found) {
        return {};
    }
    return {picture};
}

// A sequence parameter set: what a slice header's frame number and order count need.
void PictureProbe::readSps(const uint8_t* payload, size_t size) {
    const std::vector<uint8_t> clean = Unescaped(payload, size, 1024);
    BitReader r(clean.data(), clean.size());
    const uint32_t profile = r.bits(8);
    r.bits(16);  // constraints, level
    const uint32_t id = r.ue();
    H264Sps sps;
    static const uint32_t kHighProfiles[] = {100, 110, 122, 244, 44,  83, 86,
                                             118, 128, 138, 139, 134, 135};
    if (std::find(std::begin(kHighProfiles), std::end(kHighProfiles), profile) !=
        std::end(kHighProfiles)) {
        const uint32_t chroma = r.ue();
        if (chroma == 3) {
            sps.separateColourPlane = r.flag();
        }
        r.ue();  // luma bit depth
        r.ue();  // chroma bit depth
        r.bits(1);
        if (r.flag()) {
            for (int i = 0; i < (chroma != 3 ? 8 : 12); ++i) {
                if (r.flag()) {
                    int last = 8;
                    int next = 8;
                    for (int j = 0; j < (i < 6 ? 16 : 64) && next != 0; ++j) {
                        next = (last + r.se() + 256) % 256;
                        last = next == 0 ? last : next;
                    }
                }
            }
        }
    }
    sps.frameNumBits = static_cast<int>(std::min<uint32_t>(r.ue(), 12)) + 4;
    sps.pocType = static_cast<int>(r.ue());
    if (sps.pocType == 0) {
        sps.pocLsbBits = static_cast<int>(std::min<uint32_t>(r.ue(), 12)) + 4;
    } else if (sps.pocType == 1) {
        // Offsets far beyond any real stream's are cut short, so that no count overflows.
        const auto offset = [&r] { return std::clamp(r.se(), -65536, 65536); };
        sps.deltaPocAlwaysZero = r.flag();
        sps.offsetForNonRef = offset();
        sps.offsetTopToBottom = offset();
        const uint32_t cycle = std::min<uint32_t>(r.ue(), 255);
        for (uint32_t i = 0; i < cycle; ++i) {
            sps.refOffsets.push_back(offset());
        }
    }
    r.ue();     // reference frames
    r.bits(1);  // gaps allowed
    r.ue();     // width
    r.ue();     // height
    sps.frameMbsOnly = r.flag();
    if (!r.overrun() && id < 32 && sps.pocType <= 2) {
        m_sps[static_cast<int>(id)] = sps;
    }
}

// Reads a parameter set, or (unless headersOnly) the first slice of a picture into picture and
// returns true.
bool PictureProbe::h264Nal(const uint8_t* nal, size_t size, bool headersOnly,
                           ProbedPicture* picture) {
    if (size < 2) {
        return false;
    }
    const int type = nal[0] & 0x1F;
    const int refIdc = (nal[0] >> 5) & 3;
    if (type == 7) {
        readSps(nal + 1, size - 1);
        return false;
    }
    if (type == 8) {
        const std::vector<uint8_t> clean = Unescaped(nal + 1, size - 1, 16);
        BitReader r(clean.data(), clean.size());
        const uint32_t id = r.ue();
        H264Pps pps;
        pps.spsId = static_cast<int>(r.ue());
        if (!r.overrun() && id < 256) {
            m_pps[static_cast<int>(id)] = pps;
        }
        return false;
    }
    if (headersOnly || (type != 1 && type != 5)) {
        return false;
    }
    return h264Slice(type, refIdc, nal + 1, size - 1, picture);
}

bool PictureProbe::h264Slice(int nalType, int refIdc, const uint8_t* payload, size_t size,
                             ProbedPicture* picture) {
    const std::vector<uint8_t> clean = Unescaped(payload, size, 64);
    BitReader r(clean.data(), clean.size());
    r.ue();  // first macroblock
    const uint32_t sliceType = r.ue() % 5;
    const bool idr = nalType == 5;
    picture->offset = 0;
    picture->reference = refIdc != 0;
    picture->restart = idr;
    if (idr) {
        picture->type = PictureType::kClosedIntra;
    } else if (sliceType == 1) {
        picture->type = PictureType::kBidirectional;
    } else if (sliceType == 2 || sliceType == 4) {
        picture->type = PictureType::kIntra;
    } else {
        picture->type = PictureType::kPredicted;
    }
    const auto pps = m_pps.find(static_cast<int>(r.ue()));
    if (pps == m_pps.end()) {
        return true;
    }
    const auto sps = m_sps.find(pps->second.spsId);
    if (sps == m_sps.end()) {
        return true;
    }
    const H264Sps& s = sps->second;
    if (s.separateColourPlane) {
        r.bits(2);
    }
    const uint32_t frameNum = r.bits(s.frameNumBits);
    if (!s.frameMbsOnly && r.flag()) {
        r.bits(1);  // a field: its top or bottom
    }
    if (idr) {
        r.ue();  // IDR picture id
    }
    uint32_t pocLsb = 0;
    int32_t deltaPoc = 0;
    if (s.pocType == 0) {
        pocLsb = r.bits(s.pocLsbBits);
    } else if (s.pocType == 1 && !s.deltaPocAlwaysZero) {
        deltaPoc = std::clamp(r.se(), -65536, 65536);
    }
    if (r.overrun()) {
        return true;
    }
    picture->order = h264Order(s, idr, refIdc, frameNum, pocLsb, deltaPoc);
    picture->orderKnown = true;
    return true;
}

// The picture order count of a frame (its top field), as the decoder derives it.
int64_t PictureProbe::h264Order(const H264Sps& sps, bool idr, int refIdc, uint32_t frameNum,
                                uint32_t pocLsb, int32_t deltaPoc) {
    if (idr) {
        restartOrder();
        m_orderStarted = true;
    }
    const int64_t maxFrameNum = int64_t{1} << sps.frameNumBits;
    if (!m_orderStarted) {
        // Decoding begins here: what came before does not matter, only the order from now on.
        m_orderStarted = true;
        m_prevPocLsb = pocLsb;
        m_prevFrameNum = frameNum;
    }
    if (sps.pocType == 0) {
        const int64_t maxLsb = int64_t{1} << sps.pocLsbBits;
        int64_t msb = m_prevPocMsb;
        if (pocLsb < m_prevPocLsb && int64_t{m_prevPocLsb} - pocLsb >= maxLsb / 2) {
            msb += maxLsb;
        } else if (pocLsb > m_prevPocLsb && int64_t{pocLsb} - m_prevPocLsb > maxLsb / 2) {
            msb -= maxLsb;
        }
        if (refIdc != 0) {
            m_prevPocMsb = msb;
            m_prevPocLsb = pocLsb;
        }
        return msb + pocLsb;
    }
    if (frameNum < m_prevFrameNum) {
        m_frameNumOffset += maxFrameNum;
    }
    m_prevFrameNum = frameNum;
    const int64_t absFrameNum = m_frameNumOffset + frameNum;
    if (sps.pocType == 2) {
        return refIdc == 0 ? 2 * absFrameNum - 1 : 2 * absFrameNum;
    }
    // Type 1: expected counts from the cycle of reference frame offsets.
    int64_t expected = 0;
    const int64_t cycle = static_cast<int64_t>(sps.refOffsets.size());
    int64_t frame = cycle > 0 ? absFrameNum : 0;
    if (refIdc == 0 && frame > 0) {
        --frame;
    }
    if (frame > 0) {
        int64_t perCycle = 0;
        for (const int32_t offset : sps.refOffsets) {
            perCycle += offset;
        }
        expected = (frame - 1) / cycle * perCycle;
        for (int64_t i = 0; i <= (frame - 1) % cycle; ++i) {
            expected += sps.refOffsets[static_cast<size_t>(i)];
        }
    }
    if (refIdc == 0) {
        expected += sps.offsetForNonRef;
    }
    return expected + deltaPoc;
}

}  // namespace avi
