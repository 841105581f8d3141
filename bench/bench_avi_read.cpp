// SPDX-License-Identifier: GPL-3.0-or-later
// Reading speed of our AVI reader on a ~500 MB file (720p-sized video frames with PCM audio):
// (1) opening with the index rebuilt by scanning (a copy whose idx1 is turned into JUNK) and
// (2) an indexed read of every sample, each as a ratio to `cat FILE > /dev/null` timed in the
// same run with the page cache warm. The files are made once in the build folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"

#include "bench_support.h"

namespace {

using bench::Seconds;
using bench::TimeCommand;

constexpr int kFrames = 7500;               // 5 minutes at 25 fps
constexpr uint32_t kAudioBytes = 1920 * 4;  // 40 ms of 48 kHz 16-bit stereo
constexpr int kRuns = 3;

template <typename F>
double Best(F&& f) {
    double best = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        best = std::min(best, f());
    }
    return best;
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    avi::WriteU32(v.data() + at, x);
}
void Add32(std::vector<uint8_t>& v, uint32_t x) {
    v.resize(v.size() + 4);
    Put32(v, v.size() - 4, x);
}
void AddId(std::vector<uint8_t>& v, const char* id) {
    v.insert(v.end(), id, id + 4);
}

// The headers of a 1280x720 MJPEG + PCM file, up to and including the movi list header.
std::vector<uint8_t> Headers() {
    std::vector<uint8_t> h;
    AddId(h, "RIFF"), Add32(h, 0), AddId(h, "AVI ");
    AddId(h, "LIST"), Add32(h, 4 + 64 + 2 * (12 + 64 + 8)), AddId(h, "hdrl");
    AddId(h, "avih"), Add32(h, 56);
    for (uint32_t x : {40000u, 0u, 0u, 0x910u, static_cast<uint32_t>(kFrames), 0u, 2u, 0u, 1280u,
                       720u, 0u, 0u, 0u, 0u}) {
        Add32(h, x);
    }
    struct S {
        const char* type;
        uint32_t scale, rate, length, sampleSize;
        std::vector<uint32_t> format;
    };
    const S streams[] = {
        {"vids", 1, 25, kFrames, 0, {40, 1280, 720, 0x180001, avi::FourCC("MJPG"), 0, 0, 0, 0, 0}},
        {"auds", 1, 48000, kFrames * 1920, 4, {0x20001, 48000, 192000, 0x100004}},
    };
    for (const S& s : streams) {
        const auto formatBytes = static_cast<uint32_t>(s.format.size() * 4);
        AddId(h, "LIST"), Add32(h, 4 + 64 + 8 + formatBytes), AddId(h, "strl");
        AddId(h, "strh"), Add32(h, 56), AddId(h, s.type), Add32(h, 0), Add32(h, 0), Add32(h, 0);
        Add32(h, 0), Add32(h, s.scale), Add32(h, s.rate), Add32(h, 0), Add32(h, s.length);
        Add32(h, 0), Add32(h, 0xFFFFFFFFu), Add32(h, s.sampleSize), Add32(h, 0), Add32(h, 0);
        AddId(h, "strf"), Add32(h, formatBytes);
        for (uint32_t x : s.format) {
            Add32(h, x);
        }
    }
    Put32(h, 16, static_cast<uint32_t>(h.size() - 20));
    AddId(h, "LIST"), Add32(h, 0), AddId(h, "movi");
    return h;
}

// Writes the indexed file and a copy whose idx1 is JUNK; false on failure.
bool MakeFiles(const std::string& indexed, const std::string& scanned) {
    std::vector<uint8_t> bytes = Headers();
    const size_t moviSize = bytes.size() - 8;
    const size_t moviFourcc = bytes.size() - 4;
    std::ofstream out(indexed, std::ios::binary | std::ios::trunc);
    std::vector<uint8_t> idx1;
    std::vector<uint8_t> payload(96 << 10);
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    }
    uint64_t pos = bytes.size();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    for (int f = 0; f < kFrames; ++f) {
        const uint32_t frame = 50000 + static_cast<uint32_t>(f * 7919 % 30001);  // 50-80 KB
        for (int s = 0; s < 2; ++s) {
            const uint32_t size = s == 0 ? frame : kAudioBytes;
            std::vector<uint8_t> h;
            AddId(h, s == 0 ? "00dc" : "01wb"), Add32(h, size);
            AddId(idx1, s == 0 ? "00dc" : "01wb"), Add32(idx1, 0x10);
            Add32(idx1, static_cast<uint32_t>(pos - moviFourcc)), Add32(idx1, size);
            out.write(reinterpret_cast<const char*>(h.data()), 8);
            out.write(reinterpret_cast<const char*>(payload.data()), size + (size & 1));
            pos += 8 + size + (size & 1);
        }
    }
    std::vector<uint8_t> tail;
    AddId(tail, "idx1"), Add32(tail, static_cast<uint32_t>(idx1.size()));
    out.write(reinterpret_cast<const char*>(tail.data()), 8);
    out.write(reinterpret_cast<const char*>(idx1.data()),
              static_cast<std::streamsize>(idx1.size()));
    const uint64_t end = pos + 8 + idx1.size();
    std::vector<uint8_t> sizes(4);
    Put32(sizes, 0, static_cast<uint32_t>(end - 8));
    out.seekp(4), out.write(reinterpret_cast<const char*>(sizes.data()), 4);
    Put32(sizes, 0, static_cast<uint32_t>(pos - moviSize - 4));
    out.seekp(static_cast<std::streamoff>(moviSize)),
        out.write(reinterpret_cast<const char*>(sizes.data()), 4);
    out.close();
    std::filesystem::copy_file(indexed, scanned, std::filesystem::copy_options::overwrite_existing);
    std::fstream damage(scanned, std::ios::binary | std::ios::in | std::ios::out);
    damage.seekp(static_cast<std::streamoff>(pos));
    damage.write("JUNK", 4);
    return out.good() && damage.good();
}

