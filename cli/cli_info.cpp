// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane-cli info: the inspection result and the summary the statistics panel gives.
#include <cinttypes>
#include <cstdio>

#include "cli.h"
#include "media/clip_inspection.h"
#include "media/numbers.h"

namespace cli {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) {
        return 0;
    }
    uint32_t code = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= least[n] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid ? n : 0;
}

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8Length(text, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

// A JSON string; bytes that are not UTF-8 (a file name may hold any) become U+FFFD.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            const size_t n = Utf8Length(text, i);
            out += n == 0 ? std::string("\\ufffd") : text.substr(i, n);
            i += n == 0 ? 0 : n - 1;
        } else if (c == '"' || c == '\\') {
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
    std::string json = "{\"file\": " + JsonString(clip.fileName);
    if (!IsUtf8(clip.fileName)) {
        // The name's bytes exactly, for scripts that must find the file again.
        std::string hex;
        for (const char ch : clip.fileName) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(ch));
            hex += digits;
        }
        json += ", \"fileBytes\": \"" + hex + "\"";
    }
    json += ", \"videoStreams\": " + std::to_string(clip.videoStreams) +
            ", \"audioStreams\": " + std::to_string(clip.audioStreams) +
            ", \"result\": " + std::to_string(result) + ", \"message\": " + JsonString(message);
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
            const int32_t libraryError = vbvfw_error();
            const int32_t systemError = vbvfw_errno();
            message = LoadClipInfoMessage(result, libraryError, systemError);
            if (result == -1) {
                message += ": " + PlainOpenReason(libraryError, systemError);
            }
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
        if (clip.videoStreams > 1 || clip.audioStreams > 1) {
            std::printf("  Streams:  %d video, %d audio; only the first of each is joined\n",
                        clip.videoStreams, clip.audioStreams);
        }
    }
    if (json) {
        std::printf("%s\n]\n", jsonText.c_str());
    }
    return allInspected ? 0 : 1;
}

}  // namespace cli
