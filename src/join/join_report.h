// SPDX-License-Identifier: GPL-3.0-or-later
// The report of a finished join: verification of the joined file and the texts that say what was
// written or what went wrong.
#pragma once

#include <cstdint>
#include <string>

#include "join/join_engine.h"
#include "media/clip_info.h"

namespace join {

struct JoinReport {
    int32_t status = 0;   // 1 joined (warnings possible), -1 / -2 the engine's result, -9 cancelled
    std::string caption;  // "Join Complete" or "Error Joining Files"; empty after a cancel
    std::string text;     // the report, lines separated by CR LF
    bool clean = false;  // verified, complete, no warnings: the sources may be offered for deletion
};

// A size in megabytes with two decimals, trailing zeros dropped: 5242880 -> "5", 1572864 -> "1.5".
std::string FormatMegabytes(int64_t bytes);

// The report from the engine's result and, for a finished join, the inspection of the joined
// file (its LoadClipInfo result and record) and its length in bytes.
JoinReport ComposeJoinReport(int32_t result, const JoinState& state, int32_t verifyResult,
                             const ClipInfo& verified, int64_t fileSize);

// The same, inspecting the destination file itself.
JoinReport MakeJoinReport(int32_t result, const JoinState& state);

}  // namespace join
