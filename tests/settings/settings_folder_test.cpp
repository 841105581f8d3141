// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace {

using settings::ResolveSettingsFolder;
using settings::SettingsEnvironment;
using testing_support::TempDir;

TEST(SettingsFolder, HomeVariableThenPortableFolderThenUserConfig) {
    TempDir program;
    SettingsEnvironment environment;
    environment.home = "/home/ann";
    environment.programFolder = program.path().string();
    EXPECT_EQ(ResolveSettingsFolder(environment), "/home/ann/.config/Trelvane");

    environment.xdgConfigHome = "relative/config";  // not absolute: ignored
    EXPECT_EQ(ResolveSettingsFolder(environment), "/home/ann/.config/Trelvane");
    environment.xdgConfigHome = "/cfg";
    EXPECT_EQ(ResolveSettingsFolder(environment), "/cfg/Trelvane");

    // Portable use: a settings file already beside the program, in a writable folder.
    std::ofstream(program.file("Trelvane.ini")) << "[Main]\n";
    EXPECT_EQ(ResolveSettingsFolder(environment), program.path().string());

    environment.trelvaneHome = "/srv/trelvane";
    EXPECT_EQ(ResolveSettingsFolder(environment), "/srv/trelvane");
}

TEST(SettingsFolder, ReadOnlyProgramFolderIsNotPortable) {
    TempDir program;
    std::ofstream(program.file("Trelvane.ini")) << "[Main]\n";
    ASSERT_EQ(chmod(program.path().c_str(), 0555), 0);
    // Root may write anywhere, so the choice is made as an ordinary user.
    const pid_t pid = fork();
    if (pid == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        SettingsEnvironment environment;
        environment.home = "/home/ann";
        environment.programFolder = program.path().string();
        _exit(ResolveSettingsFolder(environment) == "/home/ann/.config/Trelvane" ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SettingsFolder, ExecutableFolderIsThisTestsFolder) {
    const std::filesystem::path folder = settings::ExecutableFolder();
    EXPECT_TRUE(std::filesystem::exists(folder / "settings_folder_test"));
}

}  // namespace
