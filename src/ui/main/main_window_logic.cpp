// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/main_window_logic.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/files.h"
#include "settings/app_title.h"
#include "settings/ini_store.h"
#include "settings/preferences.h"
#include "settings/settings_keys.h"
#include "ui/main/file_box.h"

namespace ui {

namespace {

const char* const kSaveTitle = "Save Joined File As";

// The name as the user gave it, with ".avi" added when it has no extension at all.
void AddDefaultExtension(std::string& path) {
    const std::filesystem::path name = std::filesystem::path(path).filename();
    if (name.has_extension() && name.extension() != ".") {
        return;
    }
    if (!path.empty() && path.back() == '.') {
        path.pop_back();
    }
    path += ".avi";
}

}  // namespace

platform::SaveDialogRequest JoinSaveDialogRequest(const std::string& saveDirectory,
                                                  const std::vector<ClipInfo>& clips) {
    platform::SaveDialogRequest request;
    request.title = kSaveTitle;
    request.filter = "Avi File (*.avi)|*.avi";
    request.filterIndex = 1;
    request.defaultExtension = ".avi";
    request.initialFolder = saveDirectory;
    if (!clips.empty()) {
        const std::filesystem::path first(clips.front().fileName);
        request.fileName = first.stem().string() + " joined.avi";
        if (request.initialFolder.empty()) {
            request.initialFolder = first.parent_path().string();
        }
    }
    request.flags = kJoinSaveDialogFlags;
    return request;
}

platform::OpenDialogRequest OpenClipsRequest(const std::string& folder) {
    return {"Open Clips", "Avi File (*.avi)|*.avi|All Files (*)|*", folder};
}

FileBoxMenuState FileBoxMenuRule(int selectedLines) {
    FileBoxMenuState state;
    state.addEnabled = selectedLines >= 1;
    state.previewEnabled = selectedLines == 1;
    if (selectedLines == 1) {
        state.addCaption = "Add File";
    } else if (selectedLines > 1) {
        state.addCaption = "Add Files";
    }
    return state;
}

JoinBoxMenuState JoinBoxMenuRule(int clipCount, int selectedLines) {
    JoinBoxMenuState state;
    state.previewJoinedEnabled = clipCount > 0;
    state.deleteEnabled = selectedLines > 0;
    state.previewSegmentEnabled = selectedLines == 1;
    return state;
}

MainWindowLogic::MainWindowLogic(platform::ListBox& listJoin, const MainWindowServices& services)
    : m_services(services), m_dialogs(*services.dialogs), m_job(listJoin, *services.dialogs) {
    if (m_services.texts == nullptr) {
        m_services.texts = &m_ownTexts;
    }
    if (m_services.files == nullptr) {
        m_services.files = &m_ownFiles;
    }
}

void MainWindowLogic::tell(const std::string& text) {
    m_dialogs.messageBox(settings::ApplicationTitle(), text, platform::MessageButtons::Ok);
}

int32_t MainWindowLogic::JoinCommand() {
    if (m_joinRunning || m_job.clipCount() < 1 || !m_services.startJoin) {
        return 0;
    }
    if (m_job.clipCount() > std::numeric_limits<int16_t>::max()) {
        tell("A join takes at most 32767 clips.");
        return 0;
    }
    if (!m_job.isJoinable()) {
        tell("There is nothing to join: every segment in the list is empty.");
        return 0;
    }
    // Reordering and removing can put clips of another sound format behind the base.
    if (!m_job.confirmJoinAudio()) {
        return 0;
    }

    const platform::SaveDialogResult chosen =
        m_dialogs.saveFile(JoinSaveDialogRequest(m_services.texts->saveDirectory, m_job.clips()));
    if (!chosen.shown || chosen.fileName.empty()) {
        return 0;
    }
    std::string destination = chosen.fileName;
    if (!confirmDestination(destination)) {
        return 0;
    }
    if (settings::IsCheckOn(
            settings::ReadIniValue(settings::kSectionPreferences, settings::kKeyRememberSave))) {
        m_services.texts->saveDirectory = std::filesystem::path(destination).parent_path().string();
    }

    // An existing file of that name is replaced by the join only once it has succeeded, so it is
    // not deleted here.
    m_joinRunning = true;
    const int32_t result = m_services.startJoin(
        destination, static_cast<int16_t>(m_job.clipCount()), m_job.joinEntries());
    m_joinRunning = false;

    if (result > 0) {
        const bool clean = m_services.lastJoinClean && m_services.lastJoinClean();
        const bool clearWanted = settings::IsCheckOn(
            settings::ReadIniValue(settings::kSectionPreferences, settings::kKeyClearJob));
        if (result == 2 || (clearWanted && clean)) {
            m_job.ClearJob();
        }
    }
    return result;
}

bool MainWindowLogic::confirmDestination(std::string& destination) {
    AddDefaultExtension(destination);
    for (const ClipInfo& clip : m_job.clips()) {
        if (m_services.files->sameFile(destination, clip.fileName)) {
            tell("The joined file cannot replace one of the clips being joined: " + destination);
            return false;
        }
    }
    std::error_code error;
    if (std::filesystem::exists(destination, error)) {
        const platform::MessageAnswer answer = m_dialogs.messageBox(
            kSaveTitle, destination + " already exists.\r\nDo you want to replace it?",
            platform::MessageButtons::YesNo);
        return answer == platform::MessageAnswer::Yes;
    }
    return true;
}

void MainWindowLogic::addFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : ClipPathsFrom(paths)) {
        m_job.AddClip(path);
    }
}

std::string MainWindowLogic::openClips(const std::string& folder) {
    const std::vector<std::string> chosen = m_dialogs.openFiles(OpenClipsRequest(folder));
    addFiles(chosen);
    return chosen.empty() ? std::string()
                          : std::filesystem::path(chosen.front()).parent_path().string();
}

void MainWindowLogic::clearCommand() {
    const auto& clips = m_job.clips();
    const auto marked = std::count_if(clips.begin(), clips.end(), job::IsTrimmed);
    if (marked > 0 &&
        m_dialogs.messageBox("Clear",
                             "Clear the join list?  The marks of " + std::to_string(marked) +
                                 (marked == 1 ? " segment" : " segments") + " are lost.",
                             platform::MessageButtons::YesNo) != platform::MessageAnswer::Yes) {
        return;
    }
    m_job.ClearJob();
}

void MainWindowLogic::PreviewSelectedFile(const platform::ListBox& listFiles,
                                          const std::string& folder) {
    const std::vector<int> selected = platform::SelectedLines(listFiles);
    if (selected.size() != 1 || !m_services.previewFile) {
        return;
    }
    m_services.previewFile(FolderFilePath(folder, listFiles.text(selected.front())));
}

void MainWindowLogic::PreviewSelectedSegment() {
    m_job.PreviewSelectedSegment(m_services.previewClips);
}

void MainWindowLogic::PreviewJoinedClip() {
    m_job.PreviewJoinedClip(m_services.previewClips);
}

}  // namespace ui
