// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for tests: scratch folders, running the independent judges (ffmpeg, ffprobe), and the
// folder of real-world samples.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Skips the running test, with a message, when the corpus is absent.
#define TRELVANE_SKIP_WITHOUT_CORPUS()                                              \
    if (!testing_support::HaveCorpus())                                             \
    GTEST_SKIP() << "no sample corpus at " << testing_support::CorpusDir().string() \
                 << " (set TRELVANE_CORPUS to its folder)"

namespace testing_support {

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

// Points $TRELVANE_HOME, and so the settings file, at a fresh folder while it lives.
class TempSettingsHome {
  public:
    TempSettingsHome();
    ~TempSettingsHome();
    TempSettingsHome(const TempSettingsHome&) = delete;
    TempSettingsHome& operator=(const TempSettingsHome&) = delete;
    const std::filesystem::path& path() const { return m_dir.path(); }

  private:
    TempDir m_dir;
};

struct CommandResult {
    int exitCode = -1;   // exit status, or -1 when the command could not run or was killed
    std::string output;  // standard output (and standard error when merged)
};

// Runs a shell command; standard error is merged into the output when mergeStderr is set.
CommandResult RunCommand(const std::string& command, bool mergeStderr = true);

// Quotes a string for the shell.
std::string ShellQuote(const std::string& text);

std::string FfmpegPath();  // empty when ffmpeg was not found at configure time
std::string FfprobePath();
// The folder of real-world samples: $TRELVANE_CORPUS when set, else ../shared/corpus beside the
// sources. HaveCorpus() tells whether it is there; tests that read it skip without it.
std::filesystem::path CorpusDir();
bool HaveCorpus();
std::filesystem::path BinaryDir();  // the build folder

// trelvane-cli in the build folder, and running it with the arguments (already quoted as needed),
// output and errors merged.
std::string CliPath();
CommandResult Cli(const std::string& args);

// Runs ffmpeg with the given arguments (quiet, overwrite); true on success. Fails the current
// test with ffmpeg's output when it does not succeed.
bool Ffmpeg(const std::string& args);

// A command's output split into lines (without their line ends).
std::vector<std::string> Lines(const std::string& text);

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);
// md5sum's line for a file, to tell that it was left alone.
std::string Md5Sum(const std::string& path);
// Reads a whole file; empty when it cannot be read.
std::vector<unsigned char> ReadFileBytes(const std::string& path);
// The same as text.
std::string Slurp(const std::string& path);

}  // namespace testing_support
