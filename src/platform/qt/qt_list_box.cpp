// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_list_box.h"

#include <QListWidget>

#include "platform/qt/qt_text.h"

namespace platform {

QtListBox::QtListBox(QListWidget& list) : m_list(list) {}

int QtListBox::count() const {
    return m_list.count();
}

std::string QtListBox::text(int line) const {
    const QListWidgetItem* item = m_list.item(line);
    return item != nullptr ? ToUtf8(item->text()) : std::string();
}

bool QtListBox::isSelected(int line) const {
    const QListWidgetItem* item = m_list.item(line);
    return item != nullptr && item->isSelected();
}

void QtListBox::setSelected(int line, bool selected) {
    QListWidgetItem* item = m_list.item(line);
    if (item == nullptr) {
        return;
    }
    item->setSelected(selected);
    // Keyboard moves continue from the line that was selected last.
    if (selected) {
        m_list.setCurrentItem(item, QItemSelectionModel::NoUpdate);
    }
}

void QtListBox::addLine(const std::string& text) {
    m_list.addItem(ToQString(text));
}

void QtListBox::setText(int line, const std::string& text) {
    QListWidgetItem* item = m_list.item(line);
    if (item != nullptr) {
        item->setText(ToQString(text));
    }
}

void QtListBox::clear() {
    m_list.clear();
}

}  // namespace platform
