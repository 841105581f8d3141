// SPDX-License-Identifier: GPL-3.0-or-later
// What pictures a compressed video frame holds, read from its bitstream: their types, whether
// other pictures predict from them, whether their group of pictures needs the one before, and
// (H.264) the order they are shown in. Enough to tell key frames while rebuilding an index, and to
// know which frames a segment can start and end at. MPEG-1/2, MPEG-4 Part 2 and H.264.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace avi {

enum class PictureType {
    kUnknown,        // a codec we do not read, or no picture header found
    kIntra,          // an intra picture that later pictures may precede in display order
    kClosedIntra,    // an intra picture nothing before it is needed around (IDR, closed GOP)
    kPredicted,      // P (and S, SP)
    kBidirectional,  // B
};

enum class CodecFamily { kNone, kMpeg12, kMpeg4, kH264 };

// In a packed MPEG-4 stream, a picture packed behind another is held back until the next frame,
// and a frame of no more than this many bytes is only the placeholder that hands it over.
inline constexpr size_t kPlaceholderVopSize = 7;

// The family ProbePicture reads for a stream's compression or handler code.
CodecFamily ProbedFamily(uint32_t compression);
// True for the codecs ProbePicture reads.
bool IsProbedCodec(uint32_t compression);

// The type of the first picture in a frame's bytes, without anything known of the stream.
PictureType ProbePicture(uint32_t compression, const uint8_t* data, size_t size);

// One picture of a frame's bytes.
struct ProbedPicture {
    PictureType type = PictureType::kUnknown;
    size_t offset = 0;      // where its bytes start in the frame
    bool coded = true;      // false: an MPEG-4 VOP that is not coded (shows nothing new)
    bool reference = true;  // later pictures may be predicted from it
    bool restart = false;   // H.264 IDR: picture order counts start again
    int64_t order = 0;      // H.264: picture order count, in display order within a restart
    bool orderKnown = false;
};

// Reads the pictures of a stream's frames in file order, keeping what the stream's headers say
// from one frame to the next: MPEG-4 VOP timing, H.264 parameter sets and picture order counts.
// The format's codec bytes (after the bitmap header) count as headers seen first.
class PictureProbe {
  public:
    PictureProbe(uint32_t compression, const uint8_t* codecData, size_t codecDataSize);

    CodecFamily family() const { return m_family; }
    // The pictures of one frame, in their order there: one, or two for a packed MPEG-4 frame;
    // none for an empty frame or one without a picture header.
    std::vector<ProbedPicture> probe(const uint8_t* data, size_t size);
    // Whether the last MPEG-4 VOL said the stream has no B pictures. Decoders that then meet one
    // show a picture twice, so such a stream's pictures cannot be told from its frames.
    bool claimsLowDelay() const { return m_lowDelay; }
    // Forgets the order counts (not the headers): the next frame starts a run of its own, as
    // decoding begins at a key frame.
    void restartOrder();

  private:
    struct H264Sps {
        int frameNumBits = 4;
        int pocType = 0;
        int pocLsbBits = 4;
        bool frameMbsOnly = true;
        bool separateColourPlane = false;
        bool deltaPocAlwaysZero = false;
        int32_t offsetForNonRef = 0;
        int32_t offsetTopToBottom = 0;
        std::vector<int32_t> refOffsets;
    };
    struct H264Pps {
        int spsId = 0;
    };

    void readHeaders(const uint8_t* data, size_t size);
    std::vector<ProbedPicture> probeMpeg12(const uint8_t* data, size_t size) const;
    void readVol(const uint8_t* data, size_t size);
    std::vector<ProbedPicture> probeMpeg4(const uint8_t* data, size_t size);
    void readSps(const uint8_t* payload, size_t size);
    std::vector<ProbedPicture> probeH264(const uint8_t* data, size_t size, bool headersOnly);
    bool h264Nal(const uint8_t* nal, size_t size, bool headersOnly, ProbedPicture* picture);
    bool h264Slice(int nalType, int refIdc, const uint8_t* payload, size_t size,
                   ProbedPicture* picture);
    int64_t h264Order(const H264Sps& sps, bool idr, int refIdc, uint32_t frameNum, uint32_t pocLsb,
                      int32_t deltaPoc);

    CodecFamily m_family = CodecFamily::kNone;
    int m_vopTimeBits = -1;
    bool m_lowDelay = false;  // bits of an MPEG-4 VOP's time increment; -1 before a VOL
    int m_nalLengthSize = 0;  // H.264 in length-prefixed form (from avcC), 0 for start codes
    std::map<int, H264Sps> m_sps;
    std::map<int, H264Pps> m_pps;
    bool m_orderStarted = false;
    int64_t m_prevPocMsb = 0;
    uint32_t m_prevPocLsb = 0;
    uint32_t m_prevFrameNum = 0;
    int64_t m_frameNumOffset = 0;
};

}  // namespace avi
