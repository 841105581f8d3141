// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/clip_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "media/clip_inspection.h"
#include "support/test_support.h"

namespace clips {

uint32_t FourCC(const std::string& text) {
    uint32_t code = 0;
    for (size_t i = 0; i < 4 && i < text.size(); ++i) {
        code |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return code;
}

std::vector<uint8_t> BitmapInfo(int32_t width, int32_t height, uint32_t compression,
                                uint32_t sizeImage) {
    RiffBuilder b;
    b.u32(40), b.u32(static_cast<uint32_t>(width)), b.u32(static_cast<uint32_t>(height));
    b.u16(1), b.u16(24), b.u32(compression), b.u32(sizeImage);
    b.u32(0), b.u32(0), b.u32(0), b.u32(0);
    return b.vec();
}

std::vector<uint8_t> WaveFormat(const WAVEFORMATEX& wave) {
    RiffBuilder b;
    b.u16(wave.wFormatTag), b.u16(wave.nChannels), b.u32(wave.nSamplesPerSec);
    b.u32(wave.nAvgBytesPerSec), b.u16(wave.nBlockAlign), b.u16(wave.wBitsPerSample), b.u16(0);
    return b.vec();
}

WAVEFORMATEX Pcm(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample) {
    const auto align = static_cast<uint16_t>(channels * ((bitsPerSample + 7) / 8));
    return {1, channels, samplesPerSec, samplesPerSec * align, align, bitsPerSample, 0};
}

void ClipShape::pcm(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample) {
    wave = Pcm(channels, samplesPerSec, bitsPerSample);
    audioRate = samplesPerSec;
    audioScale = 1;
}

ClipShape CinepakClip() {
    ClipShape shape;
    shape.codec = "cvid";
    shape.videoRate = 30;
    shape.width = 320;
    shape.height = 240;
    shape.frames = 10;
    shape.frameSize = [](int) { return 64; };
    shape.pcm(2, 22050, 16);
    return shape;
}

uint8_t AudioByte(int64_t sample, int byteInSample) {
    return static_cast<uint8_t>((sample * 7 + byteInSample * 3) % 251);
}

std::vector<uint8_t> FrameBytes(const ClipShape& shape, int frame) {
    std::vector<uint8_t> bytes(static_cast<size_t>(shape.frameSize(frame)));
    char label[48];
    const int n = std::snprintf(label, sizeof label, "<%s:%06d>", shape.tag.c_str(), frame);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = i < static_cast<size_t>(n) ? static_cast<uint8_t>(label[i])
                                              : static_cast<uint8_t>((i * 13 + frame) & 0xFF);
    }
    return bytes;
}

std::vector<uint8_t> SampleBytes(const ClipShape& shape, int64_t first, int64_t count) {
    if (shape.vbr) {
        std::vector<uint8_t> bytes(static_cast<size_t>(shape.vbrChunkSize(first)));
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = AudioByte(first, static_cast<int>(i));
        }
        return bytes;
    }
    const int block = shape.wave.nBlockAlign;
    std::vector<uint8_t> bytes(static_cast<size_t>(count * block));
    for (int64_t s = 0; s < count; ++s) {
        for (int b = 0; b < block; ++b) {
            bytes[static_cast<size_t>(s * block + b)] = AudioByte(first + s, b);
        }
    }
    return bytes;
}

join::AudioClock Clock(const ClipShape& shape) {
    return {shape.audioRate, shape.audioScale, shape.videoRate, shape.videoScale};
}

