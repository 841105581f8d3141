// SPDX-License-Identifier: GPL-3.0-or-later
// How the reader finds the chunks of a file: idx1 in its relative, absolute and shifted forms,
// broken indexes rebuilt by scanning, 'rec ' lists, unpadded odd chunks, cut-off files, OpenDML
// parts, and files that are not AVI at all.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>

#include "platform/avi/avi_reader.h"
#include "support/clip_builder.h"
#include "support/test_support.h"

namespace {

using namespace clips;
using avi::Reader;

class ReaderIndex : public ::testing::Test {
  protected:
    std::unique_ptr<Reader> open(const std::vector<uint8_t>& bytes, int32_t expect = AVIERR_OK,
                                 const avi::Limits& limits = {}) {
        const std::string path = m_dir.file("f" + std::to_string(m_count++) + ".avi");
        WriteFile(path, bytes);
        std::unique_ptr<Reader> reader;
        EXPECT_EQ(Reader::Open(path, limits, &reader), expect);
        return reader;
    }
    testing_support::TempDir m_dir;
    int m_count = 0;
};

// Video frames of varying (some odd, some empty) sizes, interleaved with PCM audio, and a
// palette change.
FileSpec MixedFile() {
    FileSpec shape;
    StreamSpec video;
    video.format = BitmapInfo(64, 48, FourCC("XVID"), 0);
    StreamSpec audio;
    audio.type = "auds";
    audio.handler = std::string("\0\0\0\0", 4);
    audio.sampleSize = 4;
    audio.format = WaveFormat({1, 2, 44100, 44100 * 4, 4, 16, 0});
    shape.streams = {video, audio};
    uint64_t audioPos = 0;
    for (int i = 0; i < 12; ++i) {
        const size_t n = i == 5 ? 0 : 101 + static_cast<size_t>(i) * 17;
        shape.chunks.push_back({0, "dc", Frame(i, n), i % 4 == 0 || i == 5});  // 5: empty
        shape.chunks.push_back({1, "wb", AudioBytes(audioPos, 40), true});
        audioPos += 40;
        if (i == 6) {
            shape.chunks.push_back({0, "pc", {0, 1, 0, 0, 1, 2, 3, 0}, false});  // not a sample
        }
    }
    return shape;
}

// Reads every video frame and the whole audio byte stream.
void ExpectMixedContent(const Reader& reader, const FileSpec& shape) {
    ASSERT_EQ(reader.streamCount(), 2);
    ASSERT_EQ(reader.indexedSamples(0), 12);
    ASSERT_EQ(reader.indexedSamples(1), 12 * 10);
    std::vector<const ChunkSpec*> frames;
    for (const ChunkSpec& c : shape.chunks) {
        if (c.type == "dc") {
            frames.push_back(&c);
        }
    }
    std::vector<uint8_t> buf(4096);
    for (int i = 0; i < 12; ++i) {
        int64_t bytes = -1, samples = -1;
        ASSERT_EQ(reader.read(0, i, 1, buf.data(), 4096, &bytes, &samples), AVIERR_OK) << i;
        const auto& want = frames[static_cast<size_t>(i)]->data;
        ASSERT_EQ(samples, 1);
        ASSERT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + bytes), want) << i;
    }
    int64_t bytes = 0, samples = 0;
    ASSERT_EQ(reader.read(1, 0, 120, buf.data(), 4096, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 120);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + bytes), AudioBytes(0, 480));
}

TEST_F(ReaderIndex, Idx1OffsetsRelativeAbsoluteOrShiftedReadTheSameChunks) {
    for (Idx1 mode : {Idx1::kRelative, Idx1::kAbsolute, Idx1::kShifted}) {
        FileSpec shape = MixedFile();
        shape.idx1 = mode;
        auto reader = open(BuildAvi(shape));
        ASSERT_NE(reader, nullptr);
        EXPECT_FALSE(reader->indexRebuilt()) << static_cast<int>(mode);
        ExpectMixedContent(*reader, shape);
        // Key flags come from idx1; the empty frame 5 is never a key frame.
        EXPECT_EQ(reader->findSample(0, 7, kFindPrev | kFindKey), 4);
        EXPECT_EQ(reader->findSample(0, 5, kFindNext | kFindAny), 6);
    }
}

