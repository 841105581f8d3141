// SPDX-License-Identifier: GPL-3.0-or-later
// A Qt top-level window as window placement sees it: its frame in twips (15 to a logical pixel).
// Every window of the program is placed through it, so a stored position is the frame's and is
// restored as the frame's, and every placed window stays wholly on a screen.
#pragma once

#include "platform/window_geometry.h"

class QWidget;

namespace platform {

class QtPlacedWindow : public PlacedWindow {
  public:
    explicit QtPlacedWindow(QWidget& window);

    int32_t left() const override;
    int32_t top() const override;
    int32_t width() const override;
    int32_t height() const override;
    void setLeft(int32_t twips) override;
    void setTop(int32_t twips) override;
    void setCaption(const std::string& caption) override;
    // Keeps the window where it was put, on the screen (see KeepOnScreen).
    void placed() override;

  private:
    QWidget& m_window;
};

// Keeps a top-level window's frame at its place, wholly on the screen that holds most of it and
// no larger than that screen: at once, and again once the window shows with its frame, which
// the window manager may have put elsewhere (title bar and borders are only known then).
void KeepOnScreen(QWidget& window);

// The available area of the window's screen in twips; the primary screen's when the window is
// null or on no screen; an empty area when there is no screen at all.
ScreenArea ScreenAreaOf(const QWidget* window);

// The available areas of all screens, in pixels.
std::vector<ScreenArea> ScreenAreasInPixels();

}  // namespace platform
