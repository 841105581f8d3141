// SPDX-License-Identifier: GPL-3.0-or-later
// The movie device with sound through a real audio output: a PulseAudio server with a null sink
// that the test starts in a private folder, so that it runs without a sound card (as in CI).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <string>

#include "media/vbvfw.h"
#include "platform/mci/mci_service.h"
#include "support/qt_test_app.h"
#include "support/test_support.h"

namespace {

using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

class MovieSoundTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        const std::string env = "env HOME=" + ShellQuote(s_dir->path().string()) +
                                " XDG_RUNTIME_DIR=" + ShellQuote(s_dir->path().string()) +
                                " PULSE_RUNTIME_PATH=" + ShellQuote(s_dir->file("pulse")) + " ";
        s_stop =
            env + "pulseaudio --kill || kill $(cat " + ShellQuote(s_dir->file("pulse/pid")) + ")";
        // The server ends by itself 10 s after its last client, also when this test crashed.
        const auto started = RunCommand(env +
                                        "pulseaudio -n --daemonize=yes --exit-idle-time=10 "
                                        "--load='module-null-sink sink_name=null' "
                                        "--load='module-native-protocol-unix auth-anonymous=1'");
        if (started.exitCode != 0) {
            s_why = "no PulseAudio server could be started: " + started.output;
            return;
        }
        setenv("PULSE_SERVER", ("unix:" + s_dir->file("pulse") + "/native").c_str(), 1);
        testing_support::EnsureQtApplication();
    }
    static void TearDownTestSuite() {
        if (!s_stop.empty()) {
            RunCommand(s_stop);
        }
        delete s_dir;
    }

  protected:
    void SetUp() override {
        if (!s_why.empty()) {
            GTEST_SKIP() << s_why;
        }
    }

    static inline TempDir* s_dir = nullptr;
    static inline std::string s_stop;
    static inline std::string s_why;
};

// Stop and close with no events processed between them, while the sink is starting, running
// or stopping: the sound must go down cleanly every time.
TEST_F(MovieSoundTest, StopThenCloseWhilePlayingSoundNeverCrashes) {
    const std::string clip = s_dir->file("sound.avi");
    ASSERT_TRUE(testing_support::Ffmpeg(
        "-f lavfi -i testsrc2=size=160x120:rate=25:duration=3 -f lavfi -i "
        "sine=frequency=440:sample_rate=44100:duration=3 -c:v mjpeg -c:a pcm_s16le " +
        clip));
    QWidget window;
    window.resize(320, 240);
    mci::WindowRegistry windows;
    const int64_t windowId = windows.add(&window);
    mci::MciService service(windows);
    service.install();
    std::string reply;
    const std::string open =
        "open \"" + clip + "\" alias movie style child parent " + std::to_string(windowId);
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(0, vbvfw_mciSendString(open, reply)) << reply;
        if (!service.movie("movie")->hasSound()) {
            GTEST_SKIP() << "the movie device finds no audio output (built without Qt Multimedia?)";
        }
        ASSERT_EQ(0, vbvfw_mciSendString("play movie from 0 to 74", reply));
        // Let the sink get to different stages: not started, starting, playing.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < round % 7 * 5) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        ASSERT_EQ(0, vbvfw_mciSendString("stop movie", reply));
        ASSERT_EQ(0, vbvfw_mciSendString("close movie", reply));
    }
    QCoreApplication::processEvents();
}

}  // namespace
