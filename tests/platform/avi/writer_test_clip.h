// Synthetic clips for the writer's tests: raw RGB video (decodable by any player) with drop
// frames, and 8-bit PCM audio in chunks of odd and even sizes, written through avi::Writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/vbvfw.h"
#include "platform/avi/avi_writer.h"

namespace writer_test {

struct Chunk {
    int stream = 0;
    std::vector<uint8_t> bytes;
    bool key = false;
};

struct Clip {
    std::vector<AVISTREAMINFO> infos;
    std::vector<std::vector<uint8_t>> formats;
    std::vector<Chunk> chunks;  // in the order they are written
};

inline constexpr int kWidth = 32;
inline constexpr int kHeight = 18;
inline constexpr int kFrameBytes = kWidth * kHeight * 3;

inline uint32_t Code(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

inline std::vector<uint8_t> BitmapFormat(int width, int height, uint32_t compression) {
    std::vector<uint8_t> f(40, 0);
    auto put32 = [&f](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(width));
    put32(8, static_cast<uint32_t>(height));
    f[12] = 1;
    f[14] = 24;
    put32(16, compression);
    put32(20, static_cast<uint32_t>(width * height * 3));
    return f;
}

inline std::vector<uint8_t> PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    const uint32_t avg = rate * align;
    std::vector<uint8_t> f = {1,
                              0,
                              static_cast<uint8_t>(channels),
                              0,
                              static_cast<uint8_t>(rate),
                              static_cast<uint8_t>(rate >> 8),
                              static_cast<uint8_t>(rate >> 16),
                              static_cast<uint8_t>(rate >> 24),
                              static_cast<uint8_t>(avg),
                              static_cast<uint8_t>(avg >> 8),
                              static_cast<uint8_t>(avg >> 16),
                              static_cast<uint8_t>(avg >> 24),
                              static_cast<uint8_t>(align),
                              0,
                              static_cast<uint8_t>(bits),
                              0,
                              0,
                              0};
    return f;
}

// frames video frames at 10 fps (raw RGB unless a codec is named); every tenth frame key, frame 7
// (and every 50th after) dropped; with audio, 8 kHz 8-bit mono in chunks of 799..801 bytes after
// each frame.
inline Clip MakeClip(int frames, bool audio, uint32_t compression = 0) {
    Clip clip;
    AVISTREAMINFO v;
    v.fccType = kStreamTypeVideo;
    v.fccHandler = compression == 0 ? Code("DIB ") : compression;
    v.dwFlags = 0;
    v.wPriority = 3;
    v.wLanguage = 9;
    v.dwScale = 1;
    v.dwRate = 10;
    v.dwStart = 5;       // the writer always starts at 0
    v.dwLength = 12345;  // and derives the length
    v.dwInitialFrames = 0;
    v.dwSuggestedBufferSize = 1;
    v.dwQuality = 7500;
    v.rcFrameRight = kWidth;
    v.rcFrameBottom = kHeight;
    std::snprintf(v.szName, sizeof v.szName, "%s", "Synthetic video");
    clip.infos.push_back(v);
    clip.formats.push_back(BitmapFormat(kWidth, kHeight, compression));
    if (audio) {
        AVISTREAMINFO a;
        a.fccType = kStreamTypeAudio;
        a.dwScale = 1;
        a.dwRate = 8000;
        a.dwSampleSize = 1;
        a.dwQuality = 0xFFFFFFFFu;
        a.dwInitialFrames = 1;
        clip.infos.push_back(a);
        clip.formats.push_back(PcmFormat(1, 8000, 8));
    }
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int f = 0; f < frames; ++f) {
        Chunk c;
        c.stream = 0;
        c.key = f % 10 == 0;
        if (f % 50 != 7) {
            c.bytes.resize(kFrameBytes);
            for (auto& b : c.bytes)
                b = next();
        }
        clip.chunks.push_back(std::move(c));
        if (audio) {
            Chunk a;
            a.stream = 1;
            a.key = true;
            a.bytes.resize(static_cast<size_t>(799 + f % 3));
            for (auto& b : a.bytes)
                b = next();
            clip.chunks.push_back(std::move(a));
        }
    }
    return clip;
}

// Writes a clip; returns the finish status (the first failing status otherwise).
inline int32_t WriteClip(const Clip& clip, const std::string& path, uint64_t partLimit) {
    avi::WriterOptions options;
    options.riffPartLimit = partLimit;
    std::unique_ptr<avi::Writer> writer;
    int32_t status = avi::Writer::Create(path, options, &writer);
    if (status != AVIERR_OK)
        return status;
    for (size_t s = 0; s < clip.infos.size(); ++s) {
        int index = -1;
        status = writer->addStream(clip.infos[s], &index);
        if (status != AVIERR_OK)
            return status;
        status = writer->setFormat(index, clip.formats[s].data(),
                                   static_cast<int32_t>(clip.formats[s].size()));
        if (status != AVIERR_OK)
            return status;
    }
    std::vector<int64_t> positions(clip.infos.size(), 0);
    for (const auto& c : clip.chunks) {
        const auto size = static_cast<int32_t>(c.bytes.size());
        const int32_t count = c.stream == 0 ? 1 : size;
        int32_t samples = 0;
        int32_t bytes = 0;
        status = writer->write(c.stream, positions[static_cast<size_t>(c.stream)], count,
                               c.bytes.data(), size, c.key ? kAviIfKeyFrame : 0, &samples, &bytes);
        if (status != AVIERR_OK)
            return status;
        positions[static_cast<size_t>(c.stream)] += samples;
    }
    return writer->finish();
}

// Adler-32 started from 0, as ffmpeg's framecrc output prints it.
inline uint32_t FrameCrc(const std::vector<uint8_t>& bytes) {
    uint32_t a = 0;
    uint32_t b = 0;
    for (uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

}  // namespace writer_test
