// SPDX-License-Identifier: GPL-3.0-or-later
// The movie's picture: a child widget of the window named in the open command, painting the
// player's latest picture. A frame that cannot be decoded shows a neutral grey with a note.
#pragma once

#include <QWidget>
#include <memory>

#include "platform/mci/movie_player.h"

namespace mci {

class MovieWidget : public QWidget {
  public:
    MovieWidget(QWidget* parent, std::shared_ptr<MoviePlayer> player);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::shared_ptr<MoviePlayer> m_player;
};

}  // namespace mci
