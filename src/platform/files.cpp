// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

std::filesystem::path Resolved(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return std::filesystem::path(path).lexically_normal();
    }
    // weakly_canonical resolves what exists and keeps the rest as written, normalised.
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

// The folder a file of that name is in (or would be made in).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int32_t Failed(int code, std::string* errorText) {
    if (errorText != nullptr) {
        *errorText = std::strerror(code);
    }
    return code;
}

}  // namespace

int64_t FileLength(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

int32_t DeleteFileReporting(const std::string& path, std::string* errorText) {
    if (::unlink(path.c_str()) == 0) {
        return 0;
    }
    const int code = errno;
    if (errorText != nullptr) {
        *errorText = std::strerror(code);
    }
    return code;
}

bool IsSameFile(const std::string& first, const std::string& second) {
    if (first.empty() || second.empty()) {
        return false;
    }
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino) {
        return true;
    }
    return Resolved(first) == Resolved(second);
}

int64_t PosixFiles::length(const std::string& path) const {
    return FileLength(path);
}

bool PosixFiles::sameFile(const std::string& first, const std::string& second) const {
    return IsSameFile(first, second);
}

std::optional<FileIdentity> PosixFiles::identify(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<int64_t>(info.st_size);
    identity.modifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                          static_cast<int64_t>(info.st_mtim.tv_nsec);
    return identity;
}

int32_t PosixFiles::deleteFile(const std::string& path, std::string* errorText) {
    return DeleteFileReporting(path, errorText);
}

int32_t PosixFiles::moveToTrash(const std::string& /*path*/, std::string* errorText) {
    if (errorText != nullptr) {
        *errorText = "no trash is available";
    }
    return kTrashUnavailable;
}

FileKind Files::kind(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? FileKind::Missing : FileKind::Special;
    }
    if (S_ISREG(info.st_mode)) {
        return FileKind::Regular;
    }
    return S_ISDIR(info.st_mode) ? FileKind::Folder : FileKind::Special;
}

int64_t Files::roomFor(const std::string& path) const {
    struct statvfs volume {};
    if (::statvfs(FolderOf(path).c_str(), &volume) != 0) {
        return -1;
    }
    const unsigned __int128 free =
        static_cast<unsigned __int128>(volume.f_bavail) * volume.f_frsize;
    return free > INT64_MAX ? INT64_MAX : static_cast<int64_t>(free);
}

int32_t Files::replaceFile(const std::string& from, const std::string& to, std::string* errorText) {
    const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return Failed(errno, errorText);
    }
    struct stat old {};
    int code = 0;
    if (::stat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // The owner too where we may (as root); a user's own file keeps it anyway, so a refusal
        // changes nothing.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not ours to give away: the mode below is what keeps the file as it was.
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            code = errno;
        }
    }
    if (code == 0 && ::fsync(fd) != 0) {
        code = errno;
    }
    ::close(fd);
    if (code == 0 && ::rename(from.c_str(), to.c_str()) != 0) {
        code = errno;
    }
    if (code != 0) {
        return Failed(code, errorText);
    }
    const int folder = ::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);  // the rename is done; some file systems cannot flush a folder
        ::close(folder);
    }
    return 0;
}

}  // namespace platform
