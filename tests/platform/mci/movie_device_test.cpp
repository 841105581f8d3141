// SPDX-License-Identifier: GPL-3.0-or-later
// The movie device through its command strings, on Qt's offscreen platform with real clips:
// what is shown after seeks, key frames, playback, stop, cue, and the errors of an open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "media/vbvfw.h"
#include "platform/mci/mci_errors.h"
#include "platform/mci/mci_service.h"
#include "platform/mci/picture_convert.h"
#include "support/clip_builder.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using testing_support::Ffmpeg;
using testing_support::ShellQuote;
using testing_support::TempDir;

constexpr int kFrames = 50;

// Replaces every occurrence of a four-character code in a file's bytes.
void PatchFourCc(const std::string& path, const std::string& from, const std::string& to) {
    std::vector<unsigned char> bytes = testing_support::ReadFileBytes(path);
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::equal(from.begin(), from.end(), bytes.begin() + static_cast<long>(i))) {
            std::copy(to.begin(), to.end(), bytes.begin() + static_cast<long>(i));
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

class MovieDeviceTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "movie_device_test";
        static char* argv[] = {name, nullptr};
        s_app = new QApplication(argc, argv);
        s_dir = new TempDir();
        const std::string source = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 ";
        s_h264 = s_dir->file("h264.avi");
        s_mjpeg = s_dir->file("clip with blanks.avi");
        s_ok = Ffmpeg(source + "-c:v libx264 -g 40 -bf 3 -pix_fmt yuv420p " + s_h264) &&
               Ffmpeg(source + "-c:v mjpeg -q:v 4 " + ShellQuote(s_mjpeg));
        if (s_ok) {
            s_reference = testing_support::FfmpegRawFrames(s_h264, "yuv420p");
            s_ok = !s_reference.empty();
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        delete s_app;
    }

  protected:
    void SetUp() override {
        ASSERT_TRUE(s_ok) << "test clips could not be made";
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 300);
        m_windowId = m_windows.add(m_window.get());
        m_service = std::make_unique<mci::MciService>(m_windows);
        m_service->install();
    }
    void TearDown() override {
        m_service.reset();
        m_window.reset();
    }

    int32_t send(const std::string& command) { return vbvfw_mciSendString(command, m_reply); }

    int32_t openMovie(const std::string& path) {
        return send("open \"" + path + "\" alias movie style child parent " +
                    std::to_string(m_windowId));
    }

    // Polls the mode as the preview does, letting window events run, until it is not word.
    std::string waitWhileMode(const std::string& word, int limitMs = 20000) {
        QElapsedTimer timer;
        timer.start();
        while (send("status movie mode ") == 0 && m_reply == word && timer.elapsed() < limitMs) {
            QCoreApplication::processEvents();
            QThread::msleep(2);
        }
        return m_reply;
    }

    int64_t position() {
        EXPECT_EQ(0, send("status movie position"));
        return std::stoll(m_reply);
    }

    // The decoded picture shown equals ffmpeg's frame n.
    void expectPictureIsFrame(int n) {
        int64_t frame = -1;
        mci::SharedFrame picture = m_service->movie("movie")->player().shownPicture(&frame);
        std::vector<uint8_t> bytes;
        std::string format;
        ASSERT_TRUE(mci::PackPicture(picture.get(), &bytes, &format)) << "frame " << n;
        EXPECT_EQ("yuv420p", format);
        ASSERT_EQ(s_reference.size(), bytes.size() * kFrames);
        const auto begin = s_reference.begin() + static_cast<long>(bytes.size()) * n;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), begin)) << "frame " << n;
    }

    static inline QApplication* s_app = nullptr;
    static inline TempDir* s_dir = nullptr;
    static inline bool s_ok = false;
    static inline std::string s_h264;
    static inline std::string s_mjpeg;
    static inline std::vector<unsigned char> s_reference;

    std::unique_ptr<QWidget> m_window;
    mci::WindowRegistry m_windows;
    int64_t m_windowId = 0;
    std::unique_ptr<mci::MciService> m_service;
    std::string m_reply;
};

