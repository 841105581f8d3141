// SPDX-License-Identifier: GPL-3.0-or-later
// The marker strip above the slider: paints the drawing steps the preview logic computed.
#pragma once

#include <QWidget>
#include <vector>

#include "preview/preview_view.h"

namespace preview {

class MarkerStrip : public QWidget {
    Q_OBJECT

  public:
    explicit MarkerStrip(QWidget* parent = nullptr);
    void setShapes(std::vector<StripShape> shapes);
    const std::vector<StripShape>& shapes() const { return m_shapes; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<StripShape> m_shapes;
};

}  // namespace preview
