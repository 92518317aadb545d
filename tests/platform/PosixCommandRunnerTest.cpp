#include "platform/posix/PosixCommandRunner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <future>

#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

using namespace std::chrono_literals;

CommandResult runShell(const std::string& script,
                       std::chrono::milliseconds limit = kCommandTimeLimit) {
    return PosixCommandRunner().run({{"/bin/sh", "-c", script}, limit});
}

std::size_t entriesIn(const char* directory) {
    const std::filesystem::directory_iterator entries(directory);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// Every run, however it ends, leaves no descriptor, thread or unreaped child behind.
class PosixCommandRunnerTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(entriesIn("/proc/self/fd"), descriptors_);
        EXPECT_LE(entriesIn("/proc/self/task"), threads_);
        EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }

    const std::size_t descriptors_ = entriesIn("/proc/self/fd");
    const std::size_t threads_ = entriesIn("/proc/self/task");
};

TEST_F(PosixCommandRunnerTest, KeepsTheTwoOutputsApartAndReportsHowTheChildEnded) {
    const CommandResult result = runShell("printf 'out\\n'; printf 'err' >&2; printf more; exit 3");
    EXPECT_EQ(result.standardOutput, "out\nmore");
    EXPECT_EQ(result.standardError, "err");
    EXPECT_EQ(result.exitStatus, 3);

    const CommandResult killed = runShell("printf partial; kill -9 $$");
    EXPECT_FALSE(killed.timedOut);
    EXPECT_EQ(killed.exitStatus, std::nullopt);
    EXPECT_EQ(killed.standardOutput, "partial");

    // No input, and arguments reach the program untouched.
    PosixCommandRunner runner;
    EXPECT_EQ(runner.run({{"/bin/cat"}, 2000ms}).exitStatus, 0);
    const CommandResult echoed =
        runner.run({{"/bin/sh", "-c", "printf '%s|' \"$@\"", "sh", "a b", "$HOME", "'; ls"}});
    EXPECT_EQ(echoed.standardOutput, "a b|$HOME|'; ls|");

    // Variables set on top of ours, replacing ours of the same name.
    CommandRequest request(
        {"/bin/sh", "-c", "printf '%s|%s|%s' \"$FERN_SET\" \"$HOME\" \"$PATH\""});
    request.environment = {{"FERN_SET", "a b"}, {"HOME", "/elsewhere"}};
    EXPECT_EQ(runner.run(request).standardOutput,
              "a b|/elsewhere|" + std::string(std::getenv("PATH")));
}

TEST_F(PosixCommandRunnerTest, CannotStartAMissingProgram) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"/nonexistent/pgrep", "-x", "claude"},
          std::vector<std::string>{"sh", "-c", "true"}, std::vector<std::string>{"/"},
          std::vector<std::string>{}}) {
        const CommandResult result = PosixCommandRunner().run({arguments, 2000ms});
        EXPECT_FALSE(result.started) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.startError.empty());
        EXPECT_FALSE(result.exitStatus.has_value());
    }
}

// Not only the shell: whatever it started is gone as well, and the output is dropped.
TEST_F(PosixCommandRunnerTest,
       EndsAtTheTimeLimitAChildThatHangsHoldsItsOutputsOrNeverStopsWriting) {
    // A number of seconds for sleep that no other process has in its command line.
    const std::string marker = std::to_string(::getpid()) + ".4217";
    const auto noneLeft = [&] { return test::runTool({"pgrep", "-f", marker}).exitStatus == 1; };
    // Several writers on pipes widened to 1 MiB: there is nearly always something to read, and
    // a runner that looked at the clock only when the pipes ran dry would wait forever.
    const std::string writer =
        "/usr/bin/perl -e 'fcntl(STDOUT, 1031, 1 << 20); my $b = q(x) x (1 << 20); "
        "syswrite(STDOUT, $b) while 1' " +
        marker;
    std::vector<std::string> scripts = {
        "echo early; sleep " + marker + " | cat; echo late",
        "printf gone; exec >&- 2>&-; sleep " + marker + "; true",
    };
    if (::access("/usr/bin/perl", X_OK) == 0) {
        scripts.push_back(writer + " & " + writer + " & " + writer + " >&2 & " + writer +
                          " >&2 & exec " + writer);
    }
    for (const std::string& script : scripts) {
        const auto started = std::chrono::steady_clock::now();
        const CommandResult result = runShell(script, 300ms);
        EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);  // not before its time
        EXPECT_TRUE(result.started);
        EXPECT_TRUE(result.timedOut) << script;
        EXPECT_EQ(result.standardOutput, "");
        EXPECT_EQ(result.standardError, "");
        EXPECT_FALSE(result.exitStatus.has_value());
        EXPECT_TRUE(test::waitUntil(noneLeft, 2s)) << script;
    }
}

TEST_F(PosixCommandRunnerTest, DrainsLargeOutputsOnBothStreamsAtOnce) {
    // Standard error is filled first: a runner that read only standard output would stall.
    const CommandResult result = runShell(
        "head -c 3000000 /dev/zero | tr '\\0' e >&2; head -c 6000000 /dev/zero | tr '\\0' o");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(result.standardOutput == std::string(6000000, 'o'));
    EXPECT_TRUE(result.standardError == std::string(3000000, 'e'));

    // Beyond its limit output is dropped rather than held.
    const CommandResult huge = runShell("head -c 40000000 /dev/zero");
    EXPECT_EQ(huge.exitStatus, 0);
    EXPECT_EQ(huge.standardOutput, "");
}

// A child that inherited the pipes of a run on another thread would keep that run waiting for
// the end of its output until the child itself ended.
TEST_F(PosixCommandRunnerTest, GivesEachChildOnlyItsOwnPipes) {
    const auto descriptorsOfAChild = [] { return runShell("ls /proc/$$/fd").standardOutput; };
    const std::string alone = descriptorsOfAChild();
    EXPECT_NE(alone.find("2\n"), std::string::npos) << alone;

    test::TempTree tree;
    const std::size_t before = entriesIn("/proc/self/fd");
    auto waiting = std::async(std::launch::async, [&] {
        return runShell("while [ ! -e " + tree.path("go").string() + " ]; do sleep 0.01; done");
    });
    EXPECT_TRUE(test::waitUntil([&] { return entriesIn("/proc/self/fd") > before; }));
    EXPECT_EQ(descriptorsOfAChild(), alone);
    tree.write("go", "");
    EXPECT_FALSE(waiting.get().timedOut);
}

}  // namespace
}  // namespace fernbeacon::platform