TEST_F(ReaderIndex, MissingOrBrokenIdx1IsRebuiltByScanning) {
    for (Idx1 mode : {Idx1::kNone, Idx1::kPastEnd}) {
        FileSpec shape = MixedFile();
        shape.idx1 = mode;
        auto reader = open(BuildAvi(shape));
        ASSERT_NE(reader, nullptr);
        EXPECT_TRUE(reader->indexRebuilt());
        ExpectMixedContent(*reader, shape);
        // Scanned XVID: only the first frame is known to be a key frame.
        EXPECT_EQ(reader->findSample(0, 11, kFindPrev | kFindKey), 0);
    }
    // An idx1 entry whose size disagrees with its chunk: the index is not used.
    FileSpec shape = MixedFile();
    std::vector<uint8_t> bytes = BuildAvi(shape);
    const size_t idx1 = bytes.size() - 25 * 16;
    avi::WriteU32(bytes.data() + idx1 + 4 * 16 + 12, 99);  // third video frame
    auto reader = open(bytes);
    EXPECT_TRUE(reader->indexRebuilt());
    ExpectMixedContent(*reader, shape);
}

TEST_F(ReaderIndex, ChunkNotMatchingALargeIndexReadsAsFileReadError) {
    // Too many entries to check each at open; the read itself notices the mismatch.
    FileSpec shape;
    StreamSpec video;
    video.format = BitmapInfo(64, 48, FourCC("MJPG"), 0);
    shape.streams = {video};
    for (int i = 0; i < 400; ++i) {
        shape.chunks.push_back({0, "dc", Frame(i, 20), true});
    }
    std::vector<uint8_t> bytes = BuildAvi(shape);
    const size_t idx1 = bytes.size() - 400 * 16;
    avi::WriteU32(bytes.data() + idx1 + 201 * 16 + 12, 18);
    auto reader = open(bytes);
    ASSERT_FALSE(reader->indexRebuilt());
    std::vector<uint8_t> buf(64);
    int64_t bytesRead = 0, samples = 0;
    EXPECT_EQ(reader->read(0, 201, 1, buf.data(), 64, &bytesRead, &samples), AVIERR_FILEREAD);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(reader->read(0, 202, 1, buf.data(), 64, &bytesRead, &samples), AVIERR_OK);
}

TEST_F(ReaderIndex, RecListsAreEnteredWithAndWithoutIdx1) {
    for (Idx1 mode : {Idx1::kRelative, Idx1::kNone}) {
        FileSpec shape = MixedFile();
        shape.recLists = true;
        shape.idx1 = mode;
        auto reader = open(BuildAvi(shape));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->indexRebuilt(), mode == Idx1::kNone);
        ExpectMixedContent(*reader, shape);
    }
}

TEST_F(ReaderIndex, OddChunkWithoutPadByteIsFoundWhenScanning) {
    FileSpec shape = MixedFile();  // frames of 101, 135, ... bytes: every other one odd
    shape.padOdd = false;
    shape.idx1 = Idx1::kNone;
    auto reader = open(BuildAvi(shape));
    ASSERT_NE(reader, nullptr);
    ExpectMixedContent(*reader, shape);
}

TEST_F(ReaderIndex, ScanResumesAfterAZeroedStretch) {
    // A download with a missing piece: video frames 3 to 5 with their audio read as zeros.
    FileSpec shape = MixedFile();
    shape.idx1 = Idx1::kNone;
    std::vector<uint8_t> bytes = BuildAvi(shape);
    const auto find = [&](const std::vector<uint8_t>& data) {
        return std::search(bytes.begin(), bytes.end(), data.begin(), data.end()) - 8;
    };
    const auto frame6 = shape.chunks[12].data;
    std::fill(find(shape.chunks[6].data), find(frame6), uint8_t{0});
    auto reader = open(bytes);
    ASSERT_EQ(reader->indexedSamples(0), 9);
    EXPECT_EQ(reader->indexedSamples(1), 90);
    std::vector<uint8_t> buf(4096);
    int64_t n = 0, samples = 0;
    ASSERT_EQ(reader->read(0, 3, 1, buf.data(), 4096, &n, &samples), AVIERR_OK);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + n), frame6);
}

