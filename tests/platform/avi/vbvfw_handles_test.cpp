// SPDX-License-Identifier: GPL-3.0-or-later
// The video-file operations behind 16-bit handles: slots reused, bad handles refused, record
// sizes, the read-format and buffer-too-small rules, release order, the log and the movie device
// forwarding.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "media/vbvfw.h"
#include "platform/avi/avi_reader.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

class VbvfwHandlesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new testing_support::TempDir();
        s_clip = new clips::Clip(clips::NoisyRgbClip(20, true));
        ASSERT_EQ(clips::WriteClip(*s_clip, s_dir->file("clip.avi"), 1ull << 30), AVIERR_OK);
    }
    static void TearDownTestSuite() {
        delete s_clip;
        delete s_dir;
    }
    void SetUp() override { vbvfw_AVIFileInit(); }
    void TearDown() override {
        vbvfw_AVIFileExit();
        vbvfw_log_close();
        vbvfw_set_mci_handler(nullptr);
    }
    static std::string Clip() { return s_dir->file("clip.avi"); }
    static testing_support::TempDir* s_dir;
    static clips::Clip* s_clip;
};

testing_support::TempDir* VbvfwHandlesTest::s_dir = nullptr;
clips::Clip* VbvfwHandlesTest::s_clip = nullptr;

TEST_F(VbvfwHandlesTest, FreedSlotsAreReusedAndBadHandlesRefused) {
    const int16_t a = vbvfw_AVIFileOpen(Clip(), kOpenRead);
    const int16_t b = vbvfw_AVIFileOpen(Clip(), kOpenRead);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(vbvfw_AVIFileRelease(a), AVIERR_OK);
    EXPECT_EQ(vbvfw_AVIFileOpen(Clip(), kOpenRead), a);
    const int16_t s = vbvfw_AVIFileGetStream(b, kStreamTypeVideo, 0);
    ASSERT_GE(s, 0);
    EXPECT_EQ(vbvfw_AVIStreamRelease(s), AVIERR_OK);

    AVIFILEINFO fi;
    AVISTREAMINFO si;
    uint8_t buffer[64];
    int32_t size = sizeof buffer;
    int32_t bytes = 0;
    int32_t samples = 0;
    for (int16_t bad : {int16_t{-1}, int16_t{999}, int16_t{32767}, s}) {
        EXPECT_EQ(vbvfw_AVIFileInfo(bad == s ? int16_t{998} : bad, &fi, 109), AVIERR_BADHANDLE);
        EXPECT_EQ(vbvfw_AVIStreamInfo(bad, &si, 141), AVIERR_BADHANDLE);
        EXPECT_EQ(vbvfw_AVIStreamReadFormat(bad, 0, buffer, &size), AVIERR_BADHANDLE);
        EXPECT_EQ(vbvfw_AVIStreamRead(bad, 0, 1, buffer, 64, &bytes, &samples), AVIERR_BADHANDLE);
        EXPECT_EQ(vbvfw_AVIStreamWrite(bad, 0, 1, buffer, 4, 0, &samples, &bytes),
                  AVIERR_BADHANDLE);
        EXPECT_EQ(vbvfw_AVIStreamSetFormat(bad, 0, buffer, 4), AVIERR_BADHANDLE);
        EXPECT_EQ(vbvfw_AVIStreamFindSample(bad, 0, 0x14), -1);
        EXPECT_EQ(vbvfw_AVIStreamRelease(bad), AVIERR_BADHANDLE);
    }
    EXPECT_EQ(vbvfw_AVIFileGetStream(-1, kStreamTypeVideo, 0), -1);
    EXPECT_EQ(vbvfw_AVIFileRelease(-1), AVIERR_BADHANDLE);
    EXPECT_EQ(vbvfw_AVIFileRelease(999), AVIERR_BADHANDLE);
}

TEST_F(VbvfwHandlesTest, ManyOpensNeverRunOutOfHandles) {
    for (int i = 0; i < 40000; ++i) {
        const int16_t f = vbvfw_AVIFileOpen(s_dir->file("missing.avi"), kOpenRead);
        ASSERT_EQ(f, -1);
    }
    for (int i = 0; i < 3000; ++i) {
        const int16_t f = vbvfw_AVIFileOpen(Clip(), kOpenRead);
        ASSERT_GE(f, 0) << i;
        const int16_t s = vbvfw_AVIFileGetStream(f, kStreamTypeAudio, 0);
        ASSERT_GE(s, 0) << i;
        ASSERT_EQ(vbvfw_AVIStreamRelease(s), AVIERR_OK);
        ASSERT_EQ(vbvfw_AVIFileRelease(f), AVIERR_OK);
    }
}

