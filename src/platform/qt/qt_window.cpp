// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace platform {

namespace {

int32_t ToPixels(int32_t twips) {
    // Halves to even, like every conversion to a whole number in the program.
    return static_cast<int32_t>(
        std::nearbyint(static_cast<double>(twips) / settings::kTwipsPerPixel));
}

}  // namespace

QtPlacedWindow::QtPlacedWindow(QWidget& window) : m_window(window) {}

// The frame's position (with the title bar) is what a user sees as the window's place.
int32_t QtPlacedWindow::left() const {
    return m_window.frameGeometry().x() * settings::kTwipsPerPixel;
}
int32_t QtPlacedWindow::top() const {
    return m_window.frameGeometry().y() * settings::kTwipsPerPixel;
}
int32_t QtPlacedWindow::width() const {
    return m_window.frameGeometry().width() * settings::kTwipsPerPixel;
}
int32_t QtPlacedWindow::height() const {
    return m_window.frameGeometry().height() * settings::kTwipsPerPixel;
}

void QtPlacedWindow::setLeft(int32_t twips) {
    m_window.move(ToPixels(twips), m_window.frameGeometry().y());
}

void QtPlacedWindow::setTop(int32_t twips) {
    m_window.move(m_window.frameGeometry().x(), ToPixels(twips));
}

void QtPlacedWindow::setCaption(const std::string& caption) {
    m_window.setWindowTitle(QString::fromStdString(caption));
}

settings::ScreenArea ScreenAreaOf(const QWidget* window) {
    const QScreen* screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    settings::ScreenArea area;
    if (screen == nullptr) {
        return area;
    }
    const QRect available = screen->availableGeometry();
    area.left = available.x() * settings::kTwipsPerPixel;
    area.top = available.y() * settings::kTwipsPerPixel;
    area.width = available.width() * settings::kTwipsPerPixel;
    area.height = available.height() * settings::kTwipsPerPixel;
    return area;
}

}  // namespace platform
