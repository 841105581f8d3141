// SPDX-License-Identifier: GPL-3.0-or-later
// File operations the windows need: a file's length, deleting a file with the system's reason
// when it fails, and telling whether two paths name the same file.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Length in bytes of a regular file (symbolic links followed); -1 when there is no such file or
// it cannot be examined.
int64_t FileLength(const std::string& path);

// Deletes a file. Returns 0 on success, else the system error number (errno of the failing call),
// with the system's text for it in *errorText when errorText is given.
int32_t DeleteFileReporting(const std::string& path, std::string* errorText = nullptr);

// Whether both paths lead to one file: the same path once "." and ".." parts and symbolic links
// are resolved, or (for files that exist) the same device and inode, which also catches hard
// links. Paths that cannot be resolved compare by their lexically normal form.
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace platform
