// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/destination_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace join {

namespace {

// ".XXXXXX.partial.avi": the longest ending a part's name takes after the stem.
constexpr size_t kPartSuffixBytes = 19;
constexpr size_t kTagLength = 6;
constexpr char kPartEnding[] = ".partial.avi";

size_t NameStart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// FNV-1a: a short, stable tag for a name that had to be shortened.
std::string NameHash(const std::string& name) {
    uint32_t hash = 2166136261u;
    for (const unsigned char c : name) {
        hash = (hash ^ c) * 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return text;
}

// The destination without ".avi", its name shortened where a part's name would not fit.
std::string Stem(const std::string& destination) {
    const size_t nameStart = NameStart(destination);
    std::string stem = destination;
    const size_t dot = destination.rfind('.');
    if (dot != std::string::npos && dot > nameStart && destination.size() - dot == 4) {
        std::string extension = destination.substr(dot + 1);
        for (char& c : extension) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        if (extension == "avi") {
            stem = destination.substr(0, dot);
        }
    }
    constexpr size_t kRoom = kMaxFileNameBytes - kPartSuffixBytes;
    if (stem.size() - nameStart <= kRoom) {
        return stem;
    }
    const std::string hash = "~" + NameHash(destination.substr(nameStart));
    size_t cut = nameStart + kRoom - hash.size();
    while (cut > nameStart && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) {
        --cut;  // never inside a UTF-8 character
    }
    return stem.substr(0, cut) + hash;
}

std::string FolderOf(const std::string& path) {
    const size_t start = NameStart(path);
    if (start == 0) {
        return ".";
    }
    return start == 1 ? "/" : path.substr(0, start - 1);
}

// Whether name (in the destination's folder) is a temporary part of a join to it.
bool IsPartOf(const std::string& name, const std::string& stemName) {
    const size_t ending = sizeof(kPartEnding) - 1;
    if (name.size() != stemName.size() + 1 + kTagLength + ending ||
        name.compare(0, stemName.size(), stemName) != 0 || name[stemName.size()] != '.' ||
        name.compare(name.size() - ending, ending, kPartEnding) != 0) {
        return false;
    }
    for (size_t i = stemName.size() + 1; i < stemName.size() + 1 + kTagLength; ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string PartialFileName(const std::string& destination, int n) {
    return Stem(destination) + (n > 1 ? "." + std::to_string(n) : std::string()) + kPartEnding;
}

std::string TemporaryFileName(const std::string& destination) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
    std::string tag;
    for (size_t i = 0; i < kTagLength; ++i) {
        tag += kLetters[pick(device)];
    }
    return Stem(destination) + "." + tag + kPartEnding;
}

std::string DestinationProblem(const platform::Files& files, const std::string& destination) {
    const std::string name = destination.substr(NameStart(destination));
    if (name.empty() || name == "." || name == "..") {
        return "(it names a folder, not a file)";
    }
    if (name.size() > kMaxFileNameBytes) {
        return "(its name is longer than " + std::to_string(kMaxFileNameBytes) + " bytes)";
    }
    switch (files.kind(destination)) {
        case platform::FileKind::Missing:
        case platform::FileKind::Regular:
            return {};
        case platform::FileKind::Folder:
            return "(it is a folder, not a file)";
        case platform::FileKind::Special:
            break;
    }
    return "(it is a device, a pipe or a socket, or cannot be examined; only a file can be "
           "replaced)";
}

int RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: a hard link fails the same way when the name exists.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    (void)::unlink(from.c_str());
    return 0;
}

DestinationClaim::~DestinationClaim() {
    release();
}

void DestinationClaim::release() {
    if (m_lock >= 0) {
        ::close(m_lock);
        m_lock = -1;
    }
    m_part.clear();
}

// Two joins looking for parts and creating theirs take turns, so that neither sees the other's
// part before it is locked. The folder is only read; a file system without locks goes unguarded.
int DestinationClaim::lockFolder(const std::string& destination) {
    const int fd = ::open(FolderOf(destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void DestinationClaim::unlockFolder(int fd) {
    if (fd >= 0) {
        ::close(fd);  // closing releases the lock
    }
}

// A part nobody holds locked belongs to a join that ended without finishing it (killed, or the
// machine stopped): removed. A part that is locked is being written now: EBUSY.
int DestinationClaim::removeStaleParts(const std::string& destination) {
    const std::string folder = FolderOf(destination);
    const std::string stem = Stem(destination);
    const std::string stemName = stem.substr(NameStart(stem));
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;  // creating the part reports what is wrong with the folder
    }
    int result = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsPartOf(name, stemName)) {
            continue;
        }
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            if (fd >= 0) {
                ::close(fd);
            }
            continue;  // not a part of ours: left alone
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            (void)::unlink(path.c_str());
        } else if (errno == EWOULDBLOCK) {
            result = EBUSY;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return result;
}

void DestinationClaim::lockPart() {
    m_lock = ::open(m_part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (m_lock >= 0 && ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lock);
        m_lock = -1;
    }
}

}  // namespace join
