#include "support/RealTmux.h"

namespace fernbeacon::test {
namespace {

// Window 1 of "work" runs the fake claude.
class RealTmux : public RealTmuxTest {
protected:
    void addWindows() override {
        // New windows run a plain shell, which keeps the PATH with the recording claude.
        tmux({"set", "-g", "default-command", "exec /bin/sh"});
        tmux({"new-window", "-t", "work:", "-c", "/tmp", home_.claude().string() + " 120"});
    }
};

TEST_F(RealTmux, FocusSelectsTheWindowAndPaneAndSwitchesTheClient) {
    const std::string pid = tmux({"list-panes", "-t", "work:1", "-F", "#{pane_pid}"});
    const std::string pane = tmux({"list-panes", "-t", "work:1", "-F", "#{pane_id}"});
    ASSERT_FALSE(pid.empty());
    const auto focused = fernbeacon({"focus", pid.substr(0, pid.size() - 1)});
    EXPECT_EQ(focused.exitStatus, 0) << focused.standardError;
    EXPECT_EQ(tmux({"display", "-p", "-t", "work", "#{window_index} #{pane_id}"}), "1 " + pane);
    EXPECT_EQ(tmux({"list-clients", "-F", "#{session_name} #{window_index}"}), "work 1\n");
}

// A relative path with a trailing slash, from the home, names the same folder.
TEST_F(RealTmux, OpenWithTmuxPreferredTypesClaudeInANewWindowInTheDirectory) {
    home_.prefer("tmux");
    const std::string relative = "projects/" + std::string(kInjection);
    const auto directory = home_.makeDirectory(relative);
    const auto opened = runTool({"/bin/sh", "-c", "cd \"$HOME\" && exec \"$0\" open \"$1\"",
                                 FERNBEACON_BINARY, relative + "/"});
    EXPECT_EQ(opened.exitStatus, 0) << opened.standardError;
    EXPECT_EQ(home_.startedIn(std::chrono::seconds(10)), directory.string())
        << tmux({"capture-pane", "-p", "-t", "other"});
    EXPECT_FALSE(home_.pwned());
}

}  // namespace
}  // namespace fernbeacon::test
