// Clips with exactly known bytes, written by our own writer, and read-back helpers for the joined
// file. Each frame's bytes name the clip and the frame, so a joined frame tells where it came from.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "join/audio_span.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"
#include "platform/avi/avi_reader.h"
#include "platform/avi/avi_writer.h"
#include "support/test_support.h"

namespace synthetic {

struct ClipShape {
    std::string tag = "A";  // written into every frame
    uint32_t videoRate = 25;
    uint32_t videoScale = 1;
    int frames = 50;
    std::function<int(int)> frameSize = [](int) { return 24; };
    std::function<bool(int)> isKey = [](int) { return true; };
    bool audio = true;
    WAVEFORMATEX wave{1, 1, 48000, 96000, 2, 16, 0};
    uint32_t audioRate = 48000;  // samples (blocks, or chunks for VBR) per second: rate / scale
    uint32_t audioScale = 1;
    bool vbr = false;  // one chunk per sample, chunk c of vbrChunkSize(c) bytes
    std::function<int(int64_t)> vbrChunkSize = [](int64_t c) { return 400 + int(c % 7); };
    int64_t audioSamples = -1;  // -1: exactly as long as the video
};

// Byte b of audio sample s: a ramp that shows any repeated or skipped sample.
inline uint8_t AudioByte(int64_t sample, int byteInSample) {
    return static_cast<uint8_t>((sample * 7 + byteInSample * 3) % 251);
}

inline std::vector<uint8_t> FrameBytes(const ClipShape& shape, int frame) {
    std::vector<uint8_t> bytes(static_cast<size_t>(shape.frameSize(frame)));
    char label[48];
    const int n = std::snprintf(label, sizeof label, "<%s:%06d>", shape.tag.c_str(), frame);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = i < static_cast<size_t>(n) ? static_cast<uint8_t>(label[i])
                                              : static_cast<uint8_t>((i * 13 + frame) & 0xFF);
    }
    return bytes;
}

inline std::vector<uint8_t> SampleBytes(const ClipShape& shape, int64_t first, int64_t count) {
    if (shape.vbr) {
        std::vector<uint8_t> bytes(static_cast<size_t>(shape.vbrChunkSize(first)));
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = AudioByte(first, static_cast<int>(i));
        }
        return bytes;
    }
    const int block = shape.wave.nBlockAlign;
    std::vector<uint8_t> bytes(static_cast<size_t>(count * block));
    for (int64_t s = 0; s < count; ++s) {
        for (int b = 0; b < block; ++b) {
            bytes[static_cast<size_t>(s * block + b)] = AudioByte(first + s, b);
        }
    }
    return bytes;
}

inline join::AudioClock Clock(const ClipShape& shape) {
    return {shape.audioRate, shape.audioScale, shape.videoRate, shape.videoScale};
}

// Writes the clip: each frame followed by its audio.
inline void Write(const std::string& path, const ClipShape& shape) {
    std::unique_ptr<avi::Writer> writer;
    ASSERT_EQ(avi::Writer::Create(path, avi::WriterOptions{}, &writer), 0);
    AVISTREAMINFO video;
    video.fccType = kStreamTypeVideo;
    video.fccHandler = 0x47504A4D;  // MJPG
    video.dwRate = shape.videoRate;
    video.dwScale = shape.videoScale;
    video.rcFrameRight = 64;
    video.rcFrameBottom = 48;
    int vs = -1;
    int as = -1;
    ASSERT_EQ(writer->addStream(video, &vs), 0);
    uint8_t bih[40] = {40, 0, 0, 0, 64, 0, 0, 0, 48, 0, 0, 0, 1, 0, 24, 0, 'M', 'J', 'P', 'G'};
    ASSERT_EQ(writer->setFormat(vs, bih, sizeof bih), 0);
    const int64_t totalAudio = shape.audioSamples >= 0
                                   ? shape.audioSamples
                                   : join::AudioBoundary(Clock(shape), shape.frames);
    if (shape.audio) {
        AVISTREAMINFO audio;
        audio.fccType = kStreamTypeAudio;
        audio.dwRate = shape.audioRate;
        audio.dwScale = shape.audioScale;
        audio.dwSampleSize = shape.vbr ? 0 : shape.wave.nBlockAlign;
        ASSERT_EQ(writer->addStream(audio, &as), 0);
        uint8_t wave[18];
        avi::WriteU16(wave, shape.wave.wFormatTag);
        avi::WriteU16(wave + 2, shape.wave.nChannels);
        avi::WriteU32(wave + 4, shape.wave.nSamplesPerSec);
        avi::WriteU32(wave + 8, shape.wave.nAvgBytesPerSec);
        avi::WriteU16(wave + 12, shape.wave.nBlockAlign);
        avi::WriteU16(wave + 14, shape.wave.wBitsPerSample);
        avi::WriteU16(wave + 16, 0);
        ASSERT_EQ(writer->setFormat(as, wave, sizeof wave), 0);
    }
    int32_t sw = 0;
    int32_t bw = 0;
    int64_t audioDone = 0;
    for (int f = 0; f <= shape.frames; ++f) {
        if (f < shape.frames) {
            const std::vector<uint8_t> frame = FrameBytes(shape, f);
            ASSERT_EQ(writer->write(vs, f, 1, frame.data(), static_cast<int32_t>(frame.size()),
                                    shape.isKey(f) ? kAviIfKeyFrame : 0, &sw, &bw),
                      0);
        }
        if (!shape.audio) {
            continue;
        }
        int64_t until = f < shape.frames ? join::AudioBoundary(Clock(shape), f + 1) : totalAudio;
        until = std::min(until, totalAudio);
        if (shape.vbr) {
            for (; audioDone < until; ++audioDone) {
                const std::vector<uint8_t> chunk = SampleBytes(shape, audioDone, 1);
                ASSERT_EQ(writer->write(as, audioDone, 1, chunk.data(),
                                        static_cast<int32_t>(chunk.size()), 0, &sw, &bw),
                          0);
            }
        } else if (until > audioDone) {
            const std::vector<uint8_t> chunk = SampleBytes(shape, audioDone, until - audioDone);
            ASSERT_EQ(writer->write(as, audioDone, static_cast<int32_t>(until - audioDone),
                                    chunk.data(), static_cast<int32_t>(chunk.size()), 0, &sw, &bw),
                      0);
            audioDone = until;
        }
    }
    ASSERT_EQ(writer->finish(), 0);
}

