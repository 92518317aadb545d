#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QMouseEvent>
#include <algorithm>

#include "GuiHarness.h"
#include "app/ColorTable.h"
#include "app/ContextBarView.h"
#include "app/MenuBuilder.h"
#include "app/RecentSessionMenuItemView.h"
#include "app/SessionMenuItemView.h"

namespace fernbeacon::test {
namespace {

using app::ContextBarView;
using app::MenuRowView;
using app::RecentSessionMenuItemView;
using app::SessionMenuItemView;

struct Click {
    MenuAction action;
    QObject* sender;
};

class RecordingTarget final : public app::MenuActionTarget {
public:
    void performMenuAction(MenuAction action, QObject* sender) override {
        clicks.push_back({action, sender});
    }
    std::vector<Click> clicks;
};

using Labels = std::vector<std::pair<std::string, ColorRole>>;

Labels labelsOf(const MenuRowView& row) {
    Labels labels;
    for (const app::RowText* label : row.labels()) {
        labels.emplace_back(label->text().toStdString(), label->color().role);
    }
    return labels;
}

Labels labelsOf(const RowModel& model) {
    Labels labels;
    for (const RowLine& line : model.lines) {
        labels.emplace_back(line.label.text, line.label.color);
        if (line.badge) {
            labels.emplace_back(line.badge->label.text, line.badge->label.color);
        }
    }
    return labels;
}

ClaudeSession fullSession() {
    ClaudeSession session(812, "pts/3", "/home/me/spotter", "VS Code");
    session.summary = "Speed work";
    session.gitBranch = "main";
    session.contextTokensUsed = 45000;
    session.contextTokensMax = 200000;
    return session;
}

QColor pixel(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

TEST(RowViews, LabelsAndBarFollowTheRowModel) {
    QAction item(nullptr);
    for (const ClaudeSession& session :
         {fullSession(), ClaudeSession(1, std::nullopt, std::nullopt, "iTerm2")}) {
        const SessionMenuItemView row(session, &item, nullptr, MenuAction::SessionClicked);
        const RowModel model = sessionRowModel(session);
        EXPECT_EQ(labelsOf(row), labelsOf(model));
        EXPECT_EQ(row.contextBar() != nullptr,
                  std::ranges::any_of(model.lines,
                                      [](const RowLine& line) { return line.bar.has_value(); }));
    }
    const RecentSession recent{std::nullopt, "Add tests", "/srv/tools/", Instant{}, 2, "main"};
    const RecentSessionMenuItemView recentRow(recent, &item, nullptr,
                                              MenuAction::RecentSessionClicked);
    EXPECT_EQ(labelsOf(recentRow), labelsOf(recentSessionRowModel(recent)));
    EXPECT_EQ(recentRow.contextBar(), nullptr);
}

TEST(RowViews, TheBarIsFilledToItsProgressInTheColourOfItsLevel) {
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
               std::abs(a.blue() - b.blue()) < 8;
    };
    const struct {
        double progress;
        int lastFilled;  // -1: none
        ColorRole fill;
    } cases[] = {{0.0, -1, ColorRole::ControlAccent},
                 {0.8, 63, ColorRole::ControlAccent},
                 {0.81, 64, ColorRole::SystemOrange},
                 {1.7, 79, ColorRole::SystemOrange}};
    for (const auto& c : cases) {
        ContextBarView bar(ContextBarModel{c.progress});
        QImage image(bar.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        bar.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        const QColor fill = app::colorFor(c.fill, QApplication::palette());
        // Away from the rounded ends and the antialiased edge of the fill.
        if (c.lastFilled >= 6) {
            EXPECT_TRUE(near(image.pixelColor(c.lastFilled - 3, 2), fill)) << c.progress;
        }
        if (c.lastFilled <= 72) {
            EXPECT_FALSE(near(image.pixelColor(std::max(c.lastFilled + 4, 40), 2), fill))
                << c.progress;
        }
    }
}

TEST(RowViews, WidthAtLeast250ThenTheMenus) {
    QAction item(nullptr);
    const SessionMenuItemView narrow(ClaudeSession(1, std::nullopt, "/a", std::nullopt), &item,
                                     nullptr, MenuAction::SessionClicked);
    EXPECT_EQ(narrow.width(), 250);
    EXPECT_EQ(narrow.sizeHint().width(), 250);

    ClaudeSession wide(2, std::nullopt, "/a/" + std::string(60, 'w'), std::nullopt);
    const std::vector<ClaudeSessionPtr> sessions{
        std::make_shared<ClaudeSession>(1, std::nullopt, "/a", std::nullopt),
        std::make_shared<ClaudeSession>(wide)};
    RecordingTarget target;
    auto menu = app::buildMenu(buildMenuModel(sessions, {}, 15), &target);
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    QWidget* first = static_cast<QWidgetAction*>(menu->actions()[0])->defaultWidget();
    QWidget* second = static_cast<QWidgetAction*>(menu->actions()[2])->defaultWidget();
    EXPECT_GT(second->width(), 250);
    EXPECT_EQ(first->width(), second->width());
    menu->close();
}

TEST(RowViews, HoverHighlightsAndLeavingRestores) {
    QAction item(nullptr);
    SessionMenuItemView row(fullSession(), &item, nullptr, MenuAction::SessionClicked);
    row.resize(300, row.height());
    const QColor before = pixel(row, 20, row.height() / 2);

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&row, &enter);
    EXPECT_TRUE(row.isHighlighted());
    for (const app::RowText* label : row.labels()) {
        EXPECT_EQ(label->color(), (RoleColor{ColorRole::HighlightedText}))
            << label->text().toStdString();
    }
    EXPECT_TRUE(row.contextBar()->highlighted());
    // The darkened selection colour, inset 4 from each side.
    const QColor highlight = app::rowHighlightColor(row.palette());
    const QColor selection = app::colorFor(ColorRole::SelectedContentBackground, row.palette());
    EXPECT_EQ(highlight.red(), qRound(selection.red() * 0.7));
    EXPECT_EQ(pixel(row, 6, row.height() / 2).rgb(), highlight.rgb());
    EXPECT_EQ(pixel(row, 293, row.height() / 2).rgb(), highlight.rgb());
    EXPECT_NE(pixel(row, 2, row.height() / 2).rgb(), highlight.rgb());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&row, &leave);
    EXPECT_FALSE(row.isHighlighted());
    EXPECT_FALSE(row.contextBar()->highlighted());
    EXPECT_EQ(row.labels()[0]->color(), (RoleColor{ColorRole::Label}));
    EXPECT_EQ(row.labels()[3]->color(), (RoleColor{ColorRole::TertiaryLabel}));
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

TEST(RowViews, MouseUpClosesTheMenuAndSendsTheActionWithTheItem) {
    RecordingTarget target;
    const std::vector<ClaudeSessionPtr> sessions{std::make_shared<ClaudeSession>(fullSession())};
    auto menu = app::buildMenu(buildMenuModel(sessions, {}, 15), &target);
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    ASSERT_TRUE(menu->isVisible());
    QAction* item = menu->actions()[0];
    QWidget& row = *static_cast<QWidgetAction*>(item)->defaultWidget();

    // The release of the click that opened the menu is no choice.
    click(row, false);
    EXPECT_TRUE(target.clicks.empty());
    EXPECT_TRUE(menu->isVisible());

    click(row, true);
    EXPECT_FALSE(menu->isVisible());
    ASSERT_EQ(target.clicks.size(), 1u);
    EXPECT_EQ(target.clicks[0].action, MenuAction::SessionClicked);
    EXPECT_EQ(target.clicks[0].sender, item);

    // An item that is gone: the click only closes the menu.
    auto* transient = new QAction(nullptr);
    SessionMenuItemView lonely(fullSession(), transient, &target, MenuAction::SessionClicked);
    delete transient;
    click(lonely, true);
    EXPECT_EQ(target.clicks.size(), 1u);
}

}  // namespace
}  // namespace fernbeacon::test
