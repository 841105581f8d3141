// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a clip can be joined to the base clip (the first clip of a job).
#pragma once

#include <string>

#include "media/clip_info.h"

enum class ClipCheckKind {
    Pass,    // joins as it is
    Refuse,  // the video does not match: the clip cannot be joined
    Warn,    // the audio does not match: it can be joined, the joined clip then has no audio
};

struct ClipCheck {
    ClipCheckKind kind = ClipCheckKind::Pass;
    std::string message;  // the message text (msg) that goes into the refusal or warning box
};

// Compares a candidate with the base: codec, frame rate, frame size (refusals, in that order),
// then the audio format when the base has audio, or the candidate's audio when the base has none
// and audio was not already dropped (warnings). The first mismatch decides.
ClipCheck CompareClipWithBase(const ClipInfo& base, const ClipInfo& candidate, bool audioDropped);

// Before a join: when entry 0 has audio, the first entry whose audio does not match it (a missing
// audio track counts as a mismatch) gives the standard warning text; Pass when all match.
// Returns the index of the mismatching entry in *index (-1 when none).
ClipCheck CheckJobAudio(const ClipInfo* clips, int count, int* index);
