#include "app/ContextBarView.h"

#include <QPainter>
#include <QPainterPath>

#include "app/ColorTable.h"

namespace fernbeacon::app {
namespace {

void fillRounded(QPainter& painter, const QRectF& rect, const QColor& color) {
    QPainterPath path;
    path.addRoundedRect(rect, ContextBarModel::kCornerRadius, ContextBarModel::kCornerRadius);
    painter.fillPath(path, color);
}

}  // namespace

ContextBarView::ContextBarView(ContextBarModel model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setFixedSize(ContextBarModel::kWidth, ContextBarModel::kHeight);
}

void ContextBarView::setHighlighted(bool on) {
    highlighted_ = on;
    update();
}

QSize ContextBarView::sizeHint() const {
    return {ContextBarModel::kWidth, ContextBarModel::kHeight};
}

void ContextBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    fillRounded(painter, bounds, colorFor(model_.trackColor(highlighted_), palette()));
    const double fill = model_.fillWidth(bounds.width());
    if (fill > 0) {
        fillRounded(painter, QRectF(bounds.x(), bounds.y(), fill, bounds.height()),
                    colorFor(model_.fillColor(highlighted_), palette()));
    }
}

}  // namespace fernbeacon::app
