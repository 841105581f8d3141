// SPDX-License-Identifier: GPL-3.0-or-later
// Audio that a join copies as whole codec packets: which streams are cut so, and the silence
// that takes the place of packets a clip lacks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "join/audio_span.h"
#include "join/codec_frames.h"
#include "media/vbvfw.h"
#include "platform/silence_encoder.h"

namespace join {

// How a stream's audio is cut. kChunks: compressed audio counting chunks (sample size 0), a
// packet a chunk. kFrames: a compressed byte stream (one byte a sample) whose frame headers give
// each frame's size. kBlocks: PCM, ADPCM and every other format, cut at the block the clock gives.
enum class PacketLayout { kBlocks, kChunks, kFrames };
PacketLayout PacketLayoutOf(const AVISTREAMINFO& info, const WAVEFORMATEX& format, bool pcm);

// Silent packets that pass for packets of the joined file's audio: made by the encoder the
// program was given, each checked to be a packet of the stream (same header fields, same
// length on the stream's clock), or none.
class CodecSilence {
  public:
    // The joined file's audio: its whole format, layout and clock; encoder may be null.
    void start(const platform::SilenceEncoder* encoder, std::vector<uint8_t> format,
               PacketLayout layout, const AudioClock& clock);
    // A packet of the joined file's audio; the first one is the model the silence follows.
    void model(const uint8_t* data, size_t size);
    bool modelled() const { return !m_model.empty(); }
    // The next silent packet and the stream samples it takes, the same one until take(); false
    // when none can be made.
    bool peek(const std::vector<uint8_t>** packet, int64_t* length);
    void take() { m_pending.clear(); }

  private:
    bool open();
    bool fits(std::vector<uint8_t>* packet);

    const platform::SilenceEncoder* m_encoder = nullptr;
    std::vector<uint8_t> m_format;
    PacketLayout m_layout = PacketLayout::kBlocks;
    AudioClock m_clock;
    std::vector<uint8_t> m_model;
    CodecFrame m_modelFrame;
    bool m_modelParsed = false;
    bool m_tried = false;
    std::unique_ptr<platform::SilentPackets> m_packets;
    std::vector<uint8_t> m_pending;
};

// What a join keeps about its audio while it copies whole packets.
struct PacketJob {
    PacketLayout layout = PacketLayout::kBlocks;
    AudioClock clock;  // the joined file's audio against its video
    // Stream samples of sound the joined file lacks that no silence replaced: the audio after
    // them plays this much early, and later cuts are chosen as if it were there.
    int64_t shift = 0;
    CodecSilence silence;
};

}  // namespace join
