#include "ui/startup/widget_placement.h"

#include <QGuiApplication>
#include <QScreen>

namespace ui {

namespace {

int ToPixels(int32_t twips) {
    const int64_t t = twips;
    // Nearest pixel, halves away from zero: positions need no finer rule.
    return static_cast<int>(t >= 0 ? (t + settings::kTwipsPerPixel / 2) / settings::kTwipsPerPixel
                                   : (t - settings::kTwipsPerPixel / 2) / settings::kTwipsPerPixel);
}

int32_t ToTwips(int pixels) {
    return static_cast<int32_t>(pixels) * settings::kTwipsPerPixel;
}

}  // namespace

int32_t WidgetPlacement::Left() const {
    return ToTwips(m_window.frameGeometry().x());
}
int32_t WidgetPlacement::Top() const {
    return ToTwips(m_window.frameGeometry().y());
}
int32_t WidgetPlacement::Width() const {
    return ToTwips(m_window.frameGeometry().width());
}
int32_t WidgetPlacement::Height() const {
    return ToTwips(m_window.frameGeometry().height());
}
void WidgetPlacement::SetLeft(int32_t twips) {
    m_window.move(ToPixels(twips), m_window.frameGeometry().y());
}
void WidgetPlacement::SetTop(int32_t twips) {
    m_window.move(m_window.frameGeometry().x(), ToPixels(twips));
}
void WidgetPlacement::SetCaption(const std::string& caption) {
    m_window.setWindowTitle(QString::fromStdString(caption));
}

settings::ScreenArea ScreenAreaFor(const QWidget* window) {
    QScreen* screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {};
    }
    const QRect area = screen->availableGeometry();
    return {ToTwips(area.x()), ToTwips(area.y()), ToTwips(area.width()), ToTwips(area.height())};
}

}  // namespace ui
