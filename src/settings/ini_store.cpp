// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_store.h"

#include <filesystem>

#include "platform/profile/private_profile.h"
#include "settings/settings_folder.h"
#include "settings/settings_keys.h"

namespace settings {

namespace {

std::string& IniFileName() {
    static std::string name;
    return name;
}

}  // namespace

void SetIniFileName(std::string_view name) {
    IniFileName() = std::string(name);
}

std::string IniFilePath() {
    const std::filesystem::path folder = ResolveSettingsFolder(CurrentSettingsEnvironment());
    const std::string& name = IniFileName();
    return (folder / (name.empty() ? std::string(kIniFileName) : name)).string();
}

std::string LogFilePath() {
    return (std::filesystem::path(IniFilePath()).parent_path() / kLogFileName).string();
}

std::string ReadIniValue(std::string_view section, std::string_view key) {
    return profile::GetPrivateProfileStringA(section, key, "", IniFilePath());
}

int32_t WriteIniValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string path = IniFilePath();
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);  // a failure shows in the write below
    }
    return profile::WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
}

}  // namespace settings