TEST_F(VbvfwHandlesTest, FailedOpenKeepsStatusAndErrno) {
    EXPECT_EQ(vbvfw_AVIFileOpen(s_dir->file("missing.avi"), kOpenRead), -1);
    EXPECT_EQ(vbvfw_error(), AVIERR_FILEOPEN);
    EXPECT_EQ(vbvfw_error() & 0xFFF, 111);
    EXPECT_EQ(vbvfw_errno(), ENOENT);
    const std::string text = s_dir->file("text.avi");
    std::ofstream(text) << "this is not a RIFF file at all, just some words";
    EXPECT_EQ(vbvfw_AVIFileOpen(text, kOpenRead), -1);
    EXPECT_NE(vbvfw_error(), AVIERR_OK);
    EXPECT_NE(vbvfw_error(), AVIERR_FILEOPEN);
    EXPECT_EQ(vbvfw_AVIFileOpen(s_dir->file("no/such/folder.avi"), kOpenWrite | kOpenCreate), -1);
    EXPECT_EQ(vbvfw_error(), AVIERR_FILEOPEN);
    EXPECT_EQ(vbvfw_errno(), ENOENT);
}

TEST_F(VbvfwHandlesTest, CreatingAFileThatIsOpenNeverTruncatesIt) {
    const auto size = std::filesystem::file_size(Clip());
    const int16_t f = vbvfw_AVIFileOpen(Clip(), kOpenRead);
    ASSERT_GE(f, 0);
    EXPECT_EQ(vbvfw_AVIFileOpen(Clip(), kOpenWrite | kOpenCreate), -1);
    EXPECT_EQ(vbvfw_error(), AVIERR_FILEOPEN);
    EXPECT_EQ(vbvfw_errno(), EBUSY);
    EXPECT_EQ(std::filesystem::file_size(Clip()), size);
    EXPECT_EQ(vbvfw_AVIFileRelease(f), AVIERR_OK);
    // The same holds for a file being written.
    const std::string path = s_dir->file("busy.avi");
    const int16_t w = vbvfw_AVIFileOpen(path, kOpenWrite | kOpenCreate);
    ASSERT_GE(w, 0);
    EXPECT_EQ(vbvfw_AVIFileOpen(path, kOpenWrite | kOpenCreate), -1);
    EXPECT_EQ(vbvfw_AVIFileRelease(w), AVIERR_OK);
}

