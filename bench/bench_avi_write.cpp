// SPDX-License-Identifier: GPL-3.0-or-later
// Writing speed of our AVI writer: a 512 MiB join-shaped file (64 KiB video frames with their
// audio, several OpenDML parts) written from memory, compared with copying the same bytes by
// `cat` and with an ffmpeg stream copy of them, measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/avi/avi_writer.h"

#include "bench_support.h"

namespace {

using bench::Seconds;
using bench::Sync;
using bench::TimeCommand;

constexpr int kFrames = 8192;
constexpr int32_t kFrameBytes = 64 << 10;
constexpr int32_t kAudioBytes = 7056;  // 40 ms of 44.1 kHz 16-bit stereo

bool WriteFile(const std::string& path, uint64_t partLimit) {
    std::vector<uint8_t> frame(kFrameBytes);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 31 + 7);
    const std::vector<uint8_t> audio(kAudioBytes, 3);
    avi::WriterOptions options;
    options.riffPartLimit = partLimit;
    std::unique_ptr<avi::Writer> writer;
    if (avi::Writer::Create(path, options, &writer) != AVIERR_OK)
        return false;
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
    std::vector<uint8_t> bih(40, 0);
    bih[0] = 40;
    bih[4] = 64;
    bih[8] = 64;
    bih[12] = 1;
    bih[14] = 24;
    const std::vector<uint8_t> wave = {1,    0, 2, 0, 0x44, 0xAC, 0, 0, 0x10,
                                       0xB1, 2, 0, 4, 0,    16,   0, 0, 0};
    if (writer->addStream(v, &vs) != AVIERR_OK || writer->addStream(a, &as) != AVIERR_OK ||
        writer->setFormat(vs, bih.data(), 40) != AVIERR_OK ||
        writer->setFormat(as, wave.data(), 18) != AVIERR_OK) {
        return false;
    }
    for (int n = 0; n < kFrames; ++n) {
        frame[0] = static_cast<uint8_t>(n);
        if (writer->write(vs, n, 1, frame.data(), kFrameBytes, n % 25 == 0 ? kAviIfKeyFrame : 0,
                          nullptr, nullptr) != AVIERR_OK ||
            writer->write(as, int64_t{n} * (kAudioBytes / 4), kAudioBytes / 4, audio.data(),
                          kAudioBytes, 0, nullptr, nullptr) != AVIERR_OK) {
            return false;
        }
    }
    return writer->finish() == AVIERR_OK;
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "trelvane-bench-avi-write";
    std::filesystem::create_directories(dir);
    const std::string out = (dir / "written.avi").string();
    const std::string copy = (dir / "copy.avi").string();
    const std::string remux = (dir / "remux.avi").string();

    // One warm-up so that every contender writes into a file system in the same state.
    if (!WriteFile(out, 128ull << 20)) {
        std::fprintf(stderr, "writing failed\n");
        return 1;
    }
    // Best of three rounds; dirty pages are flushed before each timing so that no contender
    // pays for another's writeback.
    double ours = 1e9, cat = 1e9, ffmpeg = 1e9;
    bool ok = true;
    for (int round = 0; round < 3; ++round) {
        Sync();
        const auto start = std::chrono::steady_clock::now();
        ok = WriteFile(out, 128ull << 20) && ok;
        ours = std::min(ours, Seconds(start));
        Sync();
        cat = std::min(cat, TimeCommand("cat '" + out + "' > '" + copy + "'"));
        Sync();
        ffmpeg = std::min(
            ffmpeg, TimeCommand(std::string(TRELVANE_FFMPEG) + " -v error -nostdin -y -i '" + out +
                                "' -map 0 -c copy '" + remux + "'"));
    }
    const double mib = static_cast<double>(std::filesystem::file_size(out)) / (1 << 20);
    std::printf("avi write: %.0f MiB in %d frames with audio, 128 MiB parts\n", mib, kFrames);
    std::printf("  ours   %.3f s  %7.0f MiB/s%s\n", ours, mib / ours, ok ? "" : "  (FAILED)");
    std::printf("  cat    %.3f s  %7.0f MiB/s  ours/cat    = %.2f\n", cat, mib / cat, ours / cat);
    std::printf("  ffmpeg %.3f s  %7.0f MiB/s  ours/ffmpeg = %.2f\n", ffmpeg, mib / ffmpeg,
                ours / ffmpeg);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
}
