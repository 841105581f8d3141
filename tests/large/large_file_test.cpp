// SPDX-License-Identifier: GPL-3.0-or-later
// A file beyond 4.5 GiB written by our writer (OpenDML, 1 GiB parts) reads back frame for frame,
// ffprobe reads every packet of it, and reading it keeps memory flat.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/avi/avi_reader.h"
#include "platform/avi/avi_writer.h"
#include "support/test_support.h"

namespace {

constexpr int64_t kFrameBytes = 1 << 20;
constexpr int64_t kFrames = 4700;      // 4.6 GiB of video
constexpr int32_t kAudioBytes = 1764;  // 10 ms of 44.1 kHz 16-bit stereo per frame

// Resident memory of this process in bytes.
int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t pages = 0;
    int64_t resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

// Frame bytes: mostly zeros, stamped with the frame number at both ends.
void FillFrame(std::vector<uint8_t>& frame, int64_t n) {
    std::fill(frame.begin(), frame.begin() + 64, 0);
    std::fill(frame.end() - 64, frame.end(), 0);
    std::memcpy(frame.data(), &n, sizeof n);
    std::memcpy(frame.data() + frame.size() - sizeof n, &n, sizeof n);
}

TEST(LargeFileTest, BeyondFourGigabytesRoundTripsWithFlatMemory) {
    testing_support::TempDir dir;
    const std::string path = dir.file("large.avi");
    std::vector<uint8_t> frame(kFrameBytes, 0);
    {
        std::unique_ptr<avi::Writer> writer;
        ASSERT_EQ(avi::Writer::Create(path, avi::WriterOptions{}, &writer), AVIERR_OK);
        AVISTREAMINFO v;
        v.fccType = kStreamTypeVideo;
        v.fccHandler = avi::FourCC("XXXX");
        v.dwScale = 1;
        v.dwRate = 25;
        AVISTREAMINFO a;
        a.fccType = kStreamTypeAudio;
        a.dwScale = 1;
        a.dwRate = 44100;
        a.dwSampleSize = 4;
        int vs = -1;
        int as = -1;
        ASSERT_EQ(writer->addStream(v, &vs), AVIERR_OK);
        ASSERT_EQ(writer->addStream(a, &as), AVIERR_OK);
        std::vector<uint8_t> bih(40, 0);
        bih[0] = 40;
        bih[4] = 64;
        bih[8] = 64;
        bih[12] = 1;
        bih[14] = 24;
        std::memcpy(bih.data() + 16, "XXXX", 4);
        const std::vector<uint8_t> wave = {1,    0, 2, 0, 0x44, 0xAC, 0, 0, 0x10,
                                           0xB1, 2, 0, 4, 0,    16,   0, 0, 0};
        ASSERT_EQ(writer->setFormat(vs, bih.data(), 40), AVIERR_OK);
        ASSERT_EQ(writer->setFormat(as, wave.data(), 18), AVIERR_OK);
        const std::vector<uint8_t> audio(kAudioBytes, 0);
        for (int64_t n = 0; n < kFrames; ++n) {
            FillFrame(frame, n);
            ASSERT_EQ(writer->write(vs, n, 1, frame.data(), kFrameBytes,
                                    n % 25 == 0 ? kAviIfKeyFrame : 0, nullptr, nullptr),
                      AVIERR_OK);
            ASSERT_EQ(writer->write(as, n * (kAudioBytes / 4), kAudioBytes / 4, audio.data(),
                                    kAudioBytes, 0, nullptr, nullptr),
                      AVIERR_OK);
        }
        ASSERT_EQ(writer->finish(), AVIERR_OK);
    }

    const int64_t before = ResidentBytes();
    std::unique_ptr<avi::Reader> reader;
    ASSERT_EQ(avi::Reader::Open(path, avi::Limits{}, &reader), AVIERR_OK);
    EXPECT_GT(reader->fileSize(), 4500ull << 20);
    EXPECT_TRUE(reader->isOpenDml());
    EXPECT_FALSE(reader->indexRebuilt());
    ASSERT_EQ(reader->indexedSamples(0), kFrames);
    EXPECT_EQ(reader->stream(0).header.dwLength, static_cast<uint32_t>(kFrames));
    EXPECT_EQ(reader->indexedSamples(1), kFrames * (kAudioBytes / 4));
    EXPECT_LT(reader->mainHeader().dwTotalFrames, 1100u);  // the first 1 GiB part only
    int64_t peak = 0;
    for (int64_t n = 0; n < kFrames; ++n) {
        int64_t bytes = 0;
        int64_t samples = 0;
        ASSERT_EQ(reader->read(0, n, 1, frame.data(), kFrameBytes, &bytes, &samples), AVIERR_OK);
        ASSERT_EQ(bytes, kFrameBytes);
        int64_t first = -1;
        int64_t last = -1;
        std::memcpy(&first, frame.data(), sizeof first);
        std::memcpy(&last, frame.data() + kFrameBytes - sizeof last, sizeof last);
        ASSERT_EQ(first, n);
        ASSERT_EQ(last, n);
        EXPECT_EQ(reader->findSample(0, n, kFindPrev | kFindKey), n - n % 25);
        if (n % 256 == 0)
            peak = std::max(peak, ResidentBytes());
    }
    // The index of 9400 chunks is small: reading 4.6 GiB may not grow memory by more than 16 MiB.
    EXPECT_LT(peak - before, 16 << 20);

    const auto probe = testing_support::RunCommand(
        testing_support::ShellQuote(testing_support::FfprobePath()) +
            " -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
            testing_support::ShellQuote(path),
        false);
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.output.substr(0, probe.output.find('\n')), std::to_string(kFrames));
}

}  // namespace
