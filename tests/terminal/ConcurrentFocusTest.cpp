// Clicks in flight at once, each on worker threads of its own as the application runs them, over
// the Linux hosts. The test command runs this under ThreadSanitizer.
#include <gtest/gtest.h>

#include <map>

#include "core/CliDispatcher.h"
#include "support/LinuxHostFakes.h"
#include "terminal/LinuxLaunchers.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon {
namespace {

using namespace std::chrono_literals;
using test::FakeLauncher;
using test::MemoryPreferences;

std::map<std::string, int> tally(const std::vector<std::string>& items) {
    std::map<std::string, int> counts;
    for (const std::string& item : items) {
        ++counts[item];
    }
    return counts;
}

// The Linux focuser over fakes with two sessions: one in kitty on pts/1, one in tmux on pts/4
// whose client runs in an xterm.
struct LinuxDesktop : test::LinuxHostFakes {
    FakeLauncher launcher;
    CliDispatcher dispatcher;
    MemoryPreferences preferences;
    TerminalApplications applications{workspace, dispatcher, {"tmux", "kitty", "XTerm"}};
    LinuxSessionOpener opener{launcher, executables, applications, tmux, "/bin/bash", logger};
    TerminalFocuser focuser{dispatcher, preferences, logger, applications,
                            ownership,  hosts,       opener, nullptr};

    LinuxDesktop() {
        table.rows = {
            {300, 1, std::nullopt, "kitty"}, {301, 300, "pts/1", "bash"},
            {302, 301, "pts/1", "claude"},   {600, 1, std::nullopt, "tmux: server"},
            {601, 600, "pts/4", "bash"},     {602, 601, "pts/4", "claude"},
            {700, 1, std::nullopt, "xterm"}, {701, 700, "pts/6", "tmux: client"},
        };
        environment.environments = {
            {302, {{"KITTY_LISTEN_ON", "unix:/k"}, {"KITTY_WINDOW_ID", "3"}}},
            {602, {{"TMUX", "/tmp/tmux-0/default,600,0"}}},
            {701, {{"WINDOWID", "78"}}},
        };
        const std::string tmuxCommand = "/usr/bin/tmux -S /tmp/tmux-0/default ";
        runner.replyOutput(tmuxCommand + "list-panes -a -F " + std::string(kPaneFormat),
                           "%4 /dev/pts/4 $1\n");
        runner.replyOutput(tmuxCommand + "list-clients -F " + std::string(kClientFormat),
                           "10 701 /dev/pts/6 $1\n");
        runner.replyOutput(
            "/usr/bin/kitty @ --to unix:/k ls",
            R"([{"platform_window_id": 4194340, "tabs": [{"windows": [{"id": 3}]}]}])");
    }
};

TEST(ConcurrentFocus, ClicksInFlightTogetherEachReachTheirOwnTab) {
    LinuxDesktop desktop;
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        desktop.focuser.focusSession(std::make_shared<ClaudeSession>(302, "pts/1", "/p", "x"));
        desktop.focuser.focusSession(std::make_shared<ClaudeSession>(602, "pts/4", "/p", "x"));
    }
    ASSERT_TRUE(desktop.dispatcher.runUntilIdle(10s));

    EXPECT_EQ(tally(desktop.workspace.calls()),
              (std::map<std::string, int>{{"raise window 4194340 pid 300", kRounds},
                                          {"raise window 78 pid 700", kRounds}}));
    const auto requests = tally(desktop.runner.requests());
    EXPECT_EQ(requests.at("/usr/bin/kitty @ --to unix:/k focus-window --match id:3"), kRounds);
    EXPECT_EQ(requests.at("/usr/bin/tmux -S /tmp/tmux-0/default switch-client -c /dev/pts/6 -t %4"),
              kRounds);
}

}  // namespace
}  // namespace fernbeacon
