// gui-graphics.h -- a Graphics for one paint event on a painter.
#pragma once

#include "gui-private.h"

#include <QFont>
#include <QPainter>
#include <QRect>

namespace rb::gui {

// Sets the painter up for an area (origin at its corner, clipped to it, no antialiasing)
// and hands out a Graphics for it; the painter is restored when the context goes.
class PaintContext {
  public:
    PaintContext(QPainter &painter, const QRect &area, const QFont &font);
    ~PaintContext();
    PaintContext(const PaintContext &) = delete;
    PaintContext &operator=(const PaintContext &) = delete;

  private:
    QPainter &painter_;
    Graphics::Impl impl_;

  public:
    Graphics graphics;
};

} // namespace rb::gui
