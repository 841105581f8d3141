// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's two lists as drag sources: the file box hands its files out as file URLs (for
// the join list, or any program that takes files), and the join list marks a drag of its own
// lines, so that a drop inside it can reorder the job instead of the list's items.
#pragma once

#include <QListWidget>
#include <functional>
#include <vector>

namespace ui {

class FileBoxList : public QListWidget {
  public:
    // pathOf gives the full path of a line's file.
    FileBoxList(std::function<QString(const QString& line)> pathOf, QWidget* parent);

  protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;

  private:
    std::function<QString(const QString&)> m_pathOf;
};

class JoinList : public QListWidget {
  public:
    explicit JoinList(QWidget* parent);

    // The lines a drag from this list carries, in their order; none for any other drag.
    std::vector<int> draggedLines(const QMimeData* data) const;
    // The line before which a drop at a point of the viewport puts entries (count() at the end).
    int dropLine(const QPoint& at) const;

  protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
};

}  // namespace ui