Clip Plan(const ClipShape& shape) {
    Clip clip;
    const int video = shape.video ? 0 : -1;
    const int audio = shape.audio ? (shape.video ? 1 : 0) : -1;
    if (video >= 0) {
        AVISTREAMINFO info;
        info.fccType = kStreamTypeVideo;
        info.fccHandler = FourCC(shape.codec);
        info.dwRate = shape.videoRate;
        info.dwScale = shape.videoScale;
        info.rcFrameRight = shape.width;
        info.rcFrameBottom = shape.height;
        clip.infos.push_back(info);
        clip.formats.push_back(BitmapInfo(shape.width, shape.height, FourCC(shape.codec),
                                          static_cast<uint32_t>(shape.width * shape.height * 3)));
    }
    if (audio >= 0) {
        AVISTREAMINFO info;
        info.fccType = kStreamTypeAudio;
        info.dwRate = shape.audioRate;
        info.dwScale = shape.audioScale;
        info.dwSampleSize = shape.vbr ? 0 : shape.wave.nBlockAlign;
        clip.infos.push_back(info);
        clip.formats.push_back(WaveFormat(shape.wave));
    }
    const int64_t totalAudio = shape.audioSamples >= 0
                                   ? shape.audioSamples
                                   : join::AudioBoundary(Clock(shape), shape.frames);
    int64_t audioDone = 0;
    for (int f = 0; f <= shape.frames; ++f) {
        if (f < shape.frames && video >= 0) {
            clip.chunks.push_back({video, FrameBytes(shape, f), shape.isKey(f)});
        }
        if (audio < 0) {
            continue;
        }
        int64_t until = f < shape.frames ? join::AudioBoundary(Clock(shape), f + 1) : totalAudio;
        until = std::min(until, totalAudio);
        if (shape.vbr) {
            for (; audioDone < until; ++audioDone) {
                clip.chunks.push_back({audio, SampleBytes(shape, audioDone, 1), false});
            }
        } else if (until > audioDone) {
            clip.chunks.push_back({audio, SampleBytes(shape, audioDone, until - audioDone), false});
            audioDone = until;
        }
    }
    return clip;
}

int32_t WriteClip(const Clip& clip, const std::string& path, uint64_t partLimit) {
    avi::WriterOptions options;
    options.riffPartLimit = partLimit;
    std::unique_ptr<avi::Writer> writer;
    int32_t status = avi::Writer::Create(path, options, &writer);
    if (status != AVIERR_OK) {
        return status;
    }
    for (size_t s = 0; s < clip.infos.size(); ++s) {
        int index = -1;
        status = writer->addStream(clip.infos[s], &index);
        if (status != AVIERR_OK) {
            return status;
        }
        status = writer->setFormat(index, clip.formats[s].data(),
                                   static_cast<int32_t>(clip.formats[s].size()));
        if (status != AVIERR_OK) {
            return status;
        }
    }
    std::vector<int64_t> positions(clip.infos.size(), 0);
    for (const auto& c : clip.chunks) {
        const auto s = static_cast<size_t>(c.stream);
        const auto size = static_cast<int32_t>(c.bytes.size());
        const uint32_t sampleSize =
            clip.infos[s].fccType == kStreamTypeVideo ? 0 : clip.infos[s].dwSampleSize;
        const int32_t count = sampleSize == 0 ? 1 : size / static_cast<int32_t>(sampleSize);
        int32_t samples = 0;
        int32_t bytes = 0;
        status = writer->write(c.stream, positions[s], count, c.bytes.data(), size,
                               c.key ? kAviIfKeyFrame : 0, &samples, &bytes);
        if (status != AVIERR_OK) {
            return status;
        }
        positions[s] += samples;
    }
    return writer->finish();
}

