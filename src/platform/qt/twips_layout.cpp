// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/twips_layout.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <cmath>

#include "platform/window_geometry.h"

namespace platform {

namespace {

constexpr double kDesignLineHeight = 13.0;

}  // namespace

double FontLayoutScale(const QFont& font, const QString& longestCaption, double designWidth) {
    const QFontMetrics metrics(font);
    const double byHeight = metrics.height() / kDesignLineHeight;
    const double byWidth =
        designWidth > 0 ? metrics.horizontalAdvance(longestCaption) / designWidth : 1.0;
    return std::clamp(std::max(byHeight, byWidth), 1.0, 4.0);
}

int TwipsToPixels(int twips, double scale) {
    return static_cast<int>(std::nearbyint(twips * scale / kTwipsPerPixel));
}

QRect TwipsRect(int left, int top, int width, int height, double scale) {
    return QRect(TwipsToPixels(left, scale), TwipsToPixels(top, scale), TwipsToPixels(width, scale),
                 TwipsToPixels(height, scale));
}

QSize TwipsSize(int width, int height, double scale) {
    return QSize(TwipsToPixels(width, scale), TwipsToPixels(height, scale));
}

}  // namespace platform
