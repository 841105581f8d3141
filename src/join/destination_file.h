// SPDX-License-Identifier: GPL-3.0-or-later
// Where a join writes: a new file beside the destination that replaces it only once the join
// succeeded, or is kept as "NAME.partial.avi" after a failure or a cancel.
#pragma once

#include <string>

namespace join {

// "dir/NAME.partial.avi" for "dir/NAME.avi" (also for a name without ".avi").
std::string PartialFileName(const std::string& destination);

// The name a join writes under: "dir/NAME.XXXXXX.partial.avi" with XXXXXX random, so that a
// join killed outright leaves nothing but a ".partial.avi" file.
std::string TemporaryFileName(const std::string& destination);

// Renames from over to. errno (0 on success).
int ReplaceFile(const std::string& from, const std::string& to);

// Renames from to to unless to exists. errno (0 on success, EEXIST when to exists).
int RenameWithoutReplacing(const std::string& from, const std::string& to);

}  // namespace join