bool Write(const std::string& path, const ClipShape& shape) {
    const Clip clip = Plan(shape);
    const int32_t status = WriteClip(clip, path);
    EXPECT_EQ(status, AVIERR_OK) << "writing " << path;
    if (status != AVIERR_OK) {
        return false;
    }
    // The clip reads back as described, so that a test never runs on a clip it did not ask for.
    std::unique_ptr<avi::Reader> reader;
    EXPECT_EQ(avi::Reader::Open(path, avi::Limits{}, &reader), AVIERR_OK) << path;
    if (reader == nullptr) {
        return false;
    }
    int64_t keys = 0;
    int64_t audioSamples = 0;
    for (const Chunk& c : clip.chunks) {
        const AVISTREAMINFO& info = clip.infos[static_cast<size_t>(c.stream)];
        if (info.fccType == kStreamTypeVideo) {
            keys += c.key ? 1 : 0;
        } else {
            audioSamples += info.dwSampleSize == 0
                                ? 1
                                : static_cast<int64_t>(c.bytes.size()) / info.dwSampleSize;
        }
    }
    const int video = reader->findStream(kStreamTypeVideo, 0);
    const int audio = reader->findStream(kStreamTypeAudio, 0);
    if (shape.video) {
        EXPECT_EQ(reader->indexedSamples(video), shape.frames) << path;
        int64_t found = 0;
        for (int f = 0; f < shape.frames; ++f) {
            found += reader->findSample(video, f, kFindPrev | kFindKey) == f ? 1 : 0;
        }
        EXPECT_EQ(found, keys) << path;
        EXPECT_EQ(reader->stream(video).format, clip.formats[0]) << path;
    }
    if (shape.audio) {
        EXPECT_EQ(audio < 0 ? 0 : reader->indexedSamples(audio), audioSamples) << path;
    }
    return true;
}

std::string WriteTagged(const testing_support::TempDir& dir, const std::string& tag, int frames) {
    ClipShape shape;
    shape.tag = tag;
    shape.frames = frames;
    const std::string path = dir.file(tag + ".avi");
    Write(path, shape);
    return path;
}

void Trim(ClipInfo& clip, int32_t in, int32_t out) {
    clip.leadIn = in;
    clip.leadOut = out >= 0 ? out : clip.leadOut;
    clip.segmentFrames = clip.leadOut - clip.leadIn + 1;
}

ClipInfo Inspected(const std::string& path, int32_t in, int32_t out) {
    ClipInfo info;
    info.fileName = path;
    EXPECT_EQ(LoadClipInfo(info), 0) << path;
    if (in > 0 || out >= 0) {
        Trim(info, in, out);
    }
    return info;
}

Clip NoisyRgbClip(int frames, bool audio, uint32_t compression) {
    Clip clip;
    AVISTREAMINFO v;
    v.fccType = kStreamTypeVideo;
    v.fccHandler = compression == 0 ? FourCC("DIB ") : compression;
    v.dwFlags = 0;
    v.wPriority = 3;
    v.wLanguage = 9;
    v.dwScale = 1;
    v.dwRate = 10;
    v.dwStart = 5;       // the writer always starts at 0
    v.dwLength = 12345;  // and derives the length
    v.dwInitialFrames = 0;
    v.dwSuggestedBufferSize = 1;
    v.dwQuality = 7500;
    v.rcFrameRight = kRgbWidth;
    v.rcFrameBottom = kRgbHeight;
    std::snprintf(v.szName, sizeof v.szName, "%s", "Synthetic video");
    clip.infos.push_back(v);
    clip.formats.push_back(
        BitmapInfo(kRgbWidth, kRgbHeight, compression, static_cast<uint32_t>(kRgbFrameBytes)));
    if (audio) {
        AVISTREAMINFO a;
        a.fccType = kStreamTypeAudio;
        a.dwScale = 1;
        a.dwRate = 8000;
        a.dwSampleSize = 1;
        a.dwQuality = 0xFFFFFFFFu;
        a.dwInitialFrames = 1;
        clip.infos.push_back(a);
        clip.formats.push_back(WaveFormat(Pcm(1, 8000, 8)));
    }
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int f = 0; f < frames; ++f) {
        Chunk c;
        c.stream = 0;
        c.key = f % 10 == 0;
        if (f % 50 != 7) {
            c.bytes.resize(kRgbFrameBytes);
            for (auto& b : c.bytes) {
                b = next();
            }
        }
        clip.chunks.push_back(std::move(c));
        if (audio) {
            Chunk a;
            a.stream = 1;
            a.key = true;
            a.bytes.resize(static_cast<size_t>(799 + f % 3));
            for (auto& b : a.bytes) {
                b = next();
            }
            clip.chunks.push_back(std::move(a));
        }
    }
    return clip;
}

