// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/scripted/memory_list_box.h"

namespace platform {

MemoryListBox::MemoryListBox(const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        addLine(line);
    }
}

std::string MemoryListBox::text(int line) const {
    return valid(line) ? m_lines[static_cast<size_t>(line)].text : std::string();
}

bool MemoryListBox::isSelected(int line) const {
    return valid(line) && m_lines[static_cast<size_t>(line)].selected;
}

void MemoryListBox::setSelected(int line, bool selected) {
    if (valid(line)) {
        m_lines[static_cast<size_t>(line)].selected = selected;
    }
}

void MemoryListBox::addLine(const std::string& text) {
    m_lines.push_back(Line{text, false});
}

void MemoryListBox::setText(int line, const std::string& text) {
    if (valid(line)) {
        m_lines[static_cast<size_t>(line)].text = text;
    }
}

void MemoryListBox::selectOnly(const std::vector<int>& lines) {
    for (auto& line : m_lines) {
        line.selected = false;
    }
    for (int line : lines) {
        setSelected(line, true);
    }
}

std::vector<std::string> MemoryListBox::lines() const {
    std::vector<std::string> texts;
    texts.reserve(m_lines.size());
    for (const auto& line : m_lines) {
        texts.push_back(line.text);
    }
    return texts;
}

}  // namespace platform
