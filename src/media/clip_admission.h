// SPDX-License-Identifier: GPL-3.0-or-later
// Whether an inspected clip may enter a job: the one rule behind adding a clip in the program and
// naming it to trelvane-cli. It refuses (the video cannot be joined, or the file could not be
// inspected), asks (the clip joins only without audio), or admits; and it names the streams that
// will not be joined. Pure: it looks only at the records and numbers it is given.
#pragma once

#include <cstdint>
#include <string>

#include "media/clip_compare.h"
#include "media/clip_info.h"

struct ClipAdmission {
    ClipCheckKind kind = ClipCheckKind::Pass;  // Refuse, Warn (ask first) or Pass
    std::string message;                       // the msg of the refusal or the question
    // " has 1 video stream and 2 audio streams. ..." when the file holds more streams than a join
    // copies; told (or asked about) before the clip is added, unless it is refused.
    std::string extraStreams;
};

// base: entry 0 of the job, or nullptr for the first clip. status: what LoadClipInfo returned for
// the candidate; libraryError and systemError: vbvfw_error() and vbvfw_errno() read right after
// it. audioDropped: the job already joins without audio.
// The video is compared even when the audio was unreadable (status 1), so a clip that cannot be
// joined is refused before any question about its audio.
ClipAdmission AdmitClip(const ClipInfo* base, const ClipInfo& candidate, int32_t status,
                        int32_t libraryError, int32_t systemError, bool audioDropped);

// "Clip PATH could not be joined. (MSG)"
std::string RefusalText(const std::string& path, const std::string& message);
// "Clip PATH" + msg + "  Do you wish to proceed and join the clips anyway?"
std::string WarningText(const std::string& path, const std::string& message);