bool FfmpegClip(const std::string& path, const std::string& video, const std::string& audio,
                double seconds, int seed, double audioSeconds, int rate, const std::string& size) {
    std::string args = "-f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(rate) +
                       ":duration=" + std::to_string(seconds);
    if (!audio.empty()) {
        args += " -f lavfi -i anoisesrc=c=pink:a=0.3:s=" + std::to_string(seed) +
                ":d=" + std::to_string(audioSeconds < 0 ? seconds : audioSeconds) + " " + audio;
    }
    return testing_support::Ffmpeg(args + " " + video + " " + testing_support::ShellQuote(path));
}

bool WriteByteStreamClip(const std::string& source, const std::vector<uint8_t>& audio,
                         uint32_t bytesPerSecond, const std::string& path,
                         std::vector<uint8_t> format) {
    ReadBack in(source);
    if (!in.ok() || in.video() < 0 || in.audio() < 0) {
        ADD_FAILURE() << source << " has no video and audio to rewrite";
        return false;
    }
    Clip clip;
    clip.infos = {in.reader().streamInfo(in.video()), in.reader().streamInfo(in.audio())};
    AVISTREAMINFO& info = clip.infos[1];
    info.dwSampleSize = 1;
    info.dwScale = 1;
    info.dwRate = bytesPerSecond;
    info.dwStart = 0;
    if (format.empty()) {
        format = in.reader().stream(in.audio()).format;
        if (format.size() < 18) {
            ADD_FAILURE() << source << " has no audio format to rewrite";
            return false;
        }
        RiffBuilder patched;
        patched.raw(format);
        patched.patch32(8, bytesPerSecond);
        patched.vec()[12] = 1, patched.vec()[13] = 0;  // block align
        format = patched.vec();
    }
    clip.formats = {in.reader().stream(in.video()).format, format};
    const join::AudioClock clock{bytesPerSecond, 1, clip.infos[0].dwRate, clip.infos[0].dwScale};
    const int64_t frames = in.samples(in.video());
    const auto total = static_cast<int64_t>(audio.size());
    int64_t done = 0;
    for (int64_t f = 0; f < frames; ++f) {
        clip.chunks.push_back({0, in.read(in.video(), f, 1), in.isKey(in.video(), f)});
        const int64_t until =
            f + 1 < frames ? std::min(join::AudioBoundary(clock, f + 1), total) : total;
        if (until > done) {
            clip.chunks.push_back({1, {audio.begin() + done, audio.begin() + until}, false});
            done = until;
        }
    }
    const int32_t status = WriteClip(clip, path);
    EXPECT_EQ(status, AVIERR_OK) << "writing " << path;
    return status == AVIERR_OK;
}

namespace {

// The coding type (0 I, 1 P, 2 B, 3 S) of the first VOP in an MPEG-4 chunk, and where it starts.
int VopType(const std::vector<uint8_t>& chunk, size_t* at) {
    static const uint8_t kVop[] = {0, 0, 1, 0xB6};
    const auto found = std::search(chunk.begin(), chunk.end(), kVop, kVop + 4);
    if (found == chunk.end() || found + 4 == chunk.end()) {
        return -1;
    }
    *at = static_cast<size_t>(found - chunk.begin());
    return found[4] >> 6;
}

// A P-VOP that is not coded: type, no modulo time base, marker, time increment, marker, not
// coded, then the stuffing to the byte boundary.
std::vector<uint8_t> NotCodedVop(int timeBits) {
    std::vector<bool> bits = {false, true, false, true};
    bits.insert(bits.end(), static_cast<size_t>(timeBits), false);
    bits.insert(bits.end(), {true, false, false});
    while (bits.size() % 8 != 0) {
        bits.push_back(true);
    }
    std::vector<uint8_t> vop = {0, 0, 1, 0xB6};
    for (size_t i = 0; i < bits.size(); i += 8) {
        uint8_t byte = 0;
        for (size_t j = 0; j < 8; ++j) {
            byte = static_cast<uint8_t>(byte << 1 | (bits[i + j] ? 1 : 0));
        }
        vop.push_back(byte);
    }
    return vop;
}

}  // namespace

