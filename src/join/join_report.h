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
    // Verified and every frame of a non-empty job written with nothing lost: the sources may be
    // offered for deletion.
    bool complete = false;
    // Complete, and nothing to warn of at all (not even audio that ends early): the job may be
    // cleared by preference, and trelvane-cli ends with 0.
    bool clean = false;
};

// "Audio of NAME ends 2 frames before its video", and "; later clips may be out of sync" when
// an entry with frames follows, one line for each shortfall.
std::string AudioShortfallLines(const JoinState& state);

// A size in megabytes with two decimals, trailing zeros dropped: 5242880 -> "5", 1572864 -> "1.5".
std::string FormatMegabytes(int64_t bytes);

// The report from the engine's result and, for a finished join, the inspection of the joined
// file (its LoadClipInfo result and record) and its length in bytes.
JoinReport ComposeJoinReport(int32_t result, const JoinState& state, int32_t verifyResult,
                             const ClipInfo& verified, int64_t fileSize);

// The same, inspecting the destination file itself.
JoinReport MakeJoinReport(int32_t result, const JoinState& state);

}  // namespace join
