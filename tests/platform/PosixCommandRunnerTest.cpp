#include "platform/posix/PosixCommandRunner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::uniqueMarker;
using test::waitUntilNoProcessHolds;

CommandResult runShell(const std::string& script,
                       std::chrono::milliseconds limit = kCommandTimeLimit) {
    PosixCommandRunner runner;
    return runner.run({{"/bin/sh", "-c", script}, limit});
}

std::size_t entriesIn(const char* directory) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
        ++count;
    }
    return count;
}

TEST(PosixCommandRunner, KeepsTheTwoOutputsApartAndReportsTheExitStatus) {
    const CommandResult result = runShell("printf 'out\\n'; printf 'err' >&2; printf more; exit 3");
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.standardOutput, "out\nmore");
    EXPECT_EQ(result.standardError, "err");
    EXPECT_EQ(result.exitStatus, 3);

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

TEST(PosixCommandRunner, CannotStartAMissingProgram) {
    PosixCommandRunner runner;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"/nonexistent/pgrep", "-x", "claude"},
          std::vector<std::string>{"sh", "-c", "true"}, std::vector<std::string>{"/"},
          std::vector<std::string>{}}) {
        const CommandResult result = runner.run({arguments, 2000ms});
        EXPECT_FALSE(result.started) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.startError.empty());
        EXPECT_FALSE(result.exitStatus.has_value());
    }
}

TEST(PosixCommandRunner, ReportsNoExitStatusForAChildEndedBySignal) {
    const CommandResult result = runShell("printf partial; kill -9 $$");
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_FALSE(result.exitStatus.has_value());
    EXPECT_EQ(result.standardOutput, "partial");
}

TEST(PosixCommandRunner, EndsAHungPipelineAtTheTimeLimitAndDropsItsOutput) {
    const std::string marker = uniqueMarker();
    const auto started = Clock::now();
    const CommandResult result =
        runShell("echo early; sleep " + marker + " | cat; echo late", 300ms);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_FALSE(result.exitStatus.has_value());
    EXPECT_GE(Clock::now() - started, 300ms);
    // Not only the shell: the sleep and cat it started are gone as well.
    EXPECT_TRUE(waitUntilNoProcessHolds(marker, 2s));
}

TEST(PosixCommandRunner, EndsAChildThatClosedItsOutputsButKeepsRunning) {
    const std::string marker = uniqueMarker();
    const CommandResult result =
        runShell("printf gone; exec >&- 2>&-; sleep " + marker + "; true", 300ms);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_TRUE(waitUntilNoProcessHolds(marker, 2s));
}

// A runner that looked at the clock only when the pipes run dry would wait here forever.
TEST(PosixCommandRunner, EndsAChildThatNeverStopsWriting) {
    // Several writers on pipes widened to 1 MiB: there is nearly always something to read.
    if (::access("/usr/bin/perl", X_OK) != 0) {
        GTEST_SKIP() << "needs perl to widen the pipes";
    }
    const std::string marker = uniqueMarker();
    const std::string writer =
        "/usr/bin/perl -e 'fcntl(STDOUT, 1031, 1 << 20); my $b = q(x) x (1 << 20); "
        "syswrite(STDOUT, $b) while 1' " +
        marker;
    const std::string writers =
        writer + " & " + writer + " & " + writer + " >&2 & " + writer + " >&2 & exec " + writer;
    const CommandResult result = runShell(writers, 100ms);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_TRUE(waitUntilNoProcessHolds(marker, 2s));
}

TEST(PosixCommandRunner, DrainsLargeOutputsOnBothStreamsAtOnce) {
    // Standard error is filled first: a runner that read only standard output would stall.
    const CommandResult result = runShell(
        "head -c 3000000 /dev/zero | tr '\\0' e >&2; head -c 6000000 /dev/zero | tr "
        "'\\0' o",
        5000ms);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    ASSERT_EQ(result.standardOutput.size(), 6000000u);
    ASSERT_EQ(result.standardError.size(), 3000000u);
    EXPECT_EQ(result.standardOutput.find_first_not_of('o'), std::string::npos);
    EXPECT_EQ(result.standardError.find_first_not_of('e'), std::string::npos);

    // Beyond its limit output is dropped rather than held.
    const CommandResult huge = runShell("head -c 40000000 /dev/zero", 5000ms);
    EXPECT_EQ(huge.exitStatus, 0);
    EXPECT_EQ(huge.standardOutput, "");
}

// Runs from several threads at once, each with its own output.
TEST(PosixCommandRunner, GivesEachChildOnlyItsOwnPipes) {
    // A slow child that inherited the pipe of a quick run on another thread would keep that run
    // waiting for the end of its output until the slow child itself ended.
    std::atomic<bool> slowEnded{false};
    auto quick = std::async(std::launch::async, [&] {
        std::chrono::nanoseconds longest{0};
        for (int runs = 0; !slowEnded || runs < 10; ++runs) {
            const auto started = Clock::now();
            EXPECT_EQ(runShell("echo quick").standardOutput, "quick\n");
            longest = std::max<std::chrono::nanoseconds>(longest, Clock::now() - started);
        }
        return longest;
    });
    std::this_thread::sleep_for(20ms);
    std::vector<std::future<CommandResult>> slow;
    for (int i = 0; i < 8; ++i) {
        slow.push_back(
            std::async(std::launch::async, [] { return runShell("sleep 2; echo slow"); }));
        std::this_thread::sleep_for(5ms);
    }
    for (auto& result : slow) {
        EXPECT_EQ(result.get().standardOutput, "slow\n");
    }
    slowEnded = true;
    EXPECT_LT(quick.get(), 1s);  // half the slow children's time
}

TEST(PosixCommandRunner, LeavesNoDescriptorThreadOrChildBehind) {
    const std::size_t descriptors = entriesIn("/proc/self/fd");
    const std::size_t threads = entriesIn("/proc/self/task");
    PosixCommandRunner runner;
    runner.run({{"/bin/sh", "-c", "echo out; echo err >&2"}});
    runner.run({{"/nonexistent"}});
    runner.run({{"/bin/sh", "-c", "sleep 5"}, 100ms});
    runner.run({{"/bin/sh", "-c", "exec >&- 2>&-; sleep 5"}, 100ms});
    runner.run({{"/bin/sh", "-c", "kill -9 $$"}});
    EXPECT_EQ(entriesIn("/proc/self/fd"), descriptors);
    EXPECT_LE(entriesIn("/proc/self/task"), threads);
    // Every child was reaped.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace fernbeacon::platform
