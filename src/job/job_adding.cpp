// SPDX-License-Identifier: GPL-3.0-or-later
// Adding clips to the job: the duplicate question, inspection and the checks against the base.
#include <string>

#include "job/job.h"
#include "media/clip_admission.h"
#include "media/clip_inspection.h"
#include "media/vbvfw.h"

namespace job {

namespace {

const char* const kDuplicateTitle = "Duplicate Clip";
const char* const kWarningTitle = "Warning: potential problem with clip";
const char* const kRefusalTitle = "Problem joining clip";

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace

void Job::AddSelectedFiles(const platform::ListBox& listFiles, const std::string& folder) {
    for (int line : platform::SelectedLines(listFiles)) {
        AddClip(JoinPath(folder, listFiles.text(line)));
    }
}

void Job::AddClip(const std::string& path) {
    // One question for every entry that already stands for this file.
    int standing = 0;
    for (const auto& clip : m_clips) {
        standing += clip.fileName == path ? 1 : 0;
    }
    for (int k = 0; k < standing; ++k) {
        const auto answer = m_dialogs.messageBox(
            kDuplicateTitle,
            "File " + path + " is already selected.  Do you wish to add it a second time?",
            platform::MessageButtons::YesNo);
        if (answer != platform::MessageAnswer::Yes) {
            return;
        }
    }

    // A fresh record, so that nothing of an earlier clip can stand in this one. The library's
    // status and the system's error number are read at once, before anything can change them.
    ClipInfo candidate{};
    candidate.fileName = path;
    const int32_t status = m_inspect(candidate);
    const int32_t libraryError = status != 0 ? vbvfw_error() : 0;
    const int32_t systemError = status != 0 ? vbvfw_errno() : 0;
    const ClipAdmission check = AdmitClip(m_clips.empty() ? nullptr : &m_clips.front(), candidate,
                                          status, libraryError, systemError, m_audioDropped);

    // Streams beyond the first video and audio stream are not joined: the user is told first.
    if (!check.extraStreams.empty() && !askToProceed(path, check.extraStreams)) {
        return;
    }

    switch (check.kind) {
        case ClipCheckKind::Refuse:
            m_dialogs.messageBox(kRefusalTitle, RefusalText(path, check.message),
                                 platform::MessageButtons::OkCancel);
            return;
        case ClipCheckKind::Warn:
            if (!askToProceed(path, check.message)) {
                return;
            }
            // The joined clip will have no audio; the candidate is entry 0 when the job is empty.
            if (m_clips.empty()) {
                candidate.audioPresent = 0;
            } else {
                m_clips.front().audioPresent = 0;
            }
            m_audioDropped = true;
            break;
        case ClipCheckKind::Pass:
            if (m_clips.empty()) {
                m_audioDropped = false;
            }
            break;
    }
    append(candidate);
}

bool Job::askToProceed(const std::string& path, const std::string& msg) {
    const auto answer = m_dialogs.messageBox(kWarningTitle, WarningText(path, msg),
                                             platform::MessageButtons::YesNo);
    return answer == platform::MessageAnswer::Yes;
}

void Job::append(const ClipInfo& clip) {
    const int line = clipCount();
    m_clips.push_back(clip);
    m_listJoin.addLine(FileTitle(clip.fileName));
    // Only lines whose state changes are touched: a window list reacts to every change.
    for (int other : platform::SelectedLines(m_listJoin)) {
        if (other != line) {
            m_listJoin.setSelected(other, false);
        }
    }
    m_listJoin.setSelected(line, true);
    refreshStats();
}

}  // namespace job
