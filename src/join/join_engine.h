// SPDX-License-Identifier: GPL-3.0-or-later
// The join engine: copies the segments of a job's clips, frame by frame with each frame's audio,
// into one new AVI file whose stream headers and formats are those of the first clip.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/clip_info.h"
#include "platform/avi/avi_common.h"
#include "platform/files.h"

namespace platform {
class SilenceEncoder;
}

namespace join {

inline constexpr int32_t kJoinDone = 0;
inline constexpr int32_t kJoinDestinationError = -1;
inline constexpr int32_t kJoinSourceError = -2;
inline constexpr int32_t kJoinCancelled = -9;

// Largest single frame, or single frame's audio, the engine will read (a larger one is a source
// read error): the largest chunk the AVI library accepts. The transfer buffer grows up to it and
// never shrinks.
inline constexpr int64_t kMaxTransferSize = avi::Limits{}.maxChunkSize;

inline constexpr char kPartRemovedText[] =
    "The part written so far was removed to give the space back.";

// What the engine reports progress to. show_progress gets the index of the entry being copied,
// the segment percent and the total percent; a result of -9 asks the engine to stop.
class JoinProgress {
  public:
    virtual ~JoinProgress() = default;
    virtual int32_t show_progress(int16_t clipIndex, int16_t segmentPercent,
                                  int16_t totalPercent) = 0;
};

// An entry whose audio ended before its video and could not be padded: frames of it were written
// without any audio.
struct AudioShortfall {
    int entry = 0;
    int64_t frames = 0;
};

// The engine's state, filled by the caller before a join and read by it afterwards.
struct JoinState {
    int clipCount = 0;
    std::vector<ClipInfo> clips;
    std::string destFileName;
    int64_t framesWritten = 0;
    std::string warnings;  // one line per problem, each ending in CR LF
    std::string notes;     // what the user should know though nothing was lost (silence written)
    std::vector<AudioShortfall> audioShortfalls;  // nothing lost either, but later audio is early
    int32_t lastErrorCode = 0;
    std::string lastErrorText;
    int32_t lastErrorErrno = 0;  // the system's error number behind the fatal error, 0 when none
    // Where the part written before a failure or a cancel was kept ("NAME.partial.avi" beside
    // the destination, or the temporary name when that one exists); empty when nothing was kept.
    std::string partialFileName;
    // The join failed for lack of room and removed what it had written (kPartRemovedText).
    bool partRemoved = false;
    JoinProgress* progressWindow = nullptr;
    bool progressEnabled = false;
    // show_progress is called when a percentage changes, and also when this long has passed
    // since the last call, so that a window stays responsive and a cancel is seen soon while a
    // slow disk takes seconds for one percent (0: after every frame).
    int progressIntervalMs = 100;
    // The file operations of the join (the system's when not given).
    platform::Files* files = nullptr;
    // Silence beyond what a join writes for a clip without asking (join_plan.h): allowed
    // outright, or asked about (the text says what and why, lines ending in CR LF; true: go on,
    // false: the join ends as cancelled before anything is written). Neither: refused (-1).
    bool allowLongSilence = false;
    std::function<bool(const std::string& question)> askLongSilence;
    // Makes silence in a compressed audio format for clips whose audio ends before their video
    // (or that have none), so that later clips stay in step; null: the report says how far the
    // later clips' audio is shifted instead.
    const platform::SilenceEncoder* silenceEncoder = nullptr;
};

// The module-wide state the join window fills.
JoinState& ModuleJoinState();

void SetJoinError(JoinState& state, int32_t code, const std::string& text);
void AttachProgressWindow(JoinState& state, JoinProgress* window);
// Runs the whole join on the state. Returns 0 done (warnings may have been collected), -1 a
// destination error, -2 a source error, -9 cancelled through show_progress.
// Before anything is written: the destination must be a file name that names nothing or a
// regular file, and none of the clips; each clip must still be the file that was inspected (or
// still fit the base when inspected again); the joined file's size must fit the room on the
// destination's file system; silence beyond the bound needs allowing. Each clip is checked again
// just before it is copied.
// The joined file is written under a new name in the destination's folder
// ("NAME.XXXXXX.partial.avi", created exclusively, never through a symbolic link, locked while it
// is written: a second join to the same destination is refused, parts that killed joins left are
// removed), checked by inspecting it, flushed to the disk and only then renamed over
// destFileName, taking its permission bits: an existing destination stays untouched until a join
// succeeded. A join that wrote no frame fails (-1) and leaves no file. After a failure or a
// cancel the part written so far is finished with its index and kept as "NAME.partial.avi"
// (partialFileName), unless the failure was for lack of room: then it is removed.
int32_t RunJoin(JoinState& state, bool stopOnSourceError);

// True when the stream's nearest key frame at or before pos is pos itself.
bool IsKeyFrame(int16_t stream, int32_t pos);

// Sum of the entries' segment frames, counting segments of 0 or fewer frames as 0.
int64_t TotalSegmentFrames(const JoinState& state);

}  // namespace join
