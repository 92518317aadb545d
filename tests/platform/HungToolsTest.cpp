// Process tools that hang, die, print garbage or print megabytes, standing in for pgrep, ps and
// lsof through the real runner with a short time limit: every cycle ends soon after the limit,
// lists what pgrep found with the facts left absent, and leaves no thread or process behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <thread>

#include "core/CommandProbes.h"
#include "core/SessionScanner.h"
#include "platform/posix/PosixCommandRunner.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kLimit = 200ms;

// Shell scripts in a temporary folder, named like the tools they stand in for.
class FakeTools {
public:
    explicit FakeTools(std::chrono::milliseconds limit = kLimit) : limit_(limit) {}

    // `script` runs with `$marker` set to a text that every process it starts holds.
    void write(const std::string& tool, const std::string& script) {
        const auto path = tree_.write(tool, "#!/bin/sh\nmarker=" + marker_ + "\n" + script + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
    ProbeCommandSet commands() const {
        return {"/bin/sh",
                tree_.path("pgrep").string(),
                tree_.path("ps").string(),
                tree_.path("lsof").string(),
                "?",
                limit_};
    }
    const std::string& marker() const { return marker_; }

private:
    std::chrono::milliseconds limit_;
    test::TempTree tree_;
    std::string marker_ = test::uniqueMarker();
};

struct Behaviour {
    const char* name;
    const char* script;
    bool endsInTime;  // by itself, before the limit
};

// `sleep $marker` hangs for longer than any test and can be found by its marker.
const Behaviour kBehaviours[] = {
    {"hangs", "exec sleep $marker", false},
    {"prints, then leaves a child holding its output", "sleep $marker & echo 'n/home/me'", false},
    {"dies by a signal", "kill -SEGV $$", true},
    {"prints bytes that are not UTF-8", "head -c 100000 /dev/urandom", true},
    {"prints 40 MB", "head -c 40000000 /dev/zero | tr '\\0' '7'", true},
    {"prints 5 MB of lines", "yes '  9 1 a-very-long-process-name' | head -c 5000000", true},
};

struct CycleOutcome {
    ScanResult result;
    Clock::duration took;
};

// Over an empty ~/.claude, so that only the probes take time.
CycleOutcome runCycle(FakeTools& tools) {
    const test::TempTree home;
    platform::PosixCommandRunner runner;
    test::RecordingLogger logger;
    CommandProbes probes(runner, tools.commands(), logger);
    test::MemoryPreferences preferences;
    SystemClock clock;
    const SessionScanner scanner(home.path(".claude"), probes, preferences, clock, logger);
    const auto started = Clock::now();
    ScanResult result = runScanCycle(scanner);
    return {std::move(result), Clock::now() - started};
}

TEST(HungTools, EveryCycleEndsSoonAfterTheLimitAndListsWhatPgrepFound) {
    for (const Behaviour& behaviour : kBehaviours) {
        SCOPED_TRACE(behaviour.name);
        FakeTools tools;
        tools.write("pgrep", "echo 4242");
        tools.write("ps", behaviour.script);
        tools.write("lsof", behaviour.script);
        const CycleOutcome outcome = runCycle(tools);
        // pgrep, then the four probes of the process, each cut at the limit.
        EXPECT_LT(outcome.took, 4 * kLimit + 2s);
        ASSERT_EQ(outcome.result.live.size(), 1u);
        const ClaudeSession& session = *outcome.result.live[0];
        EXPECT_EQ(session.pid, 4242);
        EXPECT_EQ(session.terminalApp, std::nullopt);
        if (!behaviour.endsInTime) {
            // Whatever it printed before the limit is dropped.
            EXPECT_EQ(session.tty, std::nullopt);
            EXPECT_EQ(session.workingDirectory, std::nullopt);
            EXPECT_EQ(session.processUptime, std::nullopt);
        }
        EXPECT_TRUE(test::waitUntilNoProcessHolds(tools.marker(), 2s));

        FakeTools failingPgrep;
        failingPgrep.write("pgrep", behaviour.script);
        failingPgrep.write("ps", behaviour.script);
        const CycleOutcome none = runCycle(failingPgrep);
        EXPECT_LT(none.took, 2 * kLimit + 2s);
        EXPECT_TRUE(none.result.live.empty());
        EXPECT_TRUE(test::waitUntilNoProcessHolds(failingPgrep.marker(), 2s));
    }
}

TEST(HungTools, TenOverlappingCyclesLeaveNoThreadOrProcessBehind) {
    // Ten cycles starting their tools at once need longer for the one that answers.
    constexpr auto kOverlappingLimit = 3 * kLimit;
    FakeTools tools(kOverlappingLimit);
    tools.write("pgrep", "echo 4242");
    tools.write("ps", "exec sleep $marker");
    tools.write("lsof", "sleep $marker & exec sleep $marker");
    // Sanitizer runtimes start a helper thread along with the first thread of the process.
    std::thread([] {}).join();
    const std::size_t threads = test::threadCount();
    std::vector<CycleOutcome> outcomes(10);
    std::vector<std::thread> cycles;
    for (CycleOutcome& outcome : outcomes) {
        cycles.emplace_back([&tools, &outcome] { outcome = runCycle(tools); });
        std::this_thread::sleep_for(20ms);
    }
    for (std::thread& cycle : cycles) {
        cycle.join();
    }
    for (const CycleOutcome& outcome : outcomes) {
        EXPECT_LT(outcome.took, 4 * kOverlappingLimit + 2s);
        EXPECT_EQ(outcome.result.live.size(), 1u);
    }
    EXPECT_EQ(test::threadCount(), threads);
    EXPECT_EQ(test::childProcesses(), std::vector<pid_t>{});
    EXPECT_TRUE(test::waitUntilNoProcessHolds(tools.marker(), 2s));
}

}  // namespace
}  // namespace fernbeacon