TEST_F(MovieDeviceTest, SeekShowsExactlyTheTargetFrameInAnyDirection) {
    ASSERT_EQ(0, send("open avivideo"));
    ASSERT_EQ(0, openMovie(s_h264));
    ASSERT_EQ(0, send("put movie window client at 10 40 320 240"));
    ASSERT_EQ(0, send("set movie seek exactly on"));
    // First, middle, the key frame at 40, frames just before and after it, the last one,
    // then backwards into the first group again.
    for (int target : {0, 25, 40, 39, 41, 49, 3, 26}) {
        ASSERT_EQ(0, send("seek movie to " + std::to_string(target)));
        EXPECT_EQ(target, position()) << "the position answers the target at once";
        EXPECT_EQ("stopped", waitWhileMode("seeking"));
        EXPECT_EQ(target, position());
        expectPictureIsFrame(target);
    }
    // The picture is a child of the registered window, placed where it was put, and painted at
    // that size.
    QWidget* picture = m_service->movie("movie")->pictureWidget();
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(m_window.get(), picture->parentWidget());
    EXPECT_EQ(QRect(10, 40, 320, 240), picture->geometry());
    auto painted = m_service->movie("movie")->player().paintedPicture();
    ASSERT_TRUE(painted);
    EXPECT_EQ(320, painted->width);
    EXPECT_EQ(240, painted->height);
    ASSERT_EQ(0, send("close movie"));
    ASSERT_EQ(0, send("close avivideo"));
}

TEST_F(MovieDeviceTest, ReferenceAgreesWithTheIndexForEveryFrame) {
    ASSERT_EQ(0, openMovie(s_h264));
    const int16_t file = vbvfw_AVIFileOpen(s_h264, kOpenRead);
    ASSERT_GE(file, 0);
    const int16_t stream = vbvfw_AVIFileGetStream(file, kStreamTypeVideo, 0);
    ASSERT_GE(stream, 0);
    int keys = 0;
    for (int n = 0; n < kFrames; ++n) {
        ASSERT_EQ(0, send("status movie reference " + std::to_string(n)));
        const int64_t key = vbvfw_AVIStreamFindSample(stream, n, kFindPrev | kFindKey);
        EXPECT_EQ(std::to_string(key), m_reply) << "frame " << n;
        keys += key == n ? 1 : 0;
    }
    EXPECT_EQ(2, keys);  // frames 0 and 40
    EXPECT_EQ(mci::kErrOutOfRange, send("status movie reference 50"));
    vbvfw_AVIStreamRelease(stream);
    vbvfw_AVIFileRelease(file);
}

TEST_F(MovieDeviceTest, PlayRunsInRealTimeAndEndsStoppedAtTheLastFrameAsked) {
    ASSERT_EQ(0, openMovie(s_h264));
    ASSERT_EQ(0, send("set movie seek exactly on"));
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(0, send("play movie from 5 to 20"));
    ASSERT_EQ(0, send("status movie mode"));
    EXPECT_EQ("playing", m_reply);
    EXPECT_EQ("stopped", waitWhileMode("playing"));
    // 16 frames at 25 per second: it takes about 0.6 s, never much less.
    EXPECT_GE(timer.elapsed(), 500);
    EXPECT_EQ(20, position());
    expectPictureIsFrame(20);
    // Without "from", play starts at the position; "to" below it is refused.
    EXPECT_EQ(mci::kErrOutOfRange, send("play movie to 19"));
    ASSERT_EQ(0, send("play movie to 22"));
    EXPECT_EQ("stopped", waitWhileMode("playing"));
    EXPECT_EQ(22, position());
}

