// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile/profile_document.h"

namespace profile {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
const std::string kLf = "\n";
const std::string kCrLf = "\r\n";

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsProfileBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsProfileBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void Classify(ProfileLine& line) {
    const std::string_view body = Trim(line.text);
    if (body.empty()) {
        line.kind = ProfileLine::Kind::kBlank;
    } else if (body.front() == ';') {
        line.kind = ProfileLine::Kind::kComment;
    } else if (body.front() == '[') {
        const size_t close = body.rfind(']');
        if (close == std::string_view::npos) {
            line.kind = ProfileLine::Kind::kOther;
        } else {
            line.kind = ProfileLine::Kind::kSection;
            line.name = std::string(Trim(body.substr(1, close - 1)));
        }
    } else if (const size_t equals = body.find('='); equals != std::string_view::npos) {
        line.kind = ProfileLine::Kind::kEntry;
        line.name = std::string(Trim(body.substr(0, equals)));
    } else {
        line.kind = ProfileLine::Kind::kOther;
    }
}

std::string DecodeValue(std::string_view lineText) {
    std::string_view value = Trim(lineText.substr(lineText.find('=') + 1));
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool IsProfileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsValidSectionName(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && Trim(name).size() == name.size();
}

bool IsValidKeyName(std::string_view name) {
    return !name.empty() && !HasLineBreakOrNul(name) && Trim(name).size() == name.size() &&
           name.find('=') == std::string_view::npos && name.front() != '[' && name.front() != ';';
}

bool IsWritableValue(std::string_view value) {
    return !HasLineBreakOrNul(value);
}

std::string EncodeProfileValue(std::string_view value) {
    const bool readerWouldAlter =
        !value.empty() &&
        (IsProfileBlank(value.front()) || IsProfileBlank(value.back()) ||
         (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
    if (!readerWouldAlter) {
        return std::string(value);
    }
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    quoted += value;
    quoted += '"';
    return quoted;
}

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
    ProfileDocument document;
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        document.m_byteOrderMark = true;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    while (!bytes.empty()) {
        ProfileLine line;
        const size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            line.text = std::string(bytes);
            bytes = {};
        } else {
            const bool crlf = lf > 0 && bytes[lf - 1] == '\r';
            line.text = std::string(bytes.substr(0, crlf ? lf - 1 : lf));
            line.ending = crlf ? kCrLf : kLf;
            bytes.remove_prefix(lf + 1);
        }
        Classify(line);
        document.m_lines.push_back(std::move(line));
    }
    return document;
}

std::optional<size_t> ProfileDocument::findSection(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == ProfileLine::Kind::kSection &&
            EqualsIgnoringCase(m_lines[i].name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> ProfileDocument::findEntry(size_t sectionLine, std::string_view key) const {
    for (size_t i = sectionLine + 1; i < m_lines.size(); ++i) {
        const ProfileLine& line = m_lines[i];
        if (line.kind == ProfileLine::Kind::kSection) {
            break;
        }
        if (line.kind == ProfileLine::Kind::kEntry && EqualsIgnoringCase(line.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
    if (!IsValidSectionName(section) || !IsValidKeyName(key)) {
        return std::nullopt;
    }
    const std::optional<size_t> sectionLine = findSection(section);
    if (!sectionLine) {
        return std::nullopt;
    }
    const std::optional<size_t> entry = findEntry(*sectionLine, key);
    if (!entry) {
        return std::nullopt;
    }
    return DecodeValue(m_lines[*entry].text);
}

const std::string& ProfileDocument::lineEnding() const {
    for (const ProfileLine& line : m_lines) {
        if (!line.ending.empty()) {
            return line.ending == kCrLf ? kCrLf : kLf;
        }
    }
    return kLf;
}

void ProfileDocument::appendLine(std::string text) {
    ProfileLine line;
    line.text = std::move(text);
    line.ending = lineEnding();
    Classify(line);
    m_lines.push_back(std::move(line));
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsValidSectionName(section) || !IsValidKeyName(key) || !IsWritableValue(value)) {
        return false;
    }
    const std::string entryText = std::string(key) + "=" + EncodeProfileValue(value);
    const std::optional<size_t> sectionLine = findSection(section);
    if (!sectionLine) {
        if (!m_lines.empty()) {
            if (m_lines.back().ending.empty()) {
                m_lines.back().ending = lineEnding();
            }
            if (m_lines.back().kind != ProfileLine::Kind::kBlank) {
                appendLine("");
            }
        }
        appendLine("[" + std::string(section) + "]");
        appendLine(entryText);
        return true;
    }
    if (const std::optional<size_t> entry = findEntry(*sectionLine, key)) {
        // Keep the key as it was spelt and the blanks after "=", replace only the value.
        ProfileLine& line = m_lines[*entry];
        size_t valueStart = line.text.find('=') + 1;
        while (valueStart < line.text.size() && IsProfileBlank(line.text[valueStart])) {
            ++valueStart;
        }
        line.text = line.text.substr(0, valueStart) + EncodeProfileValue(value);
        return true;
    }
    // A new key goes after the section's last entry, ahead of blank lines and comments that may
    // introduce the next section.
    size_t last = *sectionLine;
    for (size_t i = last + 1; i < m_lines.size(); ++i) {
        const ProfileLine::Kind kind = m_lines[i].kind;
        if (kind == ProfileLine::Kind::kSection) {
            break;
        }
        if (kind != ProfileLine::Kind::kBlank && kind != ProfileLine::Kind::kComment) {
            last = i;
        }
    }
    if (m_lines[last].ending.empty()) {
        m_lines[last].ending = lineEnding();
    }
    ProfileLine line;
    line.text = entryText;
    line.ending = lineEnding();
    Classify(line);
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, std::move(line));
    return true;
}

std::string ProfileDocument::Serialize() const {
    size_t size = m_byteOrderMark ? kByteOrderMark.size() : 0;
    for (const ProfileLine& line : m_lines) {
        size += line.text.size() + line.ending.size();
    }
    std::string bytes;
    bytes.reserve(size);
    if (m_byteOrderMark) {
        bytes += kByteOrderMark;
    }
    for (const ProfileLine& line : m_lines) {
        bytes += line.text;
        bytes += line.ending;
    }
    return bytes;
}

}  // namespace profile
