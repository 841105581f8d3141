// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace testing_support {

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() /
                         ("trelvane-test-" + std::to_string(rd()) + std::to_string(attempt));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            m_path = candidate;
            return;
        }
    }
    ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
    if (!m_path.empty()) {
        std::error_code ec;
        // Folders made read-only by a test must become writable again to be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
}

CommandResult RunCommand(const std::string& command, bool mergeStderr) {
    CommandResult result;
    const std::string full = mergeStderr ? "(" + command + ") 2>&1" : command;
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

TempSettingsHome::TempSettingsHome() {
    setenv("TRELVANE_HOME", m_dir.path().c_str(), 1);
}

TempSettingsHome::~TempSettingsHome() {
    unsetenv("TRELVANE_HOME");
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string FfmpegPath() {
    return TRELVANE_FFMPEG;
}
std::string FfprobePath() {
    return TRELVANE_FFPROBE;
}
std::filesystem::path CorpusDir() {
    const char* folder = std::getenv("TRELVANE_CORPUS");
    return folder != nullptr && *folder != '\0' ? std::filesystem::path(folder)
                                                : std::filesystem::path(TRELVANE_CORPUS_DIR);
}

bool HaveCorpus() {
    std::error_code error;
    return std::filesystem::exists(CorpusDir() / "MANIFEST.md", error);
}
std::filesystem::path BinaryDir() {
    return TRELVANE_BINARY_DIR;
}

std::string CliPath() {
    return (BinaryDir() / "cli" / "trelvane-cli").string();
}

CommandResult Cli(const std::string& args) {
    return RunCommand(ShellQuote(CliPath()) + " " + args);
}

std::string Md5Sum(const std::string& path) {
    return RunCommand("md5sum < " + ShellQuote(path), false).output;
}

bool Ffmpeg(const std::string& args) {
    const auto result =
        RunCommand(ShellQuote(FfmpegPath()) + " -hide_banner -loglevel error -nostdin -y " + args);
    if (result.exitCode != 0) {
        ADD_FAILURE() << "ffmpeg " << args << "\n" << result.output;
        return false;
    }
    return true;
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string Slurp(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace testing_support

// Under LeakSanitizer: leaks inside system libraries that window tests load are not ours.
// fontconfig keeps a small cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
