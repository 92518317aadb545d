#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QMouseEvent>

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

std::vector<std::pair<std::string, ColorRole>> labelsOf(const MenuRowView& row) {
    std::vector<std::pair<std::string, ColorRole>> labels;
    for (const app::RowText* label : row.labels()) {
        labels.emplace_back(label->text().toStdString(), label->color().role);
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

TEST(RowViews, LinesLabelsAndColoursFollowTheRecord) {
    QAction item(nullptr);
    const SessionMenuItemView row(fullSession(), &item, nullptr, MenuAction::SessionClicked);
    using L = std::vector<std::pair<std::string, ColorRole>>;
    EXPECT_EQ(labelsOf(row), (L{{"spotter", ColorRole::Label},
                                {"VS Code", ColorRole::SecondaryLabel},
                                {"Speed work", ColorRole::SecondaryLabel},
                                {"45k / 200k tokens (22%)", ColorRole::TertiaryLabel},
                                {"VS Code  \u00B7  main", ColorRole::TertiaryLabel}}));
    ASSERT_NE(row.contextBar(), nullptr);
    EXPECT_EQ(row.contextBar()->size(), QSize(80, 4));
    EXPECT_EQ(row.labels()[0]->font().pixelSize(), 13);
    EXPECT_EQ(row.labels()[0]->font().weight(), QFont::DemiBold);
    EXPECT_EQ(row.labels()[1]->font().pixelSize(), 9);

    const SessionMenuItemView bare(ClaudeSession(1, std::nullopt, std::nullopt, "iTerm2"), &item,
                                   nullptr, MenuAction::SessionClicked);
    EXPECT_EQ(labelsOf(bare),
              (L{{"claude", ColorRole::Label}, {"iTerm2", ColorRole::TertiaryLabel}}));
    EXPECT_EQ(bare.contextBar(), nullptr);

    const RecentSession recent{std::nullopt, "Add tests", "/srv/tools/", Instant{}, 2, "main"};
    const RecentSessionMenuItemView recentRow(recent, &item, nullptr,
                                              MenuAction::RecentSessionClicked);
    EXPECT_EQ(labelsOf(recentRow),
              (L{{"tools", ColorRole::SecondaryLabel}, {"Add tests", ColorRole::TertiaryLabel}}));
    EXPECT_EQ(recentRow.contextBar(), nullptr);
}

TEST(RowViews, BarFillWidthAndColour) {
    const QPalette palette = QApplication::palette();
    const QColor track = app::colorFor(RoleColor{ColorRole::QuaternaryLabel}, palette);
    const QColor accent = app::colorFor(ColorRole::ControlAccent, palette);
    const QColor orange = app::colorFor(ColorRole::SystemOrange, palette);
    const auto sameRgb = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
               std::abs(a.blue() - b.blue()) < 8;
    };
    struct Case {
        double progress;
        int lastFilled;  // -1: none
        QColor fill;
    };
    for (const Case& c : {Case{0.0, -1, accent}, Case{0.5, 39, accent}, Case{0.8, 63, accent},
                          Case{0.81, 64, orange}, Case{1.7, 79, orange}}) {
        ContextBarView bar(ContextBarModel{c.progress});
        QImage image(bar.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        bar.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        const QColor white(Qt::white);
        const auto expectedTrack = [&] {
            QColor blended = white;
            const double a = track.alphaF();
            blended.setRgbF(static_cast<float>(white.redF() * (1 - a) + track.redF() * a),
                            static_cast<float>(white.greenF() * (1 - a) + track.greenF() * a),
                            static_cast<float>(white.blueF() * (1 - a) + track.blueF() * a));
            return blended;
        }();
        // Away from the rounded ends and the antialiased edge of the fill.
        if (c.lastFilled >= 6) {
            const QColor got = image.pixelColor(c.lastFilled - 3, 2);
            EXPECT_TRUE(sameRgb(got, c.fill)) << c.progress << " " << got.name().toStdString();
        }
        if (c.lastFilled <= 72) {
            const QColor got = image.pixelColor(std::max(c.lastFilled + 4, 40), 2);
            EXPECT_TRUE(sameRgb(got, expectedTrack))
                << c.progress << " " << got.name().toStdString() << " "
                << expectedTrack.name().toStdString();
        }
    }
    // Without a maximum the bar counts against 200000: 150000 fills three quarters.
    ClaudeSession session(1, std::nullopt, "/a", std::nullopt);
    session.contextTokensUsed = 150000;
    QAction item(nullptr);
    const SessionMenuItemView row(session, &item, nullptr, MenuAction::SessionClicked);
    EXPECT_DOUBLE_EQ(row.contextBar()->model().progress, 0.75);
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
        EXPECT_EQ(label->color(), (RoleColor{ColorRole::White})) << label->text().toStdString();
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
