// SPDX-License-Identifier: GPL-3.0-or-later
// Sample addressing: audio blocks across chunk boundaries, VBR chunks, drop frames, reads that run
// off the end, size queries and too-small buffers; findSample; the AVIFile-style headers.
#include <gtest/gtest.h>

#include "platform/avi/avi_reader.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using namespace clips;
using avi::Reader;

constexpr uint32_t kBlock = 4;  // 16-bit stereo PCM

// Video starting at position 5 (frames 0..9 of the file; frame 3 is a drop frame, keys at 0 and
// 6), PCM audio in chunks of 1470 and 1471 blocks, and VBR audio in chunks of varying size.
FileSpec AddressingFile() {
    FileSpec shape;
    StreamSpec video;
    video.format = BitmapInfo(320, -240, FourCC("DIVX"), 0);
    video.start = 5;
    video.name = "Main picture";
    StreamSpec pcm;
    pcm.type = "auds";
    pcm.sampleSize = 0xDEADBEEF;  // the format's block size is what counts
    pcm.rate = 11025;
    pcm.format = WaveFormat({1, 2, 11025, 11025 * kBlock, kBlock, 16, 0});
    pcm.rc[2] = 7;
    StreamSpec vbr;
    vbr.type = "auds";
    vbr.scale = 1152;
    vbr.rate = 44100;
    vbr.format = WaveFormat({0x55, 2, 44100, 44100 * 1152, 1152, 0, 0});
    shape.streams = {video, pcm, vbr};
    uint64_t audio = 0;
    for (int i = 0; i < 10; ++i) {
        shape.chunks.push_back(
            {0, "dc", Frame(i, i == 3 ? 0 : 300 + static_cast<size_t>(i)), i == 0 || i == 6});
        const size_t blocks = i % 2 == 0 ? 1470 : 1471;
        shape.chunks.push_back({1, "wb", AudioBytes(audio, blocks * kBlock), true});
        audio += blocks * kBlock;
        shape.chunks.push_back({2, "wb", Frame(100 + i, 200 + static_cast<size_t>(i) * 3), false});
    }
    return shape;
}

class ReaderRead : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new testing_support::TempDir;
        s_spec = new FileSpec(AddressingFile());
        WriteFile(s_dir->file("a.avi"), BuildAvi(*s_spec));
        ASSERT_EQ(Reader::Open(s_dir->file("a.avi"), {}, &s_reader), AVIERR_OK);
    }
    static void TearDownTestSuite() {
        s_reader.reset();
        delete s_spec;
        delete s_dir;
    }
    static int32_t read(int s, int64_t start, int64_t count, int64_t capacity,
                        bool withBuffer = true) {
        m_buf.assign(static_cast<size_t>(std::max<int64_t>(capacity, 1)), 0xEE);
        m_bytes = -7;
        m_samples = -7;
        return s_reader->read(s, start, count, withBuffer ? m_buf.data() : nullptr, capacity,
                              &m_bytes, &m_samples);
    }
    static std::vector<uint8_t> got() {
        return {m_buf.begin(), m_buf.begin() + std::max<int64_t>(m_bytes, 0)};
    }
    static inline testing_support::TempDir* s_dir = nullptr;
    static inline FileSpec* s_spec = nullptr;
    static inline std::unique_ptr<Reader> s_reader;
    static inline std::vector<uint8_t> m_buf;
    static inline int64_t m_bytes = 0;
    static inline int64_t m_samples = 0;
};