bool WritePackedMpeg4(const std::string& unpacked, const std::string& packed, int timeBits) {
    ReadBack source(unpacked);
    if (!source.ok()) {
        return false;
    }
    const int s = source.video();
    Clip clip;
    clip.infos.push_back(source.reader().streamInfo(s));
    clip.formats.push_back(source.reader().stream(s).format);
    std::vector<std::vector<uint8_t>> chunks;
    for (int64_t n = 0; n < source.samples(s); ++n) {
        chunks.push_back(source.read(s, n, 1));
    }
    static const std::string kUserData = "DivX999b000p";
    std::vector<uint8_t> marker = {0, 0, 1, 0xB2};
    marker.insert(marker.end(), kUserData.begin(), kUserData.end());
    for (size_t n = 0; n < chunks.size();) {
        size_t at = 0;
        std::vector<uint8_t> reference = chunks[n];
        const int type = VopType(reference, &at);
        if (type == 0) {
            reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), marker.begin(),
                             marker.end());
        }
        size_t b = n + 1;
        while (b < chunks.size() && VopType(chunks[b], &at) == 2) {
            ++b;
        }
        if (b == n + 1) {
            clip.chunks.push_back({0, reference, type == 0});
        } else {
            reference.insert(reference.end(), chunks[n + 1].begin(), chunks[n + 1].end());
            clip.chunks.push_back({0, reference, type == 0});
            for (size_t i = n + 2; i < b; ++i) {
                clip.chunks.push_back({0, chunks[i], false});
            }
            clip.chunks.push_back({0, NotCodedVop(timeBits), false});
        }
        n = b;
    }
    const int32_t status = WriteClip(clip, packed);
    EXPECT_EQ(status, 0) << "writing " << packed;
    return status == 0;
}

ReadBack::ReadBack(const std::string& path) {
    EXPECT_EQ(avi::Reader::Open(path, avi::Limits{}, &m_reader), 0) << path;
}

std::vector<uint8_t> ReadBack::read(int s, int64_t start, int64_t count) const {
    int64_t bytes = 0;
    int64_t got = 0;
    if (m_reader->read(s, start, count, nullptr, 0, &bytes, &got) != 0) {
        return {};
    }
    std::vector<uint8_t> data(static_cast<size_t>(bytes) + 1);
    EXPECT_EQ(m_reader->read(s, start, count, data.data(), bytes + 1, &bytes, &got), 0);
    data.resize(static_cast<size_t>(bytes));
    return data;
}

void DamageFrame(const std::string& path, const ClipShape& shape, int frame) {
    const std::vector<unsigned char> bytes = testing_support::ReadFileBytes(path);
    const std::vector<uint8_t> payload = FrameBytes(shape, frame);
    const std::string label(payload.begin(), payload.begin() + 10);
    const std::string all(bytes.begin(), bytes.end());
    const size_t at = all.find(label);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, 8u);
    ASSERT_EQ(all.find(label, at + 1), std::string::npos) << "the label is not the frame's alone";
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(file);
    file.seekp(static_cast<std::streamoff>(at - 8));
    file.write("JUNK", 4);
}

namespace {

// Offset of the strh payload of the first stream of the given type, or 0.
size_t FindStreamHeader(const std::vector<unsigned char>& bytes, const char* type) {
    for (size_t at = 0; at + 12 <= bytes.size(); ++at) {
        if (std::memcmp(&bytes[at], "strh", 4) == 0 && std::memcmp(&bytes[at + 8], type, 4) == 0) {
            return at + 8;
        }
    }
    return 0;
}

// Offset of the strf payload that follows the stream header, or 0.
size_t FindFormat(const std::vector<unsigned char>& bytes, const char* type) {
    const size_t header = FindStreamHeader(bytes, type);
    for (size_t at = header; header != 0 && at + 8 <= bytes.size(); ++at) {
        if (std::memcmp(&bytes[at], "strf", 4) == 0) {
            return at + 8;
        }
    }
    return 0;
}

}  // namespace

