// SPDX-License-Identifier: GPL-3.0-or-later
// Real clips made by ffmpeg (MJPEG with PCM, MPEG-4 with MP3), copied stream by stream through
// our reader and writer into several OpenDML parts: ffmpeg finds every packet unchanged, the same
// key frames, and decodes the copy without a message.
#include <gtest/gtest.h>

#include "platform/avi/avi_reader.h"
#include "platform/avi/avi_writer.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using testing_support::FfmpegOutput;
using testing_support::ShellQuote;

// Copies every stream of source into dest: video frame by frame with its key flag, after each
// frame the audio that belongs to it (fixed-size audio in one chunk, VBR audio chunk by chunk).
void Copy(const std::string& source, const std::string& dest, uint64_t partLimit) {
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(avi::Reader::Open(source, avi::Limits{}, &reader), AVIERR_OK);
    avi::WriterOptions options;
    options.riffPartLimit = partLimit;
    std::unique_ptr<avi::Writer> writer;
    ASSERT_EQ(avi::Writer::Create(dest, options, &writer), AVIERR_OK);
    const int v = reader->findStream(kStreamTypeVideo, 0);
    const int a = reader->findStream(kStreamTypeAudio, 0);
    ASSERT_GE(v, 0);
    ASSERT_GE(a, 0);
    for (int s : {v, a}) {
        int index = -1;
        ASSERT_EQ(writer->addStream(reader->streamInfo(s), &index), AVIERR_OK);
        ASSERT_EQ(index, s == v ? 0 : 1);
        const auto& f = reader->stream(s).format;
        ASSERT_EQ(writer->setFormat(index, f.data(), static_cast<int32_t>(f.size())), AVIERR_OK);
    }
    const AVISTREAMINFO vi = reader->streamInfo(v);
    const AVISTREAMINFO ai = reader->streamInfo(a);
    const int64_t frames = reader->indexedSamples(v);
    const int64_t audioTotal = reader->indexedSamples(a);
    std::vector<uint8_t> buffer(4 << 20);
    int64_t audioPos = 0;
    for (int64_t i = 0; i < frames; ++i) {
        int64_t bytes = 0;
        int64_t samples = 0;
        ASSERT_EQ(reader->read(v, i, 1, buffer.data(), static_cast<int64_t>(buffer.size()), &bytes,
                               &samples),
                  AVIERR_OK);
        const int32_t flags =
            reader->findSample(v, i, kFindPrev | kFindKey) == i ? kAviIfKeyFrame : 0;
        ASSERT_EQ(writer->write(0, i, 1, buffer.data(), static_cast<int32_t>(bytes), flags, nullptr,
                                nullptr),
                  AVIERR_OK);
        const int64_t target =
            i + 1 == frames
                ? audioTotal
                : std::min<int64_t>(audioTotal, (i + 1) * int64_t{vi.dwScale} * ai.dwRate /
                                                    (int64_t{vi.dwRate} * ai.dwScale));
        while (audioPos < target) {
            const int64_t count = ai.dwSampleSize == 0 ? 1 : target - audioPos;
            ASSERT_EQ(reader->read(a, audioPos, count, buffer.data(),
                                   static_cast<int64_t>(buffer.size()), &bytes, &samples),
                      AVIERR_OK);
            ASSERT_EQ(writer->write(1, audioPos, static_cast<int32_t>(samples), buffer.data(),
                                    static_cast<int32_t>(bytes), kAviIfKeyFrame, nullptr, nullptr),
                      AVIERR_OK);
            audioPos += samples;
        }
    }
    ASSERT_EQ(writer->finish(), AVIERR_OK);
}

struct Sample {
    const char* name;
    const char* encode;      // ffmpeg output options
    const char* audioJudge;  // how audio packets are compared
};

class WriterRemuxTest : public ::testing::TestWithParam<Sample> {};

TEST_P(WriterRemuxTest, CopyThroughReaderAndWriterKeepsEveryPacket) {
    const Sample& sample = GetParam();
    testing_support::TempDir dir;
    const std::string source = dir.file("source.avi");
    const std::string copy = dir.file("copy.avi");
    ASSERT_TRUE(
        testing_support::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=3 -f lavfi -i "
                                "sine=frequency=440:sample_rate=44100:duration=3 " +
                                std::string(sample.encode) + " " + ShellQuote(source)));
    Copy(source, copy, 96 << 10);
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(avi::Reader::Open(copy, avi::Limits{}, &reader), AVIERR_OK);
    EXPECT_TRUE(reader->isOpenDml());

    const std::string video = "-map 0:v -c copy -f framecrc -";
    EXPECT_EQ(FfmpegOutput("-i " + ShellQuote(source) + " " + video),
              FfmpegOutput("-i " + ShellQuote(copy) + " " + video));
    const std::string audio = std::string("-map 0:a -c copy -f ") + sample.audioJudge + " -";
    EXPECT_EQ(FfmpegOutput("-i " + ShellQuote(source) + " " + audio),
              FfmpegOutput("-i " + ShellQuote(copy) + " " + audio));
    EXPECT_EQ(testing_support::VideoPacketFlags(source).output,
              testing_support::VideoPacketFlags(copy).output);
    EXPECT_EQ(FfmpegOutput("-i " + ShellQuote(copy) + " -f null -"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, WriterRemuxTest,
    ::testing::Values(Sample{"MjpegPcm", "-c:v mjpeg -q:v 5 -c:a pcm_s16le -ac 2", "md5"},
                      Sample{"Mpeg4Mp3", "-c:v mpeg4 -g 12 -c:a libmp3lame -b:a 64k", "framecrc"},
                      Sample{"Mpeg4ImaAdpcm", "-c:v mpeg4 -g 8 -c:a adpcm_ima_wav", "md5"}),
    [](const ::testing::TestParamInfo<Sample>& info) { return std::string(info.param.name); });

}  // namespace
