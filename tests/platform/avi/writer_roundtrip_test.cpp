// SPDX-License-Identifier: GPL-3.0-or-later
// What our writer writes, our reader reads back sample for sample: bytes, key flags, the stream
// headers kept from addStream and the values derived from what was written, in one RIFF part and
// in many (OpenDML).
#include <gtest/gtest.h>

#include <cstring>

#include "platform/avi/avi_reader.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using clips::Clip;

class WriterRoundTripTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new testing_support::TempDir();
        s_clip = new Clip(clips::NoisyRgbClip(300, true));
        ASSERT_EQ(clips::WriteClip(*s_clip, s_dir->file("single.avi"), 1ull << 30), AVIERR_OK);
        ASSERT_EQ(clips::WriteClip(*s_clip, s_dir->file("parts.avi"), 64 << 10), AVIERR_OK);
    }
    static void TearDownTestSuite() {
        delete s_clip;
        delete s_dir;
    }
    static std::unique_ptr<avi::Reader> Open(const char* name) {
        std::unique_ptr<avi::Reader> reader;
        EXPECT_EQ(avi::Reader::Open(s_dir->file(name), avi::Limits{}, &reader), AVIERR_OK);
        return reader;
    }
    static testing_support::TempDir* s_dir;
    static Clip* s_clip;
};

testing_support::TempDir* WriterRoundTripTest::s_dir = nullptr;
Clip* WriterRoundTripTest::s_clip = nullptr;

TEST_F(WriterRoundTripTest, EverySampleReadsBackWithItsBytesAndKeyFlag) {
    for (const char* name : {"single.avi", "parts.avi"}) {
        SCOPED_TRACE(name);
        const auto reader = Open(name);
        ASSERT_TRUE(reader);
        EXPECT_FALSE(reader->indexRebuilt());
        EXPECT_EQ(reader->isOpenDml(), std::strcmp(name, "parts.avi") == 0);
        ASSERT_EQ(reader->streamCount(), 2);
        std::vector<uint8_t> audio;
        int64_t frame = 0;
        std::vector<uint8_t> buffer(clips::kRgbFrameBytes);
        for (const auto& c : s_clip->chunks) {
            if (c.stream == 1) {
                audio.insert(audio.end(), c.bytes.begin(), c.bytes.end());
                continue;
            }
            int64_t bytes = -1;
            int64_t samples = -1;
            ASSERT_EQ(reader->read(0, frame, 1, buffer.data(), static_cast<int64_t>(buffer.size()),
                                   &bytes, &samples),
                      AVIERR_OK)
                << frame;
            EXPECT_EQ(samples, 1);
            ASSERT_EQ(bytes, static_cast<int64_t>(c.bytes.size())) << frame;
            EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), buffer.begin())) << frame;
            const bool key = reader->findSample(0, frame, kFindPrev | kFindKey) == frame;
            EXPECT_EQ(key, c.key && !c.bytes.empty()) << frame;
            ++frame;
        }
        EXPECT_EQ(reader->indexedSamples(0), 300);
        ASSERT_EQ(reader->indexedSamples(1), static_cast<int64_t>(audio.size()));
        std::vector<uint8_t> readAudio(audio.size());
        int64_t bytes = 0;
        int64_t samples = 0;
        ASSERT_EQ(reader->read(1, 0, static_cast<int64_t>(audio.size()), readAudio.data(),
                               static_cast<int64_t>(readAudio.size()), &bytes, &samples),
                  AVIERR_OK);
        EXPECT_EQ(samples, static_cast<int64_t>(audio.size()));
        EXPECT_TRUE(readAudio == audio);
    }
}

TEST_F(WriterRoundTripTest, StreamHeadersKeptFieldForFieldWithDerivedCounts) {
    for (const char* name : {"single.avi", "parts.avi"}) {
        SCOPED_TRACE(name);
        const auto reader = Open(name);
        ASSERT_TRUE(reader);
        const avi::StreamHeader& v = reader->stream(0).header;
        const AVISTREAMINFO& given = s_clip->infos[0];
        EXPECT_EQ(v.fccType, kStreamTypeVideo);
        EXPECT_EQ(v.fccHandler, given.fccHandler);
        EXPECT_EQ(v.wPriority, 3);
        EXPECT_EQ(v.wLanguage, 9);
        EXPECT_EQ(v.dwScale, 1u);
        EXPECT_EQ(v.dwRate, 10u);
        EXPECT_EQ(v.dwQuality, 7500u);
        EXPECT_EQ(v.dwStart, 0u);     // given 5
        EXPECT_EQ(v.dwLength, 300u);  // given 12345
        EXPECT_EQ(v.dwSuggestedBufferSize, static_cast<uint32_t>(clips::kRgbFrameBytes));
        EXPECT_EQ(v.rcRight, clips::kRgbWidth);
        EXPECT_EQ(v.rcBottom, clips::kRgbHeight);
        EXPECT_EQ(reader->stream(0).name, "Synthetic video");
        EXPECT_EQ(reader->stream(0).format, s_clip->formats[0]);

        const avi::StreamHeader& a = reader->stream(1).header;
        EXPECT_EQ(a.fccType, kStreamTypeAudio);
        EXPECT_EQ(a.dwSampleSize, 1u);
        EXPECT_EQ(a.dwInitialFrames, 1u);
        EXPECT_EQ(a.dwQuality, 0xFFFFFFFFu);
        EXPECT_EQ(a.dwRate, 8000u);
        EXPECT_EQ(a.dwLength, 300u * 800u);  // chunks of 799, 800, 801 bytes
        EXPECT_EQ(a.dwSuggestedBufferSize, 801u);
        EXPECT_EQ(reader->stream(1).name, "");
        EXPECT_EQ(reader->stream(1).format, s_clip->formats[1]);
    }
}

