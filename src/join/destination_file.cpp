// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/destination_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace join {

namespace {

std::string Stem(const std::string& destination) {
    const size_t slash = destination.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = destination.rfind('.');
    if (dot != std::string::npos && dot > nameStart && destination.size() - dot == 4) {
        std::string extension = destination.substr(dot + 1);
        for (char& c : extension) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        if (extension == "avi") {
            return destination.substr(0, dot);
        }
    }
    return destination;
}

}  // namespace

std::string PartialFileName(const std::string& destination) {
    return Stem(destination) + ".partial.avi";
}

std::string TemporaryFileName(const std::string& destination) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag += kLetters[pick(device)];
    }
    return Stem(destination) + "." + tag + ".partial.avi";
}

int ReplaceFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
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

}  // namespace join