TEST_F(VbvfwHandlesTest, RecordSizesAndFormatReads) {
    const int16_t f = vbvfw_AVIFileOpen(Clip(), kOpenRead);
    ASSERT_GE(f, 0);
    AVIFILEINFO fi;
    EXPECT_EQ(vbvfw_AVIFileInfo(f, &fi, 108), AVIERR_BADSIZE);
    ASSERT_EQ(vbvfw_AVIFileInfo(f, &fi, 109), AVIERR_OK);
    EXPECT_EQ(fi.dwStreams, 2u);
    const int16_t v = vbvfw_AVIFileGetStream(f, kStreamTypeVideo, 0);
    const int16_t a = vbvfw_AVIFileGetStream(f, kStreamTypeAudio, 0);
    EXPECT_EQ(vbvfw_AVIFileGetStream(f, kStreamTypeAudio, 1), -1);
    ASSERT_GE(v, 0);
    ASSERT_GE(a, 0);
    AVISTREAMINFO si;
    EXPECT_EQ(vbvfw_AVIStreamInfo(v, &si, 140), AVIERR_BADSIZE);
    ASSERT_EQ(vbvfw_AVIStreamInfo(v, &si, 141), AVIERR_OK);
    EXPECT_EQ(si.dwLength, 20u);
    EXPECT_STREQ(si.szName, "Synthetic video");

    // Null buffer: size only. Short buffer: first part and the 0x74 status. Large: all of it.
    int32_t size = 0;
    EXPECT_EQ(vbvfw_AVIStreamReadFormat(a, 0, nullptr, &size), AVIERR_OK);
    EXPECT_EQ(size, 18);
    uint8_t format[64] = {};
    size = 14;
    const int32_t status = vbvfw_AVIStreamReadFormat(a, 0, format, &size);
    EXPECT_TRUE(IsBufferTooSmall(status));
    EXPECT_EQ(size, 18);
    EXPECT_TRUE(std::equal(format, format + 14, s_clip->formats[1].begin()));
    EXPECT_EQ(format[14], 0);
    size = sizeof format;
    EXPECT_EQ(vbvfw_AVIStreamReadFormat(v, 0, format, &size), AVIERR_OK);
    EXPECT_EQ(size, 40);

    // A frame larger than the buffer: the needed size and no sample.
    uint8_t small[100];
    int32_t bytes = -1;
    int32_t samples = -1;
    EXPECT_EQ(vbvfw_AVIStreamRead(v, 0, 1, small, sizeof small, &bytes, &samples),
              AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(bytes, clips::kRgbFrameBytes);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(vbvfw_AVIStreamRead(v, 0, 1, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, clips::kRgbFrameBytes);
    EXPECT_EQ(vbvfw_AVIStreamRead(a, 0, 50, small, sizeof small, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 50);
    EXPECT_EQ(samples, 50);
    EXPECT_EQ(vbvfw_AVIStreamFindSample(v, 15, 0x14), 10);
    // A file opened to read takes no writes.
    EXPECT_EQ(vbvfw_AVIStreamWrite(v, 20, 1, small, 10, 0, &samples, &bytes), AVIERR_READONLY);
    EXPECT_EQ(vbvfw_AVIStreamSetFormat(v, 0, format, 40), AVIERR_READONLY);
    EXPECT_EQ(vbvfw_AVIFileCreateStream(f, &si, 0), -1);
    EXPECT_EQ(vbvfw_AVIStreamRelease(v), AVIERR_OK);
    EXPECT_EQ(vbvfw_AVIStreamRelease(a), AVIERR_OK);
    EXPECT_EQ(vbvfw_AVIFileRelease(f), AVIERR_OK);
}

TEST_F(VbvfwHandlesTest, ReleasingAFileReleasesItsStreams) {
    const int16_t f = vbvfw_AVIFileOpen(Clip(), kOpenRead);
    const int16_t v = vbvfw_AVIFileGetStream(f, kStreamTypeVideo, 0);
    const int16_t any = vbvfw_AVIFileGetStream(f, 0, 1);
    ASSERT_GE(v, 0);
    ASSERT_GE(any, 0);
    EXPECT_EQ(vbvfw_AVIFileRelease(f), AVIERR_OK);
    AVISTREAMINFO si;
    EXPECT_EQ(vbvfw_AVIStreamInfo(v, &si, 141), AVIERR_BADHANDLE);
    EXPECT_EQ(vbvfw_AVIStreamRelease(any), AVIERR_BADHANDLE);
    // A new file in the old slot is not reachable through the old stream handles.
    const int16_t g = vbvfw_AVIFileOpen(Clip(), kOpenRead);
    EXPECT_EQ(g, f);
    EXPECT_EQ(vbvfw_AVIStreamInfo(v, &si, 141), AVIERR_BADHANDLE);
}

// Copies the synthetic clip into a new file through the handle operations.
int32_t WriteThroughHandles(const clips::Clip& clip, const std::string& path,
                            std::vector<int16_t>* streamsOut = nullptr) {
    const int16_t f = vbvfw_AVIFileOpen(path, kOpenWrite | kOpenCreate);
    EXPECT_GE(f, 0);
    std::vector<int16_t> streams;
    for (size_t s = 0; s < clip.infos.size(); ++s) {
        const int16_t h = vbvfw_AVIFileCreateStream(f, &clip.infos[s], 0);
        EXPECT_GE(h, 0);
        EXPECT_EQ(vbvfw_AVIStreamSetFormat(h, 0, clip.formats[s].data(),
                                           static_cast<int32_t>(clip.formats[s].size())),
                  AVIERR_OK);
        streams.push_back(h);
    }
    std::vector<int64_t> positions(streams.size(), 0);
    for (const auto& c : clip.chunks) {
        const auto size = static_cast<int32_t>(c.bytes.size());
        int32_t samples = 0;
        int32_t bytes = 0;
        EXPECT_EQ(vbvfw_AVIStreamWrite(streams[static_cast<size_t>(c.stream)],
                                       positions[static_cast<size_t>(c.stream)],
                                       c.stream == 0 ? 1 : size, c.bytes.data(), size,
                                       c.key ? kAviIfKeyFrame : 0, &samples, &bytes),
                  AVIERR_OK);
        positions[static_cast<size_t>(c.stream)] += samples;
    }
    if (streamsOut != nullptr) {
        *streamsOut = streams;
        return AVIERR_OK;
    }
    for (int16_t h : streams) {
        EXPECT_EQ(vbvfw_AVIStreamRelease(h), AVIERR_OK);
    }
    return vbvfw_AVIFileRelease(f);
}

TEST_F(VbvfwHandlesTest, WrittenStreamsReportWhatWasWrittenAndReadBack) {
    const std::string path = s_dir->file("written.avi");
    std::ofstream(path) << std::string(100000, 'x');  // truncated by the create mode
    std::vector<int16_t> streams;
    ASSERT_EQ(WriteThroughHandles(*s_clip, path, &streams), AVIERR_OK);
    AVISTREAMINFO si;
    ASSERT_EQ(vbvfw_AVIStreamInfo(streams[1], &si, 141), AVIERR_OK);
    EXPECT_EQ(si.dwLength, 15999u);  // 20 chunks of 799, 800 or 801 bytes
    EXPECT_EQ(si.dwSuggestedBufferSize, 801u);
    EXPECT_EQ(si.dwStart, 0u);
    int32_t size = 0;
    EXPECT_EQ(vbvfw_AVIStreamReadFormat(streams[0], 0, nullptr, &size), AVIERR_OK);
    EXPECT_EQ(size, 40);
    const int16_t file = vbvfw_AVIFileOpen(path, kOpenRead);  // not finished yet: may fail
    if (file >= 0) {
        vbvfw_AVIFileRelease(file);
    }
    vbvfw_AVIFileExit();  // finishes the written file

    const int16_t f = vbvfw_AVIFileOpen(path, kOpenRead);
    ASSERT_GE(f, 0);
    const int16_t v = vbvfw_AVIFileGetStream(f, kStreamTypeVideo, 0);
    ASSERT_EQ(vbvfw_AVIStreamInfo(v, &si, 141), AVIERR_OK);
    EXPECT_EQ(si.dwLength, 20u);
    EXPECT_EQ(si.dwStart, 0u);
    std::vector<uint8_t> frame(clips::kRgbFrameBytes);
    int32_t bytes = 0;
    int32_t samples = 0;
    ASSERT_EQ(vbvfw_AVIStreamRead(v, 19, 1, frame.data(), static_cast<int32_t>(frame.size()),
                                  &bytes, &samples),
              AVIERR_OK);
    EXPECT_TRUE(frame == s_clip->chunks[38].bytes);
}

// A FIFO or a folder at the log's place is left alone at once: opening never waits for a reader.
TEST_F(VbvfwHandlesTest, TheLogOpensOnlyARegularFileAndNeverWaits) {
    EXPECT_EQ(vbvfw_log_open(s_dir->path().string()), -1);
    const std::string fifo = s_dir->file("fifo.log");
    if (::mkfifo(fifo.c_str(), 0644) != 0) {
        GTEST_SKIP() << "no FIFO here";
    }
    EXPECT_EQ(vbvfw_log_open(fifo), -1);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(vbvfw_log_open(fifo), -1);
    ::close(reader);
    ::unlink(fifo.c_str());
}

TEST_F(VbvfwHandlesTest, ReleaseOfAFileThatCannotBeFinishedReturnsTheFailure) {
    const std::string log = s_dir->file("trvdebug.log");
    ASSERT_EQ(vbvfw_log_open(log), 0);
    EXPECT_EQ(WriteThroughHandles(*s_clip, "/dev/full"), AVIERR_FILEWRITE);
    EXPECT_EQ(vbvfw_AVIFileOpen(s_dir->file("missing.avi"), kOpenRead), -1);
    vbvfw_log_write("a line of the caller's own");
    vbvfw_log_close();
    EXPECT_EQ(vbvfw_AVIFileOpen(s_dir->file("missing2.avi"), kOpenRead), -1);  // not logged
    std::ifstream in(log);
    std::string first, second, third, fourth;
    std::getline(in, first);
    std::getline(in, second);
    std::getline(in, third);
    EXPECT_FALSE(std::getline(in, fourth));
    EXPECT_NE(first.find("AVIFileRelease"), std::string::npos) << first;
    EXPECT_NE(first.find("/dev/full"), std::string::npos) << first;
    EXPECT_NE(first.find("0x8004406E (110)"), std::string::npos) << first;
    EXPECT_NE(second.find("AVIFileOpen"), std::string::npos) << second;
    EXPECT_NE(second.find("missing.avi"), std::string::npos) << second;
    EXPECT_NE(second.find("0x8004406F (111)"), std::string::npos) << second;
    EXPECT_EQ(third, "a line of the caller's own");
}

TEST_F(VbvfwHandlesTest, MovieCommandsGoToTheRegisteredDevice) {
    std::string reply = "an earlier reply";
    EXPECT_EQ(vbvfw_mciSendString("open avivideo", reply), 266);
    EXPECT_NE(reply, "an earlier reply");
    EXPECT_FALSE(reply.empty());
    std::string seen;
    vbvfw_set_mci_handler([&seen](const std::string& command, std::string& answer) {
        seen = command;
        answer = "1";
        return 0;
    });
    EXPECT_EQ(vbvfw_mciSendString("open avivideo", reply), 0);
    EXPECT_EQ(seen, "open avivideo");
    EXPECT_EQ(reply, "1");
}

}  // namespace
