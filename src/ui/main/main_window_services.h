// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window uses of the rest of the program. The composition root fills it in, so the
// main window depends on no other window's class, and tests can put recording functions in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "job/job.h"
#include "media/clip_info.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "settings/preferences.h"

class QWidget;

namespace ui {

struct MainWindowServices {
    // Message boxes and the save dialog, owned by the main window's caller.
    platform::Dialogs* dialogs = nullptr;
    // The texts shared with the preview and preferences windows (saveDirectory, previewPosText).
    settings::SharedTexts* texts = nullptr;
    // Whole-file operations (same file, length, trash); the system calls when none is given.
    platform::Files* files = nullptr;

    // The preview window: the job's entries (index -1 for the joined view) with marking
    // permission, written back when it closes; or one file alone, without marking.
    job::PreviewClipsFunction previewClips;
    std::function<void(const std::string& path)> previewFile;
    // Loaded by Form_Load (hidden, owned by the main window given) and unloaded when the main
    // window closes; the unload stores the preview's position text in texts->previewPosText.
    std::function<void(QWidget* owner)> loadPreview;
    std::function<void()> unloadPreview;

    // The join progress window: joins the entries into destination and returns its status
    // (1 joined, 2 joined and sources deleted, 0 or less not joined).
    std::function<int32_t(const std::string& destination, int16_t clipCount,
                          const std::vector<ClipInfo>& clips)>
        startJoin;
    // Whether the report of the join startJoin ran last was clean: verified, complete and without
    // warnings. "Clear_Job" clears the job only after a clean report (joins that deleted their
    // sources always clear it); unset counts as not clean, so the job is kept.
    std::function<bool()> lastJoinClean;

    // The preferences dialog, given the folder list's current folder (saveDirectory is in
    // texts); the about box; the help file's contents.
    std::function<void(const std::string& currentFolder)> showPreferences;
    std::function<void()> showAbout;
    std::function<void()> showHelpContents;
};

}  // namespace ui
