// SPDX-License-Identifier: GPL-3.0-or-later
// The `trelvane` command line.
#pragma once

#include <string>
#include <vector>

namespace app {

struct AppOptions {
    bool help = false;
    bool version = false;
    std::string previewFile;         // --preview FILE: the preview window on that file alone
    std::vector<std::string> files;  // added to the join list after start-up, in this order
    std::string error;               // not empty: the command line is wrong (usage, exit 2)
};

// Reads the arguments after the program name, once Qt has taken its own from them (or before,
// to answer --help and --version without a display). "--" ends the options, so "--" then
// "-x.avi" names a file.
AppOptions ParseAppOptions(const std::vector<std::string>& args);

// The text --help prints.
std::string AppUsage();

}  // namespace app
