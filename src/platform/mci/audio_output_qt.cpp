// Sound through Qt Multimedia: a feeder thread decodes the clip's first audio stream from the
// time of the first frame played (libavcodec, libswresample to 16-bit samples) into a buffer
// that the audio sink pulls from.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/mci/audio_output.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace mci {
namespace {

constexpr size_t kBufferedBytes = 256 * 1024;  // about 1.5 s of 44.1 kHz stereo

// Decoded sound waiting for the sink; the feeder waits while it is full.
class PcmBuffer : public QIODevice {
  public:
    PcmBuffer() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        std::lock_guard lock(m_mutex);
        return static_cast<qint64>(m_bytes.size()) + QIODevice::bytesAvailable();
    }
    // False when cancelled while waiting for room.
    bool push(const uint8_t* data, size_t size, const std::atomic<bool>& cancel) {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [&] { return cancel.load() || m_bytes.size() < kBufferedBytes; });
        if (cancel) {
            return false;
        }
        m_bytes.insert(m_bytes.end(), data, data + size);
        return true;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_bytes.clear();
        m_room.notify_all();
    }
    void wake() { m_room.notify_all(); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        std::lock_guard lock(m_mutex);
        const size_t count =
            std::min(m_bytes.size(), static_cast<size_t>(std::max<qint64>(maxSize, 0)));
        std::copy(m_bytes.begin(), m_bytes.begin() + static_cast<long>(count), data);
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<long>(count));
        m_room.notify_all();
        return static_cast<qint64>(count);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<uint8_t> m_bytes;
};

class QtAudioOutput : public AudioOutput {
  public:
    QtAudioOutput(const avi::Reader& reader, int stream, double framesPerSecond)
        : m_reader(reader), m_stream(stream), m_framesPerSecond(framesPerSecond) {}
    ~QtAudioOutput() override {
        stopFeeder();
        delete m_sink;
        avcodec_free_context(&m_context);
        av_parser_close(m_parser);
        swr_free(&m_resampler);
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
    }

    bool open(const QAudioDevice& device);
    void playbackStarted(int64_t from, int64_t to) override;
    void playbackStopped() override;

  private:
    void stopFeeder();
    void feed(int64_t from, int64_t to);
    bool decode(const uint8_t* data, int size, int64_t* budget);

    const avi::Reader& m_reader;
    int m_stream;
    double m_framesPerSecond;
    AVISTREAMINFO m_info;
    AVCodecContext* m_context = nullptr;
    AVCodecParserContext* m_parser = nullptr;
    SwrContext* m_resampler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_outChannels = 2;
    QAudioSink* m_sink = nullptr;
    PcmBuffer m_buffer;
    std::thread m_feeder;
    std::atomic<bool> m_cancel{false};
};

bool QtAudioOutput::open(const QAudioDevice& device) {
    m_info = m_reader.streamInfo(m_stream);
    const std::vector<uint8_t>& format = m_reader.stream(m_stream).format;
    const int32_t size = static_cast<int32_t>(std::min<size_t>(format.size(), 1 << 20));
    const WAVEFORMATEX wave = DecodeWaveFormatEx(format.data(), size);
    uint32_t tag = wave.wFormatTag;
    if (tag == 0xFFFE && size >= 26) {
        tag = avi::ReadU16(format.data() + 24);  // the sub-format of an extensible format
    }
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    const AVCodec* codec = avcodec_find_decoder(av_codec_get_id(tables, tag));
    if (codec == nullptr || wave.nChannels == 0 || wave.nSamplesPerSec == 0 || m_info.dwRate == 0 ||
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
    m_outChannels = wave.nChannels == 1 ? 1 : 2;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, m_outChannels);
    if (swr_alloc_set_opts2(&m_resampler, &outLayout, AV_SAMPLE_FMT_S16, m_context->sample_rate,
                            &m_context->ch_layout, m_context->sample_fmt, m_context->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(m_resampler) < 0) {
        return false;
    }
    QAudioFormat audioFormat;
    audioFormat.setSampleRate(m_context->sample_rate);
    audioFormat.setChannelCount(m_outChannels);
    audioFormat.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(audioFormat)) {
        return false;
    }
    m_sink = new QAudioSink(device, audioFormat);
    return true;
}

