#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QMouseEvent>
#include <algorithm>
#include <filesystem>

#include "GuiHarness.h"
#include "app/ColorTable.h"
#include "app/ContextBarView.h"
#include "app/MenuBuilder.h"
#include "app/MenuRowView.h"

namespace fernbeacon::test {
namespace {

using app::MenuRowView;
using Labels = std::vector<std::pair<std::string, ColorRole>>;

Labels labelsOf(const MenuRowView& row) {
    Labels labels;
    for (const app::RowText* label : row.labels()) {
        labels.emplace_back(label->text().toStdString(), label->color().role);
    }
    return labels;
}

QColor pixel(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

// Each state drawn: the waiting row's mark in the attention colour, the working row's in a
// quiet one, the idle row without. Saved for the documentation.
TEST(RowViews, StatusMarksInTheColourOfTheState) {
    const std::vector<ClaudeSessionPtr> sessions{live(1, "/src/harbor-api", "waiting", 92000),
                                                 live(2, "/src/spotter", "busy", 61000),
                                                 live(3, "/src/notes", "idle", 12000)};
    const auto menu = app::buildMenu(buildMenuModel(sessions, {}), {}, nullptr);
    menu->adjustSize();
    for (const int index : {0, 2}) {
        QWidget& mark = *rowAt(*menu, index).statusMark();
        const QColor centre = mark.grab().toImage().pixelColor(mark.width() / 2, mark.height() / 2);
        EXPECT_EQ(centre == app::colorFor({ColorRole::Attention}, mark.palette()), index == 0);
        // Before the name, on its line.
        const QRect name = rowAt(*menu, index).labels()[0]->geometry();
        EXPECT_LT(mark.geometry().right(), name.left());
        EXPECT_NEAR(mark.geometry().center().y(), name.center().y(), 2);
    }
    EXPECT_EQ(rowAt(*menu, 4).statusMark(), nullptr);

    const std::filesystem::path directory = FERNBEACON_SCREENSHOT_DIR;
    std::filesystem::create_directories(directory);
    menu->grab().save(QString::fromStdString((directory / "attention.png").string()));
}

// The colour of each level is the model's; the view paints it to the right width.
TEST(RowViews, TheBarIsFilledToItsProgressInTheColourOfItsLevel) {
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
               std::abs(a.blue() - b.blue()) < 8;
    };
    app::ContextBarView bar(ContextBarModel{0.81});
    QImage image(bar.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    bar.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    const QColor fill = app::colorFor(ColorRole::Warning, QApplication::palette());
    // Away from the antialiased edge of the fill, which ends at 64.
    EXPECT_TRUE(near(image.pixelColor(61, 2), fill));
    EXPECT_FALSE(near(image.pixelColor(68, 2), fill));
}

TEST(RowViews, EachLabelOnceHoverHighlightsAndLeavingRestores) {
    const RowModel model = sessionRowModel(*live(812, "/home/me/spotter", std::nullopt, 45000));
    MenuRowView row(model, {}, nullptr);
    row.resize(300, row.height());
    const QColor before = pixel(row, 20, row.height() / 2);
    const Labels shown = labelsOf(row);
    // Each line's label and badge once.
    const auto badges = std::ranges::count_if(
        model.lines, [](const RowLine& line) { return line.badge.has_value(); });
    ASSERT_EQ(std::ssize(shown), std::ssize(model.lines) + badges);

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&row, &enter);
    for (const app::RowText* label : row.labels()) {
        EXPECT_EQ(label->color(), (RoleColor{ColorRole::HighlightedText}))
            << label->text().toStdString();
    }
    EXPECT_TRUE(row.contextBar()->highlighted());
    EXPECT_EQ(pixel(row, 20, row.height() / 2).rgb(), app::rowHighlightColor(row.palette()).rgb());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&row, &leave);
    EXPECT_FALSE(row.contextBar()->highlighted());
    EXPECT_EQ(labelsOf(row), shown);
    EXPECT_EQ(pixel(row, 20, row.height() / 2), before);
}

void click(QWidget& widget, bool press) {
    const QPointF at(20, 10);
    if (press) {
        QMouseEvent down(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &down);
    }
    QMouseEvent up(QEvent::MouseButtonRelease, at, widget.mapToGlobal(at), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &up);
}

TEST(RowViews, AClickClosesTheMenuAndChoosesTheRowsRecord) {
    std::vector<std::int32_t> focused;
    app::MenuCallbacks callbacks;
    callbacks.focusSession = [&](const ClaudeSessionPtr& session) {
        focused.push_back(session->pid);
    };
    const std::vector<ClaudeSessionPtr> sessions{live(7, "/a", {}, 1), live(8, "/b", {}, 1)};
    const QObject receiver;
    auto menu = app::buildMenu(buildMenuModel(sessions, {}), callbacks, &receiver);
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    ASSERT_TRUE(menu->isVisible());

    // The release of the click that opened the menu is no choice.
    click(rowAt(*menu, 2), false);
    EXPECT_TRUE(focused.empty());
    EXPECT_TRUE(menu->isVisible());

    click(rowAt(*menu, 2), true);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(focused, std::vector<std::int32_t>{8});
}

}  // namespace
}  // namespace fernbeacon::test
