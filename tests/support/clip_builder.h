// SPDX-License-Identifier: GPL-3.0-or-later
// Clips for the tests, from one place. A ClipShape describes a clip (streams, rates, formats,
// frame sizes, key frames, audio spans) and is written by our own writer; the chunks it becomes
// can be written directly (Clip) when a test needs to see or bend them; and a byte-level layer
// (RiffBuilder, FileSpec) writes files our writer never would: odd index forms, 'rec ' lists,
// unpadded chunks, damaged fields. Every frame's bytes name the clip and the frame, so a frame
// read back from a joined file tells where it came from.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "join/audio_span.h"
#include "media/clip_info.h"
#include "media/vbvfw.h"
#include "platform/avi/avi_reader.h"
#include "platform/avi/avi_writer.h"
#include "support/test_support.h"

namespace clips {

// "MJPG" as the little-endian code AVI headers hold.
uint32_t FourCC(const std::string& text);

// A BITMAPINFOHEADER (40 bytes, 24 bits a pixel).
std::vector<uint8_t> BitmapInfo(int32_t width, int32_t height, uint32_t compression,
                                uint32_t sizeImage);
// A WAVEFORMATEX (18 bytes, no extra format bytes).
std::vector<uint8_t> WaveFormat(const WAVEFORMATEX& wave);
// PCM of the given layout, block align and byte rate derived.
WAVEFORMATEX Pcm(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);

// ---- Clips described by their shape ---------------------------------------------------------

struct ClipShape {
    // Video: frames of frameSize(f) bytes, labelled with the tag and the frame number.
    bool video = true;
    std::string codec = "MJPG";  // handler code and compression
    uint32_t videoRate = 25;
    uint32_t videoScale = 1;
    int32_t width = 64;
    int32_t height = 48;
    int frames = 50;
    std::string tag = "A";
    std::function<int(int)> frameSize = [](int) { return 24; };
    std::function<bool(int)> isKey = [](int) { return true; };
    // Audio, written after each frame up to that frame's boundary (join::AudioBoundary).
    bool audio = true;
    WAVEFORMATEX wave{1, 1, 48000, 96000, 2, 16, 0};
    uint32_t audioRate = 48000;  // samples (blocks, or chunks for VBR) per second: rate / scale
    uint32_t audioScale = 1;
    bool vbr = false;  // one chunk per sample, chunk c of vbrChunkSize(c) bytes
    std::function<int(int64_t)> vbrChunkSize = [](int64_t c) { return 400 + int(c % 7); };
    int64_t audioSamples = -1;  // -1: exactly as long as the video

