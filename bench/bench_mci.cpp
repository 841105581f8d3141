// SPDX-License-Identifier: GPL-3.0-or-later
// bench_mci: the movie device's decoding speed on 1280x720 clips, against ffmpeg decoding the
// same frames in the same run. Reports, per clip:
//   - ffmpeg: frames per second of `ffmpeg -i X -f null -` (whole clip);
//   - play: frames per second decoded and scaled for painting in order, and the ratio to ffmpeg;
//   - real time: frames shown out of frames due while playing at the clip's rate;
//   - seek: median and worst time to show a random frame, and the ratio to the time ffmpeg
//     needs for the frames such a seek has to decode (from the key frame at or before it);
//   - end of play: how late the last frame is shown when playing to the end of the clip, in frame
//     periods (goal: within one);
// and, on a 1920x1080 H.264 clip with a key frame every 250 frames:
//   - stepping back: median time of one step back once the first step has filled the picture
//     cache, as a ratio to one cold seek to the same place (goal: under 1/10).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "platform/mci/frame_decoder.h"
#include "platform/mci/movie_player.h"
#include "platform/mci/picture_convert.h"

#include "bench_support.h"

namespace {

using bench::Median;
using bench::Seconds;

using Clock = std::chrono::steady_clock;

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string MakeClip(const std::filesystem::path& dir, const std::string& name,
                     const std::string& codec, const std::string& size = "1280x720",
                     int seconds = 20) {
    const std::string path = (dir / name).string();
    if (!std::filesystem::exists(path)) {
        std::printf("making %s ...\n", path.c_str());
        Run(std::string(TRELVANE_FFMPEG) +
            " -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=" + size + ":rate=30 -t " +
            std::to_string(seconds) + " " + codec + " " + path);
    }
    return path;
}

std::unique_ptr<avi::Reader> OpenReader(const std::string& path) {
    std::unique_ptr<avi::Reader> reader;
    if (avi::Reader::Open(path, avi::Limits(), &reader) != 0) {
        return nullptr;
    }
    return reader;
}

// Plays the last second of the clip through the player and reports how late the last frame
// was painted against the time it was due.
void BenchEndOfPlay(const std::string& path) {
    std::unique_ptr<avi::Reader> reader = OpenReader(path);
    if (!reader) {
        return;
    }
    const int stream = reader->findStream(kStreamTypeVideo, 0);
    mci::MoviePlayer player(std::move(reader), stream);
    player.setOutputSize(960, 540);
    const int64_t last = player.length() - 1;
    const int64_t from =
        std::max<int64_t>(last - static_cast<int64_t>(player.framesPerSecond()), 0);
    player.seek(from, true);
    player.waitSettled(true, 60000);
    std::atomic<int64_t> lastShownAt{0};
    const Clock::time_point start = Clock::now();
    player.setPictureSink([&] {
        const auto painted = player.paintedPicture();
        if (painted && painted->frame == last && lastShownAt == 0) {
            lastShownAt = (Clock::now() - start).count();
        }
    });
    player.play(from, last);
    player.waitSettled(true, 60000);
    player.setPictureSink(nullptr);
    const double period = 1.0 / player.framesPerSecond();
    const double due = static_cast<double>(last - from) * period;
    const double shown = std::chrono::duration<double>(Clock::duration(lastShownAt.load())).count();
    std::printf(
        "  end of play            last frame shown %.1f ms after it was due (%.2f frame "
        "periods; goal: within 1)\n",
        (shown - due) * 1e3, (shown - due) / period);
}

// One cold seek to a frame late in a long group, then steps back one frame at a time.
void BenchStepBack(const std::string& label, const std::string& path) {
    std::unique_ptr<avi::Reader> reader = OpenReader(path);
    if (!reader) {
        std::printf("%s: cannot open %s\n", label.c_str(), path.c_str());
        return;
    }
    const int stream = reader->findStream(kStreamTypeVideo, 0);
    auto decoder = mci::FrameDecoder::Create(*reader, stream);
    mci::PictureScaler scaler;
    mci::BgraPicture picture;
    const int64_t target = std::min<int64_t>(240, decoder->frameCount() - 1);
    Clock::time_point start = Clock::now();
    decoder->decodeTo(target, nullptr);
    scaler.toBgra(decoder->picture(), 960, 540, &picture);
    const double cold = Seconds(start);
    start = Clock::now();
    decoder->decodeTo(target - 1, nullptr);
    scaler.toBgra(decoder->picture(), 960, 540, &picture);
    const double firstStep = Seconds(start);
    std::vector<double> steps;
    for (int64_t n = target - 2; n >= std::max<int64_t>(target - 80, 0); --n) {
        start = Clock::now();
        decoder->decodeTo(n, nullptr);
        scaler.toBgra(decoder->picture(), 960, 540, &picture);
        steps.push_back(Seconds(start));
    }
    std::printf("%s (%lld frames, cache limit %zu MiB)\n", label.c_str(),
                static_cast<long long>(decoder->frameCount()),
                mci::FrameDecoder::kPictureCacheBytes >> 20);
    std::printf("  cold seek to %lld      %8.1f ms\n", static_cast<long long>(target), cold * 1e3);
    std::printf("  first step back       %8.1f ms\n", firstStep * 1e3);
    std::printf(
        "  step back (%zu steps)  median %.2f ms, worst %.1f ms; median / cold seek %.3f "
        "(goal: under 0.1)\n",
        steps.size(), Median(steps) * 1e3,
        steps.empty() ? 0.0 : *std::max_element(steps.begin(), steps.end()) * 1e3,
        Median(steps) / cold);
}

double FfmpegFps(const std::string& path, int64_t frames) {
    const Clock::time_point start = Clock::now();
    Run(std::string(TRELVANE_FFMPEG) + " -hide_banner -loglevel error -i " + path +
        " -map 0:v:0 -f null -");
    return frames / Seconds(start);
}

void BenchClip(const std::string& label, const std::string& path) {
    std::unique_ptr<avi::Reader> reader;
    if (avi::Reader::Open(path, avi::Limits(), &reader) != 0) {
        std::printf("%s: cannot open %s\n", label.c_str(), path.c_str());
        return;
    }
    const int stream = reader->findStream(kStreamTypeVideo, 0);
    auto decoder = mci::FrameDecoder::Create(*reader, stream);
    const int64_t frames = decoder->frameCount();
    const double ffmpegFps = FfmpegFps(path, frames);

    // In order, decoded and scaled for a 960x540 picture, as playback does.
    mci::PictureScaler scaler;
    mci::BgraPicture picture;
    Clock::time_point start = Clock::now();
    for (int64_t n = 0; n < frames; ++n) {
        decoder->decodeTo(n, nullptr);
        scaler.toBgra(decoder->picture(), 960, 540, &picture);
    }
    const double playFps = frames / Seconds(start);

    // Random seeks, each from wherever the decoder stands.
    std::mt19937 random(42);
    std::uniform_int_distribution<int64_t> pick(0, frames - 1);
    std::vector<double> seeks;
    double ffmpegEquivalent = 0;
    for (int i = 0; i < 40; ++i) {
        const int64_t target = pick(random);
        const int64_t key = std::max<int64_t>(decoder->keyFrameAtOrBefore(target), 0);
        start = Clock::now();
        decoder->decodeTo(target, nullptr);
        seeks.push_back(Seconds(start));
        ffmpegEquivalent += (target - key + 1) / ffmpegFps;
    }
    std::vector<double> sorted = seeks;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double s : seeks) {
        total += s;
    }

