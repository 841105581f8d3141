// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings file and the debug log live.
#pragma once

#include <string>

namespace settings {

// What the choice of folder depends on, gathered so that the rule can be tried with any values.
struct SettingsEnvironment {
    std::string trelvaneHome;   // $TRELVANE_HOME
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME
    std::string home;           // $HOME, else the home folder of the user's account
    std::string programFolder;  // folder of the running executable
};

// The environment of this process.
SettingsEnvironment CurrentSettingsEnvironment();

// The folder of the running executable; empty when the system does not say.
std::string ExecutableFolder();

// The settings folder: $TRELVANE_HOME when set; else the program folder when a "Trelvane.ini" is
// already there and the folder is writable (portable use); else "Trelvane" in the user's config
// folder ($XDG_CONFIG_HOME when it is an absolute path, else ~/.config). The folder need not exist
// yet: it is created on the first write.
std::string ResolveSettingsFolder(const SettingsEnvironment& environment);

}  // namespace settings
