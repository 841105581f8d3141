// SPDX-License-Identifier: GPL-3.0-or-later
// The program itself, started as a user starts it, without a display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// True once the process catches the signal (its "SigCgt" mask in /proc).
bool Catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signal - 1) & 1u) != 0;
        }
    }
    return false;
}

// Waits for the child to end, up to the deadline; its wait status, or -1 (and it is killed).
int WaitForExit(pid_t pid, Clock::time_point deadline) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status;
}

// Started with a clip on its command line and then asked to end as a desktop session asks
// (SIGTERM), the program closes its main window as Join > Exit does: the settings, window
// places included, are written and it ends with status 0. A second start meanwhile ends at once.
TEST(Program, StartsWithAClipAndEndsCleanlyWhenAskedTo) {
    testing_support::TempSettingsHome home;
    testing_support::TempDir dir;
    const std::string clip = dir.file("clip.avi");
    ASSERT_TRUE(
        testing_support::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                                "-c:v mjpeg " +
                                testing_support::ShellQuote(clip)));
    const std::string program = (testing_support::BinaryDir() / "src/app/trelvane").string();
    if (::access(program.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "the program is not built (no Qt)";
    }
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(program.c_str(), program.c_str(), clip.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!Catches(pid, SIGTERM) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(Catches(pid, SIGTERM)) << "the program did not start";
    // A second start hands its clip to the running program and ends at once.
    const auto second = testing_support::RunCommand("env QT_QPA_PLATFORM=offscreen timeout 20 " +
                                                    testing_support::ShellQuote(program) + " " +
                                                    testing_support::ShellQuote(clip));
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the first program ended";
    ::kill(pid, SIGTERM);
    const int status = WaitForExit(pid, deadline);
    ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::ifstream ini(home.path() / "Trelvane.ini");
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_NE(text.str().find("[Main]"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("WindowState"), std::string::npos) << text.str();
}

}  // namespace
