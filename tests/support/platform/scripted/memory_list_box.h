// SPDX-License-Identifier: GPL-3.0-or-later
// A list box held in memory, for tests and for logic that needs one without a window.
#pragma once

#include <string>
#include <vector>

#include "platform/list_box.h"

namespace platform {

class MemoryListBox : public ListBox {
  public:
    MemoryListBox() = default;
    explicit MemoryListBox(const std::vector<std::string>& lines);

    int count() const override { return static_cast<int>(m_lines.size()); }
    std::string text(int line) const override;
    bool isSelected(int line) const override;
    void setSelected(int line, bool selected) override;
    void addLine(const std::string& text) override;
    void setText(int line, const std::string& text) override;
    void clear() override { m_lines.clear(); }

    // Selects exactly the given lines.
    void selectOnly(const std::vector<int>& lines);
    std::vector<std::string> lines() const;

  private:
    struct Line {
        std::string text;
        bool selected = false;
    };
    bool valid(int line) const { return line >= 0 && line < count(); }

    std::vector<Line> m_lines;
};

}  // namespace platform
