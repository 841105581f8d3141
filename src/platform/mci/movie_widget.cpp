// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mci/movie_widget.h"

#include <QImage>
#include <QPainter>

namespace mci {

MovieWidget::MovieWidget(QWidget* parent, std::shared_ptr<MoviePlayer> player)
    : QWidget(parent), m_player(std::move(player)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName("moviePicture");
}

void MovieWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const std::shared_ptr<const BgraPicture> picture = m_player->paintedPicture();
    if (picture && picture->width > 0 && picture->height > 0) {
        const QImage image(picture->pixels.data(), picture->width, picture->height, picture->stride,
                           QImage::Format_RGB32);
        painter.drawImage(rect(), image);
        return;
    }
    painter.fillRect(rect(), QColor(128, 128, 128));
    painter.setPen(Qt::white);
    const QString note = m_player->codecKnown() ? QStringLiteral("This frame cannot be decoded")
                                                : QString::fromStdString(m_player->codecText());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, note);
}

}  // namespace mci
