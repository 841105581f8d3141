// SPDX-License-Identifier: GPL-3.0-or-later
// Frame headers as ISO/IEC 11172-3 and 13818-3 (MPEG audio), ATSC A/52 (AC-3) and ISO/IEC
// 13818-7 (ADTS) lay them out.
#include "join/codec_frames.h"

#include <array>

namespace join {

namespace {

constexpr std::array<uint32_t, 3> kMpegRates = {44100, 48000, 32000};
// kbit/s by bitrate index: MPEG-1 layers I, II, III, then MPEG-2/2.5 layer I, layers II and III.
constexpr std::array<std::array<uint16_t, 15>, 5> kMpegBitRates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};

constexpr std::array<uint32_t, 3> kAc3Rates = {48000, 44100, 32000};
constexpr std::array<uint16_t, 19> kAc3BitRates = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                                   192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr std::array<uint8_t, 8> kAc3FullChannels = {2, 1, 2, 3, 3, 4, 4, 5};

constexpr std::array<uint32_t, 13> kAdtsRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                 22050, 16000, 12000, 11025, 8000,  7350};
constexpr size_t kAdtsHeaderBytes = 7;

uint32_t BigEndian32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool ParseMpegAudio(const uint8_t* p, CodecFrame* frame) {
    const uint32_t h = BigEndian32(p);
    const uint32_t version = (h >> 19) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    const uint32_t layer = (h >> 17) & 3;    // 1 layer III, 2 layer II, 3 layer I
    const uint32_t rateIndex = (h >> 12) & 15;
    const uint32_t srIndex = (h >> 10) & 3;
    // Free-format frames (bitrate index 0) do not state their size.
    if ((h >> 21) != 0x7FF || version == 1 || layer == 0 || rateIndex == 0 || rateIndex == 15 ||
        srIndex == 3 || (h & 3) == 2) {
        return false;
    }
    const bool mpeg1 = version == 3;
    const uint32_t rate = kMpegRates[srIndex] >> (mpeg1 ? 0 : (version == 2 ? 1 : 2));
    const size_t table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const uint32_t bitRate = kMpegBitRates[table][rateIndex] * 1000u;
    const uint32_t padding = (h >> 9) & 1;
    frame->bitRate = bitRate;
    frame->sampleRate = rate;
    frame->channels = ((h >> 6) & 3) == 3 ? 1 : 2;
    if (layer == 3) {
        frame->codec = FrameCodec::kMp1;
        frame->samples = 384;
        frame->size = static_cast<int32_t>((12 * bitRate / rate + padding) * 4);
    } else {
        const bool half = layer == 1 && !mpeg1;  // layer III below 32 kHz: 576 samples
        frame->codec = layer == 2 ? FrameCodec::kMp2 : FrameCodec::kMp3;
        frame->samples = half ? 576 : 1152;
        frame->size = static_cast<int32_t>((half ? 72 : 144) * bitRate / rate + padding);
    }
    frame->streamKey = (version << 8) | (layer << 4) | (srIndex << 2) | (frame->channels == 1);
    return true;
}

bool ParseAc3(const uint8_t* p, CodecFrame* frame) {
    const uint32_t fscod = p[4] >> 6;
    const uint32_t frmsizecod = p[4] & 0x3F;
    const uint32_t bsid = p[5] >> 3;
    // Stream ids above 10 are E-AC-3, whose frames are laid out otherwise.
    if (p[0] != 0x0B || p[1] != 0x77 || fscod == 3 || frmsizecod >= 2 * kAc3BitRates.size() ||
        bsid > 10) {
        return false;
    }
    const uint32_t acmod = p[6] >> 5;
    int bit = 3;  // bits of byte 6 used so far, counted from its top
    if ((acmod & 1) != 0 && acmod != 1) {
        bit += 2;  // centre mix level
    }
    if ((acmod & 4) != 0) {
        bit += 2;  // surround mix level
    }
    if (acmod == 2) {
        bit += 2;  // Dolby Surround mode
    }
    const bool lfe = ((p[6] >> (7 - bit)) & 1) != 0;
    const uint32_t kbps = kAc3BitRates[frmsizecod >> 1];
    uint32_t words = 0;
    if (fscod == 0) {
        words = 2 * kbps;
    } else if (fscod == 2) {
        words = 3 * kbps;
    } else {
        words = kbps * 96000 / 44100 + (frmsizecod & 1);  // 1536 samples of 16-bit words
    }
    frame->codec = FrameCodec::kAc3;
    frame->size = static_cast<int32_t>(2 * words);
    frame->samples = 1536;
    frame->sampleRate = kAc3Rates[fscod];
    frame->bitRate = kbps * 1000;
    frame->channels = static_cast<uint16_t>(kAc3FullChannels[acmod] + (lfe ? 1 : 0));
    frame->ac3ChannelMode = static_cast<uint8_t>(acmod);
    frame->lfe = lfe;
    frame->streamKey = fscod | (acmod << 2) | (static_cast<uint32_t>(lfe) << 5);
    return true;
}