// Position of a four-character code in a file's bytes, or npos.
size_t FindCode(const std::vector<unsigned char>& bytes, const char* code) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find(code);
}

TEST_F(WriterRoundTripTest, MainHeaderAndOpenDmlTotals) {
    const auto single = Open("single.avi");
    const auto parts = Open("parts.avi");
    ASSERT_TRUE(single && parts);
    for (const avi::MainHeader* m : {&single->mainHeader(), &parts->mainHeader()}) {
        EXPECT_EQ(m->dwMicroSecPerFrame, 100000u);
        EXPECT_EQ(m->dwFlags, 0x910u);
        EXPECT_EQ(m->dwStreams, 2u);
        EXPECT_EQ(m->dwWidth, 32u);
        EXPECT_EQ(m->dwHeight, 18u);
        EXPECT_EQ(m->dwSuggestedBufferSize, static_cast<uint32_t>(clips::kRgbFrameBytes));
        // 300 frames of 1728 bytes and 240000 audio bytes in 30 seconds.
        EXPECT_EQ(m->dwMaxBytesPerSec, (300u * 1728u - 6u * 1728u + 240000u) / 30u);
    }
    EXPECT_EQ(single->mainHeader().dwTotalFrames, 300u);
    // In several parts the main header counts the first part's frames, dmlh all of them.
    const uint32_t firstPart = parts->mainHeader().dwTotalFrames;
    EXPECT_GT(firstPart, 0u);
    EXPECT_LT(firstPart, 300u);
    const auto bytes = testing_support::ReadFileBytes(s_dir->file("parts.avi"));
    const size_t dmlh = FindCode(bytes, "dmlh");
    ASSERT_NE(dmlh, std::string::npos);
    EXPECT_EQ(avi::ReadU32(bytes.data() + dmlh + 8), 300u);
    EXPECT_EQ(FindCode(testing_support::ReadFileBytes(s_dir->file("single.avi")), "dmlh"),
              std::string::npos);
}

TEST_F(WriterRoundTripTest, PartsStayWithinTheLimitAndIdx1CoversOnlyTheFirst) {
    const auto bytes = testing_support::ReadFileBytes(s_dir->file("parts.avi"));
    size_t pos = 0;
    int parts = 0;
    while (pos + 12 <= bytes.size()) {
        ASSERT_EQ(avi::ReadU32(bytes.data() + pos), avi::FourCC("RIFF"));
        const uint32_t size = avi::ReadU32(bytes.data() + pos + 8 - 4);
        EXPECT_LE(size + 8u, 64u << 10);
        EXPECT_EQ(avi::ReadU32(bytes.data() + pos + 8),
                  parts == 0 ? avi::FourCC("AVI ") : avi::FourCC("AVIX"));
        pos += 8 + size + (size & 1);
        ++parts;
    }
    EXPECT_EQ(pos, bytes.size());
    EXPECT_GE(parts, 10);
    // idx1 lists the chunks of the first part: one 16-byte entry per chunk there.
    const size_t idx1 = FindCode(bytes, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    const auto reader = Open("parts.avi");
    const uint32_t firstFrames = reader->mainHeader().dwTotalFrames;
    EXPECT_EQ(avi::ReadU32(bytes.data() + idx1 + 4) / 16, 2 * firstFrames);
}

}  // namespace

namespace {

// With a part limit below one chunk, every chunk starts a part until the header's room for
// super index entries is used up; the last part then takes the rest instead of overflowing it.
TEST(WriterPartLimitTest, MorePartsThanTheSuperIndexHoldsStillReadBack) {
    testing_support::TempDir dir;
    const std::string path = dir.file("tiny.avi");
    Clip clip;
    AVISTREAMINFO v;
    v.fccType = kStreamTypeVideo;
    v.fccHandler = clips::FourCC("XXXX");
    v.dwScale = 1;
    v.dwRate = 25;
    clip.infos.push_back(v);
    clip.formats.push_back(clips::BitmapInfo(16, 16, clips::FourCC("XXXX"), 16 * 16 * 3));
    for (int f = 0; f < 700; ++f) {
        clips::Chunk c;
        c.key = f % 5 == 0;
        c.bytes.assign(static_cast<size_t>(10 + f % 7), static_cast<uint8_t>(f));
        clip.chunks.push_back(std::move(c));
    }
    ASSERT_EQ(clips::WriteClip(clip, path, 1), AVIERR_OK);
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(avi::Reader::Open(path, avi::Limits{}, &reader), AVIERR_OK);
    EXPECT_FALSE(reader->indexRebuilt());
    ASSERT_EQ(reader->indexedSamples(0), 700);
    for (int64_t f = 0; f < 700; ++f) {
        uint8_t buffer[32];
        int64_t bytes = 0;
        int64_t samples = 0;
        ASSERT_EQ(reader->read(0, f, 1, buffer, sizeof buffer, &bytes, &samples), AVIERR_OK);
        ASSERT_EQ(bytes, 10 + f % 7);
        EXPECT_EQ(buffer[0], static_cast<uint8_t>(f));
        EXPECT_EQ(reader->findSample(0, f, kFindPrev | kFindKey), f - f % 5);
    }
    const auto probe = testing_support::FfprobeOutput(
        "-count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
        testing_support::ShellQuote(path));
    EXPECT_EQ(probe.output, "700\n");
}

}  // namespace
