// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/file_box.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace ui {

namespace {

namespace fs = std::filesystem;

std::vector<std::string> SplitPatterns(const std::string& pattern) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= pattern.size()) {
        size_t end = pattern.find(';', start);
        if (end == std::string::npos) {
            end = pattern.size();
        }
        std::string part = pattern.substr(start, end - start);
        const size_t first = part.find_first_not_of(" \t");
        const size_t last = part.find_last_not_of(" \t");
        if (first != std::string::npos) {
            part = part.substr(first, last - first + 1);
            // "*.*" is every file, also those without a dot, as file boxes have always read it.
            parts.push_back(part == "*.*" ? std::string("*") : part);
        }
        start = end + 1;
    }
    return parts;
}

bool Matches(const std::string& name, const std::vector<std::string>& patterns) {
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
        return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
    });
}

// Entries of a folder of one kind, hidden ones left out, sorted; empty when unreadable.
std::vector<std::string> Entries(const std::string& folder, bool folders) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.') {
            continue;
        }
        std::error_code kindError;
        const bool wanted = folders ? it->is_directory(kindError) : it->is_regular_file(kindError);
        if (wanted && !kindError) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), NameLessIgnoringCase);
    return names;
}

}  // namespace

bool NameLessIgnoringCase(const std::string& first, const std::string& second) {
    const auto lower = [](unsigned char c) { return std::tolower(c); };
    const bool less = std::lexicographical_compare(
        first.begin(), first.end(), second.begin(), second.end(), [&](char a, char b) {
            return lower(static_cast<unsigned char>(a)) < lower(static_cast<unsigned char>(b));
        });
    const bool greater = std::lexicographical_compare(
        second.begin(), second.end(), first.begin(), first.end(), [&](char a, char b) {
            return lower(static_cast<unsigned char>(a)) < lower(static_cast<unsigned char>(b));
        });
    return less || (!greater && first < second);
}

std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern) {
    const std::vector<std::string> patterns = SplitPatterns(pattern);
    std::vector<std::string> names;
    for (const std::string& name : Entries(folder, false)) {
        if (Matches(name, patterns)) {
            names.push_back(name);
        }
    }
    return names;
}

std::vector<FolderLine> FolderListLines(const std::string& folder) {
    std::vector<FolderLine> lines;
    const fs::path current = fs::path(folder).lexically_normal();
    fs::path walked;
    int depth = 0;
    for (const fs::path& part : current) {
        if (part.empty() || part == ".") {
            continue;
        }
        walked /= part;
        lines.push_back({part.string(), walked.string(), depth++, true});
    }
    const std::string here = lines.empty() ? folder : lines.back().path;
    for (const std::string& name : Entries(here, true)) {
        lines.push_back({name, FolderFilePath(here, name), depth, false});
    }
    return lines;
}

std::string VolumeHolding(const std::string& folder, const std::vector<std::string>& roots) {
    std::string best;
    for (const std::string& root : roots) {
        if (root.empty() || root.size() <= best.size() ||
            folder.compare(0, root.size(), root) != 0) {
            continue;
        }
        const bool boundary =
            folder.size() == root.size() || root.back() == '/' || folder[root.size()] == '/';
        if (boundary) {
            best = root;
        }
    }
    return best;
}

std::string FolderFilePath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> ClipPathsFrom(const std::vector<std::string>& paths) {
    std::vector<std::string> clips;
    for (const std::string& path : paths) {
        if (path.empty()) {
            continue;
        }
        std::error_code error;
        fs::path absolute = fs::absolute(path, error);
        const std::string full = error ? path : absolute.lexically_normal().string();
        if (fs::is_directory(full, error)) {
            for (const std::string& name : ListMatchingFiles(full, "*.avi")) {
                clips.push_back(FolderFilePath(full, name));
            }
        } else {
            clips.push_back(full);
        }
    }
    return clips;
}

}  // namespace ui
