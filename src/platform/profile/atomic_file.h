// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reading with a size limit, and replacing a file so that a crash or a full disk at any
// moment leaves either the old or the new contents, never a mixture.
#pragma once

#include <cstddef>
#include <string>

namespace profile {

// Settings files are small; anything larger is not one of ours and is never loaded whole.
inline constexpr size_t kMaxProfileFileBytes = 16u * 1024u * 1024u;

enum class ReadStatus {
    kOk,        // `bytes` holds the whole file
    kMissing,   // no such file (or a folder on the way is missing)
    kUnusable,  // exists but cannot be read: no permission, not a regular file, too large
};

// Reads a regular file of at most `limit` bytes. Never blocks on a FIFO or device.
ReadStatus ReadWholeFile(const std::string& path, std::string& bytes,
                         size_t limit = kMaxProfileFileBytes);

// Replaces (or creates) the file at `path` with `bytes`: writes a temporary file in the same
// folder, flushes it to disk, gives it the old file's permissions (and owner, where allowed) and
// renames it over the old one. A symbolic link is followed, so the file it names is replaced and
// the link stays. False when any step fails; the old file is then untouched and the temporary file
// removed.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);

// Serialises read-modify-write cycles on the files of one folder between processes and threads,
// with an advisory lock on the folder itself, so no lock file is left behind. It waits up to about
// two seconds; after that, or where a folder cannot be locked, the caller goes ahead unlocked:
// the replacement is still atomic, only a simultaneous change by another writer may be lost.
class FolderLock {
  public:
    explicit FolderLock(const std::string& fileInFolder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool locked() const { return m_locked; }

  private:
    int m_fd = -1;
    bool m_locked = false;
};

}  // namespace profile
