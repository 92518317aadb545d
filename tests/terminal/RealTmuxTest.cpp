#include <gtest/gtest.h>

#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

// A private tmux server (its socket under the test's TMUX_TMPDIR) with a session "work" whose
// window 1 runs the fake claude, a session "other", and a client attached to "other".
class RealTmux : public ::testing::Test {
protected:
    void SetUp() override {
        if (!installed("tmux")) {
            GTEST_SKIP() << "tmux is not installed";
        }
        ::unsetenv("TMUX");
        ASSERT_EQ(tmux({"-f", "/dev/null", "new-session", "-d", "-s", "work", "-x", "100", "-y",
                        "30", "/bin/sh"})
                      .exitStatus,
                  0);
        // New windows run a plain shell, which keeps the PATH with the recording claude.
        tmux({"set", "-g", "default-command", "exec /bin/sh"});
        tmux({"new-window", "-t", "work:", "-c", "/tmp", home_.claude().string() + " 120"});
        tmux({"new-session", "-d", "-s", "other"});
        tmux({"select-window", "-t", "work:0"});
        // Its input must never end: a client that reads an end of input types it into "other".
        client_ =
            Child::onTerminal({"env", "TERM=xterm", *installed("tmux"), "attach", "-t", "other"});
        ASSERT_TRUE(waitUntil([&] { return !tmuxOutput({"list-clients"}).empty(); }));
    }

    void TearDown() override {
        if (installed("tmux")) {
            tmux({"kill-server"});
        }
    }

    CommandResult tmux(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "tmux");
        return runTool(std::move(arguments));
    }
    std::string tmuxOutput(std::vector<std::string> arguments) {
        return tmux(std::move(arguments)).standardOutput;
    }

    ProgramHome home_;
    ScopedEnvironment socketDirectory_{"TMUX_TMPDIR", home_.root().string()};
    Child client_;
};

TEST_F(RealTmux, FocusSelectsTheWindowAndPaneAndSwitchesTheClient) {
    const std::string pid = tmuxOutput({"list-panes", "-t", "work:1", "-F", "#{pane_pid}"});
    const std::string pane = tmuxOutput({"list-panes", "-t", "work:1", "-F", "#{pane_id}"});
    ASSERT_FALSE(pid.empty());
    const auto focused = fernbeacon({"focus", pid.substr(0, pid.size() - 1)});
    EXPECT_EQ(focused.exitStatus, 0) << focused.standardError;
    EXPECT_EQ(tmuxOutput({"display", "-p", "-t", "work", "#{window_index} #{pane_id}"}),
              "1 " + pane);
    EXPECT_EQ(tmuxOutput({"list-clients", "-F", "#{session_name} #{window_index}"}), "work 1\n");
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
        << tmuxOutput({"capture-pane", "-p", "-t", "other"});
    EXPECT_FALSE(home_.pwned());
    // tmux reads the path of the pane's foreground process, which is empty while the fake exits.
    std::string path;
    EXPECT_TRUE(waitUntil([&] {
        path = tmuxOutput({"display", "-p", "-t", "other", "#{pane_current_path}"});
        return path == directory.string() + "\n";
    })) << path;
}

}  // namespace
}  // namespace fernbeacon::test