    // Real-time playback of 5 seconds through the player.
    auto player = std::make_shared<mci::MoviePlayer>(
        [&] {
            std::unique_ptr<avi::Reader> own;
            (void)avi::Reader::Open(path, avi::Limits(), &own);
            return own;
        }(),
        stream);
    std::atomic<int> shown{0};
    player->setOutputSize(960, 540);
    player->waitSettled(true, 10000);
    player->setPictureSink([&] { ++shown; });
    const int64_t playFrames = std::min<int64_t>(150, frames);
    player->play(0, playFrames - 1);
    player->waitSettled(true, 60000);

    std::printf("%s (%lld frames)\n", label.c_str(), static_cast<long long>(frames));
    std::printf("  ffmpeg decode          %8.1f frames/s\n", ffmpegFps);
    std::printf("  play decode+scale      %8.1f frames/s  ratio to ffmpeg %.2f\n", playFps,
                playFps / ffmpegFps);
    std::printf("  real-time play         %d of %lld frames shown at %.3g fps\n", shown.load(),
                static_cast<long long>(playFrames), player->framesPerSecond());
    std::printf(
        "  seek median %.1f ms, worst %.1f ms; ratio to ffmpeg's time for the same "
        "frames %.2f\n",
        sorted[sorted.size() / 2] * 1e3, sorted.back() * 1e3, total / ffmpegEquivalent);
    BenchEndOfPlay(path);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(TRELVANE_BINARY_DIR) / "bench" / "mci-data";
    std::filesystem::create_directories(dir);
    const std::string h264 = MakeClip(dir, "h264-720p-gop250.avi",
                                      "-c:v libx264 -preset veryfast -g 250 -pix_fmt yuv420p");
    const std::string mjpeg = MakeClip(dir, "mjpeg-720p.avi", "-c:v mjpeg -q:v 3");
    BenchClip("H.264 1280x720, key frame every 250", h264);
    BenchClip("MJPEG 1280x720", mjpeg);
    const std::string hd =
        MakeClip(dir, "h264-1080p-gop250.avi",
                 "-c:v libx264 -preset veryfast -g 250 -pix_fmt yuv420p", "1920x1080", 10);
    BenchStepBack("H.264 1920x1080, key frame every 250: stepping back", hd);
    return 0;
}
