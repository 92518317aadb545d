#include "app/MenuRowView.h"

#include <QBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <utility>

#include "app/ColorTable.h"
#include "app/ContextBarView.h"

namespace fernbeacon::app {
namespace {

void fillRounded(QPainter& painter, const QRectF& rect, double radius, const QColor& color) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, color);
}

// The badge's tinted container.
class BadgeBox : public QWidget {
public:
    BadgeBox(const BadgeModel& model, QWidget* parent) : QWidget(parent), model_(model) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        fillRounded(painter, rect(), model_.cornerRadius, colorFor(model_.tint, palette()));
    }

private:
    const BadgeModel model_;
};

// The status mark before a session's name; it keeps its colour under the highlight.
class StatusMarkView : public QWidget {
public:
    StatusMarkView(const StatusMarkModel& model, QWidget* parent) : QWidget(parent), model_(model) {
        setFixedSize(model.diameter, model.diameter);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        fillRounded(painter, rect(), model_.diameter / 2.0, colorFor(model_.color, palette()));
    }

private:
    const StatusMarkModel model_;
};

}  // namespace

RowText::RowText(LabelModel model, std::optional<RoleColor> tint, QWidget* parent)
    : QWidget(parent),
      model_(std::move(model)),
      text_(QString::fromStdString(model_.text)),
      tint_(tint),
      color_{model_.color} {
    setFont(fontFor(model_));
    setSizePolicy(model_.elide ? QSizePolicy::Preferred : QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void RowText::setColor(RoleColor color) {
    color_ = color;
    update();
}

QSize RowText::sizeHint() const {
    // Whole pixels, rounded up: a width rounded down would cut the text it was measured for.
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text_))),
            static_cast<int>(std::ceil(metrics.height()))};
}

QSize RowText::minimumSizeHint() const {
    if (!model_.elide) {
        return sizeHint();
    }
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("\u2026")), metrics.height()};
}

void RowText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (tint_) {
        // The badge's radius: the only tinted text.
        fillRounded(painter, rect(), BadgeModel{}.cornerRadius, colorFor(*tint_, palette()));
    }
    painter.setPen(colorFor(color_, palette()));
    const QString shown =
        model_.elide ? QFontMetrics(font()).elidedText(text_, Qt::ElideRight, width()) : text_;
    painter.drawText(rect(), (tint_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter, shown);
}

MenuRowView::MenuRowView(const RowModel& model, const std::vector<std::string>& spokenLines,
                         QAction* menuItem, QWidget* parent)
    : QWidget(parent), menuItem_(menuItem) {
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(RowModel::kLineSpacing);
    stack->setContentsMargins(model.insets.left, model.insets.top, model.insets.right,
                              model.insets.bottom);
    for (const RowLine& line : model.lines) {
        const bool marked = model.mark && &line == &model.lines.front();
        if (!line.bar && !line.badge && !marked) {
            stack->addWidget(addLabel(line.label, std::nullopt), 0, Qt::AlignLeft);
            continue;
        }
        auto* row = new QHBoxLayout();
        row->setSpacing(RowLine::kSpacing);
        if (marked) {
            addStatusMark(*row, *model.mark);
        }
        if (line.bar) {
            contextBar_ = new ContextBarView(*line.bar, this);
            row->addWidget(contextBar_, 0, Qt::AlignVCenter);
        }
        row->addWidget(addLabel(line.label, std::nullopt), 0, Qt::AlignVCenter);
        if (line.badge) {
            auto* box = new BadgeBox(*line.badge, this);
            auto* inside = new QHBoxLayout(box);
            const Margins& padding = line.badge->padding;
            inside->setContentsMargins(padding.left, padding.top, padding.right, padding.bottom);
            inside->addWidget(addLabel(line.badge->label, line.badge->tint));
            row->addWidget(box, 0, Qt::AlignVCenter);
        }
        row->addStretch(1);
        stack->addLayout(row);
    }
    setAccessibleText(spokenLines);
    resize(sizeHint());
}

void MenuRowView::addStatusMark(QHBoxLayout& row, const StatusMarkModel& mark) {
    statusMark_ = new StatusMarkView(mark, this);
    row.addWidget(statusMark_, 0, Qt::AlignVCenter);
}

RowText* MenuRowView::addLabel(const LabelModel& label, std::optional<RoleColor> tint) {
    auto* text = new RowText(label, tint, this);
    labels_.push_back(text);
    normalColors_.push_back(RoleColor{label.color});
    return text;
}

QSize MenuRowView::sizeHint() const {
    const QSize fitting = layout()->sizeHint();
    return {rowWidth(fitting.width()), fitting.height()};
}

void MenuRowView::setHighlighted(bool on) {
    isHighlighted_ = on;
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        labels_[i]->setColor(on ? RoleColor{RowHighlight::kText} : normalColors_[i]);
    }
    if (contextBar_ != nullptr) {
        contextBar_->setHighlighted(on);
    }
    update();
}

void MenuRowView::setAccessibleText(const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines) {
        texts.push_back(QString::fromStdString(line));
    }
    setAccessibleName(texts.value(0));
    setAccessibleDescription(texts.mid(1).join(QLatin1Char('\n')));
    if (menuItem_) {
        // Doubled, an ampersand is no shortcut mark.
        menuItem_->setText(
            texts.join(QLatin1Char('\n')).replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
}

void MenuRowView::enterEvent(QEnterEvent*) {
    setHighlighted(true);
}

void MenuRowView::leaveEvent(QEvent*) {
    setHighlighted(false);
}

void MenuRowView::mousePressEvent(QMouseEvent* event) {
    // Taken here so that the menu does not act on it too.
    event->accept();
    pressed_ = true;
}

void MenuRowView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    // The menu opens under the pointer: the release of the click that opened it is no choice.
    if (!std::exchange(pressed_, false)) {
        return;
    }
    for (QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            menu->close();
        }
    }
    if (menuItem_) {
        menuItem_->trigger();
    }
}

void MenuRowView::paintEvent(QPaintEvent*) {
    if (!isHighlighted_) {
        return;
    }
    QPainter painter(this);
    const QRectF area = QRectF(rect()).adjusted(RowHighlight::kHorizontalInset, 0,
                                                -RowHighlight::kHorizontalInset, 0);
    fillRounded(painter, area, RowHighlight::kCornerRadius, rowHighlightColor(palette()));
}

}  // namespace fernbeacon::app
