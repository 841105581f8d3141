// bench_mci: the movie device's decoding speed on 1280x720 clips, against ffmpeg decoding the
// same frames in the same run. Reports, per clip:
//   - ffmpeg: frames per second of `ffmpeg -i X -f null -` (whole clip);
//   - play: frames per second decoded and scaled for painting in order, and the ratio to ffmpeg;
//   - real time: frames shown out of frames due while playing at the clip's rate;
//   - seek: median and worst time to show a random frame, and the ratio to the time ffmpeg
//     needs for the frames such a seek has to decode (from the key frame at or before it).
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

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string MakeClip(const std::filesystem::path& dir, const std::string& name,
                     const std::string& codec) {
    const std::string path = (dir / name).string();
    if (!std::filesystem::exists(path)) {
        std::printf("making %s ...\n", path.c_str());
        Run(std::string(TRELVANE_FFMPEG) +
            " -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30 -t 20 " +
            codec + " " + path);
    }
    return path;
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
    return 0;
}
