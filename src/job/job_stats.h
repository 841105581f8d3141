// SPDX-License-Identifier: GPL-3.0-or-later
// Totals of the job and the captions of the two statistics panels of the main window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/clip_info.h"

namespace job {

// Frames an entry adds to the join: its segment, or 0 when the segment is empty or inverted.
int32_t CountedFrames(const ClipInfo& clip);

// The entry's segment is not the whole clip: its lead-in is not 0 or its lead-out is not the
// clip's last frame.
bool IsTrimmed(const ClipInfo& clip);

// The entry's line in the join list: the file title, and the segment when it is trimmed
// ("b.avi [10-30]").
std::string JoinListLine(const ClipInfo& clip);

struct JobTotals {
    int64_t joinedFrames = 0;
    float joinedSeconds = 0.0f;
    int selectedLines = 0;  // selected lines that stand for an entry
    int64_t selectedFrames = 0;
    float selectedSeconds = 0.0f;
};

// selectedLines: the selected lines of the join list (lines past the job are ignored).
JobTotals ComputeTotals(const std::vector<ClipInfo>& clips, const std::vector<int>& selectedLines);

struct StatsCaptions {
    std::string frameJoin;
    std::string labLength;
    std::string labVideoStats;
    std::string labAudioStats;
    std::string frameSeg;
    std::string labSegLength;
    std::string labSegLead;
};

StatsCaptions BuildStatsCaptions(const std::vector<ClipInfo>& clips,
                                 const std::vector<int>& selectedLines);

}  // namespace job
