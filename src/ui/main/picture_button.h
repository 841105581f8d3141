// SPDX-License-Identifier: GPL-3.0-or-later
// The artwork of the picture buttons: SVG pictures compiled into the program, drawn at the size a
// button needs on the screen it is shown on.
#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

namespace ui {

// The picture in the resource at the given logical size (also drawn at twice that size for
// high-density screens); an empty icon when the resource is missing.
QIcon PictureIcon(const QString& resource, const QSize& size);

}  // namespace ui
