// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting a command string into words. Words are separated by blanks; a word may be a quoted
// text taken whole. The file name of "open" is the text between its first double quote and the
// last double quote that is followed by the end of the command or by one of open's keywords
// (alias, type, style, parent, shareable, wait, notify), so that a path holding blanks or double
// quotes reaches the device unchanged, whatever follows it. A command holding a NUL character is
// refused by the interpreter (305), never cut short there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mci {

struct Word {
    std::string text;
    bool quoted = false;
};

// Returns 0 and the words, or 294 (closing quote missing) / 305 (characters after a quote).
int32_t SplitCommand(std::string_view command, std::vector<Word>* words);

// A decimal integer with an optional sign and nothing else; false when the text is not one or
// does not fit in 32 bits (as the device stores it).
bool ParseInteger(std::string_view text, int64_t* value);

// Case-insensitive comparison of ASCII words.
bool SameWord(std::string_view a, std::string_view b);
std::string LowerWord(std::string_view text);

}  // namespace mci
