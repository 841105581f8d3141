// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/window/join_window_logic.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

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

}  // namespace

int DeleteFileWithErrno(const std::string& path) {
    if (::unlink(path.c_str()) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

std::string DeleteErrorText(const std::string& path, int errorNumber) {
    return "Error deleting " + path + " (" + std::to_string(errorNumber) + "-" +
           std::strerror(errorNumber) + ")";
}

std::vector<std::string> SourcesToDelete(const JoinState& state) {
    std::vector<std::string> paths;
    std::set<std::string> seen;
    struct stat joined {};
    const bool joinedExists = ::stat(state.destFileName.c_str(), &joined) == 0;
    const int count = std::min<int>(state.clipCount, static_cast<int>(state.clips.size()));
    for (int i = 0; i < count; ++i) {
        const std::string& name = state.clips[static_cast<size_t>(i)].fileName;
        std::error_code error;
        std::filesystem::path key = std::filesystem::absolute(name, error);
        if (error) {
            key = name;
        }
        if (!seen.insert(key.lexically_normal().string()).second) {
            continue;
        }
        struct stat source {};
        if (joinedExists && ::stat(name.c_str(), &source) == 0 && source.st_dev == joined.st_dev &&
            source.st_ino == joined.st_ino) {
            continue;
        }
        paths.push_back(name);
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

JoinWindowLogic::JoinWindowLogic(JoinState& state, platform::Dialogs& dialogs)
    : m_state(state), m_dialogs(dialogs), m_delete(DeleteFileWithErrno) {}

void JoinWindowLogic::prepare(const std::string& destination, int16_t clipCount,
                              const std::vector<ClipInfo>& clips, JoinProgress* window) {
    const size_t count =
        std::min(static_cast<size_t>(std::max<int16_t>(clipCount, 0)), clips.size());
    m_state.clipCount = static_cast<int>(count);
    m_state.clips.assign(clips.begin(), clips.begin() + static_cast<std::ptrdiff_t>(count));
    m_state.destFileName = destination;
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
    return m_status == kStatusJoined && clean() && PreferenceOn(settings::kKeyPromptDelete);
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
    if (PreferenceOn(settings::kKeyDeleteAskSure) &&
        m_dialogs.messageBox("Are you sure?", "Delete all of the source files now?",
                             platform::MessageButtons::OkCancel) != platform::MessageAnswer::Ok) {
        return false;
    }
    for (const std::string& path : SourcesToDelete(m_state)) {
        const int error = m_delete(path);
        if (error != 0) {
            m_dialogs.messageBox("Delete Failed", DeleteErrorText(path, error),
                                 platform::MessageButtons::Ok);
        }
    }
    m_status = kStatusSourcesDeleted;
    return true;
}

}  // namespace join
