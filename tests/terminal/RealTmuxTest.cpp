#include <gtest/gtest.h>

#include <fstream>

#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

// A private tmux server (its socket under the test's TMUX_TMPDIR) with a session "work" whose
// window 1 runs a fake claude, a session "other", and a client attached to "other".
class RealTmux : public ::testing::Test {
protected:
    void SetUp() override {
        if (!installed("tmux") || !installed("script")) {
            GTEST_SKIP() << "tmux or script is not installed";
        }
        ::unsetenv("TMUX");
        home_.makeDirectory("bin");
        std::filesystem::copy_file("/bin/sleep", home_.path("bin/claude"));
        // The fake claude for new windows records where it started, in one step.
        home_.write("typed/claude",
                    "#!/bin/sh\npwd > \"$HOME/started\" && mv \"$HOME/started\" "
                    "\"$HOME/claude-started-in\"\n");
        std::filesystem::permissions(home_.path("typed/claude"), std::filesystem::perms::owner_all);
        // New windows run a plain shell, which keeps the PATH with the fake that tmux hands on.
        path_ = std::make_unique<ScopedEnvironment>(
            "PATH", home_.path("typed").string() + ":" + std::getenv("PATH"));
        ASSERT_EQ(tmux({"-f", "/dev/null", "new-session", "-d", "-s", "work", "-x", "100", "-y",
                        "30", "/bin/sh"})
                      .exitStatus,
                  0);
        tmux({"set", "-g", "default-command", "exec /bin/sh"});
        tmux({"new-window", "-t", "work:", "-c", "/tmp",
              home_.path("bin/claude").string() + " 120"});
        tmux({"new-session", "-d", "-s", "other"});
        tmux({"select-window", "-t", "work:0"});
        client_ = std::make_unique<Child>(std::vector<std::string>{
            "script", "-qfc", *installed("tmux") + " attach -t other", "/dev/null"});
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
    CommandResult fernbeacon(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), FERNBEACON_BINARY);
        return runTool(std::move(arguments), std::chrono::seconds(30));
    }

    TempHome home_;
    ScopedEnvironment socketDirectory_{"TMUX_TMPDIR", home_.root().string()};
    ScopedEnvironment configHome_{"XDG_CONFIG_HOME", home_.path(".config").string()};
    std::unique_ptr<ScopedEnvironment> path_;
    std::unique_ptr<Child> client_;
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

TEST_F(RealTmux, FocusOfAProcessThatIsNoSessionFailsWithOneLine) {
    const auto result = fernbeacon({"focus", std::to_string(::getpid())});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1);
}

TEST_F(RealTmux, OpenWithTmuxPreferredTypesClaudeInANewWindowInTheDirectory) {
    home_.write(".config/Fernbeacon/Fernbeacon.conf", "[General]\npreferredTerminal=tmux\n");
    const auto directory = home_.makeDirectory("projects/it's $(touch pwned) `x` \"q\"");
    const auto opened = fernbeacon({"open", directory.string()});
    EXPECT_EQ(opened.exitStatus, 0) << opened.standardError;
    const auto record = home_.path("claude-started-in");
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(record); }))
        << tmuxOutput({"capture-pane", "-p", "-t", "other"});
    std::ifstream in(record);
    std::string started;
    std::getline(in, started);
    EXPECT_EQ(started, directory.string());
    EXPECT_FALSE(std::filesystem::exists(home_.path("projects/pwned")));
    // tmux reads the path of the pane's foreground process, which is empty while the fake exits.
    std::string path;
    EXPECT_TRUE(waitUntil([&] {
        path = tmuxOutput({"display", "-p", "-t", "other", "#{pane_current_path}"});
        return path == directory.string() + "\n";
    })) << path;
}

}  // namespace
}  // namespace fernbeacon::test
