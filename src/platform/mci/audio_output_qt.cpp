// SPDX-License-Identifier: GPL-3.0-or-later
// Sound through Qt Multimedia: a feeder thread decodes the clip's first audio stream from the
// time of the first frame played into a buffer that the audio sink pulls from.
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

#include "platform/mci/audio_decoder.h"
#include "platform/mci/audio_output.h"

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
    QtAudioOutput(std::unique_ptr<AudioDecoder> decoder, double framesPerSecond)
        : m_decoder(std::move(decoder)), m_framesPerSecond(framesPerSecond) {}
    // Runs on the GUI thread, which owns the sink, after the player's thread has stopped: the
    // sink is stopped before it goes (an active sink must not be destroyed), and start or stop
    // calls still queued for it are dropped with it.
    ~QtAudioOutput() override {
        stopFeeder();
        if (m_sink != nullptr) {
            m_sink->stop();
        }
        delete m_sink;
    }

    bool open(const QAudioDevice& device) {
        QAudioFormat format;
        format.setSampleRate(m_decoder->sampleRate());
        format.setChannelCount(m_decoder->channels());
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            return false;
        }
        m_sink = new QAudioSink(device, format);
        return true;
    }

    void playbackStarted(int64_t from, int64_t to) override {
        stopFeeder();
        m_cancel = false;
        m_feeder = std::thread([this, from, to] {
            const size_t bytesPerSample = static_cast<size_t>(m_decoder->channels()) * 2;
            m_decoder->decodeFrames(
                from, to, m_framesPerSecond,
                [this, bytesPerSample](const int16_t* samples, size_t count) {
                    return m_buffer.push(reinterpret_cast<const uint8_t*>(samples),
                                         count * bytesPerSample, m_cancel);
                },
                m_cancel);
        });
        QAudioSink* sink = m_sink;
        PcmBuffer* buffer = &m_buffer;
        QMetaObject::invokeMethod(
            sink, [sink, buffer] { sink->start(buffer); }, Qt::QueuedConnection);
    }

    void playbackStopped() override {
        stopFeeder();
        QAudioSink* sink = m_sink;
        QMetaObject::invokeMethod(
            sink, [sink] { sink->stop(); }, Qt::QueuedConnection);
    }

  private:
    void stopFeeder() {
        m_cancel = true;
        m_buffer.wake();
        if (m_feeder.joinable()) {
            m_feeder.join();
        }
        m_buffer.clear();
    }

    std::unique_ptr<AudioDecoder> m_decoder;
    double m_framesPerSecond;
    QAudioSink* m_sink = nullptr;
    PcmBuffer m_buffer;
    std::thread m_feeder;
    std::atomic<bool> m_cancel{false};
};

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
    std::unique_ptr<AudioDecoder> decoder = AudioDecoder::Create(reader, stream);
    if (!decoder) {
        return nullptr;
    }
    auto output = std::make_unique<QtAudioOutput>(std::move(decoder), framesPerSecond);
    if (!output->open(device)) {
        return nullptr;
    }
    return output;
}

}  // namespace mci
