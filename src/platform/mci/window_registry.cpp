// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/window_registry.h"

namespace mci {

int64_t WindowRegistry::add(QWidget* window) {
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (it->second.isNull()) {
            it = m_windows.erase(it);
        } else if (it->second == window) {
            return it->first;
        } else {
            ++it;
        }
    }
    const int64_t id = m_nextId++;
    m_windows.emplace(id, QPointer<QWidget>(window));
    return id;
}

void WindowRegistry::remove(int64_t id) {
    m_windows.erase(id);
}

QWidget* WindowRegistry::find(int64_t id) const {
    auto it = m_windows.find(id);
    return it == m_windows.end() ? nullptr : it->second.data();
}

}  // namespace mci
