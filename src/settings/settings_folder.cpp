// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "settings/settings_keys.h"

namespace settings {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string AccountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 && size < 1 << 20 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

bool IsPortableFolder(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    const std::string ini = (std::filesystem::path(folder) / kIniFileName).string();
    struct stat info {};
    return ::stat(ini.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

SettingsEnvironment CurrentSettingsEnvironment() {
    SettingsEnvironment environment;
    environment.trelvaneHome = Env("TRELVANE_HOME");
    environment.xdgConfigHome = Env("XDG_CONFIG_HOME");
    environment.home = Env("HOME");
    if (environment.home.empty()) {
        environment.home = AccountHome();
    }
    environment.programFolder = ExecutableFolder();
    return environment;
}

std::string ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string ResolveSettingsFolder(const SettingsEnvironment& environment) {
    if (!environment.trelvaneHome.empty()) {
        return environment.trelvaneHome;
    }
    if (IsPortableFolder(environment.programFolder)) {
        return environment.programFolder;
    }
    std::filesystem::path config;
    if (!environment.xdgConfigHome.empty() && environment.xdgConfigHome.front() == '/') {
        config = environment.xdgConfigHome;
    } else if (!environment.home.empty()) {
        config = std::filesystem::path(environment.home) / ".config";
    } else {
        // No home at all (a stripped service account): keep beside the program.
        return environment.programFolder.empty() ? std::string(".") : environment.programFolder;
    }
    return (config / kApplicationName).string();
}

}  // namespace settings
