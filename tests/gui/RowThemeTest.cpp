// The rows in other themes, at twice the resolution, and to assistive technology.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <cmath>

#include "GuiHarness.h"
#include "app/ColorTable.h"
#include "app/Listing.h"
#include "app/MenuBuilder.h"
#include "app/TrayIcon.h"
#include "support/DarkPalette.h"

namespace fernbeacon::test {
namespace {

// The contrast ratio of `text`, painted with its alpha over the opaque `background`.
double contrast(const QColor& text, const QColor& background) {
    const auto luminance = [&](double alpha) {
        double sum = 0;
        for (const auto& [weight, channel] : {std::pair{0.2126, &QColor::redF},
                                              {0.7152, &QColor::greenF},
                                              {0.0722, &QColor::blueF}}) {
            const double c = (text.*channel)() * alpha + (background.*channel)() * (1 - alpha);
            sum += weight * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum + 0.05;
    };
    const double shown = luminance(text.alphaF());
    const double behind = luminance(0);
    return std::max(shown, behind) / std::min(shown, behind);
}

struct Menu {
    std::vector<ClaudeSessionPtr> live{test::live(812, "/me/R&D", "busy", 45000)};
    std::vector<RecentSession> recent{
        {std::nullopt, "Add tests", "/srv/tools", Instant{}, 2, "main"}};
    std::unique_ptr<QMenu> menu = app::buildMenu(buildMenuModel(live, recent), {}, nullptr);

    // The live row, then the recent one.
    app::MenuRowView& row(int which) const { return rowAt(*menu, which * 3); }
};

TEST(RowTheme, EveryTextKeepsAContrastOfFourAndAHalfInLightDarkAndMixedThemes) {
    QPalette darkSelectionText = darkPalette();
    darkSelectionText.setColor(QPalette::HighlightedText, Qt::black);
    // Menus paint in Text on Base, which this theme sets apart from its window's colours.
    QPalette mixed = QApplication::palette();
    mixed.setColor(QPalette::Window, Qt::black);
    mixed.setColor(QPalette::WindowText, Qt::white);
    const QPalette light = QApplication::palette();
    for (const QPalette& theme : {light, darkPalette(), darkSelectionText, mixed}) {
        QApplication::setPalette(theme);
        const Menu shown;
        shown.menu->popup(QPoint(0, 0));
        QApplication::processEvents();
        const QImage image = shown.menu->grab().toImage();
        for (const int which : {0, 1}) {
            app::MenuRowView& row = shown.row(which);
            // Beside the texts, which are narrower than the row.
            const QColor background = image.pixelColor(
                row.mapTo(shown.menu.get(), QPoint(row.width() - 10, row.height() / 2)));
            for (const app::RowText* label : row.labels()) {
                EXPECT_GE(contrast(app::colorFor(label->color(), row.palette()), background), 4.5)
                    << label->text().toStdString();
            }
            row.setHighlighted(true);
            EXPECT_GE(contrast(app::colorFor(row.labels()[0]->color(), row.palette()),
                               app::rowHighlightColor(row.palette())),
                      4.5);
        }
    }
    QApplication::setPalette(light);
}

TEST(RowTheme, TheIconHoldsTheTitleDrawnAtRatiosOneAndTwoNotScaled) {
    const QImage single = app::TrayIcon::titleImage("FB 3", 1.0);
    const QImage twice = app::TrayIcon::titleImage("FB 3", 2.0);
    EXPECT_EQ(twice.size(), single.size() * 2);
    EXPECT_GT(app::TrayIcon::titleImage("FB 12", 1.0).width(), single.width());
    const QIcon icon = app::TrayIcon::titleIcon("FB 3");
    EXPECT_EQ(icon.pixmap(single.size(), 2.0).toImage().convertToFormat(twice.format()), twice);
    EXPECT_EQ(icon.pixmap(single.size(), 1.0).toImage().convertToFormat(single.format()), single);

    // Waiting: a dot in the attention colour at the top right, beside the title.
    const QImage marked = app::TrayIcon::withAttentionDot(twice);
    EXPECT_GT(marked.width(), twice.width());
    EXPECT_EQ(marked.pixelColor(marked.width() - 7, 7).rgb(),
              app::colorFor({ColorRole::Attention}, QApplication::palette()).rgb());
}

// The menu exposes its items, not their widgets, to a screen reader: the item's name carries
// every line, as `list` prints them.
TEST(RowTheme, EachRowReadsAsTheListingPrintsIt) {
    const Menu shown;
    const QString printed =
        QString::fromStdString(app::formatListingText(ScanResult{shown.live, shown.recent}));
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(shown.menu.get());
    for (const int which : {0, 1}) {
        const app::MenuRowView& row = shown.row(which);
        const QString spoken = menu->child(which * 3)->text(QAccessible::Name);
        EXPECT_EQ(spoken, row.accessibleName() + "\n" + row.accessibleDescription());
        const QString indent = which == 0 ? "\n" : "\n  ";
        EXPECT_TRUE(printed.contains(indent + QString(spoken).replace("\n", indent + "  ") + "\n"))
            << spoken.toStdString();
    }
    EXPECT_EQ(shown.row(0).accessibleName(), "R&D  [VS Code]");
}

}  // namespace
}  // namespace fernbeacon::test
