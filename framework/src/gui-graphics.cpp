// gui-graphics.cpp -- drawing into a list cell or a canvas.
#include "gui-graphics.h"

#include <QPen>

#include <algorithm>

namespace rb {

namespace gui {

PaintContext::PaintContext(QPainter &painter, const QRect &area, const QFont &font)
    : painter_(painter), impl_{&painter, area.width(), area.height()}, graphics(&impl_) {
    painter_.save();
    painter_.setClipRect(area, Qt::IntersectClip);
    painter_.translate(area.topLeft());
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setFont(font);
}

PaintContext::~PaintContext() { painter_.restore(); }

static QColor ToQColor(const Color &color) { return QColor(color.red, color.green, color.blue); }

} // namespace gui

std::int32_t Graphics::Width() const { return impl_->width; }
std::int32_t Graphics::Height() const { return impl_->height; }

void Graphics::FillRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0)
        return;
    impl_->painter->fillRect(QRect(x, y, width, height), gui::ToQColor(ForeColor));
}

void Graphics::DrawRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0)
        return;
    // Four bands inside the rectangle, so that the pen never reaches beyond it.
    const std::int32_t side = std::min(std::max(PenWidth, 1), width);
    const std::int32_t band = std::min(std::max(PenHeight, 1), height);
    const QColor color = gui::ToQColor(ForeColor);
    QPainter &p = *impl_->painter;
    p.fillRect(QRect(x, y, width, band), color);
    p.fillRect(QRect(x, y + height - band, width, band), color);
    p.fillRect(QRect(x, y, side, height), color);
    p.fillRect(QRect(x + width - side, y, side, height), color);
}

void Graphics::DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    QPen pen(gui::ToQColor(ForeColor));
    pen.setWidth(PenWidth > 1 ? PenWidth : 0);
    pen.setCapStyle(Qt::SquareCap);
    impl_->painter->setPen(pen);
    impl_->painter->drawLine(x1, y1, x2, y2);
}

void Graphics::DrawString(const std::string &text, std::int32_t x, std::int32_t y) {
    QPainter &p = *impl_->painter;
    p.save();
    QFont font = p.font();
    if (TextFont != "System" || TextSize > 0 || Bold)
        font = gui::MakeFont(TextFont, TextSize, Bold, false, false);
    p.setFont(font);
    p.setPen(gui::ToQColor(ForeColor));
    p.drawText(x, y, gui::ToQt(text));
    p.restore();
}

} // namespace rb
