// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/window/join_window_logic.h"

#include <algorithm>
#include <cstring>

#include "join/join_plan.h"
#include "media/clip_inspection.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"

namespace join {

namespace {

bool PreferenceOn(const char* key) {
    return settings::IsCheckOn(settings::ReadIniValue(settings::kSectionPreferences, key));
}

// The paths, one to a line, after a blank line.
std::string PathLines(const std::vector<std::string>& paths) {
    std::string text = "\r\n";
    for (const std::string& path : paths) {
        text += "\r\n" + path;
    }
    return text;
}

}  // namespace

std::string DeleteErrorText(const std::string& path, int errorNumber) {
    return "Error deleting " + path + " (" + std::to_string(errorNumber) + "-" +
           std::strerror(errorNumber) + ")";
}

std::vector<std::string> SourcesToDelete(const JoinState& state, const platform::Files& files) {
    std::vector<std::string> paths;
    const int count = std::min<int>(state.clipCount, static_cast<int>(state.clips.size()));
    for (int i = 0; i < count; ++i) {
        const std::string& name = state.clips[static_cast<size_t>(i)].fileName;
        const bool listed = std::any_of(paths.begin(), paths.end(), [&](const std::string& path) {
            return files.sameFile(path, name);
        });
        if (!listed && !files.sameFile(name, state.destFileName)) {
            paths.push_back(name);
        }
    }
    return paths;
}

std::string FormatDuration(int64_t seconds) {
    seconds = std::max<int64_t>(seconds, 0);
    const int64_t hours = seconds / 3600;
    const int64_t minutes = seconds / 60 % 60;
    const int64_t secs = seconds % 60;
    std::string text;
    if (hours > 0) {
        text = std::to_string(hours) + ":" + (minutes < 10 ? "0" : "");
    }
    text += std::to_string(minutes) + ":" + (secs < 10 ? "0" : "") + std::to_string(secs);
    return text;
}

std::string ProgressTimeText(int64_t elapsedMs, int totalPercent) {
    elapsedMs = std::max<int64_t>(elapsedMs, 0);
    std::string text = "Elapsed " + FormatDuration(elapsedMs / 1000);
    if (totalPercent >= kEstimatePercent && totalPercent < 100) {
        // What is left at the pace so far, rounded up to whole seconds.
        const int64_t leftMs = elapsedMs * (100 - totalPercent) / totalPercent;
        text += ", about " + FormatDuration((leftMs + 999) / 1000) + " left";
    }
    return text;
}

JoinWindowLogic::JoinWindowLogic(JoinState& state, platform::Dialogs& dialogs,
                                 platform::Files& files)
    : m_state(state), m_dialogs(dialogs), m_files(files) {}

void JoinWindowLogic::prepare(const std::string& destination, int16_t clipCount,
                              const std::vector<ClipInfo>& clips, JoinProgress* window) {
    const size_t count =
        std::min(static_cast<size_t>(std::max<int16_t>(clipCount, 0)), clips.size());
    m_state.clipCount = static_cast<int>(count);
    m_state.clips.assign(clips.begin(), clips.begin() + static_cast<std::ptrdiff_t>(count));
    m_state.destFileName = destination;
    m_state.files = &m_files;  // the join's file operations are the window's
    AttachProgressWindow(m_state, window);
}

bool JoinWindowLogic::runJoinOnce() {
    if (m_joinStarted || m_status != kStatusRunning) {
        return false;
    }
    m_joinStarted = true;
    const bool stop = settings::IsStopOn(
        settings::ReadIniValue(settings::kSectionPreferences, settings::kKeySourceErrorStop));
    m_joinRunning = true;
    // Silence beyond the bound is asked about (only while this window runs the join).
    m_state.askLongSilence = [this](const std::string& text) {
        return m_dialogs.messageBox(kLongSilenceTitle, text + "  " + kLongSilenceQuestion,
                                    platform::MessageButtons::YesNo) ==
               platform::MessageAnswer::Yes;
    };
    const int32_t result = RunJoin(m_state, stop);
    m_state.askLongSilence = nullptr;
    m_joinRunning = false;
    if (result == kJoinCancelled || m_status == kStatusCancelled) {
        m_status = kStatusCancelled;
        if (!m_quietCancel) {
            tellCancelled();
        }
        return true;
    }
    m_report = MakeJoinReport(result, m_state);
    m_status = m_report.status;
    return true;
}

// A cancelled join has no report, so say here what became of the destination and of the part
// written so far: the user must not have to guess whether a file was lost or left half-made.
void JoinWindowLogic::tellCancelled() {
    std::string text = "The join was cancelled; " + m_state.destFileName + " was not changed.";
    if (!m_state.partialFileName.empty()) {
        text += "\r\n\r\nThe part written so far was kept as:\r\n" + m_state.partialFileName;
    }
    m_dialogs.messageBox("Join Cancelled", text, platform::MessageButtons::Ok);
}

bool JoinWindowLogic::offersDelete() const {
    return m_status == kStatusJoined && m_report.complete &&
           PreferenceOn(settings::kKeyPromptDelete);
}

std::optional<std::string> JoinWindowLogic::segmentCaption(int16_t clipIndex) {
    if (clipIndex == m_lastShownClip) {
        return std::nullopt;
    }
    m_lastShownClip = clipIndex;
    std::string name;
    if (clipIndex >= 0 && clipIndex < static_cast<int>(m_state.clips.size())) {
        name = FileTitle(m_state.clips[static_cast<size_t>(clipIndex)].fileName);
    }
    return "Now Joining: " + name;
}

bool JoinWindowLogic::requestClose() {
    if (m_status != kStatusRunning) {
        return true;
    }
    const platform::MessageAnswer answer =
        m_dialogs.messageBox("Cancel Join", "Are you sure you want to cancel this operation?",
                             platform::MessageButtons::YesNo);
    if (answer != platform::MessageAnswer::Yes || m_status != kStatusRunning) {
        return false;
    }
    m_status = kStatusCancelled;
    return !m_joinRunning;
}

bool JoinWindowLogic::cancelForExit() {
    if (m_status == kStatusRunning) {
        m_status = kStatusCancelled;
        m_quietCancel = true;
    }
    return !m_joinRunning;
}

bool JoinWindowLogic::deleteSources() {
    if (!offersDelete()) {
        return false;
    }
    const std::vector<std::string> sources = SourcesToDelete(m_state, m_files);
    if (PreferenceOn(settings::kKeyDeleteAskSure) &&
        m_dialogs.messageBox("Are you sure?",
                             "Delete all of the source files now?" + PathLines(sources) +
                                 "\r\n\r\nThey are moved to the trash.",
                             platform::MessageButtons::OkCancel) != platform::MessageAnswer::Ok) {
        return false;
    }
    int tried = 0;
    std::vector<std::string> withoutTrash;
    for (const std::string& path : sources) {
        const int32_t result = m_files.moveToTrash(path);
        if (result == platform::kTrashUnavailable) {
            withoutTrash.push_back(path);
            continue;
        }
        ++tried;
        if (result != 0) {
            tellDeleteFailed(path, result);
        }
    }
    tried += deleteWithoutTrash(withoutTrash);
    if (tried == 0 && !sources.empty()) {
        return false;
    }
    m_status = kStatusSourcesDeleted;
    return true;
}

int JoinWindowLogic::deleteWithoutTrash(const std::vector<std::string>& paths) {
    if (paths.empty() ||
        m_dialogs.messageBox("Delete Source Files",
                             "There is no trash for these files:" + PathLines(paths) +
                                 "\r\n\r\nDelete them for good? They cannot be restored then.",
                             platform::MessageButtons::YesNo) != platform::MessageAnswer::Yes) {
        return 0;
    }
    for (const std::string& path : paths) {
        const int32_t result = m_files.deleteFile(path);
        if (result != 0) {
            tellDeleteFailed(path, result);
        }
    }
    return static_cast<int>(paths.size());
}

void JoinWindowLogic::tellDeleteFailed(const std::string& path, int32_t errorNumber) {
    m_dialogs.messageBox("Delete Failed", DeleteErrorText(path, errorNumber),
                         platform::MessageButtons::Ok);
}

}  // namespace join
