// A top-level Qt window as window placement sees it, in twips (15 per logical pixel).
#pragma once

#include <QWidget>
#include <string>

#include "settings/window_placement.h"

namespace ui {

class WidgetPlacement : public settings::PlacedWindow {
  public:
    explicit WidgetPlacement(QWidget& window) : m_window(window) {}
    int32_t Left() const override;
    int32_t Top() const override;
    int32_t Width() const override;
    int32_t Height() const override;
    void SetLeft(int32_t twips) override;
    void SetTop(int32_t twips) override;
    void SetCaption(const std::string& caption) override;

  private:
    QWidget& m_window;
};

// The available area of the window's screen (the primary screen without a window), in twips;
// empty when there is no screen.
settings::ScreenArea ScreenAreaFor(const QWidget* window);

}  // namespace ui
