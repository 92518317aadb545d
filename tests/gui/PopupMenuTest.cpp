#include <gtest/gtest.h>

#include <QKeyEvent>

#include "GuiHarness.h"
#include "app/PopupMenu.h"

namespace fernbeacon::test {
namespace {

TEST(PopupMenu, AChoiceActsAsInTheTrayAndTheMenuFinishesOnceClosed) {
    TrayHarness harness;
    harness.addProcess(4242, harness.home.makeDirectory("work/api").string());
    app::PopupMenu popup(harness.environment());
    int finished = 0;
    QObject::connect(&popup, &app::PopupMenu::finished, [&] { ++finished; });
    // As a person chooses: the menu hides, then the item acts.
    const auto choose = [&](int index) {
        popup.popUp(QPoint(40, 40));
        popup.menu()->setActiveAction(popup.menu()->actions()[index]);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(popup.menu(), &enter);
        QApplication::processEvents();
    };

    choose(0);
    EXPECT_EQ(harness.events.back(), "focus 4242");
    EXPECT_EQ(finished, 1);

    // The settings panel keeps it going until the panel closes.
    EXPECT_EQ(menuShape(*popup.menu()),
              (std::vector<std::string>{"[row]", "-", "-", "Settings...", "-"}));
    choose(3);
    EXPECT_EQ(finished, 1);
    QWidget* panel = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        panel = qobject_cast<app::SettingsDialog*>(window) != nullptr ? window : panel;
    }
    ASSERT_NE(panel, nullptr);
    panel->close();
    QApplication::processEvents();
    EXPECT_EQ(finished, 2);
}

}  // namespace
}  // namespace fernbeacon::test
