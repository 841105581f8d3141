// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/picture_button.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace ui {

QIcon PictureIcon(const QString& resource, const QSize& size) {
    QSvgRenderer renderer(resource);
    if (!renderer.isValid() || size.isEmpty()) {
        return QIcon();
    }
    QIcon icon;
    for (const int factor : {1, 2}) {
        QPixmap pixmap(size * factor);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        // Keep the picture's proportions inside the button.
        QSizeF drawn = renderer.defaultSize().scaled(pixmap.size(), Qt::KeepAspectRatio);
        const QPointF corner((pixmap.width() - drawn.width()) / 2,
                             (pixmap.height() - drawn.height()) / 2);
        renderer.render(&painter, QRectF(corner, drawn));
        painter.end();
        pixmap.setDevicePixelRatio(factor);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace ui