    // Sets PCM audio of that layout, its stream counting one sample per block.
    void pcm(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);
};

// A small Cinepak clip: 10 frames of 64 bytes at 30 fps, 320x240, 16-bit stereo PCM at 22050.
ClipShape CinepakClip();

// Byte b of audio sample s: a ramp that shows any repeated or skipped sample.
uint8_t AudioByte(int64_t sample, int byteInSample);
// The bytes of one frame, and of audio samples [first, first + count) (one chunk for VBR).
std::vector<uint8_t> FrameBytes(const ClipShape& shape, int frame);
std::vector<uint8_t> SampleBytes(const ClipShape& shape, int64_t first, int64_t count);
join::AudioClock Clock(const ClipShape& shape);

// Writes the clip; false, with a test failure, when the writer refuses it.
bool Write(const std::string& path, const ClipShape& shape);

// A clip of the given number of frames named TAG.avi in the folder, otherwise of the default shape.
std::string WriteTagged(const testing_support::TempDir& dir, const std::string& tag, int frames);

// Sets the clip's segment to frames in..out (out -1: to its last frame), as marking it does.
void Trim(ClipInfo& clip, int32_t in, int32_t out = -1);
// The clip's record as the job holds it, inspected (a failed inspection fails the test), and
// trimmed to in..out when a segment is given.
ClipInfo Inspected(const std::string& path, int32_t in = 0, int32_t out = -1);

// ---- Clips as the chunks written ------------------------------------------------------------

struct Chunk {
    int stream = 0;
    std::vector<uint8_t> bytes;
    bool key = false;
};

struct Clip {
    std::vector<AVISTREAMINFO> infos;
    std::vector<std::vector<uint8_t>> formats;
    std::vector<Chunk> chunks;  // in the order they are written
};

// The chunks a shape becomes.
Clip Plan(const ClipShape& shape);

// Writes the chunks in order (a video chunk is one frame, an audio chunk as many samples as its
// stream's sample size gives) with RIFF parts of at most partLimit bytes; the finish status, or
// the first failing one.
int32_t WriteClip(const Clip& clip, const std::string& path, uint64_t partLimit = 1ull << 30);

// Raw RGB video any player decodes, of noise: frames at 10 fps, every tenth a key frame, frame 7
// (and every 50th after) dropped; with audio, 8 kHz 8-bit mono in chunks of 799..801 bytes after
// each frame. Stream headers carry values the writer must replace (start, length) or keep.
inline constexpr int kRgbWidth = 32;
inline constexpr int kRgbHeight = 18;
inline constexpr int kRgbFrameBytes = kRgbWidth * kRgbHeight * 3;
Clip NoisyRgbClip(int frames, bool audio, uint32_t compression = 0);

// ---- Clips made by ffmpeg --------------------------------------------------------------------

// A clip of ffmpeg's test pictures (size, frames a second, seconds) coded with the video options,
// and, unless audio is empty, pink noise coded with the audio options: the seed makes the sound
// of each clip its own, and noise makes no two packets alike. audioSeconds below 0: as long as
// the video. False, with a test failure, when ffmpeg fails.
bool FfmpegClip(const std::string& path, const std::string& video, const std::string& audio,
                double seconds, int seed, double audioSeconds = -1, int rate = 25,
                const std::string& size = "160x120");

// The clip's video with audio as a byte stream of a constant-rate header (one byte a sample,
// block align 1, bytesPerSecond): the bytes given (say a clip's packets as ffmpeg writes them
// to an elementary stream), cut into one chunk after each frame where the byte clock puts it, so
// that most codec frames straddle chunks as some muxers write them. format: the audio format
// (empty: the clip's own, with block align and byte rate set so).
bool WriteByteStreamClip(const std::string& source, const std::vector<uint8_t>& audio,
                         uint32_t bytesPerSecond, const std::string& path,
                         std::vector<uint8_t> format = {});

// The video of an MPEG-4 clip with B pictures (as ffmpeg writes it: each chunk one picture, in
// decoding order) rewritten in the packed form DivX and Xvid write: each reference picture packed
// with the first B picture shown before it, the other B pictures after, then a placeholder (a VOP
// that is not coded, its time increment timeBits long) where the reference picture is shown; a
// DivX user data marked 'p' before every I picture. False, with a test failure, when it fails.
bool WritePackedMpeg4(const std::string& unpacked, const std::string& packed, int timeBits);

// ---- Reading back and damaging ----------------------------------------------------------------

// A joined (or any) file read back through our reader.
class ReadBack {
  public:
    explicit ReadBack(const std::string& path);
    bool ok() const { return m_reader != nullptr; }
    int video() const { return m_reader->findStream(kStreamTypeVideo, 0); }
    int audio() const { return m_reader->findStream(kStreamTypeAudio, 0); }
    int64_t samples(int s) const { return s < 0 ? 0 : m_reader->indexedSamples(s); }
    std::vector<uint8_t> read(int s, int64_t start, int64_t count) const;
    bool isKey(int s, int64_t pos) const {
        return m_reader->findSample(s, pos, kFindPrev | kFindKey) == pos;
    }
    const avi::Reader& reader() const { return *m_reader; }

