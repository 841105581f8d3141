// SPDX-License-Identifier: GPL-3.0-or-later
// A list box with extended multiple selection, as the logic sees it: lines of text, each
// selected or not. The Qt implementation wraps a QListWidget; tests use MemoryListBox.
#pragma once

#include <string>
#include <vector>

namespace platform {

class ListBox {
  public:
    virtual ~ListBox() = default;

    virtual int count() const = 0;
    // Lines outside 0..count()-1 read as empty and unselected; writing them does nothing.
    virtual std::string text(int line) const = 0;
    virtual bool isSelected(int line) const = 0;
    virtual void setSelected(int line, bool selected) = 0;
    // Adds a line at the end, not selected.
    virtual void addLine(const std::string& text) = 0;
    virtual void setText(int line, const std::string& text) = 0;
    virtual void clear() = 0;
};

// Number of selected lines.
int SelectedCount(const ListBox& list);
// The selected lines, first to last.
std::vector<int> SelectedLines(const ListBox& list);

}  // namespace platform
