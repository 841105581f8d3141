// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a settings file: parsing keeps every byte, lookups never fail, and one write
// reads back as written while every other value stays as it was.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile/private_profile.h"
#include "platform/profile/profile_document.h"

namespace {

using profile::EqualsIgnoringCase;
using profile::ProfileDocument;
using profile::ProfileLine;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Section and key names the file uses, a few fixed ones, bounded in number.
std::vector<std::pair<std::string, std::string>> Probes(const ProfileDocument& document) {
    std::vector<std::string> sections = {"Main", "Preferences"};
    std::vector<std::string> keys = {"WindowState", "Match_Pattern"};
    for (const ProfileLine& line : document.lines()) {
        if (line.kind == ProfileLine::Kind::kSection && sections.size() < 8) {
            sections.push_back(line.name);
        } else if (line.kind == ProfileLine::Kind::kEntry && keys.size() < 8) {
            keys.push_back(line.name);
        }
    }
    std::vector<std::pair<std::string, std::string>> probes;
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            probes.emplace_back(section, key);
        }
    }
    return probes;
}

void CheckDocument(std::string_view bytes) {
    const ProfileDocument document = ProfileDocument::Parse(bytes);
    Check(document.Serialize() == bytes, "parsing keeps every byte");
    const auto probes = Probes(document);
    std::vector<std::optional<std::string>> before;
    for (const auto& [section, key] : probes) {
        before.push_back(document.Find(section, key));
    }
    // The write: a name taken from the probes, a value from the input's last bytes.
    const size_t pick = bytes.empty() ? 0 : static_cast<unsigned char>(bytes.back());
    const auto& [section, key] = probes[pick % probes.size()];
    const std::string value(bytes.substr(bytes.size() - std::min<size_t>(bytes.size(), 40)));
    ProfileDocument edited = document;
    const bool stored = edited.Set(section, key, value);
    const bool storable = profile::IsValidSectionName(section) && profile::IsValidKeyName(key) &&
                          profile::IsWritableValue(value);
    Check(stored == storable, "a write fails only for names or values that cannot be stored");
    const ProfileDocument reread = ProfileDocument::Parse(edited.Serialize());
    for (size_t i = 0; i < probes.size(); ++i) {
        const auto& [s, k] = probes[i];
        const bool same = EqualsIgnoringCase(s, section) && EqualsIgnoringCase(k, key);
        if (stored && same) {
            Check(reread.Find(s, k) == value, "the written value reads back");
        } else {
            Check(reread.Find(s, k) == before[i], "every other value is unchanged");
        }
    }
}

// A file in a private scratch folder, on tmpfs where there is one: flushing to a real disk would
// dominate the run. The folder is removed when the fuzzer exits.
std::string g_scratchFolder;

std::string ScratchFile() {
    char folder[] = "/dev/shm/fuzz_profile_parser.XXXXXX";
    if (::access("/dev/shm", W_OK) != 0) {
        std::snprintf(folder, sizeof folder, "%s", "/tmp/fuzz_profile_parser.XXXXXX");
    }
    if (::mkdtemp(folder) == nullptr) {
        return {};
    }
    g_scratchFolder = folder;
    std::atexit([] { ::rmdir(g_scratchFolder.c_str()); });
    return g_scratchFolder + "/Trelvane.ini";
}

// Now and then the same through a real file, so reading and atomic replacement take part too.
void CheckFile(std::string_view bytes) {
    static const std::string path = ScratchFile();
    if (path.empty()) {
        return;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    const std::string value(bytes.substr(0, std::min<size_t>(bytes.size(), 24)));
    if (profile::WritePrivateProfileStringA("Main", "WindowState", value, path)) {
        Check(profile::GetPrivateProfileStringA("main", "windowstate", "?", path) == value,
              "the file gives back what was written");
    }
    ::unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckDocument(bytes);
    if (size > 0 && (data[0] & 0x3F) == 0) {
        CheckFile(bytes);
    }
    return 0;
}
