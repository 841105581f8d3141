// SPDX-License-Identifier: GPL-3.0-or-later
// The private-profile functions the settings store is built on, with the behaviour of their
// Windows namesakes: section and key names ignore letter case, the first match wins, blanks around
// keys and values are trimmed, one pair of surrounding quotes is removed on reading, and every
// other line of the file is kept as it was. Files are UTF-8, with LF or CR LF line endings.
#pragma once

#include <string>
#include <string_view>

namespace profile {

// The value of `key` in `section` of the file, or `defaultValue` when the file, the section or the
// key is missing or the file cannot be read. There is no length limit on the value.
std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, const std::string& fileName);

// Stores `value` under `key` in `section`, creating the file, the section and the key as needed
// and keeping the file's line endings. The file is replaced atomically: a failure at any point
// leaves the old file whole. False, with nothing changed, when the file cannot be read or
// written (including a read-only file), or when the value holds CR, LF or NUL, which would add
// lines to the file.
bool WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::string_view value, const std::string& fileName);

}  // namespace profile