void QtAudioOutput::playbackStarted(int64_t from, int64_t to) {
    stopFeeder();
    m_cancel = false;
    m_buffer.clear();
    m_feeder = std::thread([this, from, to] { feed(from, to); });
    QAudioSink* sink = m_sink;
    PcmBuffer* buffer = &m_buffer;
    QMetaObject::invokeMethod(
        sink, [sink, buffer] { sink->start(buffer); }, Qt::QueuedConnection);
}

void QtAudioOutput::playbackStopped() {
    stopFeeder();
    QAudioSink* sink = m_sink;
    QMetaObject::invokeMethod(
        sink, [sink] { sink->stop(); }, Qt::QueuedConnection);
}

void QtAudioOutput::stopFeeder() {
    m_cancel = true;
    m_buffer.wake();
    if (m_feeder.joinable()) {
        m_feeder.join();
    }
    m_buffer.clear();
}

// Decodes the sound of frames from .. to - 1 (a play to frame b gives no sound for b itself).
void QtAudioOutput::feed(int64_t from, int64_t to) {
    const double rate = static_cast<double>(m_info.dwRate) / m_info.dwScale;
    const int64_t first = m_info.dwStart + static_cast<int64_t>(from / m_framesPerSecond * rate);
    const int64_t end =
        std::min<int64_t>(m_info.dwStart + m_info.dwLength,
                          m_info.dwStart + static_cast<int64_t>(to / m_framesPerSecond * rate));
    int64_t budget = static_cast<int64_t>((to - from) / m_framesPerSecond * m_context->sample_rate);
    avcodec_flush_buffers(m_context);
    const int64_t step =
        m_info.dwSampleSize > 0 ? std::max<int64_t>(1, 8192 / m_info.dwSampleSize) : 1;
    std::vector<uint8_t> bytes;
    for (int64_t pos = first; pos < end && budget > 0 && !m_cancel; pos += step) {
        int64_t size = 0;
        int64_t samples = 0;
        const int64_t count = std::min(step, end - pos);
        if (m_reader.read(m_stream, pos, count, nullptr, 0, &size, &samples) != AVIERR_OK ||
            size <= 0 || size > (16 << 20)) {
            continue;
        }
        bytes.resize(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        if (m_reader.read(m_stream, pos, count, bytes.data(), size, &size, &samples) == AVIERR_OK) {
            decode(bytes.data(), static_cast<int>(size), &budget);
        }
    }
}

bool QtAudioOutput::decode(const uint8_t* data, int size, int64_t* budget) {
    while (size > 0 && !m_cancel) {
        const uint8_t* packetData = data;
        int packetSize = size;
        if (m_parser != nullptr) {
            uint8_t* out = nullptr;
            const int used = av_parser_parse2(m_parser, m_context, &out, &packetSize, data, size,
                                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) {
                return false;
            }
            packetData = out;
            data += used;
            size -= used;
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
            continue;
        }
        while (avcodec_receive_frame(m_context, m_frame) == 0) {
            std::vector<int16_t> pcm(static_cast<size_t>(m_frame->nb_samples + 64) * m_outChannels);
            uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(pcm.data())};
            const int converted = swr_convert(m_resampler, planes, m_frame->nb_samples + 64,
                                              const_cast<const uint8_t**>(m_frame->extended_data),
                                              m_frame->nb_samples);
            const int64_t keep = std::min<int64_t>(std::max(converted, 0), *budget);
            *budget -= keep;
            if (keep > 0 &&
                !m_buffer.push(reinterpret_cast<const uint8_t*>(pcm.data()),
                               static_cast<size_t>(keep) * m_outChannels * 2, m_cancel)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<AudioOutput> AudioOutput::Create(const avi::Reader& reader,
                                                 double framesPerSecond) {
    const int stream = reader.findStream(kStreamTypeAudio, 0);
    if (stream < 0) {
        return nullptr;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return nullptr;
    }
    auto output = std::make_unique<QtAudioOutput>(reader, stream, framesPerSecond);
    if (!output->open(device)) {
        return nullptr;
    }
    return output;
}

}  // namespace mci
