// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ffmpeg_judge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace testing_support {

std::string FfmpegOutput(const std::string& args) {
    const auto r = RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin " + args, false);
    EXPECT_EQ(r.exitCode, 0) << args;
    std::string kept;
    for (const std::string& line : Lines(r.output)) {
        if (line.rfind("#software", 0) != 0) {
            kept += line + "\n";
        }
    }
    return kept;
}

bool HaveFfmpegEncoder(const std::string& name) {
    const auto r = RunCommand(ShellQuote(FfmpegPath()) + " -hide_banner -encoders", false);
    return r.output.find(" " + name + " ") != std::string::npos;
}

CommandResult FfprobeOutput(const std::string& args) {
    return RunCommand(ShellQuote(FfprobePath()) + " -v error " + args, false);
}

std::string FrameCrc(const uint8_t* bytes, size_t size) {
    uint32_t a = 0;
    uint32_t b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + bytes[i]) % 65521;
        b = (b + a) % 65521;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", (b << 16) | a);
    return text;
}

std::string FrameCrc(const std::vector<uint8_t>& bytes) {
    return FrameCrc(bytes.data(), bytes.size());
}

std::vector<Packet> CopiedPackets(const std::string& path, const std::string& map, PacketHash hash,
                                  bool* ok) {
    const auto r = RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " +
                                  ShellQuote(path) + " -map " + map + " -c copy -f " +
                                  (hash == PacketHash::kMd5 ? "framemd5" : "framecrc") + " -",
                              false);
    if (ok != nullptr) {
        *ok = r.exitCode == 0;
    } else {
        EXPECT_EQ(r.exitCode, 0) << "ffmpeg cannot read " << path << " " << map;
    }
    std::vector<Packet> packets;
    for (const std::string& line : Lines(r.output)) {
        // stream, dts, pts, duration, size, hash[, flags]
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');) {
            const size_t start = field.find_first_not_of(' ');
            fields.push_back(start == std::string::npos ? "" : field.substr(start));
        }
        if (!line.empty() && line[0] != '#' && fields.size() >= 6) {
            packets.push_back(
                {std::stoi(fields[0]), std::stoll(fields[2]), std::stoll(fields[4]), fields[5]});
        }
    }
    return packets;
}

std::vector<std::string> Payloads(const std::vector<Packet>& packets) {
    std::vector<std::string> payloads;
    for (const Packet& p : packets) {
        payloads.push_back(std::to_string(p.size) + "," + p.hash);
    }
    return payloads;
}

std::vector<std::string> VideoPayloads(const std::string& path) {
    return Payloads(CopiedPackets(path, "0:v:0", PacketHash::kMd5));
}

namespace {

// The first audio stream's packets: hash, and length on the stream's clock in seconds.
struct TimedPacket {
    std::string hash;
    double length = 0;
};

std::vector<TimedPacket> TimedAudioPackets(const std::string& path, bool byteClock) {
    const auto r = RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " +
                                  ShellQuote(path) + " -map 0:a:0? -c copy -f framemd5 -",
                              false);
    EXPECT_EQ(r.exitCode, 0) << "ffmpeg cannot read the audio of " << path;
    double timeBase = 0;
    std::vector<TimedPacket> packets;
    for (const std::string& line : Lines(r.output)) {
        int num = 0;
        int den = 0;
        if (std::sscanf(line.c_str(), "#tb 0: %d/%d", &num, &den) == 2 && den != 0) {
            timeBase = static_cast<double>(num) / den;
        }
        if (line.rfind("#media_type 0: ", 0) == 0 && line != "#media_type 0: audio") {
            return {};  // no audio: ffmpeg picked another stream
        }
        // stream, dts, pts, duration, size, hash
        long long duration = 0;
        long long size = 0;
        char hash[64] = {};
        if (!line.empty() && line[0] != '#' &&
            std::sscanf(line.c_str(), "%*d, %*d, %*d, %lld, %lld, %63s", &duration, &size, hash) ==
                3) {
            packets.push_back({hash, timeBase * static_cast<double>(byteClock ? size : duration)});
        }
    }
    return packets;
}

double FrameRate(const std::string& path) {
    const auto r = FfprobeOutput(
        "-select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 " + ShellQuote(path));
    int num = 0;
    int den = 0;
    EXPECT_EQ(std::sscanf(r.output.c_str(), "%d/%d", &num, &den), 2) << path;
    return den > 0 ? static_cast<double>(num) / den : 0;
}

std::vector<double> StartTimes(const std::vector<TimedPacket>& packets) {
    std::vector<double> times(1, 0.0);
    for (const TimedPacket& p : packets) {
        times.push_back(times.back() + p.length);
    }
    return times;
}

}  // namespace

