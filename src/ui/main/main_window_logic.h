// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window's commands do, apart from its widgets: the join command with its questions,
// the pop-up menus' enable rules, adding named or dropped files, and the preview hand-overs. Plain
// C++ over the job, the list box and dialogs interfaces and the services the window is given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job.h"
#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/list_box.h"
#include "ui/main/main_window_services.h"

namespace ui {

// The save dialog of the join command: do not change the current folder, long names, the folder
// must exist, hide the read-only box, no read-only files. The join command asks before replacing
// a file itself, once it knows the name is not one of the clips (the dialog would ask first).
inline constexpr uint32_t kJoinSaveDialogFlags = 0x20880C;

// The dialog proposes "<first clip's title> joined.avi" in saveDirectory, or in the first clip's
// folder while saveDirectory is empty.
platform::SaveDialogRequest JoinSaveDialogRequest(const std::string& saveDirectory,
                                                  const std::vector<ClipInfo>& clips);

// "Open Clips...": AVI files, in the folder given.
platform::OpenDialogRequest OpenClipsRequest(const std::string& folder);

// The file box pop-up for n selected lines. An empty caption leaves the add item's caption as it
// was.
struct FileBoxMenuState {
    bool previewEnabled = false;
    bool addEnabled = false;
    std::string addCaption;
};
FileBoxMenuState FileBoxMenuRule(int selectedLines);

// The join list pop-up for the job's length and n selected lines.
struct JoinBoxMenuState {
    bool previewJoinedEnabled = false;
    bool previewSegmentEnabled = false;
    bool deleteEnabled = false;
};
JoinBoxMenuState JoinBoxMenuRule(int clipCount, int selectedLines);

class MainWindowLogic {
  public:
    // services.dialogs must be set (services.texts may be null: the logic then keeps its own);
    // listJoin shows the job. Both outlive the logic.
    MainWindowLogic(platform::ListBox& listJoin, const MainWindowServices& services);

    job::Job& job() { return m_job; }
    const job::Job& job() const { return m_job; }

    // Asks for the joined file's name and runs the join. Returns the join's result, or 0 when no
    // join ran (nothing to join, a declined question, a cancelled dialog, a refused name).
    int32_t JoinCommand();
    // True while the join started by JoinCommand runs; the window may not close then.
    bool joinRunning() const { return m_joinRunning; }

    // Files named on the command line or dropped on the join list, through AddClip in order;
    // a folder stands for its AVI files.
    void addFiles(const std::vector<std::string>& paths);
    // "Open Clips...": the open dialog in folder, and the chosen files through AddClip. Returns
    // the folder they were chosen in, empty when none were.
    std::string openClips(const std::string& folder);
    // "Clear": empties the job, after asking when segments were marked that would be lost.
    void clearCommand();

    // The preview hand-overs; each does nothing unless its selection rule holds.
    void PreviewSelectedFile(const platform::ListBox& listFiles, const std::string& folder);
    void PreviewSelectedSegment();
    void PreviewJoinedClip();

  private:
    bool confirmDestination(std::string& destination);
    void tell(const std::string& text);

    MainWindowServices m_services;
    settings::SharedTexts m_ownTexts;  // used when the services bring none
    platform::PosixFiles m_ownFiles;
    platform::Dialogs& m_dialogs;
    job::Job m_job;
    bool m_joinRunning = false;
};

}  // namespace ui
