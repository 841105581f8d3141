// SPDX-License-Identifier: GPL-3.0-or-later
// The codec frames of compressed audio stored as a byte stream: MPEG audio (layers I to III),
// AC-3 and AAC with ADTS headers. Each frame's header gives its size, so a stream can be cut
// between frames, where a decoder can start again, instead of inside one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace join {

enum class FrameSyntax { kNone, kMpegAudio, kAc3, kAdts };

// The frame headers a stream of this format tag may carry: MPEG audio for 0x0050 and 0x0055,
// AC-3 for 0x2000, ADTS for the AAC tags; kNone for every other tag.
FrameSyntax FrameSyntaxOf(uint16_t formatTag);

// Bytes a header needs to be read (AC-3 reaches its LFE flag in its eighth byte), and the
// largest frame any of the syntaxes can describe (ADTS lengths have 13 bits).
inline constexpr int32_t kFrameHeaderBytes = 8;
inline constexpr int32_t kMaxFrameBytes = 8191;

enum class FrameCodec { kMp1, kMp2, kMp3, kAc3, kAac };

struct CodecFrame {
    FrameCodec codec = FrameCodec::kMp3;
    int32_t size = 0;         // bytes, header included
    int32_t samples = 0;      // per channel
    uint32_t sampleRate = 0;  // Hz
    uint16_t channels = 0;
    uint32_t bitRate = 0;  // bits per second the header states (ADTS: 0, it states none)
    // The header fields that stay the same across the frames of one stream (version, layer,
    // rate and mono or not; AC-3 rate and channels; AAC profile, rate and channels): a header
    // that differs there is no frame of the stream.
    uint32_t streamKey = 0;
    uint8_t ac3ChannelMode = 0;  // AC-3 acmod (0 dual mono .. 7 three front, two surround)
    bool lfe = false;            // AC-3: a low-frequency channel beside the others
};

// Reads the header at data (size bytes available, at least kFrameHeaderBytes for a result);
// false when no valid frame header of the syntax starts there.
bool ParseCodecFrame(FrameSyntax syntax, const uint8_t* data, size_t size, CodecFrame* frame);

// A frame of AAC made from a raw frame and the ADTS header of a frame of the same stream: the
// model's profile, rate and channels, with the new length, one raw block and no checksum.
// Empty when the model is no ADTS header or the frame would be longer than ADTS allows.
std::vector<uint8_t> AdtsFrame(const uint8_t* model, size_t modelSize, const uint8_t* raw,
                               size_t rawSize);

// The two-byte AAC codec configuration (object type, rate index, channels) an ADTS header
// describes; empty when it describes none.
std::vector<uint8_t> AdtsCodecConfig(const uint8_t* header, size_t size);

}  // namespace join