TEST_F(MovieDeviceTest, StopHoldsThePositionAndCueLeavesPaused) {
    ASSERT_EQ(0, openMovie(s_mjpeg));
    ASSERT_EQ(0, send("set movie seek exactly on"));
    ASSERT_EQ(0, send("cue movie output to 7"));
    EXPECT_EQ("paused", waitWhileMode("seeking"));
    EXPECT_EQ(7, position());
    ASSERT_EQ(0, send("play movie from 0 to 49"));
    QThread::msleep(300);
    ASSERT_EQ(0, send("stop movie"));
    ASSERT_EQ(0, send("status movie mode"));
    EXPECT_EQ("stopped", m_reply);
    const int64_t stoppedAt = position();
    EXPECT_GT(stoppedAt, 0);
    EXPECT_LT(stoppedAt, 49);
    QThread::msleep(200);
    EXPECT_EQ(stoppedAt, position());
    // One past the last frame is a valid target and shows the last picture.
    ASSERT_EQ(0, send("seek movie to 50"));
    EXPECT_EQ("stopped", waitWhileMode("seeking"));
    EXPECT_EQ(50, position());
    int64_t frame = -1;
    EXPECT_TRUE(m_service->movie("movie")->player().shownPicture(&frame));
    EXPECT_EQ(49, frame);
    EXPECT_EQ(mci::kErrOutOfRange, send("seek movie to 51"));
}

TEST_F(MovieDeviceTest, OpenFailuresAreReportedAndLeaveTheAliasFree) {
    EXPECT_EQ(mci::kErrFileNotFound, openMovie(s_dir->file("missing.avi")));
    EXPECT_FALSE(m_reply.empty());
    const std::string text = s_dir->file("text.avi");
    std::ofstream(text) << "not a movie at all";
    EXPECT_EQ(mci::kErrInvalidFile, openMovie(text));
    EXPECT_EQ(mci::kErrCreateWindow,
              send("open \"" + s_mjpeg + "\" alias movie style child parent 999"));
    ASSERT_EQ(0, openMovie(s_mjpeg));
    EXPECT_EQ(mci::kErrDuplicateAlias, openMovie(s_mjpeg));
    EXPECT_EQ(0, send("close movie"));
    EXPECT_EQ(mci::kErrInvalidDeviceName, send("status movie mode"));
}

TEST_F(MovieDeviceTest, UnknownCodecStillOpensAndSteps) {
    const std::string path = s_dir->file("unknown.avi");
    ASSERT_TRUE(Ffmpeg("-i " + ShellQuote(s_mjpeg) + " -c copy -vtag MJPG " + path));
    PatchFourCc(path, "MJPG", "QQZZ");
    PatchFourCc(path, "mjpg", "qqzz");
    ASSERT_EQ(0, openMovie(path));
    ASSERT_EQ(0, send("seek movie to 12"));
    EXPECT_EQ("stopped", waitWhileMode("seeking"));
    EXPECT_EQ(12, position());
    mci::QtMovie* movie = m_service->movie("movie");
    EXPECT_FALSE(movie->player().codecKnown());
    EXPECT_NE(std::string::npos, movie->player().codecText().find("QQZZ"));
    EXPECT_FALSE(movie->player().shownPicture());
    // The picture widget paints its note instead of a frame.
    QImage image(160, 120, QImage::Format_RGB32);
    movie->pictureWidget()->resize(160, 120);
    movie->pictureWidget()->render(&image);
    EXPECT_EQ(QColor(128, 128, 128), image.pixelColor(2, 2));
}

TEST_F(MovieDeviceTest, PauseHoldsPlaybackAndResumeFinishesIt) {
    ASSERT_EQ(0, openMovie(s_mjpeg));
    ASSERT_EQ(0, send("play movie from 0 to 12"));
    QThread::msleep(150);
    ASSERT_EQ(0, send("pause movie"));
    ASSERT_EQ(0, send("status movie mode"));
    EXPECT_EQ("paused", m_reply);
    const int64_t pausedAt = position();
    QThread::msleep(300);
    EXPECT_EQ(pausedAt, position());
    EXPECT_LT(pausedAt, 12);
    ASSERT_EQ(0, send("resume movie"));
    EXPECT_EQ("stopped", waitWhileMode("playing"));
    EXPECT_EQ(12, position());
}

