// SPDX-License-Identifier: GPL-3.0-or-later
// Windows are drawn in twips (15 to a logical pixel) for a small system font of 13-pixel lines.
// A larger or wider font stretches a window's design evenly, so that no caption is cut; these
// turn the design's twips into pixels at that stretch.
#pragma once

#include <QRect>
#include <QSize>

class QFont;
class QString;

namespace platform {

// How much the design is stretched for the font: by its line height against 13 pixels, or by the
// width of the window's longest caption against the designWidth pixels it was drawn in, whichever
// is more; never below 1, never above 4.
double FontLayoutScale(const QFont& font, const QString& longestCaption, double designWidth);

// Twips at a stretch, in whole pixels (halves to even).
int TwipsToPixels(int twips, double scale = 1.0);
QRect TwipsRect(int left, int top, int width, int height, double scale = 1.0);
QSize TwipsSize(int width, int height, double scale = 1.0);

}  // namespace platform
