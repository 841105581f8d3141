// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "trelvane_version.h"

namespace {

using app::ParseAppOptions;
using Args = std::vector<std::string>;

TEST(AppOptions, FilesKeepTheirOrderAndDoubleDashEndsTheOptions) {
    const app::AppOptions options = ParseAppOptions({"b.avi", "a.avi", "--", "-x.avi", "--help"});
    EXPECT_EQ(options.error, "");
    EXPECT_FALSE(options.help);
    EXPECT_EQ(options.files, (Args{"b.avi", "a.avi", "-x.avi", "--help"}));
}

TEST(AppOptions, WrongCommandLinesAreRefused) {
    EXPECT_EQ(ParseAppOptions({"--bogus"}).error, "unknown option '--bogus'");
    EXPECT_EQ(ParseAppOptions({"--preview"}).error, "--preview needs a file");
    EXPECT_NE(ParseAppOptions({"--preview", "a.avi", "b.avi"}).error, "");
    EXPECT_EQ(ParseAppOptions({"--preview", "a.avi"}).previewFile, "a.avi");
}

// The program answers --help and --version without a display, and refuses an option it does not
// know while taking Qt's own.
TEST(AppOptions, TheProgramPrintsItsVersionAndUsage) {
    const std::string program = (testing_support::BinaryDir() / "src/app/trelvane").string();
    if (!std::filesystem::exists(program)) {
        GTEST_SKIP() << program << " is not built (no windows in this build)";
    }
    const auto version = testing_support::RunCommand(
        "env -u DISPLAY " + testing_support::ShellQuote(program) + " --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, std::string("trelvane ") + kTrelvaneVersion + "\n");
    const auto help = testing_support::RunCommand(testing_support::ShellQuote(program) + " -h");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind("usage: trelvane [FILE...]\n", 0), 0u);
    // Other command lines are read once Qt has taken its own options, which takes a display.
    const auto wrong =
        testing_support::RunCommand("env QT_QPA_PLATFORM=offscreen " +
                                    testing_support::ShellQuote(program) + " -style fusion --x");
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.output.find("unknown option '--x'"), std::string::npos) << wrong.output;
}

}  // namespace