// Reads every video frame, and the audio belonging to each frame, as a join does.
double ReadEverySample(const avi::Reader& reader, uint64_t* total) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> buffer(reader.largestChunk(0) + reader.largestChunk(1));
    *total = 0;
    for (int64_t f = 0; f < reader.indexedSamples(0); ++f) {
        int64_t bytes = 0;
        int64_t samples = 0;
        if (reader.read(0, f, 1, buffer.data(), static_cast<int64_t>(buffer.size()), &bytes,
                        &samples) != AVIERR_OK ||
            reader.read(1, f * 1920, 1920, buffer.data(), static_cast<int64_t>(buffer.size()),
                        &bytes, &samples) != AVIERR_OK) {
            std::fprintf(stderr, "read failed at frame %lld\n", static_cast<long long>(f));
            return 1e30;
        }
        *total += static_cast<uint64_t>(bytes);
    }
    return Seconds(start);
}

}  // namespace

int main() {
    const std::filesystem::path dir = std::filesystem::path(TRELVANE_BINARY_DIR) / "bench-data";
    std::filesystem::create_directories(dir);
    const std::string indexed = (dir / "read_indexed.avi").string();
    const std::string scanned = (dir / "read_noidx.avi").string();
    if (!std::filesystem::exists(indexed) || !std::filesystem::exists(scanned)) {
        std::printf("making %s and its idx1-less copy...\n", indexed.c_str());
        if (!MakeFiles(indexed, scanned)) {
            std::fprintf(stderr, "could not write the benchmark files\n");
            return 1;
        }
    }
    const double mb = static_cast<double>(std::filesystem::file_size(indexed)) / 1e6;
    TimeCommand("cat '" + indexed + "' '" + scanned + "' > /dev/null");  // warm the page cache
    const double cat = Best([&] { return TimeCommand("cat '" + indexed + "' > /dev/null"); });
    const double catScanned =
        Best([&] { return TimeCommand("cat '" + scanned + "' > /dev/null"); });

    std::unique_ptr<avi::Reader> reader;
    const double scanOpen = Best([&] {
        const auto start = std::chrono::steady_clock::now();
        if (avi::Reader::Open(scanned, {}, &reader) != AVIERR_OK || !reader->indexRebuilt() ||
            reader->indexedSamples(0) != kFrames) {
            std::fprintf(stderr, "scanning open failed\n");
            return 1e30;
        }
        return Seconds(start);
    });
    const double indexedOpen = Best([&] {
        const auto start = std::chrono::steady_clock::now();
        if (avi::Reader::Open(indexed, {}, &reader) != AVIERR_OK || reader->indexRebuilt()) {
            std::fprintf(stderr, "indexed open failed\n");
            return 1e30;
        }
        return Seconds(start);
    });
    uint64_t bytes = 0;
    const double readAll = Best([&] { return ReadEverySample(*reader, &bytes); });

    std::printf("file: %.0f MB, %d frames + audio, %d chunks\n", mb, kFrames, 2 * kFrames);
    std::printf("cat FILE > /dev/null:        %8.3f s (%.0f MB/s)\n", cat, mb / cat);
    std::printf("open, index rebuilt by scan: %8.3f s = %.3f x cat\n", scanOpen,
                scanOpen / catScanned);
    std::printf("open with idx1:              %8.3f s = %.3f x cat\n", indexedOpen,
                indexedOpen / cat);
    std::printf("indexed read of every sample:%8.3f s = %.3f x cat (%.0f MB/s)\n", readAll,
                readAll / cat, mb / readAll);
    return 0;
}
