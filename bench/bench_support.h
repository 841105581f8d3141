// SPDX-License-Identifier: GPL-3.0-or-later
// What every benchmark measures with: seconds since a moment, the median of runs, and the time a
// reference command takes.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

inline double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs a shell command (a reference such as cat or ffmpeg) and returns how long it took.
inline double TimeCommand(const std::string& command) {
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    }
    return Seconds(start);
}

// Writes back every dirty page, so that no run pays for the write-back of the one before.
inline void Sync() {
    (void)TimeCommand("sync");
}

}  // namespace bench
