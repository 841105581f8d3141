// SPDX-License-Identifier: GPL-3.0-or-later
// What the program does with whole files: a file's length, telling whether two paths name the
// same file, what a file is at one moment (to tell later whether it was changed), deleting it
// with the system's reason when that fails, and moving it to the desktop's trash. One interface,
// passed in; PosixFiles is the implementation over the system calls, and the windows' Qt
// implementation adds the trash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Enough of a file's state to tell whether it is still the file that was looked at: the same
// file (device and inode), neither grown nor shrunk nor written to since.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch

    bool operator==(const FileIdentity&) const = default;
};

// What a path names (symbolic links followed): nothing, a regular file, a folder, or something
// else (a FIFO, a device, a socket) that a join must never replace.
enum class FileKind { Missing, Regular, Folder, Special };

// moveToTrash's result when this system offers no trash for the file (no desktop trash, or one
// on another file system that cannot take it); the caller may then ask to delete for good.
inline constexpr int32_t kTrashUnavailable = -1;

class Files {
  public:
    virtual ~Files() = default;

    // Length in bytes of a regular file (symbolic links followed); -1 when there is no such file
    // or it cannot be examined.
    virtual int64_t length(const std::string& path) const = 0;

    // Whether both paths lead to one file: the same path once "." and ".." parts and symbolic
    // links are resolved, or (for files that exist) the same device and inode, which also
    // catches hard links. Paths that cannot be resolved compare by their lexically normal form.
    virtual bool sameFile(const std::string& first, const std::string& second) const = 0;

    // What the file (symbolic links followed) is now; nothing when it cannot be examined.
    virtual std::optional<FileIdentity> identify(const std::string& path) const = 0;

    // Deletes a file for good. 0 on success, else the system error number of the failing call,
    // with the system's text for it in *errorText when errorText is given.
    virtual int32_t deleteFile(const std::string& path, std::string* errorText = nullptr) = 0;

    // Moves a file to the desktop's trash, from where the user can restore it. 0 on success,
    // kTrashUnavailable when there is no trash for it, else the system error number (with its
    // text in *errorText when given).
    virtual int32_t moveToTrash(const std::string& path, std::string* errorText = nullptr) = 0;

    // The operations below answer from the system calls unless an implementation knows better.

    // What path names now. A path that cannot be examined for another reason than its absence
    // (a folder on the way that is not one, no permission) counts as Special: not to be written.
    virtual FileKind kind(const std::string& path) const;

    // Bytes one more file at path may take: the space its file system gives this user (a
    // file-size limit of the process is not counted: writing past it fails as a full disk does).
    // -1 when it cannot be told.
    virtual int64_t roomFor(const std::string& path) const;

    // Puts the finished file from in place of to: its data is flushed to the disk first, it takes
    // the permission bits of the file it replaces (when there is one), and once renamed the folder
    // is flushed too, so that a power cut leaves either the old file or the new one, never an
    // empty one. 0 on success, else the system error number (text in *errorText when given).
    virtual int32_t replaceFile(const std::string& from, const std::string& to,
                                std::string* errorText = nullptr);
};

// The system calls. It has no trash: moveToTrash answers kTrashUnavailable.
class PosixFiles : public Files {
  public:
    int64_t length(const std::string& path) const override;
    bool sameFile(const std::string& first, const std::string& second) const override;
    std::optional<FileIdentity> identify(const std::string& path) const override;
    int32_t deleteFile(const std::string& path, std::string* errorText = nullptr) override;
    int32_t moveToTrash(const std::string& path, std::string* errorText = nullptr) override;
};

// The free forms of PosixFiles' operations, for code that has no Files passed in yet.
int64_t FileLength(const std::string& path);
int32_t DeleteFileReporting(const std::string& path, std::string* errorText = nullptr);
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace platform
