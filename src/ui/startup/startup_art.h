// SPDX-License-Identifier: GPL-3.0-or-later
// The startup window's pictures, drawn by the program: a film strip whose two clips meet in one
// (160 x 200), and the program's icon (any size, square).
#pragma once

#include <QPixmap>

namespace ui {

QPixmap DrawFilmStrip(int width = 160, int height = 200);
QPixmap DrawProgramIcon(int size = 32);

}  // namespace ui
