// SPDX-License-Identifier: GPL-3.0-or-later
// What a join will write, known before it writes anything: the size of the joined file (frames,
// audio, the silence that keeps later clips in sync, and the index), and the silence that is
// beyond what a join writes without asking. A few kilobytes of hostile file must not turn into
// gigabytes of output, nor fill a disk halfway before failing. Also the check that each clip is
// still the file that was inspected when it was added.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "join/splice_check.h"
#include "media/clip_info.h"
#include "platform/files.h"

namespace join {

struct JoinState;

// Silence a join writes for one clip without asking: up to 10 minutes, or up to as long as the
// clip's own sound lasts when that is longer (so at most twice the audio a clip holds).
inline constexpr double kSilenceWithoutAskingSeconds = 600.0;
inline constexpr char kSilenceBoundText[] =
    "A join writes no more than 10 minutes of silence for a clip (or as much as the clip's own "
    "audio) without asking.";
// The program asks (Yes / No) with the join's text followed by "  " and this question.
inline constexpr char kLongSilenceTitle[] = "Warning: long silence";
inline constexpr char kLongSilenceQuestion[] = "Do you wish to proceed and join the clips anyway?";

// Room the joined file takes beyond its chunks' bytes: each chunk's header and index entries
// (8 + 16 bytes, padding, OpenDML's standard index), and the headers.
inline constexpr int64_t kIndexBytesPerChunk = 34;
inline constexpr int64_t kHeaderBytes = 1 << 20;

struct LongSilence {
    std::string fileName;
    bool noAudio = false;   // the clip has no audio of its own: its whole span is silence
    double seconds = 0;     // silence the join would write for it
    double ownSeconds = 0;  // audio the clip itself holds for its segment
};

struct JoinPlan {
    int64_t bytes = 0;  // the joined file's size, about (never less than it will be)
    std::vector<LongSilence> longSilences;
};

// Reads the clips' indexes (each frame's size, each audio span) of the entries to join. starts:
// how each entry's segment starts (its lead-in written from a key chunk before it), as the
// join will copy it; an entry without one starts at its lead-in.
JoinPlan PlanJoin(const JoinState& state, const std::vector<SegmentPlan>& starts);

// "The audio of FILE ends 11:06:40 before its video ..." (the question's body; no buttons).
std::string LongSilenceText(const LongSilence& silence);

// Before a clip is copied: when its file is no longer the one that was inspected (another
// identity), it is inspected again and must still fit the base as it did when it was added;
// the entry then takes the new record, keeping its segment and its audio decision. Empty when
// the clip may be copied, else the error text (it names the clip). A clip that was never
// identified, or that cannot be examined now, is left to the copy to report.
std::string CheckClipUnchanged(const platform::Files& files, const ClipInfo& base, ClipInfo& clip);

}  // namespace join