TEST_F(ReaderIndex, CutOffFileKeepsWholeAudioBlocksAndDropsThePartialFrame) {
    FileSpec shape = MixedFile();
    shape.idx1 = Idx1::kNone;
    shape.streams[0].length = 12;
    shape.streams[1].length = 120;
    std::vector<uint8_t> bytes = BuildAvi(shape);
    // Cut inside the last audio chunk (after 6 of its 10 blocks and 2 more bytes).
    bytes.resize(bytes.size() - 8 - 40 + 8 + 26);
    auto reader = open(bytes);
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader->indexRebuilt());
    EXPECT_EQ(reader->indexedSamples(0), 12);
    EXPECT_EQ(reader->indexedSamples(1), 110 + 6);
    std::vector<uint8_t> buf(4096);
    int64_t n = 0, samples = 0;
    ASSERT_EQ(reader->read(1, 100, 50, buf.data(), 4096, &n, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 16);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + n), AudioBytes(400, 64));
    // The header still promises 120 blocks: those missing fail, the length stays.
    EXPECT_EQ(reader->streamInfo(1).dwLength, 120u);
    EXPECT_EQ(reader->read(1, 116, 1, buf.data(), 4096, &n, &samples), AVIERR_FILEREAD);

    // Cut inside the last video frame: that frame is gone.
    bytes.resize(bytes.size() - 26 - 8 - 150);
    reader = open(bytes);
    EXPECT_EQ(reader->indexedSamples(0), 11);
    EXPECT_EQ(reader->read(0, 11, 1, buf.data(), 4096, &n, &samples), AVIERR_FILEREAD);
}

TEST_F(ReaderIndex, FilesThatAreNotAviAreRefused) {
    FileSpec shape = MixedFile();
    shape.riffForm = "NOT ";
    open(BuildAvi(shape), AVIERR_BADFORMAT);
    open({}, AVIERR_BADFORMAT);
    open({0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89},
         AVIERR_BADFORMAT);
    // RIFF AVI without a header list.
    RiffBuilder b;
    const size_t riff = b.open("RIFF", "AVI ");
    const size_t movi = b.open("LIST", "movi");
    b.close(movi);
    b.close(riff);
    open(b.vec(), AVIERR_BADFORMAT);

    std::unique_ptr<Reader> reader;
    int err = 0;
    EXPECT_EQ(Reader::Open(m_dir.file("missing.avi"), {}, &reader, &err), AVIERR_FILEOPEN);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(Reader::Open(m_dir.path().string(), {}, &reader, &err), AVIERR_FILEOPEN);
    EXPECT_EQ(err, EISDIR);
    EXPECT_EQ(reader, nullptr);
}

TEST_F(ReaderIndex, HeadersBeyondTheLimitsAreRefused) {
    FileSpec shape = MixedFile();
    avi::Limits oneStream;
    oneStream.maxStreams = 1;
    open(BuildAvi(shape), AVIERR_BADFORMAT, oneStream);
    avi::Limits smallFormat;
    smallFormat.maxFormatSize = 16;
    open(BuildAvi(shape), AVIERR_BADFORMAT, smallFormat);
    // An index larger than allowed is cut at the limit, never allocated from the file's claim.
    avi::Limits fewEntries;
    fewEntries.maxIndexEntries = 10;
    auto reader = open(BuildAvi(shape), AVIERR_OK, fewEntries);
    EXPECT_LE(reader->indexedSamples(0) + reader->indexedSamples(1) / 10, 10);
}

TEST_F(ReaderIndex, StreamsWithoutTimeBaseOrOfInterleavedDvAreReportedSafely) {
    FileSpec shape = MixedFile();
    shape.streams[0].rate = 0;   // avih says 40000 us per frame
    shape.streams[1].scale = 0;  // the format says 176400 bytes/s in blocks of 4
    auto reader = open(BuildAvi(shape));
    EXPECT_EQ(reader->streamInfo(0).dwScale, 40000u);
    EXPECT_EQ(reader->streamInfo(0).dwRate, 1000000u);
    EXPECT_EQ(reader->streamInfo(1).dwScale, 4u);
    EXPECT_EQ(reader->streamInfo(1).dwRate, 176400u);
    EXPECT_GT(reader->fileInfo().dwLength, 0u);

    // Type-1 DV has one 'iavs' stream: no video or audio stream to hand out, but it reads.
    shape.streams = {shape.streams[0]};
    shape.streams[0].type = "iavs";
    shape.chunks = {{0, "dc", Frame(0, 1200), true}, {0, "dc", Frame(1, 1200), true}};
    reader = open(BuildAvi(shape));
    EXPECT_EQ(reader->findStream(kStreamTypeVideo, 0), -1);
    EXPECT_EQ(reader->findStream(kStreamTypeAudio, 0), -1);
    EXPECT_EQ(reader->indexedSamples(0), 2);
}