AudioSync MeasureAudioSync(const std::string& joined, const std::vector<JoinedSegment>& segments,
                           bool byteClock) {
    AudioSync sync;
    const std::vector<TimedPacket> out = TimedAudioPackets(joined, byteClock);
    const std::vector<double> outTime = StartTimes(out);
    const double fps = FrameRate(joined);
    for (const TimedPacket& p : out) {
        sync.packet = std::max(sync.packet, p.length);
    }
    size_t k = 0;
    int64_t frames = 0;  // of the joined file, before the segment
    for (size_t i = 0; i < segments.size(); ++i) {
        const JoinedSegment& seg = segments[i];
        const std::vector<TimedPacket> in = TimedAudioPackets(seg.file, byteClock);
        const std::vector<double> inTime = StartTimes(in);
        frames += seg.last - seg.first + 1;
        if (in.empty()) {
            sync.filler.push_back(0);  // a clip without sound: what stands for it comes next
            sync.offset.push_back(0);
            continue;
        }
        // Where the run starts: the first joined packet that is one of the clip's.
        const size_t from = k;
        size_t m = in.size();
        int filler = 0;
        for (; k < out.size(); ++k, ++filler) {
            const auto same = [&](const TimedPacket& p) { return p.hash == out[k].hash; };
            m = static_cast<size_t>(std::find_if(in.begin(), in.end(), same) - in.begin());
            if (m < in.size()) {
                break;
            }
        }
        if (m == in.size()) {
            ++sync.unheard;  // what stands for it (silence, or nothing) comes next
            k = from;
            sync.filler.push_back(0);
            sync.offset.push_back(0);
            continue;
        }
        sync.filler.push_back(filler);
        const int64_t before = frames - (seg.last - seg.first + 1);
        sync.offset.push_back(outTime[k] - inTime[m] -
                              static_cast<double>(before - seg.first) / fps);
        for (; k < out.size() && m < in.size() && out[k].hash == in[m].hash; ++k, ++m) {
        }
    }
    sync.filler.push_back(static_cast<int>(out.size() - k));
    sync.end = outTime.back() - static_cast<double>(frames) / fps;
    return sync;
}

std::vector<std::string> DecodedPictureHashes(const std::string& path) {
    const auto r = RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " +
                                  ShellQuote(path) + " -map 0:v:0 -pix_fmt rgb24 -f framemd5 -",
                              false);
    EXPECT_EQ(r.exitCode, 0) << "ffmpeg cannot decode " << path;
    std::vector<std::string> hashes;
    for (const std::string& line : Lines(r.output)) {
        if (!line.empty() && line[0] != '#') {
            hashes.push_back(line.substr(line.rfind(',') + 1));
        }
    }
    return hashes;
}

std::vector<ShownPicture> PicturesByFrame(const std::string& path) {
    const auto decoded =
        RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " + ShellQuote(path) +
                       " -map 0:v:0 -fps_mode passthrough -pix_fmt rgb24 -f framemd5 -",
                   false);
    const auto packets = FfprobeOutput("-select_streams v:0 -show_entries packet=dts -of csv=p=0 " +
                                       ShellQuote(path));
    EXPECT_EQ(decoded.exitCode, 0) << "ffmpeg cannot decode " << path;
    std::vector<ShownPicture> pictures;
    for (const std::string& line : Lines(decoded.output)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');) {
            fields.push_back(field.substr(std::min(field.find_first_not_of(' '), field.size())));
        }
        if (!line.empty() && line[0] != '#' && fields.size() >= 6) {
            pictures.push_back({std::stoll(fields[2]), fields[5]});
        }
    }
    std::vector<int64_t> times;
    for (const std::string& line : Lines(packets.output)) {
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            times.push_back(std::stoll(line));
        }
    }
    int64_t delay = INT64_MAX;
    for (size_t i = 0; i < pictures.size() && i < times.size(); ++i) {
        delay = std::min(delay, pictures[i].frame - times[i]);
    }
    for (ShownPicture& picture : pictures) {
        picture.frame -= delay == INT64_MAX ? 0 : delay;
    }
    return pictures;
}

std::vector<std::string> PicturesShown(const std::vector<ShownPicture>& pictures, int64_t first,
                                       int64_t last) {
    std::vector<std::string> shown;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const int64_t from = i == 0 ? INT64_MIN : pictures[i].frame;
        const int64_t until = i + 1 < pictures.size() ? pictures[i + 1].frame : INT64_MAX;
        if (from <= last && until > first) {
            shown.push_back(pictures[i].hash);
        }
    }
    return shown;
}

std::vector<unsigned char> FfmpegRawFrames(const std::string& path,
                                           const std::string& pixelFormat) {
    TempDir dir;
    const std::string out = dir.file("frames.raw");
    if (!Ffmpeg("-i " + ShellQuote(path) +
                " -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt " + pixelFormat + " " +
                ShellQuote(out))) {
        return {};
    }
    return ReadFileBytes(out);
}

std::string DecodedAudio(const std::string& path, const std::string& format) {
    const auto r = RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " +
                                  ShellQuote(path) + " -map 0:a:0 -f " + format + " -",
                              false);
    EXPECT_EQ(r.exitCode, 0) << "ffmpeg cannot decode the sound of " << path;
    return r.output;
}

bool CopiedStreamBytes(const std::string& path, const std::string& map,
                       std::vector<uint8_t>* bytes) {
    TempDir dir;
    const std::string out = dir.file("stream.data");
    const auto r =
        RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " + ShellQuote(path) +
                   " -map " + map + " -c copy -f data " + ShellQuote(out));
    *bytes = ReadFileBytes(out);
    return r.exitCode == 0;
}

CommandResult DecodeErrors(const std::string& path, const std::string& map) {
    return RunCommand(ShellQuote(FfmpegPath()) + " -v error -nostdin -i " + ShellQuote(path) +
                      (map.empty() ? "" : " -map " + map) + " -f null -");
}

int64_t FfprobeVideoPackets(const std::string& path) {
    const auto result = FfprobeOutput(
        "-select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
        ShellQuote(path));
    if (result.exitCode != 0 || result.output.empty()) {
        ADD_FAILURE() << "ffprobe cannot read " << path << "\n" << result.output;
        return -1;
    }
    return std::strtoll(result.output.c_str(), nullptr, 10);
}

CommandResult VideoPacketFlags(const std::string& path) {
    return FfprobeOutput("-select_streams v -show_entries packet=pts,flags -of csv=p=0 " +
                         ShellQuote(path));
}

}  // namespace testing_support
