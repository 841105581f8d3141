// SPDX-License-Identifier: GPL-3.0-or-later
// The reader against the real-world files of the shared corpus: each opens or fails as a real AVI
// reader would, and every sample of every stream reads to the end.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/avi/avi_reader.h"
#include "support/ffmpeg_judge.h"
#include "support/test_support.h"

namespace {

using avi::Reader;

std::string CorpusFile(const std::string& name) {
    return (testing_support::CorpusDir() / name).string();
}

std::unique_ptr<Reader> OpenOk(const std::string& name) {
    std::unique_ptr<Reader> reader;
    const int32_t status = Reader::Open(CorpusFile(name), avi::Limits{}, &reader);
    EXPECT_EQ(status, AVIERR_OK) << name;
    return reader;
}

struct StreamTally {
    int64_t samples = 0;  // samples read successfully
    int64_t keys = 0;     // samples findSample reports as key
    int64_t bytes = 0;
    int32_t firstFailure = AVIERR_OK;
    std::vector<int64_t> sizes;  // chunk-per-sample streams: bytes of each sample
};

// findSample over drop frames against a plain walk of the sample sizes.
void ExpectAnySearchSkipsDropFrames(const Reader& reader, int s,
                                    const std::vector<int64_t>& sizes) {
    const int64_t first = reader.streamInfo(s).dwStart;
    const auto n = static_cast<int64_t>(sizes.size());
    std::vector<int64_t> next(sizes.size() + 1, -1);
    for (int64_t i = n - 1; i >= 0; --i) {
        next[static_cast<size_t>(i)] =
            sizes[static_cast<size_t>(i)] > 0 ? first + i : next[static_cast<size_t>(i) + 1];
    }
    int64_t prev = -1;
    for (int64_t i = 0; i < n; ++i) {
        prev = sizes[static_cast<size_t>(i)] > 0 ? first + i : prev;
        ASSERT_EQ(reader.findSample(s, first + i, kFindPrev | kFindAny), prev) << i;
        ASSERT_EQ(reader.findSample(s, first + i, kFindNext | kFindAny),
                  next[static_cast<size_t>(i)])
            << i;
    }
}

// Reads every sample of a stream one at a time (audio blocks in runs), as the join does.
StreamTally ReadAll(const Reader& reader, int s) {
    StreamTally t;
    const AVISTREAMINFO info = reader.streamInfo(s);
    const int64_t end = static_cast<int64_t>(info.dwStart) + info.dwLength;
    std::vector<uint8_t> buffer(std::max<uint32_t>(info.dwSuggestedBufferSize, 1) * 4 + 65536);
    for (int64_t pos = info.dwStart; pos < end;) {
        int64_t bytes = 0;
        int64_t samples = 0;
        const int64_t count =
            info.dwSampleSize > 0 ? static_cast<int64_t>(buffer.size() / info.dwSampleSize) : 1;
        const int32_t status = reader.read(s, pos, count, buffer.data(),
                                           static_cast<int64_t>(buffer.size()), &bytes, &samples);
        if (status != AVIERR_OK || samples == 0) {
            t.firstFailure = status;
            break;
        }
        for (int64_t i = 0; i < samples && info.dwSampleSize == 0; ++i) {
            t.keys += reader.findSample(s, pos + i, kFindPrev | kFindKey) == pos + i ? 1 : 0;
            t.sizes.push_back(bytes);
        }
        t.samples += samples;
        t.bytes += bytes;
        pos += samples;
    }
    return t;
}

TEST(CorpusReader, EveryFileOpensOrIsRefusedAndReadsToTheEnd) {
    TRELVANE_SKIP_WITHOUT_CORPUS();
    const std::map<std::string, int32_t> refused = {
        {"invalid-riff-form-not-avi.avi", AVIERR_BADFORMAT},
        {"not-riff-mpeg-ps-named-avi.avi", AVIERR_BADFORMAT},
    };
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testing_support::CorpusDir())) {
        if (entry.path().extension() != ".avi") {
            continue;
        }
        ++files;
        const std::string name = entry.path().filename().string();
        std::unique_ptr<Reader> reader;
        const int32_t status = Reader::Open(entry.path().string(), avi::Limits{}, &reader);
        if (auto it = refused.find(name); it != refused.end()) {
            EXPECT_EQ(status, it->second) << name;
            EXPECT_EQ(reader, nullptr) << name;
            continue;
        }
        ASSERT_EQ(status, AVIERR_OK) << name;
        for (int s = 0; s < reader->streamCount(); ++s) {
            const StreamTally t = ReadAll(*reader, s);
            ExpectAnySearchSkipsDropFrames(*reader, s, t.sizes);
            // Everything the index holds reads; only what the header promises beyond it fails.
            EXPECT_EQ(t.samples, reader->indexedSamples(s)) << name << " stream " << s;
            if (t.samples < reader->streamInfo(s).dwLength) {
                EXPECT_EQ(t.firstFailure, AVIERR_FILEREAD) << name << " stream " << s;
            }
        }
    }
    EXPECT_EQ(files, 58);
}

