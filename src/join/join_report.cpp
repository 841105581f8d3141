// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/join_report.h"

#include <sys/stat.h>

#include <cstring>

#include "media/clip_inspection.h"

namespace join {

namespace {

const char* const kCrLf = "\r\n";
const char* const kRecommendation =
    "It is HIGHLY recommended that you verify that the joined file plays correctly before "
    "deleting any of the source clips.";

std::string CompletedLine(const JoinState& state, int64_t fileSize) {
    return std::to_string(state.framesWritten) + " Frames, " + FormatMegabytes(fileSize) + "MB";
}

}  // namespace

std::string FormatMegabytes(int64_t bytes) {
    if (bytes < 0) {
        bytes = 0;
    }
    // Hundredths of a megabyte, bytes x 100 / 2^20 rounded half to even, exactly in integers.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(bytes) * 100;
    const unsigned __int128 mb = 1u << 20;
    uint64_t hundredths = static_cast<uint64_t>(scaled / mb);
    const unsigned __int128 twice = (scaled % mb) * 2;
    if (twice > mb || (twice == mb && (hundredths & 1) != 0)) {
        ++hundredths;
    }
    std::string text = std::to_string(hundredths / 100);
    const uint64_t frac = hundredths % 100;
    if (frac != 0) {
        text += frac % 10 == 0 ? "." + std::to_string(frac / 10)
                               : (frac < 10 ? ".0" : ".") + std::to_string(frac);
    }
    return text;
}

JoinReport ComposeJoinReport(int32_t result, const JoinState& state, int32_t verifyResult,
                             const ClipInfo& verified, int64_t fileSize) {
    JoinReport report;
    report.status = result;
    if (result == kJoinCancelled) {
        return report;
    }
    if (result != kJoinDone) {
        report.caption = "Error Joining Files";
        report.text = std::string("Operation not completed!") + kCrLf + kCrLf +
                      "An error occurred while " + state.lastErrorText + kCrLf + "Error code " +
                      std::to_string(state.lastErrorCode & 0xFFF) + " (" +
                      std::to_string(state.lastErrorCode) + ")";
        if (state.lastErrorErrno != 0) {
            report.text += std::string(": ") + std::strerror(state.lastErrorErrno);
        }
        if (!state.partialFileName.empty()) {
            report.text += std::string(kCrLf) + kCrLf +
                           "The part written so far was kept as:" + kCrLf + state.partialFileName;
        } else if (state.partRemoved) {
            report.text += std::string(kCrLf) + kCrLf + kPartRemovedText;
        }
        return report;
    }
    report.status = 1;
    report.caption = "Join Complete";
    const std::string& dest = state.destFileName;
    if (verifyResult != 0) {
        report.text = std::string("WARNING: Unable to verify the integrity of joined file:") +
                      kCrLf + dest + kCrLf + kRecommendation;
        return report;
    }
    if (verified.segmentFrames != state.framesWritten || !state.warnings.empty()) {
        report.text = std::string("WARNING: Joined file may be incomplete or missing frames.") +
                      kCrLf + kRecommendation + kCrLf + "Completed Clip:" + kCrLf + dest + kCrLf +
                      CompletedLine(state, fileSize) + kCrLf + state.warnings + state.notes;
        return report;
    }
    report.text = std::string("Completed Clip:") + kCrLf + dest + kCrLf + kCrLf +
                  CompletedLine(state, fileSize);
    if (!state.notes.empty()) {
        report.text += kCrLf + state.notes.substr(0, state.notes.size() - 2);
    }
    // Only a join that wrote every frame of a non-empty job may lead to deleting the sources.
    const int64_t expected = TotalSegmentFrames(state);
    report.clean = expected > 0 && state.framesWritten == expected;
    return report;
}

JoinReport MakeJoinReport(int32_t result, const JoinState& state) {
    ClipInfo verified;
    int32_t verifyResult = -1;
    int64_t fileSize = 0;
    if (result == kJoinDone) {
        verified.fileName = state.destFileName;
        verifyResult = LoadClipInfo(verified);
        struct stat info {};
        if (::stat(state.destFileName.c_str(), &info) == 0) {
            fileSize = static_cast<int64_t>(info.st_size);
        }
    }
    return ComposeJoinReport(result, state, verifyResult, verified, fileSize);
}

}  // namespace join
