// The tray on Xvfb with a real tray host, clicked through the X server; its screenshots land in
// the build tree. Skips when the tools are missing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWidgetAction>
#include <algorithm>

#include "app/MenuRowView.h"
#include "app/TrayApplication.h"
#include "app/TrayController.h"
#include "support/DarkPalette.h"
#include "support/EventWait.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

std::string skipReason;

// FERNBEACON_SCREENSHOTS=dark takes the screenshots in a dark theme, =200 at 200 %, each under
// its own name.
std::string screenshotVariant() {
    const char* variant = ::getenv("FERNBEACON_SCREENSHOTS");
    return variant != nullptr ? variant : "";
}

// Logical coordinates as the X server counts them.
QRect onDevice(const QRect& logical) {
    const qreal ratio = qApp->devicePixelRatio();
    return {logical.topLeft() * ratio, logical.size() * ratio};
}
QPoint onDevice(const QPoint& logical) {
    return logical * qApp->devicePixelRatio();
}

// A display of its own, picked by the server, and a tray host on it.
struct Desktop {
    Child server;
    Child tray;

    bool start() {
        for (const char* tool : {"Xvfb", "trayer", "xdotool", "xwininfo"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                skipReason = std::string(tool) + " is not installed (scripts/install-deps.sh)";
                return false;
            }
        }
        const bool doubled = screenshotVariant() == "200";
        const auto number = startXvfb(server, doubled ? "2048x1280x24" : "1024x640x24");
        if (!number) {
            skipReason = "Xvfb did not start";
            return false;
        }
        ::setenv("DISPLAY", (":" + *number).c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        tray = Child({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                      "--height", doubled ? "48" : "24", "--tint",
                      screenshotVariant() == "dark" ? "0x333333" : "0xdddddd", "--transparent",
                      "true", "--alpha", "0", "--SetDockType", "true"});
        return true;
    }
};

// Fake `claude` sessions, each running in a project directory of its own.
struct Fixture {
    ProgramHome home;
    std::vector<Child> sessions;
    std::vector<QString> names;

    void live(const std::string& name, const std::string& prompt, const std::string& branch,
              long long tokens) {
        const auto directory = home.makeDirectory("work/" + name);
        home.writeProjectFile("live-" + name, "s.jsonl",
                              cwdRecord(directory.string(), branch) + "\n" + userRecord(prompt) +
                                  "\n" + usageRecord(1000, tokens, 0, 200) + "\n");
        sessions.emplace_back(std::vector<std::string>{home.claude().string(), "600"}, -1,
                              directory);
        names.push_back(QString::fromStdString(name));
    }
    void recent(const std::string& path, const std::string& prompt) {
        home.writeProjectFile("old" + std::to_string(++recents), "r.jsonl",
                              cwdRecord(path) + "\n" + userRecord(prompt) + "\n");
    }
    int recents = 0;
};

// Saves the screen, or `area` of it, in the build tree, and tells what share of `shown` the
// screen shows as that widget draws itself: none of a menu that never reached the screen.
double screenshot(const std::string& name, const QRect& area, QWidget& shown) {
    const std::filesystem::path directory = FERNBEACON_SCREENSHOT_DIR;
    std::filesystem::create_directories(directory);
    std::filesystem::path file = directory / name;
    if (!screenshotVariant().empty()) {
        file.replace_filename(file.stem().string() + "-" + screenshotVariant() + ".png");
    }
    const QImage screen = QApplication::primaryScreen()->grabWindow(0).toImage();
    screen.copy(area.isValid() ? onDevice(area) : screen.rect())
        .save(QString::fromStdString(file.string()));
    const QImage own = shown.grab().toImage().convertToFormat(screen.format());
    const QRect where(onDevice(shown.mapToGlobal(QPoint(0, 0))), own.size());
    if (own.isNull() || !screen.rect().contains(where)) {
        return 0;
    }
    qsizetype same = 0;
    for (int y = 0; y < own.height(); ++y) {
        for (int x = 0; x < own.width(); ++x) {
            same += own.pixel(x, y) == screen.pixel(where.x() + x, where.y() + y);
        }
    }
    return static_cast<double>(same) / static_cast<double>(own.width() * own.height());
}

class TrayEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        if (!skipReason.empty()) {
            GTEST_SKIP() << skipReason;
        }
        ASSERT_TRUE(waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
            << "the tray host did not come up";
    }

