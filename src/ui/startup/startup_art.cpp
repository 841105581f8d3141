// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/startup/startup_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace ui {

namespace {

const QColor kFilm(38, 38, 46);
const QColor kHole(210, 210, 200);
const QColor kClipA(64, 128, 200);
const QColor kClipB(232, 148, 48);

// A vertical strip of film: sprocket holes down both edges, frames between them, the upper
// frames in the first clip's colour and the lower ones in the second's.
void PaintStrip(QPainter& p, const QRectF& strip, int frames) {
    p.fillRect(strip, kFilm);
    const qreal edge = strip.width() * 0.16;
    const qreal frameHeight = strip.height() / frames;
    for (int i = 0; i < frames; ++i) {
        const qreal top = strip.top() + i * frameHeight;
        for (int h = 0; h < 3; ++h) {
            const qreal y = top + frameHeight * (0.18 + 0.28 * h);
            const QSizeF hole(edge * 0.5, frameHeight * 0.14);
            p.fillRect(QRectF(QPointF(strip.left() + edge * 0.25, y), hole), kHole);
            p.fillRect(QRectF(QPointF(strip.right() - edge * 0.75, y), hole), kHole);
        }
        const QRectF frame(strip.left() + edge, top + frameHeight * 0.08, strip.width() - 2 * edge,
                           frameHeight * 0.84);
        const QColor base = i < frames / 2 ? kClipA : kClipB;
        QLinearGradient shade(frame.topLeft(), frame.bottomRight());
        shade.setColorAt(0, base.lighter(140));
        shade.setColorAt(1, base.darker(120));
        p.fillRect(frame, shade);
    }
}

}  // namespace

QPixmap DrawFilmStrip(int width, int height) {
    QPixmap picture(width, height);
    picture.fill(QColor(236, 236, 232));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF strip(width * 0.22, height * 0.04, width * 0.56, height * 0.92);
    PaintStrip(p, strip, 6);
    // The splice: a bright line across the strip where the two clips meet.
    const qreal middle = strip.top() + strip.height() / 2;
    p.setPen(QPen(QColor(250, 250, 250), 3));
    p.drawLine(QPointF(strip.left() - width * 0.12, middle),
               QPointF(strip.right() + width * 0.12, middle));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 250));
    for (const qreal x : {strip.left() - width * 0.12, strip.right() + width * 0.12}) {
        p.drawEllipse(QPointF(x, middle), width * 0.03, width * 0.03);
    }
    return picture;
}

QPixmap DrawProgramIcon(int size) {
    QPixmap icon(size, size);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size * 0.18, size * 0.18);
    p.setClipPath(rounded);
    PaintStrip(p, QRectF(size * 0.1, 0, size * 0.8, size), 2);
    p.setPen(QPen(QColor(250, 250, 250), std::max(1.0, size / 16.0)));
    p.drawLine(QPointF(0, size / 2.0), QPointF(size, size / 2.0));
    return icon;
}

}  // namespace ui
