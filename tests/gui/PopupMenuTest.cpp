#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>

#include "GuiHarness.h"
#include "app/PopupMenu.h"

namespace fernbeacon::test {
namespace {

// As a person chooses: the menu hides, then the item acts.
void choose(QMenu& menu, int index) {
    menu.setActiveAction(menu.actions()[index]);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&menu, &enter);
    QApplication::processEvents();
}

void clickRow(QMenu& menu, int index) {
    QWidget& row = *static_cast<QWidgetAction*>(menu.actions()[index])->defaultWidget();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(20, 10), row.mapToGlobal(QPointF(20, 10)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&row, &event);
    }
    QApplication::processEvents();
}

TEST(PopupMenu, ChoicesActAsInTheTrayAndTheMenuFinishesOnceClosed) {
    DelegateHarness harness;
    harness.addProcess(4242, harness.home.makeDirectory("work/api").string());
    app::PopupMenu popup(app::TrayEnvironment{harness.home.root(),
                                              harness.probes,
                                              harness.preferences,
                                              harness.clock,
                                              harness.logger,
                                              harness.dispatcher,
                                              harness.terminal,
                                              harness.loginItem,
                                              false,
                                              {}});
    int finished = 0;
    QObject::connect(&popup, &app::PopupMenu::finished, [&] { ++finished; });

    popup.popUp(QPoint(40, 40));
    ASSERT_TRUE(popup.menu()->isVisible());
    EXPECT_EQ(menuShape(*popup.menu()),
              (std::vector<std::string>{"[row]", "-", "Refresh", "-", "Settings..."}));

    // Refresh scans again and reopens the menu where it was.
    harness.addProcess(4343, harness.home.makeDirectory("work/docs").string());
    choose(*popup.menu(), 2);
    ASSERT_TRUE(popup.menu()->isVisible());
    EXPECT_EQ(popup.menu()->pos(), QPoint(40, 40));
    EXPECT_EQ(menuShape(*popup.menu()).front(), "[row]");
    EXPECT_EQ(menuShape(*popup.menu())[2], "[row]");
    EXPECT_EQ(finished, 0);

    clickRow(*popup.menu(), 0);
    EXPECT_EQ(harness.events.back(), "focus 4242");
    EXPECT_EQ(finished, 1);

    // The settings panel keeps it going until the panel closes.
    popup.popUp(QPoint(40, 40));
    choose(*popup.menu(), 6);
    QWidget* panel = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<app::SettingsDialog*>(window) != nullptr && window->isVisible()) {
            panel = window;
        }
    }
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(finished, 1);
    panel->close();
    QApplication::processEvents();
    EXPECT_EQ(finished, 2);
}

}  // namespace
}  // namespace fernbeacon::test
