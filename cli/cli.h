// SPDX-License-Identifier: GPL-3.0-or-later
// trelvane-cli: the join engine and clip inspection for scripts and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Exit codes.
inline constexpr int kExitJoined = 0;
inline constexpr int kExitJoinedWithWarnings = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitRefused = 3;
inline constexpr int kExitJoinFailed = 4;
inline constexpr int kExitCancelled = 130;

int RunInfo(const std::vector<std::string>& args);
int RunJoinCommand(const std::vector<std::string>& args);

// "trelvane-cli: " + text on standard error.
void PrintError(const std::string& text);
// Why a file did not open, in plain words: the system's error text, or "not an AVI file".
std::string PlainOpenReason(int32_t libraryError, int32_t systemError);
// CR LF line ends as the terminal wants them.
std::string UnixLines(const std::string& text);

}  // namespace cli