bool PatchStreamHeader(const std::string& path, const char* type, int offset, uint32_t value) {
    auto bytes = testing_support::ReadFileBytes(path);
    const size_t header = FindStreamHeader(bytes, type);
    if (header == 0 || header + static_cast<size_t>(offset) + 4 > bytes.size()) {
        ADD_FAILURE() << "no " << type << " stream header in " << path;
        return false;
    }
    avi::WriteU32(&bytes[header + static_cast<size_t>(offset)], value);
    WriteFile(path, bytes);
    return true;
}

bool PatchStreamFormat16(const std::string& path, const char* type, int offset, uint16_t value) {
    auto bytes = testing_support::ReadFileBytes(path);
    const size_t format = FindFormat(bytes, type);
    if (format == 0 || format + static_cast<size_t>(offset) + 2 > bytes.size()) {
        ADD_FAILURE() << "no " << type << " stream format in " << path;
        return false;
    }
    avi::WriteU16(&bytes[format + static_cast<size_t>(offset)], value);
    WriteFile(path, bytes);
    return true;
}

void PatchVideoLength(const std::string& path, uint32_t length) {
    ASSERT_TRUE(PatchStreamHeader(path, "vids", kStrhLength, length));
}

void RiffBuilder::patch32(size_t at, uint32_t v) {
    avi::WriteU32(m_v.data() + at, v);
}

void RiffBuilder::patch64(size_t at, uint64_t v) {
    avi::WriteU64(m_v.data() + at, v);
}

size_t RiffBuilder::open(const char* ckid, const char* listType) {
    id(ckid);
    const size_t at = size();
    u32(0);
    if (listType != nullptr) {
        id(listType);
    }
    return at;
}

void RiffBuilder::close(size_t at, bool pad) {
    patch32(at, static_cast<uint32_t>(size() - at - 4));
    if (pad && (size() & 1) != 0) {
        u8(0);
    }
}

std::string ChunkId(int stream, const std::string& type) {
    std::string s = "00" + type;
    s[0] = static_cast<char>('0' + stream / 10);
    s[1] = static_cast<char>('0' + stream % 10);
    return s;
}

void WriteStreamList(RiffBuilder& b, const StreamSpec& st, const std::vector<uint8_t>& indx) {
    const size_t strl = b.open("LIST", "strl");
    const size_t strh = b.open("strh");
    b.id(st.type.c_str()), b.id(st.handler.c_str()), b.u32(0), b.u16(0), b.u16(0), b.u32(0);
    b.u32(st.scale), b.u32(st.rate), b.u32(st.start), b.u32(st.length), b.u32(st.suggested);
    b.u32(0xFFFFFFFFu), b.u32(st.sampleSize);
    for (int16_t v : st.rc) {
        b.u16(static_cast<uint16_t>(v));
    }
    b.close(strh);
    const size_t strf = b.open("strf");
    b.raw(st.format);
    b.close(strf);
    if (!st.name.empty()) {
        const size_t strn = b.open("strn");
        b.raw(std::vector<uint8_t>(st.name.begin(), st.name.end()));
        b.u8(0);
        b.close(strn);
    }
    if (!indx.empty()) {
        const size_t at = b.open("indx");
        b.raw(indx);
        b.close(at);
    }
    b.close(strl);
}

void WriteHeaderList(RiffBuilder& b, const std::vector<StreamSpec>& streams,
                     const std::vector<std::vector<uint8_t>>& indexes) {
    const size_t hdrl = b.open("LIST", "hdrl");
    const size_t avih = b.open("avih");
    b.u32(40000), b.u32(0), b.u32(0), b.u32(0x910), b.u32(0), b.u32(0);
    b.u32(static_cast<uint32_t>(streams.size())), b.u32(0), b.u32(64), b.u32(48);
    b.u32(0), b.u32(0), b.u32(0), b.u32(0);
    b.close(avih);
    for (size_t i = 0; i < streams.size(); ++i) {
        WriteStreamList(b, streams[i], i < indexes.size() ? indexes[i] : std::vector<uint8_t>{});
    }
    b.close(hdrl);
}

