// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile/private_profile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/profile/atomic_file.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using profile::GetPrivateProfileStringA;
using profile::WritePrivateProfileStringA;
using testing_support::Slurp;
using testing_support::TempDir;

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Names in the folder other than the given file: leftovers of a failed write.
std::set<std::string> Leftovers(const fs::path& folder, const std::string& keep) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != keep) {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}

// Runs `body` in a child process and returns its exit status (or 128 + signal).
template <typename Body>
int InChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(PrivateProfile, MissingFileReadsTheDefaultAndTheFirstWriteCreatesIt) {
    TempDir dir;
    const std::string ini = dir.file("Trelvane.ini");
    EXPECT_EQ(GetPrivateProfileStringA("Main", "WindowState", "", ini), "");
    EXPECT_EQ(GetPrivateProfileStringA("Main", "WindowState", "dflt", ini), "dflt");
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "WindowState", "1485,2970", ini));
    EXPECT_EQ(Slurp(ini), "[Main]\nWindowState=1485,2970\n");
    EXPECT_EQ(GetPrivateProfileStringA("MAIN", "windowstate", "", ini), "1485,2970");
    EXPECT_TRUE(Leftovers(dir.path(), "Trelvane.ini").empty());
}

TEST(PrivateProfile, LongMultiByteValuesSurviveWhole) {
    TempDir dir;
    const std::string ini = dir.file("Trelvane.ini");
    std::string value = "/home/user/";
    while (value.size() < 300) {
        value += "\xE8\xA7\x86\xE9\xA2\x91/";  // two CJK characters and a slash
    }
    ASSERT_TRUE(WritePrivateProfileStringA("Preferences", "Save_Directory", value, ini));
    EXPECT_EQ(GetPrivateProfileStringA("Preferences", "Save_Directory", "", ini), value);
}

