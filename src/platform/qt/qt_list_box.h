// SPDX-License-Identifier: GPL-3.0-or-later
// The list box interface over a QListWidget: one item per line, the item's selection as the
// line's selection.
#pragma once

#include "platform/list_box.h"

class QListWidget;

namespace platform {

class QtListBox : public ListBox {
  public:
    explicit QtListBox(QListWidget& list);

    int count() const override;
    std::string text(int line) const override;
    bool isSelected(int line) const override;
    void setSelected(int line, bool selected) override;
    void addLine(const std::string& text) override;
    void setText(int line, const std::string& text) override;
    void clear() override;

  private:
    QListWidget& m_list;
};

}  // namespace platform
