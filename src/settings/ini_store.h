// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: its location, and reading and writing one value. Nothing is cached: every
// read goes to the file, so a value written a moment ago (or edited by hand) is what is read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

// Names the settings file inside the settings folder; the start-up sequence sets "Trelvane.ini".
void SetIniFileName(std::string_view name);

// Full path of the settings file: the settings folder (see ResolveSettingsFolder), "/", and the
// name given to SetIniFileName, or "Trelvane.ini" while none was given.
std::string IniFilePath();

// Full path of the debug log "trvdebug.log", beside the settings file.
std::string LogFilePath();

// The stored value, or the empty text when the file, the section or the key is missing or the
// file cannot be read. Values of any length come back whole.
std::string ReadIniValue(std::string_view section, std::string_view key);

// Stores a value, creating the settings folder, the file, the section and the key as needed.
// Non-zero on success; 0 when the value was not stored (no permission, full disk, or a value with
// a line break). A failed write leaves the old file whole.
int32_t WriteIniValue(std::string_view section, std::string_view key, std::string_view value);

}  // namespace settings
