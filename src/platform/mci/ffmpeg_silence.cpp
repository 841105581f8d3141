// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/ffmpeg_silence.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/samplefmt.h>
}

namespace mci {

namespace {

using platform::SilenceCodec;
using platform::SilenceFormat;

const char* EncoderName(SilenceCodec codec) {
    switch (codec) {
        case SilenceCodec::kMp2:
            return "mp2";
        case SilenceCodec::kMp3:
            return "libmp3lame";
        case SilenceCodec::kAc3:
            return "ac3";
        case SilenceCodec::kAac:
            return "aac";
    }
    return "";
}

AVCodecID DecoderId(SilenceCodec codec) {
    switch (codec) {
        case SilenceCodec::kMp2:
            return AV_CODEC_ID_MP2;
        case SilenceCodec::kMp3:
            return AV_CODEC_ID_MP3;
        case SilenceCodec::kAc3:
            return AV_CODEC_ID_AC3;
        case SilenceCodec::kAac:
            return AV_CODEC_ID_AAC;
    }
    return AV_CODEC_ID_NONE;
}

// AC-3 names its channels by its channel mode; the others by their count.
bool ChannelLayout(const SilenceFormat& format, AVChannelLayout* layout) {
    if (format.codec != SilenceCodec::kAc3) {
        if (format.channels == 0 || format.channels > 8) {
            return false;
        }
        av_channel_layout_default(layout, format.channels);
        return true;
    }
    // acmod 0 (two independent mono channels) has no layout an encoder makes.
    static const uint64_t kModes[8] = {0,
                                       AV_CH_LAYOUT_MONO,
                                       AV_CH_LAYOUT_STEREO,
                                       AV_CH_LAYOUT_SURROUND,
                                       AV_CH_LAYOUT_2_1,
                                       AV_CH_LAYOUT_4POINT0,
                                       AV_CH_LAYOUT_2_2,
                                       AV_CH_LAYOUT_5POINT0};
    const uint64_t mode = kModes[format.ac3ChannelMode & 7];
    return mode != 0 &&
           av_channel_layout_from_mask(layout, mode | (format.lfe ? AV_CH_LOW_FREQUENCY : 0)) == 0;
}

class Silence : public platform::SilentPackets {
  public:
    ~Silence() override {
        // Drained, so that closing it finds no frames left behind to complain about.
        if (m_encoder != nullptr && m_packet != nullptr && avcodec_is_open(m_encoder) != 0 &&
            avcodec_send_frame(m_encoder, nullptr) == 0) {
            while (avcodec_receive_packet(m_encoder, m_packet) == 0) {
                av_packet_unref(m_packet);
            }
        }
        avcodec_free_context(&m_encoder);
        avcodec_free_context(&m_decoder);
        av_frame_free(&m_input);
        av_frame_free(&m_output);
        av_packet_free(&m_packet);
    }

    bool open(const SilenceFormat& format);
    bool next(std::vector<uint8_t>* packet) override;

  private:
    bool openEncoder(const AVCodec* codec);
    bool openDecoder(const AVCodec* codec);
    bool decodes(const AVPacket* packet);

