// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/audio_decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace mci {

AudioDecoder::AudioDecoder(const avi::Reader& reader, int stream)
    : m_reader(reader), m_stream(stream), m_info(reader.streamInfo(stream)) {}

AudioDecoder::~AudioDecoder() {
    avcodec_free_context(&m_context);
    av_parser_close(m_parser);
    swr_free(&m_resampler);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

std::unique_ptr<AudioDecoder> AudioDecoder::Create(const avi::Reader& reader, int stream) {
    std::unique_ptr<AudioDecoder> decoder(new AudioDecoder(reader, stream));
    if (!decoder->open()) {
        return nullptr;
    }
    return decoder;
}

int AudioDecoder::sampleRate() const {
    return m_context->sample_rate;
}

bool AudioDecoder::open() {
    const std::vector<uint8_t>& format = m_reader.stream(m_stream).format;
    const int32_t size = static_cast<int32_t>(std::min<size_t>(format.size(), 1 << 20));
    const WAVEFORMATEX wave = DecodeWaveFormatEx(format.data(), size);
    uint32_t tag = wave.wFormatTag;
    if (tag == 0xFFFE && size >= 26) {
        tag = avi::ReadU16(format.data() + 24);  // the sub-format of an extensible format
    }
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    const AVCodec* codec = avcodec_find_decoder(av_codec_get_id(tables, tag));
    if (codec == nullptr || wave.nChannels == 0 || wave.nChannels > 64 ||
        wave.nSamplesPerSec == 0 || wave.nSamplesPerSec > 1000000 || m_info.dwRate == 0 ||
        m_info.dwScale == 0) {
        return false;
    }
    m_context = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (m_context == nullptr || m_packet == nullptr || m_frame == nullptr) {
        return false;
    }
    m_context->sample_rate = static_cast<int>(wave.nSamplesPerSec);
    av_channel_layout_default(&m_context->ch_layout, wave.nChannels);
    m_context->block_align = wave.nBlockAlign;
    m_context->bit_rate = static_cast<int64_t>(wave.nAvgBytesPerSec) * 8;
    m_context->bits_per_coded_sample = wave.wBitsPerSample;
    const size_t extra = std::min<size_t>(wave.cbSize, size > 18 ? size - 18 : 0);
    if (extra > 0) {
        m_context->extradata =
            static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (m_context->extradata != nullptr) {
            std::memcpy(m_context->extradata, format.data() + 18, extra);
            m_context->extradata_size = static_cast<int>(extra);
        }
    }
    if (avcodec_open2(m_context, codec, nullptr) < 0) {
        return false;
    }
    if (m_info.dwSampleSize > 0) {
        m_parser = av_parser_init(codec->id);  // byte streams such as MP3 need framing
    }
    m_channels = wave.nChannels == 1 ? 1 : 2;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, m_channels);
    return swr_alloc_set_opts2(&m_resampler, &outLayout, AV_SAMPLE_FMT_S16, m_context->sample_rate,
                               &m_context->ch_layout, m_context->sample_fmt, m_context->sample_rate,
                               0, nullptr) >= 0 &&
           swr_init(m_resampler) >= 0;
}

void AudioDecoder::decodeFrames(int64_t from, int64_t to, double framesPerSecond, const Sink& sink,
                                const std::atomic<bool>& cancel) {
    if (framesPerSecond <= 0 || to <= from) {
        return;
    }
    const double rate = static_cast<double>(m_info.dwRate) / m_info.dwScale;
    const int64_t begin = m_info.dwStart;
    const int64_t first = begin + static_cast<int64_t>(from / framesPerSecond * rate);
    // Reading runs on to the end of the stream if need be: compressed sound comes out of its
    // decoder a little late, and the budget of samples is what ends the span.
    const int64_t end = begin + m_info.dwLength;
    int64_t budget = static_cast<int64_t>((to - from) / framesPerSecond * m_context->sample_rate);
    avcodec_flush_buffers(m_context);
    swr_init(m_resampler);
    // Whole blocks of a fixed-size stream, or one chunk of a variable-size one, per read.
    const int64_t step =
        m_info.dwSampleSize > 0 ? std::max<int64_t>(1, 8192 / m_info.dwSampleSize) : 1;
    std::vector<uint8_t> bytes;
    for (int64_t pos = first; pos < end && budget > 0 && !cancel; pos += step) {
        int64_t size = 0;
        int64_t samples = 0;
        const int64_t count = std::min(step, end - pos);
        if (m_reader.read(m_stream, pos, count, nullptr, 0, &size, &samples) != AVIERR_OK ||
            size <= 0 || size > avi::Limits{}.maxChunkSize) {
            continue;
        }
        bytes.assign(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        if (m_reader.read(m_stream, pos, count, bytes.data(), size, &size, &samples) != AVIERR_OK ||
            !decode(bytes.data(), static_cast<int>(size), &budget, sink, cancel)) {
            return;
        }
    }
}

bool AudioDecoder::decode(const uint8_t* data, int size, int64_t* budget, const Sink& sink,
                          const std::atomic<bool>& cancel) {
    while (size > 0 && !cancel && *budget > 0) {
        const uint8_t* packetData = data;
        int packetSize = size;
        if (m_parser != nullptr) {
            uint8_t* out = nullptr;
            const int used = av_parser_parse2(m_parser, m_context, &out, &packetSize, data, size,
                                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used <= 0 && packetSize <= 0) {
                return true;
            }
            packetData = out;
            data += std::max(used, 0);
            size -= std::max(used, 0);
        } else {
            size = 0;
        }
        if (packetSize <= 0) {
            continue;
        }
        av_packet_unref(m_packet);
        if (av_new_packet(m_packet, packetSize) < 0) {
            return false;
        }
        std::memcpy(m_packet->data, packetData, static_cast<size_t>(packetSize));
        if (avcodec_send_packet(m_context, m_packet) < 0) {
            continue;  // a damaged packet costs its own sound only
        }
        while (avcodec_receive_frame(m_context, m_frame) == 0) {
            const int capacity = m_frame->nb_samples + 256;
            std::vector<int16_t> pcm(static_cast<size_t>(capacity) * m_channels);
            uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(pcm.data())};
            const int converted = swr_convert(m_resampler, planes, capacity,
                                              const_cast<const uint8_t**>(m_frame->extended_data),
                                              m_frame->nb_samples);
            av_frame_unref(m_frame);
            const int64_t keep = std::min<int64_t>(std::max(converted, 0), *budget);
            *budget -= keep;
            if (keep > 0 && !sink(pcm.data(), static_cast<size_t>(keep))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace mci
