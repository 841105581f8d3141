// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/command_parser.h"

#include <cstddef>

#include "platform/mci/mci_errors.h"

namespace mci {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

// True when text at pos holds nothing but blanks, or blanks and then one of the words that may
// follow an open's file name, ending in a blank or the end.
bool OpenKeywordFollows(std::string_view text, size_t pos) {
    const size_t start = SkipBlanks(text, pos);
    if (start == text.size()) {
        return true;
    }
    if (start == pos) {
        return false;
    }
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end])) {
        ++end;
    }
    static constexpr std::string_view kKeywords[] = {"alias",     "type", "style", "parent",
                                                     "shareable", "wait", "notify"};
    const std::string_view word = text.substr(start, end - start);
    for (std::string_view keyword : kKeywords) {
        if (SameWord(word, keyword)) {
            return true;
        }
    }
    return false;
}

// The closing quote of an open's file name: the last quote followed by the end of the command or
// by one of open's keywords, if any.
size_t FindFileNameEnd(std::string_view text, size_t open) {
    for (size_t pos = text.size(); pos > open + 1; --pos) {
        if (text[pos - 1] == '"' && OpenKeywordFollows(text, pos)) {
            return pos - 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string LowerWord(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = Lower(c);
    }
    return out;
}

int32_t SplitCommand(std::string_view text, std::vector<Word>* words) {
    words->clear();
    size_t pos = SkipBlanks(text, 0);
    while (pos < text.size()) {
        if (text[pos] != '"') {
            size_t end = pos;
            while (end < text.size() && !IsBlank(text[end])) {
                ++end;
            }
            words->push_back({std::string(text.substr(pos, end - pos)), false});
            pos = SkipBlanks(text, end);
            continue;
        }
        size_t close = std::string_view::npos;
        if (words->size() == 1 && SameWord((*words)[0].text, "open")) {
            close = FindFileNameEnd(text, pos);
        }
        if (close == std::string_view::npos) {
            close = text.find('"', pos + 1);
        }
        if (close == std::string_view::npos) {
            words->clear();
            return kErrNoClosingQuote;
        }
        if (close + 1 < text.size() && !IsBlank(text[close + 1])) {
            words->clear();
            return kErrExtraCharacters;
        }
        words->push_back({std::string(text.substr(pos + 1, close - pos - 1)), true});
        pos = SkipBlanks(text, close + 1);
    }
    return kOk;
}

bool ParseInteger(std::string_view text, int64_t* value) {
    size_t pos = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos == text.size()) {
        return false;
    }
    constexpr int64_t kLimit = 0xFFFFFFFFll;
    int64_t result = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
        if (result > kLimit) {
            return false;
        }
    }
    *value = negative ? -result : result;
    return true;
}

}  // namespace mci
