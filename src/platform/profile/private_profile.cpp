// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile/private_profile.h"

#include <unistd.h>

#include <optional>

#include "platform/profile/atomic_file.h"
#include "platform/profile/profile_document.h"

namespace profile {

std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, const std::string& fileName) {
    std::string bytes;
    if (ReadWholeFile(fileName, bytes) != ReadStatus::kOk) {
        return std::string(defaultValue);
    }
    const std::optional<std::string> value = ProfileDocument::Parse(bytes).Find(section, key);
    return value ? *value : std::string(defaultValue);
}

bool WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::string_view value, const std::string& fileName) {
    const FolderLock lock(fileName);  // so that a concurrent writer's change is not lost
    std::string bytes;
    const ReadStatus status = ReadWholeFile(fileName, bytes);
    if (status == ReadStatus::kUnusable) {
        return false;  // never replace what could not be read: it would be lost
    }
    if (status == ReadStatus::kOk && ::access(fileName.c_str(), W_OK) != 0) {
        return false;  // a read-only file keeps its settings, as it does on Windows
    }
    ProfileDocument document = ProfileDocument::Parse(bytes);
    if (!document.Set(section, key, value)) {
        return false;
    }
    std::string updated = document.Serialize();
    if (updated.size() > kMaxProfileFileBytes) {
        return false;  // it could not be read back
    }
    if (status == ReadStatus::kOk && updated == bytes) {
        return true;  // already stored exactly so
    }
    return ReplaceFileAtomically(fileName, updated);
}

}  // namespace profile
