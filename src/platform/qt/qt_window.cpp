// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cmath>

#include "platform/qt/qt_text.h"

namespace platform {

namespace {

int ToPixels(int32_t twips) {
    // Halves to even, like every conversion to a whole number in the program.
    return static_cast<int>(std::nearbyint(static_cast<double>(twips) / kTwipsPerPixel));
}

ScreenArea AreaOf(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

// Moves and, where needed, shrinks a window so that its frame is at frameTopLeft and wholly on a
// screen. True when the frame is there now.
bool PutFrame(QWidget& window, const QPoint& frameTopLeft) {
    const QRect frame = window.frameGeometry();
    const ScreenArea wanted{frameTopLeft.x(), frameTopLeft.y(), frame.width(), frame.height()};
    const ScreenArea kept = KeepOnScreens(wanted, ScreenAreasInPixels());
    if (AreaOf(frame) == kept) {
        return true;
    }
    if (kept.width < frame.width() || kept.height < frame.height()) {
        window.resize(window.width() - (frame.width() - kept.width),
                      window.height() - (frame.height() - kept.height));
    }
    window.move(kept.left, kept.top);  // a window's position is its frame's
    return false;
}

// Watches a window from its placement until its frame stands where the placement put it: the
// window manager decorates a window only when it maps it, and some put the client, not the frame,
// at the position asked for (Qt asks frame-inclusive only for windows that may be resized).
class PlacementKeeper : public QObject {
  public:
    PlacementKeeper(QWidget& window, QPoint frameTopLeft)
        : QObject(&window), m_window(&window), m_frameTopLeft(frameTopLeft) {
        setObjectName(QStringLiteral("PlacementKeeper"));
        m_settle.setSingleShot(true);
        m_settle.setInterval(30);
        connect(&m_settle, &QTimer::timeout, this, [this] { settle(); });
        window.installEventFilter(this);
        if (window.isVisible()) {
            m_settle.start();
        }
    }

    void replace(QPoint frameTopLeft) {
        m_frameTopLeft = frameTopLeft;
        m_attempts = 0;
        if (m_window->isVisible()) {
            m_settle.start();
        }
    }

    bool done() const { return m_done; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window &&
            (event->type() == QEvent::Show || event->type() == QEvent::Move ||
             event->type() == QEvent::Resize)) {
            m_settle.start();  // after the burst of events that mapping a window brings
        }
        return false;
    }

  private:
    void settle() {
        if (m_window == nullptr || !m_window->isVisible()) {
            return;
        }
        if (PutFrame(*m_window, m_frameTopLeft) || ++m_attempts >= 3) {
            m_done = true;
            deleteLater();  // from now on the user places the window
        }
    }

    QPointer<QWidget> m_window;
    QPoint m_frameTopLeft;
    QTimer m_settle;
    int m_attempts = 0;
    bool m_done = false;
};

}  // namespace

QtPlacedWindow::QtPlacedWindow(QWidget& window) : m_window(window) {}

int32_t QtPlacedWindow::left() const {
    return m_window.frameGeometry().x() * kTwipsPerPixel;
}
int32_t QtPlacedWindow::top() const {
    return m_window.frameGeometry().y() * kTwipsPerPixel;
}
int32_t QtPlacedWindow::width() const {
    return m_window.frameGeometry().width() * kTwipsPerPixel;
}
int32_t QtPlacedWindow::height() const {
    return m_window.frameGeometry().height() * kTwipsPerPixel;
}

void QtPlacedWindow::setLeft(int32_t twips) {
    m_window.move(ToPixels(twips), m_window.frameGeometry().y());
}

void QtPlacedWindow::setTop(int32_t twips) {
    m_window.move(m_window.frameGeometry().x(), ToPixels(twips));
}

void QtPlacedWindow::setCaption(const std::string& caption) {
    m_window.setWindowTitle(ToQString(caption));
}

void QtPlacedWindow::placed() {
    KeepOnScreen(m_window);
}

void KeepOnScreen(QWidget& window) {
    const QPoint frameTopLeft = window.frameGeometry().topLeft();
    PutFrame(window, frameTopLeft);
    for (QObject* child : window.children()) {
        if (auto* keeper = dynamic_cast<PlacementKeeper*>(child); keeper && !keeper->done()) {
            keeper->replace(frameTopLeft);
            return;
        }
    }
    new PlacementKeeper(window, frameTopLeft);
}

ScreenArea ScreenAreaOf(const QWidget* window) {
    const QScreen* screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {};
    }
    const QRect available = screen->availableGeometry();
    return {available.x() * kTwipsPerPixel, available.y() * kTwipsPerPixel,
            available.width() * kTwipsPerPixel, available.height() * kTwipsPerPixel};
}

std::vector<ScreenArea> ScreenAreasInPixels() {
    std::vector<ScreenArea> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(AreaOf(screen->availableGeometry()));
    }
    return areas;
}

}  // namespace platform
