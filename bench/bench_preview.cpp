// SPDX-License-Identifier: GPL-3.0-or-later
// bench_preview: the preview window driven as a user drives it, on a 1920x1080 H.264 clip with a
// key frame every 250 frames. Reports, against one cold seek measured in the same run:
//   - scrub: 200 thumb moves over 4 s across the clip, then release; the pictures shown during
//     the drag per second, and the delay from release to the exact frame on screen as a ratio to
//     the cold seek (goals: at least 4 per second, at most 1.2x);
//   - splice: in the joined view of two segments, the time between the last picture of the first
//     segment and the first picture of the second, less one frame's time (goal under 150 ms).
#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "media/clip_inspection.h"
#include "platform/mci/mci_service.h"
#include "platform/scripted/scripted_dialogs.h"
#include "preview/frm_preview.h"

namespace {

constexpr int kFrames = 500;
constexpr double kFrameMs = 40.0;

std::string MakeClip() {
    const std::filesystem::path dir = std::filesystem::path(TRELVANE_BINARY_DIR) / "bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "preview_1080p_gop250.avi").string();
    if (!std::filesystem::exists(path)) {
        std::printf("making %s ...\n", path.c_str());
        const std::string command =
            std::string(TRELVANE_FFMPEG) +
            " -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 "
            "-frames:v " +
            std::to_string(kFrames) +
            " -c:v libx264 -preset veryfast -g 250 -keyint_min 250 -sc_threshold 0 -bf 2"
            " -pix_fmt yuv420p " +
            path;
        if (std::system(command.c_str()) != 0) {
            return {};
        }
    }
    return path;
}

// Runs events until the condition holds; the milliseconds it took, or -1 after the limit.
double WaitMs(const std::function<bool()>& condition, int limitMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs) {
            return -1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

int64_t ShownFrame(mci::MciService& device) {
    mci::QtMovie* movie = device.movie("movie");
    int64_t frame = -1;
    if (movie) {
        movie->player().shownPicture(&frame);
    }
    return frame;
}

ClipInfo Entry(const std::string& path, int leadIn, int leadOut) {
    ClipInfo clip{};
    clip.fileName = path;
    LoadClipInfo(clip);
    clip.leadIn = leadIn;
    clip.leadOut = leadOut;
    clip.segmentFrames = leadOut - leadIn + 1;
    return clip;
}

void Open(preview::frmPreview& window, std::vector<ClipInfo> clips, int index,
          mci::MciService& device) {
    window.logic().setClips(std::move(clips));
    window.logic().InitPreview(index, 0);
    window.logic().OpenMovie(preview::OpenMode::Cue);
    window.show();
    WaitMs([&] { return window.logic().settled() && ShownFrame(device) >= 0; });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string path = MakeClip();
    if (path.empty()) {
        std::printf("cannot make the clip\n");
        return 1;
    }
    mci::WindowRegistry windows;
    mci::MciService device(windows);
    device.install();
    platform::ScriptedDialogs dialogs;
    settings::SharedTexts texts;
    preview::frmPreview window(dialogs, texts, nullptr,
                               [&windows](QWidget* w) { return windows.add(w); });
    QSlider* slider = window.findChild<QSlider*>("Slider1");

    // One cold seek: 240 frames past the key frame, from the clip's start.
    Open(window, {Entry(path, 0, kFrames - 1)}, 0, device);
    const int target = 490;
    QElapsedTimer timer;
    timer.start();
    window.logic().SeekClipFrame(target);
    WaitMs([&] { return ShownFrame(device) == target; });
    const double coldMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    window.logic().SeekClipFrame(0);
    WaitMs([&] { return ShownFrame(device) == 0 && window.logic().settled(); });

    // The drags: 200 moves, one every 20 ms, then release. Forward to the cold seek's target,
    // then backwards to frame 240 (240 past its key frame, away from what was just decoded).
    auto drag = [&](int from, int to, const char* label) {
        int pictures = 0;
        int64_t last = ShownFrame(device);
        slider->setSliderDown(true);
        timer.restart();
        for (int move = 1; move <= 200; ++move) {
            slider->setSliderPosition(from + (to - from) * move / 200);
            const qint64 until = move * 20;
            while (timer.elapsed() < until) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                const int64_t now = ShownFrame(device);
                pictures += now != last ? 1 : 0;
                last = now;
                QThread::usleep(200);
            }
        }
        const double dragSeconds = static_cast<double>(timer.elapsed()) / 1000.0;
        timer.restart();
        slider->setSliderDown(false);
        WaitMs([&] { return ShownFrame(device) == to && window.logic().settled(); });
        const double releaseMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("scrub %s: %d pictures in %.2f s of drag (%.1f per second, goal >= 4)\n", label,
                    pictures, dragSeconds, pictures / dragSeconds);
        std::printf("scrub %s: release to exact frame %.1f ms = %.2fx cold seek (goal <= 1.2x)\n",
                    label, releaseMs, releaseMs / coldMs);
    };
    std::printf("cold seek to frame %d: %.1f ms\n", target, coldMs);
    drag(10, target, "forward 10..490");
    drag(target, 240, "backward 490..240");
    window.logic().closeRequest();

    // Joined playback across one splice: frames 200..249 of the clip, then 250..299 of a copy
    // (another file, so the splice opens it as a join of two clips does).
    const std::string copy = path + ".copy.avi";
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::skip_existing);
    Open(window, {Entry(path, 200, 249), Entry(copy, 250, 299)}, -1, device);
    window.logic().TogglePlay();
    QElapsedTimer clock;
    clock.start();
    double lastOfFirst = -1;
    double firstOfSecond = -1;
    WaitMs([&] {
        const int64_t frame = ShownFrame(device);
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (window.logic().currentClip() == 0 && frame == 249 && lastOfFirst < 0) {
            lastOfFirst = now;
        }
        if (window.logic().currentClip() == 1 && frame >= 250) {
            firstOfSecond = now;
            return true;
        }
        return false;
    });
    window.logic().closeRequest();
    const double gap = firstOfSecond - lastOfFirst - kFrameMs;
    std::printf(
        "splice: next segment's first picture %.1f ms after the last one's time "
        "ended (goal < 150 ms)\n",
        gap);
    window.unload();
    return 0;
}
