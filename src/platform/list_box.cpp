// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/list_box.h"

namespace platform {

int SelectedCount(const ListBox& list) {
    int selected = 0;
    const int lines = list.count();
    for (int line = 0; line < lines; ++line) {
        if (list.isSelected(line)) {
            ++selected;
        }
    }
    return selected;
}

std::vector<int> SelectedLines(const ListBox& list) {
    std::vector<int> lines;
    const int total = list.count();
    for (int line = 0; line < total; ++line) {
        if (list.isSelected(line)) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace platform
