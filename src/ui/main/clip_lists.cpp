// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/clip_lists.h"

#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace ui {

namespace {

const char* const kJoinLinesFormat = "application/x-trelvane-join-lines";
const char* const kJoinListProperty = "trelvaneJoinList";

}  // namespace

FileBoxList::FileBoxList(std::function<QString(const QString& line)> pathOf, QWidget* parent)
    : QListWidget(parent), m_pathOf(std::move(pathOf)) {
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
}

QMimeData* FileBoxList::mimeData(const QList<QListWidgetItem*>& items) const {
    QList<QUrl> urls;
    for (const QListWidgetItem* item : items) {
        urls << QUrl::fromLocalFile(m_pathOf(item->text()));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

JoinList::JoinList(QWidget* parent) : QListWidget(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
}

QMimeData* JoinList::mimeData(const QList<QListWidgetItem*>& items) const {
    QMimeData* data = QListWidget::mimeData(items);
    std::vector<int> lines;
    for (const QListWidgetItem* item : items) {
        lines.push_back(row(item));
    }
    std::sort(lines.begin(), lines.end());
    QByteArray text;
    for (int line : lines) {
        text += QByteArray::number(line) + ' ';
    }
    data->setData(kJoinLinesFormat, text);
    // Another program (or window) may offer the same format; only this list's own drag counts.
    data->setProperty(kJoinListProperty, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
    return data;
}

std::vector<int> JoinList::draggedLines(const QMimeData* data) const {
    std::vector<int> lines;
    if (data == nullptr || !data->hasFormat(kJoinLinesFormat) ||
        data->property(kJoinListProperty).value<quintptr>() != reinterpret_cast<quintptr>(this)) {
        return lines;
    }
    for (const QByteArray& part : data->data(kJoinLinesFormat).split(' ')) {
        bool ok = false;
        const int line = part.toInt(&ok);
        if (ok) {
            lines.push_back(line);
        }
    }
    return lines;
}

int JoinList::dropLine(const QPoint& at) const {
    const QModelIndex index = indexAt(at);
    if (!index.isValid()) {
        return count();
    }
    const QRect rect = visualRect(index);
    return at.y() > rect.center().y() ? index.row() + 1 : index.row();
}

}  // namespace ui
