// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/avi/frame_probe.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace avi {

namespace {

enum class Family { kNone, kMpeg12, kMpeg4, kH264 };

Family FamilyOf(uint32_t compression) {
    char c[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(compression >> (8 * i))));
    }
    struct Code {
        const char* code;
        Family family;
    };
    static const Code kCodes[] = {
        {"MPG1", Family::kMpeg12}, {"MPG2", Family::kMpeg12}, {"MPEG", Family::kMpeg12},
        {"MP2V", Family::kMpeg12}, {"M2V1", Family::kMpeg12}, {"MPGV", Family::kMpeg12},
        {"PIM1", Family::kMpeg12}, {"MMES", Family::kMpeg12}, {"XVID", Family::kMpeg4},
        {"DIVX", Family::kMpeg4},  {"DX50", Family::kMpeg4},  {"FMP4", Family::kMpeg4},
        {"MP4V", Family::kMpeg4},  {"M4S2", Family::kMpeg4},  {"MP4S", Family::kMpeg4},
        {"3IV2", Family::kMpeg4},  {"XVIX", Family::kMpeg4},  {"BLZ0", Family::kMpeg4},
        {"UMP4", Family::kMpeg4},  {"SEDG", Family::kMpeg4},  {"RMP4", Family::kMpeg4},
        {"H264", Family::kH264},   {"X264", Family::kH264},   {"AVC1", Family::kH264},
        {"DAVC", Family::kH264},   {"VSSH", Family::kH264},
    };
    for (const Code& code : kCodes) {
        if (std::equal(c, c + 4, code.code)) {
            return code.family;
        }
    }
    return Family::kNone;
}

// The position just after the next 00 00 01 at or after from, or size when there is none.
size_t NextStartCode(const uint8_t* data, size_t size, size_t from) {
    for (size_t i = from; i + 3 <= size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            return i + 3;
        }
    }
    return size;
}

// Reads bits MSB first; past the end reads zeros.
class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t bits(int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            const size_t byte = m_pos / 8;
            const uint32_t bit =
                byte < m_size ? (m_data[byte] >> (7 - static_cast<int>(m_pos % 8))) & 1u : 0u;
            value = value << 1 | bit;
            ++m_pos;
        }
        return value;
    }
    // Exp-Golomb, as H.264 codes its header fields; large values are cut short.
    uint32_t ue() {
        int zeros = 0;
        while (bits(1) == 0 && zeros < 31) {
            ++zeros;
        }
        return (1u << zeros) - 1 + bits(zeros);
    }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

PictureType ProbeMpeg12(const uint8_t* data, size_t size) {
    bool closedGop = false;
    for (size_t at = NextStartCode(data, size, 0); at < size; at = NextStartCode(data, size, at)) {
        const uint8_t code = data[at];
        if (code == 0xB8 && at + 5 <= size) {
            BitReader r(data + at + 1, size - at - 1);
            r.bits(25);  // time code
            closedGop = r.bits(1) != 0;
        } else if (code == 0x00 && at + 3 <= size) {
            BitReader r(data + at + 1, size - at - 1);
            r.bits(10);  // temporal reference
            switch (r.bits(3)) {
                case 1:
                    return closedGop ? PictureType::kClosedIntra : PictureType::kIntra;
                case 2:
                    return PictureType::kPredicted;
                case 3:
                    return PictureType::kBidirectional;
                default:
                    return PictureType::kUnknown;
            }
        }
    }
    return PictureType::kUnknown;
}

PictureType ProbeMpeg4(const uint8_t* data, size_t size) {
    bool closedGov = false;
    for (size_t at = NextStartCode(data, size, 0); at < size; at = NextStartCode(data, size, at)) {
        const uint8_t code = data[at];
        if (code == 0xB3 && at + 4 <= size) {
            BitReader r(data + at + 1, size - at - 1);
            r.bits(18);  // time code
            closedGov = r.bits(1) != 0;
        } else if (code == 0xB6 && at + 2 <= size) {
            switch (data[at + 1] >> 6) {
                case 0:
                    return closedGov ? PictureType::kClosedIntra : PictureType::kIntra;
                case 2:
                    return PictureType::kBidirectional;
                default:
                    return PictureType::kPredicted;  // P or S
            }
        }
    }
    return PictureType::kUnknown;
}

// The first slice of an H.264 NAL unit (type and payload without its header byte).
PictureType H264Slice(int nalType, const uint8_t* payload, size_t size) {
    if (nalType == 5) {
        return PictureType::kClosedIntra;
    }
    // Remove emulation prevention bytes from the little the slice header needs.
    uint8_t clean[32];
    size_t n = 0;
    int zeros = 0;
    for (size_t i = 0; i < size && n < sizeof clean; ++i) {
        if (zeros >= 2 && payload[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = payload[i] == 0 ? zeros + 1 : 0;
        clean[n++] = payload[i];
    }
    BitReader r(clean, n);
    r.ue();  // first macroblock
    switch (r.ue() % 5) {
        case 0:
        case 3:
            return PictureType::kPredicted;
        case 1:
            return PictureType::kBidirectional;
        default:
            return PictureType::kIntra;
    }
}

PictureType ProbeH264(const uint8_t* data, size_t size) {
    // Annex B start codes, as AVI files carry H.264.
    for (size_t at = NextStartCode(data, size, 0); at < size; at = NextStartCode(data, size, at)) {
        const int type = data[at] & 0x1F;
        if (type == 1 || type == 5) {
            return H264Slice(type, data + at + 1, size - at - 1);
        }
    }
    // Else NAL units behind 4-byte lengths.
    for (size_t at = 0; at + 5 <= size;) {
        const uint32_t length = static_cast<uint32_t>(data[at]) << 24 |
                                static_cast<uint32_t>(data[at + 1]) << 16 |
                                static_cast<uint32_t>(data[at + 2]) << 8 | data[at + 3];
        if (length == 0 || length > size - at - 4) {
            break;
        }
        const int type = data[at + 4] & 0x1F;
        if (type == 1 || type == 5) {
            return H264Slice(type, data + at + 5, length - 1);
        }
        at += 4 + static_cast<size_t>(length);
    }
    return PictureType::kUnknown;
}

}  // namespace

bool IsProbedCodec(uint32_t compression) {
    return FamilyOf(compression) != Family::kNone;
}

PictureType ProbePicture(uint32_t compression, const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0) {
        return PictureType::kUnknown;
    }
    switch (FamilyOf(compression)) {
        case Family::kMpeg12:
            return ProbeMpeg12(data, size);
        case Family::kMpeg4:
            return ProbeMpeg4(data, size);
        case Family::kH264:
            return ProbeH264(data, size);
        case Family::kNone:
            break;
    }
    return PictureType::kUnknown;
}

}  // namespace avi
