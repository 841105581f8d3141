// SPDX-License-Identifier: GPL-3.0-or-later
// An INI file held in memory as its lines, so that one value can be changed while every other
// byte of the file stays as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// One line of the file. `text` excludes the line ending; `ending` is "\n", "\r\n" or empty for a
// last line that has none.
struct ProfileLine {
    enum class Kind { kBlank, kComment, kSection, kEntry, kOther };
    Kind kind = Kind::kOther;
    std::string text;
    std::string ending;
    std::string name;  // section name or key, trimmed (kSection, kEntry)
};

class ProfileDocument {
  public:
    // Parses file bytes: a UTF-8 byte-order mark is skipped, lines end at LF with an optional CR
    // before it. Never fails: a line that is neither a section, an entry nor a comment is kept as
    // it is and ignored.
    static ProfileDocument Parse(std::string_view bytes);

    // The value of the first key named `key` (letter case ignored) in the first section named
    // `section`; blanks at its ends trimmed and one pair of matching surrounding quotes removed.
    // Empty when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // Sets a value: replaces the value part of the existing line in place, or adds the key at the
    // end of the section, or adds the section at the end of the file. False (and nothing changed)
    // when the names or the value cannot be stored so that they read back as given.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes, every untouched line exactly as it was read.
    std::string Serialize() const;

    const std::vector<ProfileLine>& lines() const { return m_lines; }

  private:
    std::optional<size_t> findSection(std::string_view section) const;
    std::optional<size_t> findEntry(size_t sectionLine, std::string_view key) const;
    const std::string& lineEnding() const;
    void appendLine(std::string text);

    bool m_byteOrderMark = false;
    std::vector<ProfileLine> m_lines;
};

// Blanks the reader trims around keys and values.
bool IsProfileBlank(char c);

// Names that can be found again after writing: not empty, no blanks at the ends, no line breaks
// or NUL; a section name without "]", a key without "=" that does not start with "[" or ";".
bool IsValidSectionName(std::string_view name);
bool IsValidKeyName(std::string_view name);

// Values that can be written: no CR, LF or NUL, so a value can never add lines to the file.
bool IsWritableValue(std::string_view value);

// The text to write after "key=" so that the reader gives back exactly `value`: the value itself,
// or the value inside one more pair of double quotes when the reader would trim or unquote it.
std::string EncodeProfileValue(std::string_view value);

// Letter case ignored for ASCII letters; other bytes compared as they are.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace profile