TEST_F(ReaderRead, AudioBlocksAreAddressedAcrossChunkBoundaries) {
    const int64_t total = 5 * 1470 + 5 * 1471;
    ASSERT_EQ(s_reader->indexedSamples(1), total);
    // Around each boundary, including reads that span three chunks.
    for (int64_t start : {int64_t{0}, int64_t{1469}, int64_t{1470}, int64_t{2940}, int64_t{7000}}) {
        ASSERT_EQ(read(1, start, 3000, 3000 * kBlock), AVIERR_OK) << start;
        EXPECT_EQ(m_samples, 3000);
        EXPECT_EQ(got(), AudioBytes(static_cast<uint64_t>(start) * kBlock, 3000 * kBlock)) << start;
    }
    // Running off the end returns what is left; at the end, nothing; past it, no data.
    ASSERT_EQ(read(1, total - 10, 100, 400), AVIERR_OK);
    EXPECT_EQ(m_samples, 10);
    EXPECT_EQ(got(), AudioBytes(static_cast<uint64_t>(total - 10) * kBlock, 40));
    EXPECT_EQ(read(1, total, 1, 400), AVIERR_OK);
    EXPECT_EQ(m_samples, 0);
    EXPECT_EQ(m_bytes, 0);
    EXPECT_EQ(read(1, total + 1, 1, 400), AVIERR_NODATA);
    EXPECT_EQ(read(1, -1, 1, 400), AVIERR_NODATA);
    // A negative count reads as many whole blocks as fit.
    ASSERT_EQ(read(1, 1468, -1, 4 * kBlock + 3), AVIERR_OK);
    EXPECT_EQ(m_samples, 4);
    EXPECT_EQ(got(), AudioBytes(1468 * kBlock, 4 * kBlock));
}

