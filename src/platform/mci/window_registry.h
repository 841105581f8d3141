// SPDX-License-Identifier: GPL-3.0-or-later
// Windows that may hold a movie register here and get a small decimal id, the number the
// "parent" word of an open command carries. Ids stay unique for the registry's lifetime; a
// window that is destroyed simply stops resolving.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <map>

namespace mci {

class WindowRegistry {
  public:
    // The id of the window, given out on its first registration (1, 2, ...).
    int64_t add(QWidget* window);
    void remove(int64_t id);
    // The window, or nullptr when the id is unknown or its window is gone.
    QWidget* find(int64_t id) const;

  private:
    std::map<int64_t, QPointer<QWidget>> m_windows;
    int64_t m_nextId = 1;
};

}  // namespace mci