// ---- OpenDML ----------------------------------------------------------------------------------

struct OdmlChunk {
    uint64_t dataPos;
    uint32_t size;
    bool key;
};

// A standard index for the chunks of one stream in one movi.
void WriteStandardIndex(RiffBuilder& b, const char* id, const char* ckid, uint64_t base,
                        const std::vector<OdmlChunk>& chunks, uint64_t storedBaseSkew = 0) {
    const size_t at = b.open(id);
    b.u16(2), b.u8(0), b.u8(1), b.u32(static_cast<uint32_t>(chunks.size())), b.id(ckid);
    b.u64(base + storedBaseSkew), b.u32(0);
    for (const OdmlChunk& c : chunks) {
        b.u32(static_cast<uint32_t>(c.dataPos - base));
        b.u32(c.size | (c.key ? 0u : 0x80000000u));
    }
    b.close(at);
}

// Three RIFF parts (AVI + 2 AVIX), 5 frames each, with super and standard indexes, no idx1.
enum class OdmlDamage { kNone, kSuperIndexPastEnd, kStandardIndexShifted, kOnlyIdx1Left };

std::vector<uint8_t> BuildOpenDml(OdmlDamage damage) {
    StreamSpec video;
    video.format = BitmapInfo(64, 48, FourCC("H264"), 0);
    video.length = 15;
    RiffBuilder b;
    const size_t riff = b.open("RIFF", "AVI ");
    std::vector<uint8_t> indx(24 + 3 * 16);
    avi::WriteU16(indx.data(), 4);
    avi::WriteU32(indx.data() + 4, 3);
    std::memcpy(indx.data() + 8, "00dc", 4);
    WriteHeaderList(b, {video}, {indx});
    const size_t indxPayload = b.size() - indx.size();
    std::vector<uint64_t> ixPos;
    for (int part = 0; part < 3; ++part) {
        size_t riffX = riff;
        if (part > 0) {
            riffX = b.open("RIFF", "AVIX");
        }
        const size_t movi = b.open("LIST", "movi");
        std::vector<OdmlChunk> chunks;
        for (int i = 0; i < 5; ++i) {
            const int frame = part * 5 + i;
            const size_t at = b.open("00dc");
            b.raw(Frame(frame, 50 + static_cast<size_t>(frame)));
            b.close(at);
            chunks.push_back({at + 4, 50u + static_cast<uint32_t>(frame), i == 0});
        }
        ixPos.push_back(b.size());
        const bool shift = damage == OdmlDamage::kStandardIndexShifted && part == 1;
        WriteStandardIndex(b, "ix00", "00dc", movi + 4, chunks, shift ? 2 : 0);
        b.close(movi);
        if (part == 0 && damage == OdmlDamage::kOnlyIdx1Left) {
            // The legacy index of the first part, as OpenDML writers keep it.
            const size_t idx1 = b.open("idx1");
            for (const OdmlChunk& c : chunks) {
                b.id("00dc"), b.u32(c.key ? avi::kIndexKeyFrame : 0u);
                b.u32(static_cast<uint32_t>(c.dataPos - 8 - (movi + 4))), b.u32(c.size);
            }
            b.close(idx1);
        }
        b.close(riffX);
    }
    for (int i = 0; i < 3; ++i) {
        b.patch64(indxPayload + 24 + static_cast<size_t>(i) * 16,
                  damage == OdmlDamage::kSuperIndexPastEnd || damage == OdmlDamage::kOnlyIdx1Left
                      ? b.size() + 100
                      : ixPos[static_cast<size_t>(i)]);
        b.patch32(indxPayload + 24 + static_cast<size_t>(i) * 16 + 12, 5);
    }
    return b.vec();
}

