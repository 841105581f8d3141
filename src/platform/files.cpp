// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files.h"

#include <sys/stat.h>
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

}  // namespace platform
