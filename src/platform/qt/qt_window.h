// SPDX-License-Identifier: GPL-3.0-or-later
// Placing a Qt top-level window with the settings' placement operations, which count in twips
// (15 to a logical pixel), and the screen area they keep windows on.
#pragma once

#include "settings/window_placement.h"

class QWidget;

namespace platform {

class QtPlacedWindow : public settings::PlacedWindow {
  public:
    explicit QtPlacedWindow(QWidget& window);

    int32_t left() const override;
    int32_t top() const override;
    int32_t width() const override;
    int32_t height() const override;
    void setLeft(int32_t twips) override;
    void setTop(int32_t twips) override;
    void setCaption(const std::string& caption) override;

  private:
    QWidget& m_window;
};

// The available area of the window's screen in twips; the primary screen's when the window is
// null or on no screen; an empty area when there is no screen at all.
settings::ScreenArea ScreenAreaOf(const QWidget* window);

}  // namespace platform