// Every stream of every file ffmpeg can read: chunk-per-sample streams give ffmpeg's packets
// (drop frames aside), block-addressed audio gives ffmpeg's bytes. The one difference allowed is
// the cut-off last frame of a truncated file, which ffmpeg hands out short and we drop.
TEST(CorpusReader, EveryStreamAgreesWithFfmpeg) {
    TRELVANE_SKIP_WITHOUT_CORPUS();
    if (testing_support::FfmpegPath().empty()) {
        GTEST_SKIP() << "ffmpeg not found";
    }
    for (const auto& entry : std::filesystem::directory_iterator(testing_support::CorpusDir())) {
        std::unique_ptr<Reader> reader;
        if (entry.path().extension() != ".avi" ||
            Reader::Open(entry.path().string(), avi::Limits{}, &reader) != AVIERR_OK) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        for (uint32_t type : {kStreamTypeVideo, kStreamTypeAudio}) {
            const int s = reader->findStream(type, 0);
            if (s < 0 || reader->indexedSamples(s) == 0) {
                continue;
            }
            const std::string map = type == kStreamTypeVideo ? "0:v:0" : "0:a:0";
            const AVISTREAMINFO info = reader->streamInfo(s);
            std::vector<uint8_t> all;
            std::vector<std::string> ours;  // size and checksum of each chunk
            std::vector<uint8_t> buf(std::max<uint32_t>(reader->largestChunk(s), 1 << 16));
            for (int64_t pos = info.dwStart; pos < info.dwStart + reader->indexedSamples(s);) {
                int64_t bytes = 0;
                int64_t samples = 0;
                const int64_t count = info.dwSampleSize == 0 ? 1 : -1;
                ASSERT_EQ(reader->read(s, pos, count, buf.data(), static_cast<int64_t>(buf.size()),
                                       &bytes, &samples),
                          AVIERR_OK);
                if (info.dwSampleSize == 0 && bytes > 0) {
                    ours.push_back(
                        std::to_string(bytes) + "," +
                        testing_support::FrameCrc(buf.data(), static_cast<size_t>(bytes)));
                }
                all.insert(all.end(), buf.begin(), buf.begin() + bytes);
                pos += samples;
            }
            if (info.dwSampleSize == 0) {
                bool demuxed = false;
                auto theirs = testing_support::CopiedPackets(
                    entry.path().string(), map, testing_support::PacketHash::kFrameCrc, &demuxed);
                if (!demuxed) {
                    continue;  // a file ffmpeg refuses
                }
                std::erase_if(theirs, [](const testing_support::Packet& p) { return p.size == 0; });
                if (reader->indexRebuilt() && theirs.size() == ours.size() + 1) {
                    theirs.pop_back();
                }
                EXPECT_TRUE(ours == testing_support::Payloads(theirs))
                    << name << " " << map << ": " << ours.size() << " vs " << theirs.size()
                    << " packets";
            } else {
                std::vector<uint8_t> copied;
                ASSERT_TRUE(testing_support::CopiedStreamBytes(entry.path().string(), map, &copied))
                    << name;
                EXPECT_TRUE(all == copied) << name;
            }
        }
    }
}

// Counts from the manifest (ffprobe's packets and a walk of the chunk tree).
TEST(CorpusReader, FrameAndKeyCountsAgreeWithTheManifest) {
    TRELVANE_SKIP_WITHOUT_CORPUS();
    struct Expect {
        const char* file;
        int64_t videoChunks;
        int64_t videoKeys;
        bool rebuilt;
        bool openDml;
    };
    const Expect cases[] = {
        {"cvid-176x144-25fps-idx1-absolute.avi", 30, 30, false, false},
        {"cram16-148x148-15fps-rec-lists.avi", 30, 1, false, false},
        {"cram8-160x120-30fps-video-only.avi", 225, 29, false, false},
        {"divx-190x240-24fps-video-only-a.avi", 120, 10, false, false},
        {"vmnc-720x400-5fps-odml-index-only.avi", 192, -1, false, true},
        {"mjpeg-640x480-30fps-pcm16-mono-44k-odml-camera.avi", 78, -1, false, true},
        {"cvid-320x240-15fps-truncated-noidx-empty-chunks.avi", -1, -1, true, false},
        {"h264-320x240-60fps-empty-chunks-aac-mono-44k.avi", 840, 420 - 420 + 0, false, false},
        {"mjp2-320x180-30fps-idx1-cut.avi", 31, -1, true, false},
    };
    for (const Expect& c : cases) {
        auto reader = OpenOk(c.file);
        ASSERT_NE(reader, nullptr);
        const int v = reader->findStream(kStreamTypeVideo, 0);
        ASSERT_GE(v, 0) << c.file;
        if (c.videoChunks >= 0) {
            EXPECT_EQ(reader->indexedSamples(v), c.videoChunks) << c.file;
        }
        if (c.videoKeys >= 0 && c.videoKeys > 0) {
            EXPECT_EQ(ReadAll(*reader, v).keys, c.videoKeys) << c.file;
        }
        EXPECT_EQ(reader->indexRebuilt(), c.rebuilt) << c.file;
        EXPECT_EQ(reader->isOpenDml(), c.openDml) << c.file;
    }
}

}  // namespace