// A window that goes away, or a rectangle no screen could hold, must not bring the device down.
TEST_F(MovieDeviceTest, SurvivesItsParentWindowAndAbsurdRectangles) {
    ASSERT_EQ(0, openMovie(s_mjpeg));
    ASSERT_EQ(0, send("put movie window client at 0 0 2000000000 2000000000"));
    ASSERT_EQ(0, send("seek movie to 30"));
    EXPECT_EQ("stopped", waitWhileMode("seeking"));
    auto painted = m_service->movie("movie")->player().paintedPicture();
    ASSERT_TRUE(painted);
    EXPECT_LE(painted->width, 3840);
    EXPECT_LE(painted->height, 2160);
    m_window.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(nullptr, m_service->movie("movie")->pictureWidget());
    ASSERT_EQ(0, send("put movie window client at 0 0 50 40"));
    ASSERT_EQ(0, send("play movie from 30 to 35"));
    EXPECT_EQ("stopped", waitWhileMode("playing"));
    EXPECT_EQ(35, position());
    EXPECT_EQ(0, send("close movie"));
    EXPECT_EQ(mci::kErrCreateWindow, openMovie(s_mjpeg));
}

// A picture as large as a header may claim costs what decoding it costs, no more: what is painted
// keeps within a 4K screen, whatever the window.
TEST_F(MovieDeviceTest, An8192By8192PictureIsPaintedAtMost4K) {
    const std::string path = s_dir->file("8192.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i color=c=gray:s=8192x8192:d=0.4:r=5 -c:v mjpeg -q:v 31 " + path));
    ASSERT_EQ(0, openMovie(path));
    ASSERT_EQ(0, send("seek movie to 1"));
    EXPECT_EQ("stopped", waitWhileMode("seeking"));
    auto painted = m_service->movie("movie")->player().paintedPicture();
    ASSERT_TRUE(painted);
    EXPECT_EQ(painted->width, 2160);
    EXPECT_EQ(painted->height, 2160);
    EXPECT_EQ(0, send("close movie"));
}

// Stopping while pictures are being scaled: the position answered at once and after the player
// has settled is the frame of the picture painted, every time.
TEST_F(MovieDeviceTest, AfterStopThePositionIsThePictureOnScreen) {
    const std::string path = s_dir->file("640x360.avi");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=640x360:rate=25:duration=3 -c:v mjpeg " + path));
    ASSERT_EQ(0, openMovie(path));
    ASSERT_EQ(0, send("put movie window client at 0 0 1280 720"));
    mci::QtMovie* movie = m_service->movie("movie");
    for (int round = 0; round < 40; ++round) {
        // (A stop before the first picture was painted paints the frame stopped at.)
        ASSERT_EQ(0, send("play movie from 0 to 74"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 40 + round % 9 * 7) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        ASSERT_EQ(0, send("stop movie"));
        const int64_t stoppedAt = position();
        ASSERT_TRUE(movie->waitSettled(true, 5000));
        EXPECT_EQ(stoppedAt, position()) << "round " << round;
        auto painted = movie->player().paintedPicture();
        ASSERT_TRUE(painted) << "round " << round << " at " << stoppedAt;
        EXPECT_EQ(stoppedAt, painted->frame) << "round " << round;
    }
}

// A header that claims far more frames than the file holds: the frames beyond what is stored
// answer at once, with no picture, and the stored ones still show theirs.
TEST_F(MovieDeviceTest, FramesTheFileDoesNotHoldAnswerAtOnce) {
    const std::string path = s_dir->file("claims-more.avi");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.4 -c:v mjpeg " + path));
    ASSERT_TRUE(clips::PatchStreamHeader(path, "vids", clips::kStrhLength, 0x7FFFFFFF));
    ASSERT_EQ(0, openMovie(path));
    ASSERT_EQ(0, send("set movie seek exactly on"));
    ASSERT_EQ(0, send("status movie length"));
    EXPECT_EQ("2147483647", m_reply);
    for (const char* target : {"end", "2147483646", "1000", "5"}) {
        ASSERT_EQ(0, send(std::string("seek movie to ") + target));
        EXPECT_EQ("stopped", waitWhileMode("seeking", 2000)) << target;
    }
    EXPECT_EQ(5, position());
    EXPECT_TRUE(m_service->movie("movie")->player().shownPicture());
    ASSERT_EQ(0, send("seek movie to 20"));
    EXPECT_EQ("stopped", waitWhileMode("seeking", 2000));
    EXPECT_FALSE(m_service->movie("movie")->player().shownPicture());
}

}  // namespace
