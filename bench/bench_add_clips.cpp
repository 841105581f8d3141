// SPDX-License-Identifier: GPL-3.0-or-later
// Adding 500 clips of 1,000 frames to a job, inspection included, against reading the same files
// with cat in the same run (both from the page cache; the files are read once beforehand).
//   bench_add_clips [clips] [frames] [rounds]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "job/job.h"
#include "media/vbvfw.h"
#include "platform/scripted/memory_list_box.h"
#include "platform/scripted/scripted_dialogs.h"

#include "bench_support.h"

namespace {

using bench::Median;
using bench::Seconds;

using Clock = std::chrono::steady_clock;

void Put16(unsigned char* at, uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// A 25 fps MJPG-labelled clip: 1,000-byte frames, 8 kHz 8-bit mono PCM interleaved per frame.
bool WriteClip(const std::string& path, int frames) {
    const int16_t file = vbvfw_AVIFileOpen(path, kOpenWrite | kOpenCreate);
    if (file < 0) {
        return false;
    }
    AVISTREAMINFO video{};
    video.fccType = kStreamTypeVideo;
    video.fccHandler = 0x47504A4D;  // MJPG
    video.dwScale = 1;
    video.dwRate = 25;
    video.rcFrameRight = 640;
    video.rcFrameBottom = 480;
    unsigned char videoFormat[40] = {};
    Put32(videoFormat, 40);
    Put32(videoFormat + 4, 640);
    Put32(videoFormat + 8, 480);
    Put16(videoFormat + 12, 1);
    Put16(videoFormat + 14, 24);
    Put32(videoFormat + 16, 0x47504A4D);
    AVISTREAMINFO audio{};
    audio.fccType = kStreamTypeAudio;
    audio.dwScale = 1;
    audio.dwRate = 8000;
    audio.dwSampleSize = 1;
    unsigned char audioFormat[18] = {};
    Put16(audioFormat, 1);
    Put16(audioFormat + 2, 1);
    Put32(audioFormat + 4, 8000);
    Put32(audioFormat + 8, 8000);
    Put16(audioFormat + 12, 1);
    Put16(audioFormat + 14, 8);
    const int16_t v = vbvfw_AVIFileCreateStream(file, &video, 0);
    const int16_t a = vbvfw_AVIFileCreateStream(file, &audio, 0);
    bool ok = v >= 0 && a >= 0 && vbvfw_AVIStreamSetFormat(v, 0, videoFormat, 40) == 0 &&
              vbvfw_AVIStreamSetFormat(a, 0, audioFormat, 18) == 0;
    std::vector<unsigned char> frame(1000, 0x11);
    std::vector<unsigned char> sound(320, 0x80);
    int32_t samples = 0;
    int32_t bytes = 0;
    for (int i = 0; ok && i < frames; ++i) {
        ok = vbvfw_AVIStreamWrite(v, i, 1, frame.data(), 1000, kAviIfKeyFrame, &samples, &bytes) ==
                 0 &&
             vbvfw_AVIStreamWrite(a, int64_t{i} * 320, 320, sound.data(), 320, 0, &samples,
                                  &bytes) == 0;
    }
    return vbvfw_AVIFileRelease(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int clips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    vbvfw_AVIFileInit();
    const auto folder = std::filesystem::temp_directory_path() /
                        ("trelvane-bench-add-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    platform::MemoryListBox listFiles;
    std::string catCommand = "cd '" + folder.string() + "' && cat";
    uint64_t totalBytes = 0;
    for (int i = 0; i < clips; ++i) {
        const std::string name = "clip" + std::to_string(i) + ".avi";
        if (!WriteClip((folder / name).string(), frames)) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
        totalBytes += std::filesystem::file_size(folder / name);
        listFiles.addLine(name);
        listFiles.setSelected(i, true);
        catCommand += " " + name;
    }
    catCommand += " > /dev/null";

    std::vector<double> catTimes;
    std::vector<double> addTimes;
    int added = 0;
    if (std::system(catCommand.c_str()) != 0) {  // warm the page cache
        return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        if (std::system(catCommand.c_str()) != 0) {
            return 1;
        }
        catTimes.push_back(Seconds(start));

        platform::MemoryListBox listJoin;
        platform::ScriptedDialogs dialogs;  // any box would be a failure
        job::Job job(listJoin, dialogs);
        start = Clock::now();
        job.AddSelectedFiles(listFiles, folder.string());
        addTimes.push_back(Seconds(start));
        added = job.clipCount();
        if (!dialogs.verify()) {
            std::fprintf(stderr, "unexpected box: %s\n", dialogs.failures().front().c_str());
            return 1;
        }
    }
    std::filesystem::remove_all(folder);

    const double cat = Median(catTimes);
    const double add = Median(addTimes);
    std::printf("clips %d of %d frames, %.1f MB in all; median of %d rounds\n", clips, frames,
                static_cast<double>(totalBytes) / 1e6, rounds);
    std::printf("cat of the files:  %8.2f ms  (%.3f ms per clip)\n", cat * 1e3, cat * 1e3 / clips);
    std::printf("adding to the job: %8.2f ms  (%.3f ms per clip, %d added)\n", add * 1e3,
                add * 1e3 / clips, added);
    std::printf("ratio add / cat:   %8.3f\n", add / cat);
    return added == clips ? 0 : 1;
}
