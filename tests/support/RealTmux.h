#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestProcesses.h"

namespace fernbeacon::test {

// A private tmux server, its socket under the home's TMUX_TMPDIR, with a session "work" (a shell
// in window 0, then what `addWindows` adds), a session "other", and a client attached to
// "other" on a terminal of its own. "work" shows window 0.
class RealTmuxTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!installed("tmux")) {
            GTEST_SKIP() << "tmux is not installed";
        }
        ::unsetenv("TMUX");
        ASSERT_EQ(runTool({"tmux", "-f", "/dev/null", "new-session", "-d", "-s", "work", "-x",
                           "100", "-y", "30", "/bin/sh"})
                      .exitStatus,
                  0);
        addWindows();
        tmux({"new-session", "-d", "-s", "other"});
        tmux({"select-window", "-t", "work:0"});
        // Its input must never end: a client that reads an end of input types it into "other".
        client_ =
            Child::onTerminal({"env", "TERM=xterm", *installed("tmux"), "attach", "-t", "other"});
        ASSERT_TRUE(waitUntil([&] { return !tmux({"list-clients"}).empty(); }));
    }

    void TearDown() override {
        if (installed("tmux")) {
            tmux({"kill-server"});
        }
    }

    virtual void addWindows() {}

    // What tmux prints.
    std::string tmux(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "tmux");
        return runTool(std::move(arguments)).standardOutput;
    }

    ProgramHome home_;
    ScopedEnvironment socketDirectory_{"TMUX_TMPDIR", home_.root().string()};
    Child client_;
};

}  // namespace fernbeacon::test
