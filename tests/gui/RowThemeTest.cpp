// The rows in other themes, at twice the resolution, and to assistive technology.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QWidgetAction>
#include <cmath>

#include "app/ColorTable.h"
#include "app/Listing.h"
#include "app/MenuBuilder.h"
#include "app/MenuRowView.h"
#include "app/TrayController.h"
#include "support/DarkPalette.h"

namespace fernbeacon::test {
namespace {

double luminance(const QColor& color) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

// The contrast ratio of `text`, painted with its alpha over the opaque `background`.
double contrast(const QColor& text, const QColor& background) {
    const double alpha = text.alphaF();
    const QColor shown = QColor::fromRgbF(
        static_cast<float>(text.redF() * alpha + background.redF() * (1 - alpha)),
        static_cast<float>(text.greenF() * alpha + background.greenF() * (1 - alpha)),
        static_cast<float>(text.blueF() * alpha + background.blueF() * (1 - alpha)));
    const double a = luminance(shown);
    const double b = luminance(background);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::vector<ClaudeSessionPtr> liveSessions() {
    auto session = std::make_shared<ClaudeSession>(812, "pts/3", "/home/me/R&D", "VS Code");
    session->summary = "Speed work";
    session->gitBranch = "main";
    session->contextTokensUsed = 45000;
    session->contextTokensMax = 200000;
    session->status = "waiting";
    session->waitingFor = "permission prompt";
    return {session};
}

const std::vector<RecentSession> kRecent{
    {std::nullopt, "Add tests", "/srv/tools", Instant{}, 2, "main"}};

app::MenuRowView& rowAt(QMenu& menu, int index) {
    return *static_cast<app::MenuRowView*>(
        static_cast<QWidgetAction*>(menu.actions()[index])->defaultWidget());
}

class PaletteScope {
public:
    explicit PaletteScope(const QPalette& palette) { QApplication::setPalette(palette); }
    ~PaletteScope() { QApplication::setPalette(saved_); }

private:
    QPalette saved_ = QApplication::palette();
};

// Every text stays at 4.5:1 or more on what the menu paints behind it, and on the hover
// highlight, whichever way a theme sets its colours.
TEST(RowTheme, TextKeepsItsContrastInLightDarkAndMixedThemes) {
    QPalette darkSelectionText = darkPalette();
    darkSelectionText.setColor(QPalette::HighlightedText, Qt::black);
    // Dark window, light content: what menus paint differs from the window's colours.
    QPalette mixed = QApplication::palette();
    mixed.setColor(QPalette::Window, QColor(40, 40, 40));
    mixed.setColor(QPalette::WindowText, Qt::white);
    const struct {
        const char* name;
        QPalette palette;
    } themes[] = {{"light", QApplication::palette()},
                  {"dark", darkPalette()},
                  {"dark text on the selection", darkSelectionText},
                  {"mixed", mixed}};
    for (const auto& theme : themes) {
        const PaletteScope scope(theme.palette);
        const auto live = liveSessions();
        auto menu = app::buildMenu(buildMenuModel(live, kRecent, 15), nullptr);
        menu->popup(QPoint(0, 0));
        QApplication::processEvents();
        const QImage shown = menu->grab().toImage();
        for (const int index : {0, 3}) {
            app::MenuRowView& row = rowAt(*menu, index);
            // Beside the row's texts, which are narrower than the row.
            const QPoint blank = row.mapTo(menu.get(), QPoint(row.width() - 10, row.height() / 2));
            const QColor background = shown.pixelColor(blank * shown.devicePixelRatio());
            for (const app::RowText* label : row.labels()) {
                EXPECT_GE(contrast(app::colorFor(label->color(), label->palette()), background),
                          4.5)
                    << theme.name << ": " << label->text().toStdString();
            }
            row.setHighlighted(true);
            const app::RowText& label = *row.labels().front();
            EXPECT_GE(contrast(app::colorFor(label.color(), label.palette()),
                               app::rowHighlightColor(label.palette())),
                      4.5)
                << theme.name << ", highlighted";
        }
        menu->close();
    }
}

// Drawn at each ratio, not scaled from the smaller image.
TEST(RowTheme, TheIconHoldsTheTitleDrawnAtRatiosOneAndTwo) {
    const QString title = QStringLiteral("FB 3");
    const QImage single = app::TrayController::titleImage(title, 1.0);
    const QImage twice = app::TrayController::titleImage(title, 2.0);
    EXPECT_EQ(twice.size(), single.size() * 2);
    EXPECT_EQ(twice.deviceIndependentSize(), single.deviceIndependentSize());
    const QIcon icon = app::TrayController::titleIcon(title);
    const QImage fromIcon = icon.pixmap(single.size(), 2.0).toImage();
    EXPECT_EQ(fromIcon.convertToFormat(twice.format()), twice);
    EXPECT_EQ(icon.pixmap(single.size(), 1.0).toImage().convertToFormat(single.format()), single);
}

// A screen reader reads each row as `list` prints it; the menu exposes its items, so the item's
// name carries every line.
TEST(RowTheme, EachRowReadsAsTheListingPrintsIt) {
    const auto live = liveSessions();
    const std::string printed = app::formatListingText(ScanResult{live, kRecent}, 15);
    auto menu = app::buildMenu(buildMenuModel(live, kRecent, 15), nullptr);
    QAccessibleInterface* menuInterface = QAccessible::queryAccessibleInterface(menu.get());
    ASSERT_NE(menuInterface, nullptr);
    for (const auto& [index, indent] :
         {std::pair{0, QStringLiteral("\n")}, std::pair{3, QStringLiteral("\n  ")}}) {
        const app::MenuRowView& row = rowAt(*menu, index);
        const QString spoken = menuInterface->child(index)->text(QAccessible::Name);
        EXPECT_EQ(spoken, row.accessibleName() + "\n" + row.accessibleDescription());
        // As printed: the first line at the row's indent, the others two spaces further in.
        const QString block = indent + QString(spoken).replace("\n", indent + "  ") + "\n";
        EXPECT_TRUE(QString::fromStdString(printed).contains(block))
            << block.toStdString() << "not in\n"
            << printed;
    }
    EXPECT_TRUE(rowAt(*menu, 0).accessibleName().startsWith("R&D"));
    EXPECT_TRUE(rowAt(*menu, 0).accessibleDescription().contains("waiting: permission prompt"));
}

}  // namespace
}  // namespace fernbeacon::test