  private:
    std::unique_ptr<avi::Reader> m_reader;
};

// Overwrites a 32-bit field of the stream header (strh payload offset) of the first stream of the
// given type ("vids" or "auds"), or a 16-bit field of that stream's format (strf payload), as a
// damaged or unfinished file may have it. False, with a test failure, when there is no such field.
bool PatchStreamHeader(const std::string& path, const char* type, int offset, uint32_t value);
bool PatchStreamFormat16(const std::string& path, const char* type, int offset, uint16_t value);
// Their field offsets: strh payload, WAVEFORMATEX.
inline constexpr int kStrhScale = 20;
inline constexpr int kStrhRate = 24;
inline constexpr int kStrhStart = 28;
inline constexpr int kStrhLength = 32;
inline constexpr int kWaveBlockAlign = 12;

// Overwrites the chunk header in front of a frame's bytes so that reading the frame fails.
void DamageFrame(const std::string& path, const ClipShape& shape, int frame);
// Sets the video stream header's dwLength, as an unfinished or damaged file may have it.
void PatchVideoLength(const std::string& path, uint32_t length);

// ---- Byte-level files -----------------------------------------------------------------------

// Little-endian bytes with RIFF chunks and lists that close with their size.
class RiffBuilder {
  public:
    // Room for a header or two from the start (which also keeps GCC 12 from taking the first
    // byte appended for a write beyond an empty vector).
    RiffBuilder() { m_v.reserve(256); }
    void u8(uint8_t v) { m_v.push_back(v); }
    void u16(uint16_t v) { u8(static_cast<uint8_t>(v)), u8(static_cast<uint8_t>(v >> 8)); }
    void u32(uint32_t v) { u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16)); }
    void u64(uint64_t v) { u32(static_cast<uint32_t>(v)), u32(static_cast<uint32_t>(v >> 32)); }
    void id(const char* s) { m_v.insert(m_v.end(), s, s + 4); }
    void raw(const std::vector<uint8_t>& b) { m_v.insert(m_v.end(), b.begin(), b.end()); }
    void patch32(size_t at, uint32_t v);
    void patch64(size_t at, uint64_t v);
    size_t size() const { return m_v.size(); }
    // Opens a chunk or list; close() writes its size.
    size_t open(const char* ckid, const char* listType = nullptr);
    void close(size_t at, bool pad = true);
    std::vector<uint8_t>& vec() { return m_v; }

  private:
    std::vector<uint8_t> m_v;
};

struct StreamSpec {
    std::string type = "vids";
    std::string handler = "TEST";
    uint32_t scale = 1, rate = 25, start = 0, length = 0, sampleSize = 0, suggested = 0;
    int16_t rc[4] = {0, 0, 0, 0};
    std::vector<uint8_t> format;
    std::string name;
};

struct ChunkSpec {
    int stream = 0;
    std::string type = "dc";
    std::vector<uint8_t> data;
    bool key = true;
};

// idx1 absent, counted from the movi list, from the file's start, from 100 bytes before movi, or
// with a size that runs past the end of the file.
enum class Idx1 { kNone, kRelative, kAbsolute, kShifted, kPastEnd };

struct FileSpec {
    std::vector<StreamSpec> streams;
    std::vector<ChunkSpec> chunks;
    Idx1 idx1 = Idx1::kRelative;
    bool recLists = false;  // every chunk in its own LIST 'rec ' (listed in idx1 too)
    bool padOdd = true;     // false: odd chunks lose their pad byte
    std::string riffForm = "AVI ";
};

// A hostile file: MJPG 64x48 at 25 fps whose first frames carry audio of the PCM wave given and
// are followed by empty video chunks, so that its audio ends far before its video.
FileSpec EmptyChunksSpec(int frames, int emptyChunks, const WAVEFORMATEX& wave);

// "01wb" for stream 1, type "wb".
std::string ChunkId(int stream, const std::string& type);
void WriteStreamList(RiffBuilder& b, const StreamSpec& st, const std::vector<uint8_t>& indx = {});
void WriteHeaderList(RiffBuilder& b, const std::vector<StreamSpec>& streams,
                     const std::vector<std::vector<uint8_t>>& indexes = {});
std::vector<uint8_t> BuildAvi(const FileSpec& shape);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Deterministic payloads: frame i of n bytes, and a run of an audio byte stream from 'from'.
std::vector<uint8_t> Frame(int i, size_t n);
std::vector<uint8_t> AudioBytes(uint64_t from, size_t n);

}  // namespace clips
