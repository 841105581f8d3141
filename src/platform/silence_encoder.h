// SPDX-License-Identifier: GPL-3.0-or-later
// Silence in a stream's own compressed audio format: what fills the place of sound a clip lacks,
// so that the clips after it stay in step. Plain C++; an implementation encodes with a codec
// library and is chosen by the program's composition root.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

enum class SilenceCodec { kMp2, kMp3, kAc3, kAac };

// What the silence must be to pass for packets of the stream.
struct SilenceFormat {
    SilenceCodec codec = SilenceCodec::kMp3;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;             // all channels, the low-frequency one included
    uint32_t bitRate = 0;              // bits per second; 0 leaves it to the encoder
    int32_t samplesPerPacket = 0;      // each packet must decode to this many samples a channel
    uint8_t ac3ChannelMode = 0;        // AC-3: acmod (1 mono .. 7 three front, two surround)
    bool lfe = false;                  // AC-3: with a low-frequency channel
    std::vector<uint8_t> codecConfig;  // AAC: the AudioSpecificConfig the stream decodes with
};

// An endless run of silent packets in one format.
class SilentPackets {
  public:
    virtual ~SilentPackets() = default;
    // The next packet, as the codec frames it (AAC: a raw frame, without ADTS header); false
    // when no more can be made.
    virtual bool next(std::vector<uint8_t>* packet) = 0;
};

class SilenceEncoder {
  public:
    virtual ~SilenceEncoder() = default;
    // Silent packets in the format, each one checked to decode with the stream's parameters
    // (rate, channels, samples a packet); null when the format cannot be encoded so.
    virtual std::unique_ptr<SilentPackets> open(const SilenceFormat& format) const = 0;
};

}  // namespace platform
