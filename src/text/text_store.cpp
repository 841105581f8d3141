// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/text_store.h"

#include <array>
#include <cstddef>

#include "trelvane_version.h"

namespace text {

namespace {

// Each byte is stored XORed with a key that changes with its position, so that the texts do not
// stand readable (or patchable) in the executable. The encoding happens while compiling.
constexpr unsigned char KeyByte(size_t position) {
    return static_cast<unsigned char>((position * 131u + 0x5Au) ^ (position >> 3));
}

template <size_t N>
struct Encoded {
    std::array<unsigned char, N - 1> bytes{};
    consteval Encoded(const char (&plain)[N]) {
        for (size_t i = 0; i + 1 < N; ++i) {
            bytes[i] =
                static_cast<unsigned char>(static_cast<unsigned char>(plain[i]) ^ KeyByte(i));
        }
    }
};

std::string Decode(const unsigned char* bytes, size_t size) {
    std::string plain(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        plain[i] = static_cast<char>(bytes[i] ^ KeyByte(i));
    }
    return plain;
}

constexpr Encoded kTitle{"Trelvane"};
constexpr Encoded kProduct{"Trelvane"};
constexpr Encoded kVersion{"Version "};
constexpr Encoded kInfo{
    "Joins AVI clips into one AVI file without re-encoding them: pick the clips, trim each one "
    "to a segment on its key frames, and join them bit for bit, with their sound in step."};
constexpr Encoded kDisclaimer{
    "Free software under the GNU General Public License, version 3 or later, with ABSOLUTELY NO "
    "WARRANTY. Keep your source clips until you have checked that the joined file plays as you "
    "expect."};
constexpr Encoded kAuthor{"Written by the Trelvane developers"};
constexpr Encoded kHelp1{
    "  * Report a clip that Trelvane refuses or joins wrongly, with the exact message it "
    "showed.\r\n"};
constexpr Encoded kHelp2{"Thank you for using Trelvane."};
constexpr Encoded kHelp3{"Trelvane is free. If it saved you time, you can help it get better:"};
constexpr Encoded kHelp4{
    "  * Say which camera or program made the clip, and its codec as the statistics show it."};
constexpr Encoded kHelp5{
    "A report that comes with a small sample file showing the problem is the first to be fixed. "
    "\"trelvane-cli info FILE\" prints everything Trelvane reads from a clip; please add its "
    "output to your report."};
constexpr Encoded kHelp6{
    "Trelvane never sends anything anywhere by itself: whatever you share, you choose to share."};

struct Entry {
    std::string_view key;
    const unsigned char* bytes;
    size_t size;
    const char* plainSuffix;  // appended as it stands (the build's version)
};

template <size_t N>
constexpr Entry MakeEntry(std::string_view key, const Encoded<N>& text,
                          const char* plainSuffix = nullptr) {
    return Entry{key, text.bytes.data(), text.bytes.size(), plainSuffix};
}

constexpr std::array kEntries{
    MakeEntry(kApplicationTitle, kTitle),
    MakeEntry(kProductText, kProduct),
    MakeEntry(kVersionText, kVersion, kTrelvaneVersion),
    MakeEntry(kInfoText, kInfo),
    MakeEntry(kDisclaimerText, kDisclaimer),
    MakeEntry(kAuthorText, kAuthor),
    MakeEntry(kHelpEntry1, kHelp1),
    MakeEntry(kHelpEntry2, kHelp2),
    MakeEntry(kHelpEntry3, kHelp3),
    MakeEntry(kHelpEntry4, kHelp4),
    MakeEntry(kHelpEntry5, kHelp5),
    MakeEntry(kHelpEntry6, kHelp6),
};

std::string Plain(const Entry& entry) {
    std::string plain = Decode(entry.bytes, entry.size);
    if (entry.plainSuffix != nullptr) {
        plain += entry.plainSuffix;
    }
    return plain;
}

}  // namespace

std::string TextStore::entry(std::string_view key) const {
    for (const Entry& e : kEntries) {
        if (e.key == key) {
            return Plain(e);
        }
    }
    return {};
}

std::string TextStore::get(std::string_view request) const {
    std::string result;
    result.reserve(request.size());
    size_t pos = 0;
    while (pos < request.size()) {
        const Entry* found = nullptr;
        if (request[pos] == '{') {
            for (const Entry& e : kEntries) {
                if (request.substr(pos, e.key.size()) == e.key) {
                    found = &e;
                    break;
                }
            }
        }
        if (found != nullptr) {
            result += Plain(*found);
            pos += found->key.size();
        } else {
            result += request[pos];
            ++pos;
        }
    }
    return result;
}

std::string GetStoredText(std::string_view request, int32_t /*mode*/) {
    return TextStore().get(request);
}

}  // namespace text
