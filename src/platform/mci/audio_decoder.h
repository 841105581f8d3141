// SPDX-License-Identifier: GPL-3.0-or-later
// The sound of a span of video frames: the clip's audio stream, read through our AVI reader,
// decoded by libavcodec and converted by libswresample to interleaved 16-bit samples (mono or
// stereo) at the stream's own rate. Not thread-safe: one thread decodes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/avi/avi_reader.h"

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace mci {

class AudioDecoder {
  public:
    // Samples of all channels, interleaved; count is the number of sample frames.
    using Sink = std::function<bool(const int16_t* samples, size_t count)>;

    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Null when the stream's format has no decoder.
    static std::unique_ptr<AudioDecoder> Create(const avi::Reader& reader, int stream);

    int sampleRate() const;
    int channels() const { return m_channels; }

    // Decodes the sound that belongs to video frames from .. to - 1 at framesPerSecond and hands
    // it to sink in blocks, until done, cancelled, or sink returns false.
    void decodeFrames(int64_t from, int64_t to, double framesPerSecond, const Sink& sink,
                      const std::atomic<bool>& cancel);

  private:
    AudioDecoder(const avi::Reader& reader, int stream);
    bool open();
    bool decode(const uint8_t* data, int size, int64_t* budget, const Sink& sink,
                const std::atomic<bool>& cancel);

    const avi::Reader& m_reader;
    int m_stream;
    AVISTREAMINFO m_info;
    AVCodecContext* m_context = nullptr;
    AVCodecParserContext* m_parser = nullptr;
    SwrContext* m_resampler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_channels = 2;
};

}  // namespace mci
