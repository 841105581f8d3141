// SPDX-License-Identifier: GPL-3.0-or-later
// What the left side of the main window lists: the files of a folder that match the pattern, the
// lines of the folder list, the volume that holds a folder, and the clips that dropped or named
// paths stand for.
#pragma once

#include <string>
#include <vector>

namespace ui {

// The names of the regular files in folder that match pattern: patterns separated by ";", blanks
// around each ignored, letter case ignored ("*.avi" matches CLIP.AVI), "*.*" for every file.
// Hidden files (a leading ".") are left out; names are sorted ignoring case. An unreadable folder
// lists nothing.
std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern);

// One line of the folder list: the folders from the root down to the current one (open), then the
// current folder's own subfolders (hidden ones left out), sorted ignoring case.
struct FolderLine {
    std::string name;  // "/" for the root
    std::string path;  // full path
    int depth = 0;     // 0 for the root
    bool open = false;
};

std::vector<FolderLine> FolderListLines(const std::string& folder);

// Of the volumes' root folders, the one that holds folder: the longest root that is the folder
// itself or one of its ancestors. Empty when none does.
std::string VolumeHolding(const std::string& folder, const std::vector<std::string>& roots);

// folder + "/" + name, without doubling the separator at the root.
std::string FolderFilePath(const std::string& folder, const std::string& name);

// What files dropped on the join list or named on the command line stand for, in their order:
// a file stands for itself (as an absolute path), a folder for its "*.avi" files in name order.
std::vector<std::string> ClipPathsFrom(const std::vector<std::string>& paths);

// Sort order of the lists: ASCII letter case ignored, ties broken by the bytes.
bool NameLessIgnoringCase(const std::string& first, const std::string& second);

}  // namespace ui
