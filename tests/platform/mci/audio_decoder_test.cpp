// SPDX-License-Identifier: GPL-3.0-or-later
// The sound played with frames a .. b - 1 is the clip's sound from a / rate to b / rate seconds.
#include "platform/mci/audio_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testing_support::Ffmpeg;

std::vector<int16_t> DecodeFrames(const std::string& path, int64_t from, int64_t to,
                                  int* channels) {
    std::unique_ptr<avi::Reader> reader;
    EXPECT_EQ(0, avi::Reader::Open(path, avi::Limits(), &reader));
    if (!reader) {
        return {};
    }
    auto decoder = mci::AudioDecoder::Create(*reader, reader->findStream(kStreamTypeAudio, 0));
    EXPECT_TRUE(decoder);
    if (!decoder) {
        return {};
    }
    *channels = decoder->channels();
    std::vector<int16_t> samples;
    std::atomic<bool> cancel{false};
    decoder->decodeFrames(
        from, to, 25.0,
        [&](const int16_t* data, size_t count) {
            samples.insert(samples.end(), data, data + count * decoder->channels());
            return true;
        },
        cancel);
    return samples;
}

TEST(AudioDecoderTest, PcmOfAFrameSpanIsExactlyTheClipsSoundAtThatTime) {
    testing_support::TempDir dir;
    const std::string clip = dir.file("pcm.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=2 -f lavfi -i "
               "\"aevalsrc=sin(440*2*PI*t)|0.5*sin(660*2*PI*t):s=44100:d=2\" "
               "-c:v mjpeg -c:a pcm_s16le " +
               clip));
    ASSERT_TRUE(Ffmpeg("-i " + clip + " -map 0:a -f s16le " + dir.file("ref.pcm")));
    const std::vector<unsigned char> reference =
        testing_support::ReadFileBytes(dir.file("ref.pcm"));
    int channels = 0;
    const std::vector<int16_t> samples = DecodeFrames(clip, 10, 20, &channels);
    ASSERT_EQ(2, channels);
    // Frames 10 .. 19 at 25 per second: 0.4 s from 0.4 s on, 17640 samples per channel.
    ASSERT_EQ(17640u * 2, samples.size());
    const size_t offset = 17640u * 2 * sizeof(int16_t);
    ASSERT_GE(reference.size(), offset * 2);
    EXPECT_EQ(0, std::memcmp(samples.data(), reference.data() + offset, offset));
}

TEST(AudioDecoderTest, CompressedSoundFillsTheSpanAndStopsAtTheEndOfTheClip) {
    testing_support::TempDir dir;
    const std::string clip = dir.file("mp3.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=2 -f lavfi -i "
               "sine=frequency=440:sample_rate=44100:duration=2 -c:v mjpeg "
               "-c:a libmp3lame -b:a 128k " +
               clip));
    int channels = 0;
    EXPECT_EQ(17640u, DecodeFrames(clip, 10, 20, &channels).size());
    EXPECT_EQ(1, channels);
    // A span running past the end gives what there is, and a span of no frames gives nothing.
    const size_t tail = DecodeFrames(clip, 40, 60, &channels).size();
    EXPECT_GT(tail, 16000u);  // 1.6 s .. 2.0 s, less what the decoder holds back
    EXPECT_LE(tail, 17640u + 2304u);
    EXPECT_EQ(0u, DecodeFrames(clip, 20, 20, &channels).size());
}

}  // namespace