bool ParseAdts(const uint8_t* p, CodecFrame* frame) {
    const uint32_t profile = p[2] >> 6;
    const uint32_t srIndex = (p[2] >> 2) & 15;
    const uint32_t config = ((p[2] & 1u) << 2) | (p[3] >> 6);
    const uint32_t length = ((p[3] & 3u) << 11) | (static_cast<uint32_t>(p[4]) << 3) | (p[5] >> 5);
    const uint32_t header = (p[1] & 1) != 0 ? 7 : 9;  // a checksum follows when not absent
    if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0 || profile == 3 || srIndex >= kAdtsRates.size() ||
        length < header) {
        return false;
    }
    frame->codec = FrameCodec::kAac;
    frame->size = static_cast<int32_t>(length);
    frame->samples = 1024 * static_cast<int32_t>((p[6] & 3) + 1);
    frame->sampleRate = kAdtsRates[srIndex];
    frame->channels = static_cast<uint16_t>(config == 7 ? 8 : config);
    frame->bitRate = 0;
    frame->streamKey = profile | (srIndex << 2) | (config << 6) | ((p[1] & 8u) << 6);
    return true;
}

}  // namespace

FrameSyntax FrameSyntaxOf(uint16_t formatTag) {
    switch (formatTag) {
        case 0x0050:
        case 0x0055:
            return FrameSyntax::kMpegAudio;
        case 0x2000:
            return FrameSyntax::kAc3;
        case 0x00FF:
        case 0x1600:
        case 0x706D:
        case 0x4143:
            return FrameSyntax::kAdts;
        default:
            return FrameSyntax::kNone;
    }
}

bool ParseCodecFrame(FrameSyntax syntax, const uint8_t* data, size_t size, CodecFrame* frame) {
    if (data == nullptr || size < static_cast<size_t>(kFrameHeaderBytes)) {
        return false;
    }
    CodecFrame parsed;
    bool ok = false;
    switch (syntax) {
        case FrameSyntax::kMpegAudio:
            ok = ParseMpegAudio(data, &parsed);
            break;
        case FrameSyntax::kAc3:
            ok = ParseAc3(data, &parsed);
            break;
        case FrameSyntax::kAdts:
            ok = ParseAdts(data, &parsed);
            break;
        case FrameSyntax::kNone:
            break;
    }
    if (ok && parsed.size >= kFrameHeaderBytes && parsed.size <= kMaxFrameBytes) {
        *frame = parsed;
        return true;
    }
    return false;
}

std::vector<uint8_t> AdtsFrame(const uint8_t* model, size_t modelSize, const uint8_t* raw,
                               size_t rawSize) {
    CodecFrame frame;
    const size_t length = kAdtsHeaderBytes + rawSize;
    if (!ParseCodecFrame(FrameSyntax::kAdts, model, modelSize, &frame) ||
        length > static_cast<size_t>(kMaxFrameBytes) || (raw == nullptr && rawSize != 0)) {
        return {};
    }
    std::vector<uint8_t> out(length);
    out[0] = 0xFF;
    out[1] = static_cast<uint8_t>((model[1] & 0xF8) | 0x01);  // layer 0, no checksum
    out[2] = model[2];
    out[3] = static_cast<uint8_t>((model[3] & 0xFC) | ((length >> 11) & 3));
    out[4] = static_cast<uint8_t>(length >> 3);
    out[5] = static_cast<uint8_t>(((length & 7) << 5) | 0x1F);  // buffer fullness: variable
    out[6] = 0xFC;                                              // and one raw block
    for (size_t i = 0; i < rawSize; ++i) {
        out[kAdtsHeaderBytes + i] = raw[i];
    }
    return out;
}

std::vector<uint8_t> AdtsCodecConfig(const uint8_t* header, size_t size) {
    CodecFrame frame;
    if (!ParseCodecFrame(FrameSyntax::kAdts, header, size, &frame)) {
        return {};
    }
    const uint32_t objectType = (header[2] >> 6) + 1;
    const uint32_t srIndex = (header[2] >> 2) & 15;
    const uint32_t config = ((header[2] & 1u) << 2) | (header[3] >> 6);
    return {static_cast<uint8_t>((objectType << 3) | (srIndex >> 1)),
            static_cast<uint8_t>(((srIndex & 1) << 7) | (config << 3))};
}

}  // namespace join
