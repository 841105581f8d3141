// SPDX-License-Identifier: GPL-3.0-or-later
// ffmpeg and ffprobe as the independent judge of the files the tests make, write and join: the
// packets they demux, the pictures and sound they decode, and what they complain about.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

// Runs ffmpeg quietly (-v error) with the arguments, expecting success; its standard output
// without the line naming the software version, so that listings of two files compare.
std::string FfmpegOutput(const std::string& args);
// Whether Debian's ffmpeg here has the encoder ("libxvid", ...).
bool HaveFfmpegEncoder(const std::string& name);
// Runs ffprobe quietly (-v error) with the arguments; standard output only.
CommandResult FfprobeOutput(const std::string& args);

// The checksum ffmpeg's framecrc muxer prints for a packet: Adler-32 started from 0, "0x%08x".
std::string FrameCrc(const uint8_t* bytes, size_t size);
std::string FrameCrc(const std::vector<uint8_t>& bytes);

enum class PacketHash { kFrameCrc, kMd5 };

// One packet as ffmpeg demuxes it.
struct Packet {
    int stream = 0;
    int64_t pts = 0;
    int64_t size = 0;
    std::string hash;
    bool operator==(const Packet&) const = default;
};

// The packets of the streams map selects ("0", "0:v:0", ...), copied without decoding. When ok
// is given it tells whether ffmpeg read the file; otherwise a failure fails the test.
std::vector<Packet> CopiedPackets(const std::string& path, const std::string& map = "0",
                                  PacketHash hash = PacketHash::kFrameCrc, bool* ok = nullptr);
// "size,hash" of each packet: what two files holding the same packets at other times share.
std::vector<std::string> Payloads(const std::vector<Packet>& packets);
// The payloads (md5) of the first video stream's packets.
std::vector<std::string> VideoPayloads(const std::string& path);

// Building the listing a join should give: entries [from, to) of a listing (clamped), and one
// listing after another.
template <typename T>
std::vector<T> Slice(const std::vector<T>& v, int64_t from, int64_t to) {
    from = std::clamp<int64_t>(from, 0, static_cast<int64_t>(v.size()));
    to = std::clamp<int64_t>(to, from, static_cast<int64_t>(v.size()));
    return {v.begin() + from, v.begin() + to};
}
template <typename T>
void Append(std::vector<T>& to, const std::vector<T>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// A segment of a join: frames first to last (inclusive) of a clip.
struct JoinedSegment {
    std::string file;
    int64_t first = 0;
    int64_t last = 0;
};

// How a joined file's sound lines up with its picture, from the audio packets ffmpeg demuxes
// (without decoding) and the video frames' rate. Each segment's sound is taken to be one run of
// its clip's packets, in order, which packets of no clip (silence put in) may precede. A packet's
// time is the stream's clock before it: the bytes before it over the byte rate in a byte stream
// (byteClock), else the durations ffmpeg gives the packets before it.
struct AudioSync {
    std::vector<double> offset;  // per segment: seconds its sound starts after (+) its picture
                                 // (0 for a segment none of whose clip's packets are there)
    int unheard = 0;             // segments of clips with sound none of which is there
    std::vector<int> filler;     // per segment: packets of no clip just before its run; last:
                                 // those after the last run
    double end = 0;              // seconds the sound ends after (+) the picture
    double packet = 0;           // the longest packet, seconds
};
AudioSync MeasureAudioSync(const std::string& joined, const std::vector<JoinedSegment>& segments,
                           bool byteClock);

// One md5 per decoded picture of the first video stream, as RGB, in presentation order.
std::vector<std::string> DecodedPictureHashes(const std::string& path);
// A picture ffmpeg decodes from the first video stream (md5 of it as RGB) and the frame it is
// shown at: its timestamp less the decoder's delay, the delay taken from the packets' times.
struct ShownPicture {
    int64_t frame = 0;
    std::string hash;
};
std::vector<ShownPicture> PicturesByFrame(const std::string& path);
// The pictures shown at frames first..last, each once, in order. Before its first picture a clip
// counts as showing that one (as the movie device shows it).
std::vector<std::string> PicturesShown(const std::vector<ShownPicture>& pictures, int64_t first,
                                       int64_t last);
// Every frame of a clip's first video stream as ffmpeg decodes it, packed raw in the given pixel
// format ("yuv420p", ...), one after another in stream order; empty (with a test failure) when
// ffmpeg fails.
std::vector<unsigned char> FfmpegRawFrames(const std::string& path, const std::string& pixelFormat);
// The decoded sound of the first audio stream, raw in the given sample format (s16le, u8).
std::string DecodedAudio(const std::string& path, const std::string& format);
// The bytes of one stream ("0:a") as ffmpeg copies them out, end to end; false when ffmpeg fails.
bool CopiedStreamBytes(const std::string& path, const std::string& map,
                       std::vector<uint8_t>* bytes);
// Decoding every stream, or those map selects ("0:a"): a clean file gives exit status 0 and no
// output.
CommandResult DecodeErrors(const std::string& path, const std::string& map = "");

// The number of video packets ffprobe reads from a file, counted without decoding; -1 (with a test
// failure) when ffprobe cannot read it.
int64_t FfprobeVideoPackets(const std::string& path);
// "pts,flags" of each video packet, one a line, as ffprobe lists them ('K' marks key frames).
CommandResult VideoPacketFlags(const std::string& path);

}  // namespace testing_support
