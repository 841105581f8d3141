// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/marker_strip.h"

#include <QPainter>

namespace preview {

MarkerStrip::MarkerStrip(QWidget* parent) : QWidget(parent) {
    setObjectName("Picture1");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MarkerStrip::setShapes(std::vector<StripShape> shapes) {
    m_shapes = std::move(shapes);
    update();
}

void MarkerStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (const StripShape& shape : m_shapes) {
        // Colour values are 0x00BBGGRR.
        const QColor color(static_cast<int>(shape.color & 0xFF),
                           static_cast<int>((shape.color >> 8) & 0xFF),
                           static_cast<int>((shape.color >> 16) & 0xFF));
        if (shape.kind == StripShape::Kind::Line) {
            painter.setPen(color);
            painter.drawLine(shape.x1, shape.y1, shape.x2, shape.y2);
        } else {
            painter.fillRect(
                QRect(QPoint(shape.x1, shape.y1), QPoint(shape.x2, shape.y2)).normalized(), color);
        }
    }
}

}  // namespace preview