TEST_F(ReaderIndex, OpenDmlPartsAreReadThroughTheirIndexesOrByScanning) {
    for (OdmlDamage damage : {OdmlDamage::kNone, OdmlDamage::kSuperIndexPastEnd,
                              OdmlDamage::kStandardIndexShifted, OdmlDamage::kOnlyIdx1Left}) {
        // With only idx1 left, it indexes the first part and the other parts are scanned.
        const bool idx1 = damage == OdmlDamage::kOnlyIdx1Left;
        const bool broken = damage != OdmlDamage::kNone && !idx1;
        auto reader = open(BuildOpenDml(damage));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->indexRebuilt(), broken);
        if (idx1) {
            EXPECT_EQ(reader->findSample(0, 4, kFindPrev | kFindKey), 0);
            EXPECT_EQ(reader->findSample(0, 1, kFindNext | kFindKey), -1);  // H264 scanned
        }
        EXPECT_TRUE(reader->isOpenDml());
        ASSERT_EQ(reader->indexedSamples(0), 15);
        std::vector<uint8_t> buf(256);
        for (int f = 0; f < 15; ++f) {
            int64_t n = 0, samples = 0;
            ASSERT_EQ(reader->read(0, f, 1, buf.data(), 256, &n, &samples), AVIERR_OK) << f;
            EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + n),
                      Frame(f, 50 + static_cast<size_t>(f)));
        }
        if (damage == OdmlDamage::kNone) {
            // Key frames from bit 31 of the standard index entries: the first of each part.
            EXPECT_EQ(reader->findSample(0, 14, kFindPrev | kFindKey), 10);
            EXPECT_EQ(reader->findSample(0, 6, kFindNext | kFindKey), 10);
            EXPECT_EQ(reader->findSample(0, 4, kFindPrev | kFindKey), 0);
        }
    }
}

// Sixty streams whose super indexes all name the first stream's standard index of 200,000
// entries: an index lists only its own stream's chunks, and no file yields more entries than it
// has room for chunk headers. Opening stays within a few megabytes instead of hundreds.
TEST_F(ReaderIndex, SuperIndexesSharingOneStandardIndexCannotMultiplyIt) {
    constexpr uint32_t kEntries = 200000;
    constexpr int kStreams = 60;
    StreamSpec video;
    video.format = BitmapInfo(64, 48, FourCC("MJPG"), 0);
    video.length = kEntries;
    std::vector<uint8_t> indx(24 + 16);
    avi::WriteU16(indx.data(), 4);
    avi::WriteU32(indx.data() + 4, 1);
    std::memcpy(indx.data() + 8, "00dc", 4);
    RiffBuilder b;
    const size_t riff = b.open("RIFF", "AVI ");
    WriteHeaderList(b, std::vector<StreamSpec>(kStreams, video),
                    std::vector<std::vector<uint8_t>>(kStreams, indx));
    const size_t movi = b.open("LIST", "movi");
    const size_t chunk = b.open("00dc");
    b.raw(Frame(0, 16));
    b.close(chunk);
    const size_t ixPos = b.size();
    WriteStandardIndex(b, "ix00", "00dc", movi + 4,
                       std::vector<OdmlChunk>(kEntries, OdmlChunk{chunk + 4, 16, true}), 0);
    b.close(movi);
    b.close(riff);
    std::vector<uint8_t> bytes = b.vec();
    // Every stream's super index entry: offset, size, duration.
    const std::string text(bytes.begin(), bytes.end());
    for (size_t at = 0; (at = text.find("indx", at)) != std::string::npos; at += 4) {
        avi::WriteU64(bytes.data() + at + 8 + 24, ixPos);
        avi::WriteU32(bytes.data() + at + 8 + 32, 8 + 32 + 8 * kEntries);
        avi::WriteU32(bytes.data() + at + 8 + 36, kEntries);
    }
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    auto reader = open(bytes);
    ASSERT_NE(reader, nullptr);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes more at the peak";
    EXPECT_LE(reader->indexedSamples(0), static_cast<int64_t>(bytes.size() / 8));
    for (int s = 1; s < kStreams; ++s) {
        EXPECT_EQ(reader->indexedSamples(s), 0) << s;
    }
}

}  // namespace