std::vector<uint8_t> BuildAvi(const FileSpec& shape) {
    RiffBuilder b;
    const size_t riff = b.open("RIFF", shape.riffForm.c_str());
    WriteHeaderList(b, shape.streams);
    const size_t movi = b.open("LIST", "movi");
    const size_t moviFourcc = movi + 4;
    struct Entry {
        std::string id;
        uint32_t flags, offset, size;
    };
    std::vector<Entry> entries;
    for (const ChunkSpec& c : shape.chunks) {
        size_t rec = 0;
        if (shape.recLists) {
            rec = b.open("LIST", "rec ");
            entries.push_back({"rec ", avi::kIndexList, static_cast<uint32_t>(rec - 4), 0});
        }
        const std::string id = ChunkId(c.stream, c.type);
        const size_t at = b.open(id.c_str());
        b.raw(c.data);
        b.close(at, shape.padOdd);
        entries.push_back({id, c.key ? avi::kIndexKeyFrame : 0u, static_cast<uint32_t>(at - 4),
                           static_cast<uint32_t>(c.data.size())});
        if (shape.recLists) {
            b.close(rec);
        }
    }
    b.close(movi);
    if (shape.idx1 != Idx1::kNone) {
        const size_t idx1 = b.open("idx1");
        for (const Entry& e : entries) {
            uint32_t off = e.offset;  // absolute position of the chunk header
            if (shape.idx1 == Idx1::kRelative || shape.idx1 == Idx1::kPastEnd) {
                off -= static_cast<uint32_t>(moviFourcc);
            } else if (shape.idx1 == Idx1::kShifted) {
                off -= static_cast<uint32_t>(moviFourcc) - 100;  // counted from 100 bytes earlier
            }
            b.id(e.id.c_str()), b.u32(e.flags), b.u32(off), b.u32(e.size);
        }
        b.close(idx1);
        if (shape.idx1 == Idx1::kPastEnd) {
            b.patch32(idx1, static_cast<uint32_t>(entries.size() * 16 + 4096));
        }
    }
    b.close(riff);
    return b.vec();
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Frame(int i, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t j = 0; j < n; ++j) {
        v[j] = static_cast<uint8_t>(i * 37 + j * 11 + (j >> 8));
    }
    return v;
}

std::vector<uint8_t> AudioBytes(uint64_t from, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t j = 0; j < n; ++j) {
        v[j] = static_cast<uint8_t>((from + j) % 251);
    }
    return v;
}

FileSpec EmptyChunksSpec(int frames, int emptyChunks, const WAVEFORMATEX& wave) {
    FileSpec file;
    StreamSpec video;
    video.handler = "MJPG";
    video.length = static_cast<uint32_t>(frames + emptyChunks);
    video.rc[2] = 64;
    video.rc[3] = 48;
    video.format = BitmapInfo(64, 48, FourCC("MJPG"), 0);
    StreamSpec audio;
    audio.type = "auds";
    audio.handler = "";
    audio.rate = wave.nSamplesPerSec;
    audio.sampleSize = wave.nBlockAlign;
    const uint32_t perFrame = wave.nSamplesPerSec / 25;
    audio.length = static_cast<uint32_t>(frames) * perFrame;
    audio.format = WaveFormat(wave);
    file.streams = {video, audio};
    const size_t bytes = static_cast<size_t>(perFrame) * wave.nBlockAlign;
    for (int f = 0; f < frames; ++f) {
        file.chunks.push_back({0, "dc", Frame(f, 24), true});
        file.chunks.push_back({1, "wb", AudioBytes(static_cast<uint64_t>(f) * bytes, bytes), true});
    }
    file.chunks.resize(file.chunks.size() + static_cast<size_t>(emptyChunks));
    return file;
}

}  // namespace clips
