#pragma once

#include <QWidget>

#include "core/RowModels.h"

namespace fernbeacon::app {

// The context-usage bar: a rounded track with a fill in proportion to the share in use.
class ContextBarView : public QWidget {
    Q_OBJECT
public:
    explicit ContextBarView(ContextBarModel model, QWidget* parent = nullptr);

    const ContextBarModel& model() const { return model_; }
    bool highlighted() const { return highlighted_; }
    void setHighlighted(bool on);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ContextBarModel model_;
    bool highlighted_ = false;
};

}  // namespace fernbeacon::app
