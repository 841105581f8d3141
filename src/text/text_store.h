// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own texts: the application title, the about box's labels and the help message.
// They are kept encoded in the program and handed out as plain text on request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// The key text of each entry. A request is one key, or a text in which several keys stand
// together with other characters.
inline constexpr std::string_view kApplicationTitle = "{{applicationTitle}}";
inline constexpr std::string_view kProductText = "{{productText}}";
inline constexpr std::string_view kVersionText = "{{versionText}}";
inline constexpr std::string_view kInfoText = "{{infoText}}";
inline constexpr std::string_view kDisclaimerText = "{{disclaimerText}}";
inline constexpr std::string_view kAuthorText = "{{authorText}}";
inline constexpr std::string_view kHelpEntry1 = "{{helpEntry1}}";
inline constexpr std::string_view kHelpEntry2 = "{{helpEntry2}}";
inline constexpr std::string_view kHelpEntry3 = "{{helpEntry3}}";
inline constexpr std::string_view kHelpEntry4 = "{{helpEntry4}}";
inline constexpr std::string_view kHelpEntry5 = "{{helpEntry5}}";
inline constexpr std::string_view kHelpEntry6 = "{{helpEntry6}}";

class TextStore {
  public:
    // The request with every key replaced by its entry's plain text, read from left to right;
    // everything else, and the text an entry brings in, is kept as it stands.
    std::string get(std::string_view request) const;
    // The plain text of one entry; empty for a text that is no key.
    std::string entry(std::string_view key) const;
};

// TextStore::get. The mode is 0 for every caller; other values behave the same.
std::string GetStoredText(std::string_view request, int32_t mode = 0);

}  // namespace text