    // Starts the tray as the program does, and waits for the fixture's sessions in its menu.
    void launch() {
        services = std::make_unique<app::SystemServices>();
        const app::TrayEnvironment environment = services->environment();
        trayIcon = std::make_unique<app::TrayIcon>(environment.trayMenuIsExported);
        tray = std::make_unique<app::TrayController>(environment, *trayIcon);
        tray->start();
        ASSERT_TRUE(waitFor([&] {
            return std::ranges::all_of(fixture.names, [&](const QString& name) {
                return rowNamed(*icon().menu(), name) != nullptr;
            });
        }));
    }
    app::TrayIcon& icon() const { return *trayIcon; }
    // The menu on screen: the refresh timer may put a new menu in place for the next opening
    // at any time, and drops the old one once it closes.
    static QMenu* openMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

    // Through the X server and the tray host, as a person moves and clicks.
    static void pointerTo(const QPoint& logical, bool click) {
        const QPoint at = onDevice(logical);
        QStringList arguments{"mousemove", QString::number(at.x()), QString::number(at.y())};
        ASSERT_EQ(QProcess::execute("xdotool", click ? arguments << "click"
                                                                 << "1"
                                                     : arguments),
                  0);
    }
    static const app::MenuRowView* rowNamed(const QMenu& menu, const QString& name) {
        for (QAction* action : menu.actions()) {
            auto* widgetAction = qobject_cast<QWidgetAction*>(action);
            const auto* view = widgetAction != nullptr
                                   ? qobject_cast<app::MenuRowView*>(widgetAction->defaultWidget())
                                   : nullptr;
            if (view != nullptr && view->labels()[0]->text() == name) {
                return view;
            }
        }
        return nullptr;
    }

    // Declared first so that it goes last: scans still running read its home and environment.
    Fixture fixture;
    std::unique_ptr<app::SystemServices> services;
    std::unique_ptr<app::TrayIcon> trayIcon;
    std::unique_ptr<app::TrayController> tray;
};

// One tray for the whole flow: Qt's X11 tray icon does not take clicks again once an earlier
// icon of the same process was destroyed, and the program only ever makes one.
TEST_F(TrayEndToEnd, ClicksOpenTheMenuWithTheRichRows) {
    fixture.live("harbor-api", "Add retries to the webhook client", "main", 172000);
    fixture.live("spotter", "Make the scanner faster", "feature/cache", 60000);
    fixture.live("notes", "Summarise the design review", "docs", 12000);
    fixture.recent("/home/me/src/lighthouse", "Port the renderer to the new API");
    fixture.recent("/home/me/src/tide-tables", "Why does the parser drop the last line?");
    ASSERT_NO_FATAL_FAILURE(launch());

    // Again until it opens: clicks reach the icon only once the tray host has mapped it.
    const bool opened = waitFor([&] {
        pointerTo(icon().geometry().center(), true);
        return waitFor([] { return openMenu() != nullptr; }, 1000);
    });
    ASSERT_TRUE(opened) << "no menu after the click";
    QMenu* menu = openMenu();
    const app::MenuRowView* row = rowNamed(*menu, "spotter");
    ASSERT_NE(row, nullptr) << "no row for the fixture's session";

    // Highlighted for the screenshot.
    pointerTo(row->mapToGlobal(row->rect().center()), false);
    ASSERT_TRUE(waitFor([&] { return row->isHighlighted(); }));
    QApplication::processEvents();
    const QRect area = menu->geometry().united(icon().geometry()).adjusted(-12, 0, 4, 12);
    EXPECT_GT(screenshot("tray-menu.png", area, *menu), 0.9);
    menu->close();
}

// The program itself, started as a user would: its icon is embedded in the tray host.
TEST_F(TrayEndToEnd, TheProgramPutsItsIconIntoTheTray) {
    Child program({FERNBEACON_BINARY});
    const auto embedded = [] {
        const std::string tree = runTool({"xwininfo", "-root", "-tree"}).standardOutput;
        // The icon window, a grandchild of trayer's panel.
        const std::size_t panel = tree.find("(\"panel\" \"trayer\")");
        return panel != std::string::npos &&
               tree.find("(\"fernbeacon\" \"Fernbeacon\")", panel) != std::string::npos;
    };
    EXPECT_TRUE(waitFor(embedded));
}

}  // namespace
}  // namespace fernbeacon::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    fernbeacon::test::Desktop desktop;
    // Listing the tests needs no display.
    const bool started = !testing::GTEST_FLAG(list_tests) && desktop.start();
    ::setenv("QT_QPA_PLATFORM", started ? "xcb" : "offscreen", 1);
    if (fernbeacon::test::screenshotVariant() == "200") {
        ::setenv("QT_SCALE_FACTOR", "2", 1);
    }
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    if (fernbeacon::test::screenshotVariant() == "dark") {
        QApplication::setPalette(fernbeacon::test::darkPalette());
    }
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