    SilenceFormat m_format;
    AVCodecContext* m_encoder = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVFrame* m_input = nullptr;
    AVFrame* m_output = nullptr;
    AVPacket* m_packet = nullptr;
    int64_t m_pts = 0;
};

bool Silence::open(const SilenceFormat& format) {
    m_format = format;
    const AVCodec* encoder = avcodec_find_encoder_by_name(EncoderName(format.codec));
    const AVCodec* decoder = avcodec_find_decoder(DecoderId(format.codec));
    if (encoder == nullptr || decoder == nullptr || format.sampleRate == 0 ||
        format.sampleRate > 192000 || format.samplesPerPacket <= 0) {
        return false;
    }
    m_encoder = avcodec_alloc_context3(encoder);
    m_decoder = avcodec_alloc_context3(decoder);
    m_input = av_frame_alloc();
    m_output = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_encoder == nullptr || m_decoder == nullptr || m_input == nullptr || m_output == nullptr ||
        m_packet == nullptr) {
        return false;
    }
    // Silence that cannot be made is said in the join's report; the codecs' own messages
    // (statistics, warnings) would only clutter a terminal.
    m_encoder->log_level_offset = AV_LOG_DEBUG;
    m_decoder->log_level_offset = AV_LOG_DEBUG;
    if (!openEncoder(encoder) || !openDecoder(decoder)) {
        return false;
    }
    m_input->format = m_encoder->sample_fmt;
    m_input->nb_samples = m_encoder->frame_size;
    m_input->sample_rate = m_encoder->sample_rate;
    if (av_channel_layout_copy(&m_input->ch_layout, &m_encoder->ch_layout) < 0 ||
        av_frame_get_buffer(m_input, 0) < 0) {
        return false;
    }
    av_samples_set_silence(m_input->extended_data, 0, m_input->nb_samples,
                           m_input->ch_layout.nb_channels, m_encoder->sample_fmt);
    return true;
}

bool Silence::openEncoder(const AVCodec* codec) {
    if (!ChannelLayout(m_format, &m_encoder->ch_layout) || codec->sample_fmts == nullptr) {
        return false;
    }
    m_encoder->sample_rate = static_cast<int>(m_format.sampleRate);
    m_encoder->sample_fmt = codec->sample_fmts[0];
    m_encoder->bit_rate = m_format.bitRate;
    m_encoder->time_base = {1, m_encoder->sample_rate};
    AVDictionary* options = nullptr;
    // Without the bit reservoir every MP3 frame holds its own data: a run of silence can follow
    // any frame, and any frame can follow it.
    (void)av_dict_set(&options, "reservoir", "0", 0);
    const int opened = avcodec_open2(m_encoder, codec, &options);
    av_dict_free(&options);
    return opened >= 0 && m_encoder->frame_size == m_format.samplesPerPacket;
}

// The decoder set up as the stream's own: its rate, channels and codec configuration.
bool Silence::openDecoder(const AVCodec* codec) {
    m_decoder->sample_rate = m_encoder->sample_rate;
    // Every packet is to decode whole: none of a codec's start-up delay is cut off here.
    m_decoder->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    if (av_channel_layout_copy(&m_decoder->ch_layout, &m_encoder->ch_layout) < 0) {
        return false;
    }
    const std::vector<uint8_t>& config = m_format.codecConfig;
    if (!config.empty()) {
        m_decoder->extradata =
            static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (m_decoder->extradata == nullptr) {
            return false;
        }
        std::memcpy(m_decoder->extradata, config.data(), config.size());
        m_decoder->extradata_size = static_cast<int>(config.size());
    }
    return avcodec_open2(m_decoder, codec, nullptr) >= 0;
}

bool Silence::next(std::vector<uint8_t>* packet) {
    // An encoder holds back its first frames: it is fed silence until a packet comes out.
    for (int fed = 0; fed < 64; ++fed) {
        const int received = avcodec_receive_packet(m_encoder, m_packet);
        if (received == 0) {
            const bool ok = m_packet->size > 0 && decodes(m_packet);
            if (ok) {
                packet->assign(m_packet->data, m_packet->data + m_packet->size);
            }
            av_packet_unref(m_packet);
            return ok;
        }
        if (received != AVERROR(EAGAIN)) {
            return false;
        }
        m_input->pts = m_pts;
        m_pts += m_input->nb_samples;
        if (avcodec_send_frame(m_encoder, m_input) < 0) {
            return false;
        }
    }
    return false;
}

// The packet decodes, as a packet of the stream would, to one frame of the stream's rate,
// channels and length.
bool Silence::decodes(const AVPacket* packet) {
    if (avcodec_send_packet(m_decoder, packet) < 0 ||
        avcodec_receive_frame(m_decoder, m_output) < 0) {
        return false;
    }
    const bool ok = m_output->sample_rate == static_cast<int>(m_format.sampleRate) &&
                    m_output->ch_layout.nb_channels == m_format.channels &&
                    m_output->nb_samples == m_format.samplesPerPacket;
    av_frame_unref(m_output);
    while (avcodec_receive_frame(m_decoder, m_output) == 0) {
        av_frame_unref(m_output);
    }
    return ok;
}

}  // namespace

std::unique_ptr<platform::SilentPackets> FfmpegSilenceEncoder::open(
    const platform::SilenceFormat& format) const {
    auto silence = std::make_unique<Silence>();
    if (!silence->open(format)) {
        return nullptr;
    }
    return silence;
}

}  // namespace mci
