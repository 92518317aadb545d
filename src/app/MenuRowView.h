#pragma once

#include <QAction>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "core/RowModels.h"

class QHBoxLayout;

namespace fernbeacon::app {

class ContextBarView;

// One text of a row, painted in a colour role; cut with an ellipsis when its model says so and
// the row is too narrow.
class RowText : public QWidget {
    Q_OBJECT
public:
    RowText(LabelModel model, std::optional<RoleColor> tint, QWidget* parent = nullptr);

    const LabelModel& model() const { return model_; }
    QString text() const { return text_; }
    RoleColor color() const { return color_; }
    void setColor(RoleColor color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const LabelModel model_;
    const QString text_;
    const std::optional<RoleColor> tint_;
    RoleColor color_;
};

// The row of a session in the menu: the layout of a RowModel, the hover highlight, and a click
// that closes the menu and triggers the row's menu item.
class MenuRowView : public QWidget {
    Q_OBJECT
public:
    // `spokenLines` are what a screen reader says for the row: the first line as its name, the
    // others as its description. Menus expose their items, not the items' widgets, to assistive
    // technology, so the menu item carries all the lines as its text.
    MenuRowView(const RowModel& model, const std::vector<std::string>& spokenLines,
                QAction* menuItem, QWidget* parent = nullptr);

    bool isHighlighted() const { return isHighlighted_; }
    void setHighlighted(bool on);

    // In creation order: the lines' labels, each badge right after its line's label.
    const std::vector<RowText*>& labels() const { return labels_; }
    ContextBarView* contextBar() const { return contextBar_; }
    QWidget* statusMark() const { return statusMark_; }

    QSize sizeHint() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    RowText* addLabel(const LabelModel& label, std::optional<RoleColor> tint);
    void addStatusMark(QHBoxLayout& row, const StatusMarkModel& mark);
    void setAccessibleText(const std::vector<std::string>& lines);

    bool isHighlighted_ = false;
    bool pressed_ = false;
    std::vector<RowText*> labels_;
    std::vector<RoleColor> normalColors_;
    ContextBarView* contextBar_ = nullptr;
    QWidget* statusMark_ = nullptr;
    QPointer<QAction> menuItem_;
};

}  // namespace fernbeacon::app
