#pragma once

#include <QPalette>

namespace fernbeacon::test {

// A dark theme as desktops set one up for Qt's Fusion style: light text on dark grey.
inline QPalette darkPalette() {
    const QColor text(236, 236, 236);
    QPalette palette(text, QColor(53, 53, 53), QColor(75, 75, 75), QColor(35, 35, 35),
                     QColor(44, 44, 44), text, Qt::white, QColor(36, 36, 36), QColor(53, 53, 53));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    // Disabled text without the etched shadow meant for light themes.
    palette.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    return palette;
}

}  // namespace fernbeacon::test
