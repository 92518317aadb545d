#include "app/ColorTable.h"

#include <QApplication>

namespace fernbeacon::app {
namespace {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Base).lightnessF() < 0.5;
}

// Text roles are the theme's text colour at falling strengths, so they follow light and dark
// themes alike. Menus paint their items in Text over Base, not WindowText over Window, which some
// themes set apart. The dimmest text keeps a contrast of 4.5:1 on the light and the dark menu.
struct TextStrength {
    ColorRole role;
    double alpha;
};
constexpr TextStrength kTextStrengths[] = {
    {ColorRole::Text, 0.88},
    {ColorRole::SecondaryText, 0.62},
    {ColorRole::TertiaryText, 0.56},
    {ColorRole::FaintText, 0.18},
};

}  // namespace

QColor colorFor(RoleColor color, const QPalette& palette) {
    QColor base;
    double alpha = 1.0;
    switch (color.role) {
        case ColorRole::Text:
        case ColorRole::SecondaryText:
        case ColorRole::TertiaryText:
        case ColorRole::FaintText:
            base = palette.color(QPalette::Active, QPalette::Text);
            for (const TextStrength& strength : kTextStrengths) {
                if (strength.role == color.role) {
                    alpha = strength.alpha;
                }
            }
            break;
        // The theme's selection colour is its accent.
        case ColorRole::Accent:
        case ColorRole::Selection:
            base = palette.color(QPalette::Active, QPalette::Highlight);
            break;
        case ColorRole::Warning:
            base = isDark(palette) ? QColor(255, 159, 10) : QColor(255, 149, 0);
            break;
        case ColorRole::HighlightedText:
            base = palette.color(QPalette::Active, QPalette::HighlightedText);
            break;
        // Red reads as "needs you" on light and dark menus alike, apart from the bar's orange.
        case ColorRole::Attention:
            base = isDark(palette) ? QColor(255, 105, 97) : QColor(215, 0, 21);
            break;
    }
    base.setAlphaF(static_cast<float>(base.alphaF() * alpha * color.alpha));
    return base;
}

QColor rowHighlightColor(const QPalette& palette) {
    const QColor selection = colorFor(RowHighlight::kBackground, palette);
    const float away = colorFor(RowHighlight::kText, palette).lightnessF() < 0.5f ? 1.0f : 0.0f;
    const auto blend = [&](float channel) {
        return static_cast<float>(channel + (away - channel) * RowHighlight::kDarkening);
    };
    return QColor::fromRgbF(blend(selection.redF()), blend(selection.greenF()),
                            blend(selection.blueF()), selection.alphaF());
}

QFont fontFor(int pixelSize, FontWeight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    switch (weight) {
        case FontWeight::Regular:
            font.setWeight(QFont::Normal);
            break;
        case FontWeight::Medium:
            font.setWeight(QFont::Medium);
            break;
        case FontWeight::Semibold:
            font.setWeight(QFont::DemiBold);
            break;
        case FontWeight::Bold:
            font.setWeight(QFont::Bold);
            break;
    }
    return font;
}

}  // namespace fernbeacon::app
