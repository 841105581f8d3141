// trelvane-cli info: the inspection result and the summary the statistics panel gives.
#include <cinttypes>
#include <cstdio>

#include "cli.h"
#include "media/clip_inspection.h"
#include "media/numbers.h"

namespace cli {

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string VideoLine(const ClipInfo& clip) {
    const VideoSummary v = GetVideoSummary(clip);
    const FrameSize size = GetFrameSize(clip);
    const float seconds = v.frameRate > 0.0f ? static_cast<float>(v.frameCount) / v.frameRate : 0;
    return v.codec + ", " + media::FormatFloat7(v.frameRate) + "fps, " +
           std::to_string(size.width) + "x" + std::to_string(size.height) + ", " +
           std::to_string(v.frameCount) + " frames, " + FormatTime(seconds, 2);
}

std::string AudioLine(const ClipInfo& clip) {
    if (clip.audioPresent <= 0) {
        return "(No Audio)";
    }
    const WAVEFORMATEX& a = clip.audioFormat;
    return std::to_string(a.wBitsPerSample) + " bit " + ChannelsText(a.nChannels) + ", " +
           std::to_string(a.nSamplesPerSec) + "Hz, " + FormatTagName(a.wFormatTag);
}

std::string JsonRecord(const ClipInfo& clip, int32_t result, const std::string& message) {
    std::string json = "{\"file\": " + JsonString(clip.fileName) +
                       ", \"result\": " + std::to_string(result) +
                       ", \"message\": " + JsonString(message);
    if (result == 0 || result == 1) {
        const VideoSummary v = GetVideoSummary(clip);
        const FrameSize size = GetFrameSize(clip);
        json += ", \"video\": {\"codec\": " + JsonString(v.codec) +
                ", \"frameRate\": " + media::FormatFloat7(v.frameRate) +
                ", \"width\": " + std::to_string(size.width) +
                ", \"height\": " + std::to_string(size.height) +
                ", \"frames\": " + std::to_string(v.frameCount) +
                ", \"summary\": " + JsonString(VideoLine(clip)) + "}";
        const WAVEFORMATEX& a = clip.audioFormat;
        json += ", \"audio\": ";
        if (clip.audioPresent > 0) {
            json += "{\"formatTag\": " + std::to_string(a.wFormatTag) +
                    ", \"format\": " + JsonString(FormatTagName(a.wFormatTag)) +
                    ", \"channels\": " + std::to_string(a.nChannels) +
                    ", \"bitsPerSample\": " + std::to_string(a.wBitsPerSample) +
                    ", \"samplesPerSecond\": " + std::to_string(a.nSamplesPerSec) +
                    ", \"blockAlign\": " + std::to_string(a.nBlockAlign) +
                    ", \"averageBytesPerSecond\": " + std::to_string(a.nAvgBytesPerSec) +
                    ", \"summary\": " + JsonString(AudioLine(clip)) + "}";
        } else {
            json += "null";
        }
    }
    return json + "}";
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        PrintError("info needs at least one FILE");
        return kExitUsage;
    }
    bool allInspected = true;
    std::string jsonText = "[";
    for (size_t i = 0; i < files.size(); ++i) {
        ClipInfo clip;
        clip.fileName = files[i];
        const int32_t result = LoadClipInfo(clip);
        std::string message;
        if (result != 0) {
            message = LoadClipInfoMessage(result, vbvfw_error(), vbvfw_errno());
        }
        allInspected = allInspected && (result == 0 || result == 1);
        if (json) {
            jsonText += (i == 0 ? "\n  " : ",\n  ") + JsonRecord(clip, result, message);
            continue;
        }
        std::printf("%s\n", clip.fileName.c_str());
        if (result == 1) {
            std::printf("  Clip %s%s\n", clip.fileName.c_str(), message.c_str());
        } else if (result != 0) {
            std::printf("  %s\n", message.c_str());
            continue;
        }
        std::printf("  Video:  %s\n  Audio:  %s\n", VideoLine(clip).c_str(),
                    AudioLine(clip).c_str());
    }
    if (json) {
        std::printf("%s\n]\n", jsonText.c_str());
    }
    return allInspected ? 0 : 1;
}

}  // namespace cli