TEST(PrivateProfile, PermissionsAndSymbolicLinksAreKept) {
    TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("Trelvane.ini");
    Spit(real, "[Main]\nWindowState=1,2\n");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    fs::create_symlink("real.ini", link);

    ASSERT_TRUE(WritePrivateProfileStringA("Main", "WindowState", "3,4", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(real), "[Main]\nWindowState=3,4\n");
    struct stat info {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(PrivateProfile, FilesThatAreNotPlainReadableFilesAreNeitherReadNorReplaced) {
    TempDir dir;
    // A FIFO must not block the reader; a folder and a huge file are not settings files.
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetPrivateProfileStringA("Main", "WindowState", "d", fifo), "d");
    EXPECT_FALSE(WritePrivateProfileStringA("Main", "WindowState", "1,2", fifo));
    EXPECT_TRUE(fs::is_fifo(fifo));

    EXPECT_EQ(GetPrivateProfileStringA("Main", "WindowState", "d", dir.path().string()), "d");
    EXPECT_FALSE(WritePrivateProfileStringA("Main", "WindowState", "1,2", dir.path().string()));

    const std::string huge = dir.file("huge.ini");
    Spit(huge, "[Main]\nWindowState=1,2\n");
    fs::resize_file(huge, profile::kMaxProfileFileBytes + 1);  // sparse, cheap
    EXPECT_EQ(GetPrivateProfileStringA("Main", "WindowState", "d", huge), "d");
    EXPECT_FALSE(WritePrivateProfileStringA("Main", "WindowState", "3,4", huge));
    EXPECT_EQ(fs::file_size(huge), profile::kMaxProfileFileBytes + 1);
}

TEST(PrivateProfile, LineBreakInAValueIsRefusedAndTheFileIsUntouched) {
    TempDir dir;
    const std::string ini = dir.file("Trelvane.ini");
    Spit(ini, "[Preferences]\nRead_Directory=/a\n");
    EXPECT_FALSE(
        WritePrivateProfileStringA("Preferences", "Read_Directory", "/x\nDebug_Trace=ON", ini));
    EXPECT_EQ(Slurp(ini), "[Preferences]\nRead_Directory=/a\n");
    EXPECT_EQ(GetPrivateProfileStringA("Preferences", "Debug_Trace", "", ini), "");
}

// The tests below take rights away; root ignores file modes, so the writer runs as "nobody".
bool DropToNobody() {
    return getuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
}

TEST(PrivateProfile, ReadOnlyFolderOrFileFailsSilentlyAndLosesNothing) {
    TempDir dir;
    const fs::path folder = dir.path() / "ro";
    fs::create_directory(folder);
    const std::string ini = (folder / "Trelvane.ini").string();
    const std::string before = "[Main]\nWindowState=1,2\n";
    Spit(ini, before);
    ASSERT_EQ(chmod(ini.c_str(), 0644), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const int folderResult = InChild([&] {
        if (!DropToNobody()) {
            return 2;
        }
        const bool wrote = WritePrivateProfileStringA("Main", "WindowState", "3,4", ini);
        const bool readable = GetPrivateProfileStringA("Main", "WindowState", "", ini) == "1,2";
        return wrote ? 1 : (readable ? 0 : 3);
    });
    EXPECT_EQ(folderResult, 0);
    EXPECT_EQ(Slurp(ini), before);
    EXPECT_TRUE(Leftovers(folder, "Trelvane.ini").empty());

    // A writable folder but a read-only file: the file keeps its settings.
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    const int fileResult = InChild([&] {
        if (!DropToNobody()) {
            return 2;
        }
        return WritePrivateProfileStringA("Main", "WindowState", "3,4", ini) ? 1 : 0;
    });
    EXPECT_EQ(fileResult, 0);
    EXPECT_EQ(Slurp(ini), before);
    EXPECT_TRUE(Leftovers(folder, "Trelvane.ini").empty());
}

TEST(PrivateProfile, DiskFullDuringTheWriteKeepsTheOldFileWhole) {
    TempDir dir;
    const std::string ini = dir.file("Trelvane.ini");
    const std::string before = "[Preferences]\nSave_Directory=/old\n";
    Spit(ini, before);
    // The file-size limit makes the write stop part-way, as a full disk would.
    const int result = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        const std::string big(10000, 'x');
        return WritePrivateProfileStringA("Preferences", "Save_Directory", big, ini) ? 1 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Slurp(ini), before);
    EXPECT_TRUE(Leftovers(dir.path(), "Trelvane.ini").empty());
}

TEST(PrivateProfile, KilledWriterLeavesAWholeFile) {
    TempDir dir;
    const std::string ini = dir.file("Trelvane.ini");
    const std::string value(1 << 20, 'a');  // big enough that a kill lands mid-write
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "old", ini));
    for (int round = 0; round < 5; ++round) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0;; ++i) {
                WritePrivateProfileStringA("S", "k", value.substr(0, value.size() - i % 7), ini);
            }
        }
        usleep(20000 + round * 15000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const std::string stored = GetPrivateProfileStringA("S", "k", "<none>", ini);
        const bool whole = stored == "old" || (stored.size() + 7 > value.size() &&
                                               stored == value.substr(0, stored.size()));
        EXPECT_TRUE(whole) << "a " << stored.size() << "-byte value";
        const std::string bytes = Slurp(ini);
        EXPECT_EQ(bytes, "[S]\nk=" + stored + "\n");
    }
    // The killed writers' temporary files are cleared by a later write once they are old.
    for (const std::string& name : Leftovers(dir.path(), "Trelvane.ini")) {
        fs::last_write_time(dir.path() / name,
                            fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    const std::string foreign = dir.file(".Trelvane.ini.tmp-notapid-1");
    Spit(foreign, "someone else's");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "new", ini));
    EXPECT_EQ(Leftovers(dir.path(), "Trelvane.ini"),
              std::set<std::string>{fs::path(foreign).filename()});
}

TEST(PrivateProfile, SimultaneousWritersLoseNoChanges) {
    TempDir dir;
    const std::string ini = dir.file("Trelvane.ini");
    constexpr int kWriters = 4;
    constexpr int kKeys = 20;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        if (pid == 0) {
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
                ok = WritePrivateProfileStringA("S", key, std::to_string(k), ini) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w) {
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
            EXPECT_EQ(GetPrivateProfileStringA("S", key, "lost", ini), std::to_string(k)) << key;
        }
    }
}

}  // namespace
