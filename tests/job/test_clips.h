// Clips for the job tests: written by our own writer through the video-file operations, with
// the properties the compatibility checks look at, and byte patches that damage one field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/scripted/memory_list_box.h"
#include "platform/scripted/scripted_dialogs.h"
#include "support/test_support.h"

namespace job_testing {

struct ClipShape {
    std::string codec = "cvid";  // handler code and compression, four characters
    uint32_t rate = 30;
    uint32_t scale = 1;
    int32_t width = 320;
    int32_t height = 240;
    int frames = 10;
    int frameBytes = 64;
    bool video = true;
    bool audio = true;
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint16_t bitsPerSample = 16;
    uint32_t samplesPerSec = 22050;
    uint16_t blockAlign = 0;      // 0: channels x bytes per sample
    uint32_t avgBytesPerSec = 0;  // 0: samples per second x block align
};

// Writes the clip through vbvfw_*; false (with a test failure) when the writer refuses.
bool WriteClip(const std::string& path, const ClipShape& shape);

// Damaging a written clip: see testing_support.
using testing_support::PatchStreamFormat16;
using testing_support::PatchStreamHeader;

// strh payload offsets.
inline constexpr int kStrhRate = 24;
inline constexpr int kStrhScale = 20;
inline constexpr int kStrhStart = 28;
// WAVEFORMATEX offsets.
inline constexpr int kWaveBlockAlign = 12;

// What a job needs around it: the join list and scripted dialogs whose every mismatch fails the
// running test.
struct Boxes {
    Boxes();
    platform::MemoryListBox listJoin;
    platform::ScriptedDialogs dialogs;
};

}  // namespace job_testing
