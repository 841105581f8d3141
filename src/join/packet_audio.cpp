// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/packet_audio.h"

#include <algorithm>

namespace join {

namespace {

// Beyond these a stream's clock is no codec's (MPEG audio and AC-3 make at most about 100 frames
// and 100 KB a second): such audio keeps being cut by its clock alone.
constexpr double kMaxPacketsPerSecond = 1000;
constexpr double kMaxFrameBytesPerSecond = 1 << 20;

uint16_t FormatTag(const std::vector<uint8_t>& format) {
    return format.size() >= 2 ? static_cast<uint16_t>(format[0] | (format[1] << 8)) : 0;
}

}  // namespace

PacketLayout PacketLayoutOf(const AVISTREAMINFO& info, const WAVEFORMATEX& format, bool pcm) {
    if (pcm || info.dwRate == 0 || info.dwScale == 0) {
        return PacketLayout::kBlocks;
    }
    const double perSecond = static_cast<double>(info.dwRate) / info.dwScale;
    if (info.dwSampleSize == 0) {
        return perSecond <= kMaxPacketsPerSecond ? PacketLayout::kChunks : PacketLayout::kBlocks;
    }
    if (info.dwSampleSize == 1 && format.nBlockAlign == 1 &&
        FrameSyntaxOf(format.wFormatTag) != FrameSyntax::kNone &&
        perSecond <= kMaxFrameBytesPerSecond) {
        return PacketLayout::kFrames;
    }
    return PacketLayout::kBlocks;
}

void CodecSilence::start(const platform::SilenceEncoder* encoder, std::vector<uint8_t> format,
                         PacketLayout layout, const AudioClock& clock) {
    *this = CodecSilence{};
    m_encoder = encoder;
    m_format = std::move(format);
    m_layout = layout;
    m_clock = clock;
}

void CodecSilence::model(const uint8_t* data, size_t size) {
    if (!m_model.empty() || data == nullptr || size == 0) {
        return;
    }
    m_model.assign(data, data + size);
    m_modelParsed =
        ParseCodecFrame(FrameSyntaxOf(FormatTag(m_format)), data, size, &m_modelFrame) &&
        static_cast<size_t>(m_modelFrame.size) <= size;
}

bool CodecSilence::peek(const std::vector<uint8_t>** packet, int64_t* length) {
    if (m_model.empty()) {
        return false;  // nothing to make silence like yet: maybe once a packet was copied
    }
    if (!m_tried) {
        m_tried = true;
        if (!open()) {
            m_packets.reset();
        }
    }
    if (m_pending.empty() &&
        (m_packets == nullptr || !m_packets->next(&m_pending) || !fits(&m_pending))) {
        m_packets.reset();
        m_pending.clear();
        return false;
    }
    *packet = &m_pending;
    *length = m_layout == PacketLayout::kFrames ? static_cast<int64_t>(m_pending.size()) : 1;
    return true;
}

// What the silence must be, from the model packet's header, or for raw AAC from the format.
bool CodecSilence::open() {
    if (m_encoder == nullptr || m_model.empty() || m_layout == PacketLayout::kBlocks) {
        return false;
    }
    const WAVEFORMATEX wave =
        DecodeWaveFormatEx(m_format.data(), static_cast<int32_t>(m_format.size()));
    platform::SilenceFormat format;
    format.bitRate = wave.nAvgBytesPerSec * 8u;
    if (m_modelParsed) {
        const CodecFrame& frame = m_modelFrame;
        switch (frame.codec) {
            case FrameCodec::kMp1:
                return false;  // no encoder makes layer I
            case FrameCodec::kMp2:
            case FrameCodec::kMp3:
            case FrameCodec::kAc3:
                format.codec = frame.codec == FrameCodec::kMp2   ? platform::SilenceCodec::kMp2
                               : frame.codec == FrameCodec::kMp3 ? platform::SilenceCodec::kMp3
                                                                 : platform::SilenceCodec::kAc3;
                format.bitRate = frame.bitRate;
                break;
            case FrameCodec::kAac:
                // AAC frames vary in size: in a byte stream their bytes do not follow its clock.
                if (m_layout == PacketLayout::kFrames) {
                    return false;
                }
                format.codec = platform::SilenceCodec::kAac;
                format.codecConfig = AdtsCodecConfig(m_model.data(), m_model.size());
                break;
        }
        format.sampleRate = frame.sampleRate;
        format.channels = frame.channels;
        format.samplesPerPacket = frame.samples;
        format.ac3ChannelMode = frame.ac3ChannelMode;
        format.lfe = frame.lfe;
    } else if (m_layout == PacketLayout::kChunks &&
               FrameSyntaxOf(wave.wFormatTag) == FrameSyntax::kAdts) {
        // Raw AAC, a frame a chunk: its configuration follows the format.
        const size_t head = kWaveFormatExSize;
        const size_t extra =
            std::min<size_t>(wave.cbSize, m_format.size() > head ? m_format.size() - head : 0);
        format.codec = platform::SilenceCodec::kAac;
        format.codecConfig.assign(m_format.begin() + static_cast<std::ptrdiff_t>(head),
                                  m_format.begin() + static_cast<std::ptrdiff_t>(head + extra));
        format.sampleRate = wave.nSamplesPerSec;
        format.channels = wave.nChannels;
        format.samplesPerPacket = 1024;
    } else {
        return false;
    }
    if (format.codec == platform::SilenceCodec::kAac && format.codecConfig.empty()) {
        return false;
    }
    // A chunk lasts scale / rate seconds: a packet a chunk must hold just that many samples.
    if (m_layout == PacketLayout::kChunks &&
        static_cast<uint64_t>(m_clock.audioScale) * format.sampleRate !=
            static_cast<uint64_t>(m_clock.audioRate) *
                static_cast<uint64_t>(format.samplesPerPacket)) {
        return false;
    }
    m_packets = m_encoder->open(format);
    return m_packets != nullptr;
}

// A silent packet is one of the stream when its header says what the model's says (framed as
// the model is: AAC gets the model's ADTS header), and in a byte stream states the same rate,
// so that its bytes last what the stream's clock makes of them.
bool CodecSilence::fits(std::vector<uint8_t>* packet) {
    if (packet->empty()) {
        return false;
    }
    if (!m_modelParsed) {
        return true;  // raw AAC: the encoder's decoding check is all there is
    }
    if (m_modelFrame.codec == FrameCodec::kAac) {
        *packet = AdtsFrame(m_model.data(), m_model.size(), packet->data(), packet->size());
    }
    CodecFrame frame;
    return ParseCodecFrame(FrameSyntaxOf(FormatTag(m_format)), packet->data(), packet->size(),
                           &frame) &&
           static_cast<size_t>(frame.size) == packet->size() &&
           frame.streamKey == m_modelFrame.streamKey && frame.samples == m_modelFrame.samples &&
           (m_layout != PacketLayout::kFrames || frame.bitRate == m_modelFrame.bitRate);
}

}  // namespace join
