// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/clip_admission.h"

#include "media/clip_inspection.h"

ClipAdmission AdmitClip(const ClipInfo* base, const ClipInfo& candidate, int32_t status,
                        int32_t libraryError, int32_t systemError, bool audioDropped) {
    ClipAdmission verdict;
    if (status != 0) {
        verdict.kind = status == 1 ? ClipCheckKind::Warn : ClipCheckKind::Refuse;
        verdict.message = LoadClipInfoMessage(status, libraryError, systemError);
    }
    if (base != nullptr && (status == 0 || status == 1)) {
        const ClipCheck comparison = CompareClipWithBase(*base, candidate, audioDropped);
        if (status == 0 || comparison.kind == ClipCheckKind::Refuse) {
            verdict.kind = comparison.kind;
            verdict.message = comparison.message;
        }
    }
    if (verdict.kind != ClipCheckKind::Refuse) {
        verdict.extraStreams =
            ExtraStreamsMessage(StreamCounts{candidate.videoStreams, candidate.audioStreams});
    }
    return verdict;
}

std::string RefusalText(const std::string& path, const std::string& message) {
    return "Clip " + path + " could not be joined. (" + message + ")";
}

std::string WarningText(const std::string& path, const std::string& message) {
    return "Clip " + path + message + "  Do you wish to proceed and join the clips anyway?";
}
