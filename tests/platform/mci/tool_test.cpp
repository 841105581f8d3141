// SPDX-License-Identifier: GPL-3.0-or-later
// The trelvane-mci tool: commands from standard input, one "<code>\t<reply>" line each, the
// parent window placeholder, snapshots and waiting for a mode.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "trelvane_version.h"

namespace {

using testing_support::Lines;
using testing_support::ShellQuote;

std::string ToolPath() {
    return (testing_support::BinaryDir() / "tools/trelvane-mci").string();
}

TEST(MciToolTest, AnswersHelpAndVersionWithoutADisplay) {
    const auto help = testing_support::RunCommand(ShellQuote(ToolPath()) + " --help", false);
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.output.find("snapshot PATH")) << help.output;
    const auto version = testing_support::RunCommand(ShellQuote(ToolPath()) + " --version", false);
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ(std::string("trelvane-mci ") + kTrelvaneVersion + "\n", version.output);
    EXPECT_EQ(2, testing_support::RunCommand(ShellQuote(ToolPath()) + " --bogus").exitCode);
}

TEST(MciToolTest, ThePreviewToolAnswersHelpAndVersionWithoutADisplay) {
    const std::string preview =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
        ShellQuote((testing_support::BinaryDir() / "tools/trelvane-preview").string());
    const auto help = testing_support::RunCommand(preview + " --help", false);
    EXPECT_EQ(0, help.exitCode) << help.output;
    EXPECT_EQ(0u, help.output.rfind("Usage: trelvane-preview FILE", 0)) << help.output;
    const auto version = testing_support::RunCommand(preview + " --version", false);
    EXPECT_EQ(std::string("trelvane-preview ") + kTrelvaneVersion + "\n", version.output);
}

TEST(MciToolTest, RunsAScriptAndSavesTheDecodedPicture) {
    testing_support::TempDir dir;
    const std::string clip = dir.file("a \"quoted\" clip.avi");
    ASSERT_TRUE(testing_support::Ffmpeg(
        "-f lavfi -i testsrc2=size=96x64:rate=25:duration=1 -c:v mjpeg " + ShellQuote(clip)));
    const std::string png = dir.file("frame.png");
    const std::string script = dir.file("script.txt");
    std::ofstream(script) << "open avivideo\n"
                          << "open \"" << clip << "\" alias movie style child parent $WINDOW\n"
                          << "put movie window client at 0 0 300 200\n"
                          << "set movie seek exactly on\n"
                          << "seek movie to 13\n"
                          << "wait-mode stopped\n"
                          << "status movie position\n"
                          << "snapshot " << png << "\n"
                          << "seek movie to 0xfa\n"
                          << "bogus movie\n"
                          << "close movie\n";
    const auto result =
        testing_support::RunCommand(ShellQuote(ToolPath()) + " < " + ShellQuote(script), false);
    ASSERT_EQ(0, result.exitCode) << result.output;
    const std::vector<std::string> expected = {"0\t1",  "0\t2",       "0\t",   "0\t",
                                               "0\t",   "0\tstopped", "0\t13", "0\t" + png,
                                               "270\t", "261\t",      "0\t"};
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(expected.size(), lines.size()) << result.output;
    for (size_t i = 0; i < lines.size(); ++i) {
        // Failures carry a text after the tab; only the code is fixed.
        const std::string& want = expected[i];
        EXPECT_EQ(want, want.back() == '\t' && want[0] != '0' ? lines[i].substr(0, want.size())
                                                              : lines[i]);
    }
    QImage image(QString::fromStdString(png));
    EXPECT_EQ(QSize(96, 64), image.size()) << "saved before scaling to the window";
}

// A snapshot right after a seek waits for the seek: it is the picture sought, not the one before.
TEST(MciToolTest, ASnapshotAfterASeekIsThePictureSought) {
    testing_support::TempDir dir;
    const std::string clip = dir.file("clip.avi");
    ASSERT_TRUE(testing_support::Ffmpeg(
        "-f lavfi -i testsrc2=size=96x64:rate=25:duration=1 -c:v mjpeg " + ShellQuote(clip)));
    const std::string script = dir.file("script.txt");
    std::ofstream(script) << "open avivideo\n"
                          << "open \"" << clip << "\" alias movie style child parent $WINDOW\n"
                          << "set movie seek exactly on\n"
                          << "wait-mode stopped\n"
                          << "snapshot " << dir.file("first.png") << "\n"
                          << "seek movie to 20\n"
                          << "snapshot " << dir.file("sought.png") << "\n"
                          << "wait-mode stopped\n"
                          << "snapshot " << dir.file("settled.png") << "\n"
                          << "close movie\n";
    const auto result =
        testing_support::RunCommand(ShellQuote(ToolPath()) + " < " + ShellQuote(script), false);
    ASSERT_EQ(0, result.exitCode) << result.output;
    const QImage first(QString::fromStdString(dir.file("first.png")));
    const QImage sought(QString::fromStdString(dir.file("sought.png")));
    const QImage settled(QString::fromStdString(dir.file("settled.png")));
    ASSERT_FALSE(sought.isNull()) << result.output;
    EXPECT_EQ(sought, settled);
    EXPECT_NE(sought, first);
}

}  // namespace
