// Running trelvane-cli and judging its joined files with ffmpeg.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "join/audio_span.h"
#include "support/test_support.h"

namespace clitest {

using testing_support::CommandResult;
using testing_support::ShellQuote;

inline std::string CliPath() {
    return (testing_support::BinaryDir() / "cli" / "trelvane-cli").string();
}

// Runs trelvane-cli with the arguments (already quoted as needed); output and errors merged.
inline CommandResult Cli(const std::string& args) {
    return testing_support::RunCommand(ShellQuote(CliPath()) + " " + args);
}

inline std::string Ff() {
    return ShellQuote(testing_support::FfmpegPath());
}

// One line per packet of the first stream of that kind: "size,md5", from ffmpeg's framemd5 with
// the packets copied, not decoded.
inline std::vector<std::string> Packets(const std::string& file, char kind) {
    const CommandResult r = testing_support::RunCommand(
        Ff() + " -v error -i " + ShellQuote(file) + " -map 0:" + kind + ":0 -c copy -f framemd5 -",
        false);
    std::vector<std::string> out;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        // stream, dts, pts, duration, size, hash
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, ',')) {
            fields.push_back(field.substr(field.find_first_not_of(' ')));
        }
        if (fields.size() >= 6) {
            out.push_back(fields[4] + "," + fields[5]);
        }
    }
    return out;
}

inline std::vector<std::string> Slice(const std::vector<std::string>& v, int64_t from, int64_t to) {
    from = std::clamp<int64_t>(from, 0, static_cast<int64_t>(v.size()));
    to = std::clamp<int64_t>(to, from, static_cast<int64_t>(v.size()));
    return {v.begin() + from, v.begin() + to};
}

inline void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// Decoded audio as raw samples in the given sample format (s16le, u8).
inline std::string RawAudio(const std::string& file, const std::string& format) {
    return testing_support::RunCommand(
               Ff() + " -v error -i " + ShellQuote(file) + " -map 0:a:0 -f " + format + " -", false)
        .output;
}

// One md5 per decoded picture of the first video stream, as RGB, in presentation order.
inline std::vector<std::string> Pictures(const std::string& file) {
    const CommandResult r = testing_support::RunCommand(
        Ff() + " -v error -i " + ShellQuote(file) + " -map 0:v:0 -pix_fmt rgb24 -f framemd5 -",
        false);
    std::vector<std::string> out;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') {
            out.push_back(line.substr(line.rfind(',') + 1));
        }
    }
    return out;
}

// ffmpeg decodes every stream of the file without a single complaint.
inline std::string DecodeErrors(const std::string& file) {
    return testing_support::RunCommand(Ff() + " -v error -i " + ShellQuote(file) + " -f null -")
        .output;
}

inline std::string Md5(const std::string& file) {
    return testing_support::RunCommand("md5sum < " + ShellQuote(file), false).output;
}

}  // namespace clitest