// A joined (or any) file read back through our reader.
class ReadBack {
  public:
    explicit ReadBack(const std::string& path) {
        EXPECT_EQ(avi::Reader::Open(path, avi::Limits{}, &m_reader), 0) << path;
    }
    bool ok() const { return m_reader != nullptr; }
    int video() const { return m_reader->findStream(kStreamTypeVideo, 0); }
    int audio() const { return m_reader->findStream(kStreamTypeAudio, 0); }
    int64_t samples(int s) const { return s < 0 ? 0 : m_reader->indexedSamples(s); }

    std::vector<uint8_t> read(int s, int64_t start, int64_t count) const {
        int64_t bytes = 0;
        int64_t got = 0;
        if (m_reader->read(s, start, count, nullptr, 0, &bytes, &got) != 0) {
            return {};
        }
        std::vector<uint8_t> data(static_cast<size_t>(bytes) + 1);
        EXPECT_EQ(m_reader->read(s, start, count, data.data(), bytes + 1, &bytes, &got), 0);
        data.resize(static_cast<size_t>(bytes));
        return data;
    }
    bool isKey(int s, int64_t pos) const {
        return m_reader->findSample(s, pos, kFindPrev | kFindKey) == pos;
    }
    const avi::Reader& reader() const { return *m_reader; }

  private:
    std::unique_ptr<avi::Reader> m_reader;
};

// Overwrites the chunk header in front of a frame's bytes so that reading the frame fails.
inline void DamageFrame(const std::string& path, const ClipShape& shape, int frame) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const std::vector<uint8_t> payload = FrameBytes(shape, frame);
    const std::string label(payload.begin(), payload.begin() + 10);
    const std::string all(bytes.begin(), bytes.end());
    const size_t at = all.find(label);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, 8u);
    std::fseek(file, static_cast<long>(at - 8), SEEK_SET);
    std::fwrite("JUNK", 1, 4, file);
    std::fclose(file);
}

// Sets the video stream header's dwLength, as an unfinished or damaged file may have it.
inline void PatchVideoLength(const std::string& path, uint32_t length) {
    ASSERT_TRUE(testing_support::PatchStreamHeader(path, "vids", 32, length));
}

// A clip of the given number of frames named TAG.avi in the folder, otherwise of the default shape.
inline std::string WriteTagged(const testing_support::TempDir& dir, const std::string& tag,
                               int frames) {
    ClipShape shape;
    shape.tag = tag;
    shape.frames = frames;
    const std::string path = dir.file(tag + ".avi");
    Write(path, shape);
    return path;
}

// The clip's record as the job holds it, inspected; a failed inspection fails the test.
inline ClipInfo Inspected(const std::string& path) {
    ClipInfo info;
    info.fileName = path;
    EXPECT_EQ(LoadClipInfo(info), 0) << path;
    return info;
}

}  // namespace synthetic
