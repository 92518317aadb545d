// `fernbeacon menu` on a real X server: its menu shows, and closing it ends the process.
#include <gtest/gtest.h>

#include <QProcess>

#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

TEST(MenuCommand, TheMenuShowsAndClosingItEndsTheProcessWithStatusZero) {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo"}) {
        if (!installed(tool)) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh)";
        }
    }
    Child server;
    const auto display = startXvfb(server, "800x600x24");
    ASSERT_TRUE(display) << "Xvfb did not start";
    const ScopedEnvironment displayName("DISPLAY", ":" + *display);
    const TempHome home;
    const ScopedEnvironment configHome("XDG_CONFIG_HOME", home.path(".config").string());
    const ScopedEnvironment platform("QT_QPA_PLATFORM", "xcb");

    QProcess menu;
    menu.start(FERNBEACON_BINARY, {"menu"});
    const auto shown = [] {
        return toolOutput({"xwininfo", "-root", "-tree"}).find("(\"fernbeacon\" \"Fernbeacon\")") !=
               std::string::npos;
    };
    ASSERT_TRUE(waitUntil(shown)) << "no menu window";
    // Again until it ends: the window may be there before the menu takes the keyboard.
    const bool ended = waitUntil([&] {
        runTool({"xdotool", "key", "Escape"});
        return menu.waitForFinished(500);
    });
    ASSERT_TRUE(ended) << "still running after Escape";
    EXPECT_EQ(menu.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(menu.exitCode(), 0) << menu.readAllStandardError().toStdString();
}

}  // namespace
}  // namespace fernbeacon::test