TEST_F(ReaderRead, SizeQueriesAndTooSmallBuffersReportTheNeededSize) {
    // Audio: no buffer reports the size; a buffer one byte short fails and leaves it untouched.
    ASSERT_EQ(read(1, 100, 50, 0, false), AVIERR_OK);
    EXPECT_EQ(m_bytes, 50 * kBlock);
    EXPECT_EQ(m_samples, 50);
    ASSERT_EQ(read(1, 100, 50, 50 * kBlock - 1), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(m_bytes, 50 * kBlock);
    EXPECT_EQ(m_samples, 0);
    EXPECT_EQ(m_buf[0], 0xEE);
    // Video (positions start at 5): a frame larger than the buffer.
    ASSERT_EQ(read(0, 5 + 2, 1, 0, false), AVIERR_OK);
    EXPECT_EQ(m_bytes, 302);
    EXPECT_EQ(m_samples, 1);
    ASSERT_EQ(read(0, 5 + 2, 1, 301), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(m_bytes, 302);
    EXPECT_EQ(m_samples, 0);
    ASSERT_EQ(read(0, 5 + 2, 1, 302), AVIERR_OK);
    EXPECT_EQ(got(), Frame(2, 302));
}

TEST_F(ReaderRead, VideoReadsOneFrameAndDropFramesReadAsEmptySamples) {
    ASSERT_EQ(read(0, 5 + 1, 5, 4096), AVIERR_OK);
    EXPECT_EQ(m_samples, 1);
    EXPECT_EQ(got(), Frame(1, 301));
    ASSERT_EQ(read(0, 5 + 3, 1, 0), AVIERR_OK);  // a drop frame needs no buffer space
    EXPECT_EQ(m_samples, 1);
    EXPECT_EQ(m_bytes, 0);
    EXPECT_EQ(read(0, 4, 1, 4096), AVIERR_NODATA);
    EXPECT_EQ(read(0, 15, 1, 4096), AVIERR_OK);
    EXPECT_EQ(m_samples, 0);
    EXPECT_EQ(read(0, 16, 1, 4096), AVIERR_NODATA);
}

TEST_F(ReaderRead, VbrAudioReadsWholeChunksAsSamples) {
    ASSERT_EQ(s_reader->indexedSamples(2), 10);
    ASSERT_EQ(read(2, 2, 3, 4096), AVIERR_OK);
    EXPECT_EQ(m_samples, 3);
    std::vector<uint8_t> want;
    for (int i = 2; i < 5; ++i) {
        const auto f = Frame(100 + i, 200 + static_cast<size_t>(i) * 3);
        want.insert(want.end(), f.begin(), f.end());
    }
    EXPECT_EQ(got(), want);
    // A buffer for two and a half chunks: too small for three; with a negative count, two.
    EXPECT_EQ(read(2, 2, 3, 206 + 209 + 100), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(m_bytes, 206 + 209 + 212);
    ASSERT_EQ(read(2, 2, -1, 206 + 209 + 100), AVIERR_OK);
    EXPECT_EQ(m_samples, 2);
    ASSERT_EQ(read(2, 8, 5, 4096), AVIERR_OK);  // runs off the end
    EXPECT_EQ(m_samples, 2);
}

TEST_F(ReaderRead, FindSampleSearchesKeysAndNonEmptySamples) {
    const Reader& r = *s_reader;
    // Video keys at positions 5 and 11; position 8 is a drop frame.
    EXPECT_EQ(r.findSample(0, 10, kFindPrev | kFindKey), 5);
    EXPECT_EQ(r.findSample(0, 11, kFindPrev | kFindKey), 11);
    EXPECT_EQ(r.findSample(0, 6, kFindNext | kFindKey), 11);
    EXPECT_EQ(r.findSample(0, 12, kFindNext | kFindKey), -1);
    EXPECT_EQ(r.findSample(0, 99, kFindPrev | kFindKey), 11);  // clamped to the last frame
    EXPECT_EQ(r.findSample(0, 4, kFindPrev | kFindKey), -1);   // before the start
    EXPECT_EQ(r.findSample(0, 0, kFindFromStart | kFindKey), 5);
    EXPECT_EQ(r.findSample(0, 8, kFindPrev | kFindAny), 7);
    EXPECT_EQ(r.findSample(0, 8, kFindNext | kFindAny), 9);
    EXPECT_EQ(r.findSample(0, 8, kFindPrev | kFindKey) == 8, false);
    // Audio: every block is a key.
    EXPECT_EQ(r.findSample(1, 1234, kFindPrev | kFindKey), 1234);
    EXPECT_EQ(r.findSample(1, 99999999, kFindPrev | kFindKey), s_reader->indexedSamples(1) - 1);
    // VBR chunks carry no key flag in the index; audio chunks are keys all the same.
    EXPECT_EQ(r.findSample(2, 4, kFindPrev | kFindKey), 4);
}

TEST_F(ReaderRead, StreamInfoIsTheApiViewOfTheHeaders) {
    const AVISTREAMINFO v = s_reader->streamInfo(0);
    EXPECT_EQ(v.fccType, kStreamTypeVideo);
    EXPECT_EQ(v.dwStart, 5u);
    EXPECT_EQ(v.dwLength, 10u);  // raised from the header's 0 to what the index holds
    EXPECT_EQ(v.dwSuggestedBufferSize, 309u);
    EXPECT_EQ(v.dwQuality, 0xFFFFFFFFu);
    EXPECT_EQ(v.dwSampleSize, 0u);
    EXPECT_EQ(v.dwCaps, 1u);
    // The empty rectangle comes from the format (bottom-up height made positive).
    EXPECT_EQ(v.rcFrameRight, 320);
    EXPECT_EQ(v.rcFrameBottom, 240);
    EXPECT_STREQ(v.szName, "Main picture");
    const AVISTREAMINFO a = s_reader->streamInfo(1);
    EXPECT_EQ(a.dwSampleSize, kBlock);
    EXPECT_EQ(a.dwSuggestedBufferSize, 1471 * kBlock);
    EXPECT_EQ(a.rcFrameRight, 7);
    EXPECT_EQ(s_reader->streamInfo(2).dwSampleSize, 0u);  // VBR: one chunk per sample
    const AVIFILEINFO f = s_reader->fileInfo();
    EXPECT_EQ(f.dwStreams, 3u);
    EXPECT_EQ(f.dwLength, 33u);  // 14705 blocks at 11025 Hz = 33.3 frames at 25 fps
    EXPECT_EQ(f.dwSuggestedBufferSize, 1471 * kBlock);
    EXPECT_EQ(s_reader->findStream(kStreamTypeAudio, 1), 2);
    EXPECT_EQ(s_reader->findStream(kStreamTypeAudio, 2), -1);
}

}  // namespace
