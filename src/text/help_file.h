// SPDX-License-Identifier: GPL-3.0-or-later
// Where the help file lives.
#pragma once

#include <string>

namespace text {

inline constexpr const char* kHelpFileName = "Trelvane.hlp";

// "Trelvane.hlp" beside the executable (the build tree, a portable copy), else the installed one
// in "../share/trelvane/" from the executable's folder. When neither exists the path beside the
// executable is returned, so the help window can say which file it did not find.
std::string FindHelpFile(const std::string& executableFolder);

}  // namespace text
