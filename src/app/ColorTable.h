#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "core/RowModels.h"

// The one place where the rows' semantic colours and font specifications meet the Qt theme.
namespace fernbeacon::app {

// The colour of a role in this palette, at the role's own alpha times `color.alpha`.
QColor colorFor(RoleColor color, const QPalette& palette);
inline QColor colorFor(ColorRole role, const QPalette& palette) {
    return colorFor(RoleColor{role}, palette);
}

// The hover background: the selection colour blended away from the highlighted text.
QColor rowHighlightColor(const QPalette& palette);

// The system font at the label's size (logical pixels) and weight.
QFont fontFor(int pixelSize, FontWeight weight);
inline QFont fontFor(const LabelModel& label) {
    return fontFor(label.fontSize, label.weight);
}

}  // namespace fernbeacon::app
