// Real claude processes that end before their facts are asked, or while the probes read: a
// process may lose facts, but never shows another process's.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <random>
#include <thread>

#include "platform/linux/ProcProbes.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

TEST(RacingProcesses, ProcessesEndingAroundTheProbesNeverLendOrBorrowFacts) {
    test::TempTree tree;
    const auto claude = test::copyProgram("/bin/sleep", tree.root(), "claude");
    test::RecordingLogger logger;
    ProcProbes probes(logger);
    // Our processes run under this test, and so under its terminal, if any.
    const auto terminal = probes.terminalAppForPID(::getpid());
    constexpr int kRounds = 30;
    constexpr int kEach = 20;
    std::mt19937 random(11);
    int withFacts = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<test::Child> batch;
        for (int i = 0; i < kEach; ++i) {
            batch.emplace_back(std::vector<std::string>{claude.string(), "1000"}, -1,
                               tree.makeDirectory(std::to_string(i)));
        }
        // A third end before their facts are asked, a third while they are read.
        std::vector<pid_t> ending[3];
        for (std::size_t i = 0; i < batch.size(); ++i) {
            // A claude only once it runs the program.
            ASSERT_TRUE(
                test::waitUntil([&] { return test::commandNameOf(batch[i].pid()) == "claude"; }));
            ending[(i + static_cast<std::size_t>(round)) % 3].push_back(batch[i].pid());
        }
        for (const pid_t pid : ending[0]) {
            ::kill(pid, SIGKILL);
        }
        std::thread killer([&ending, delay = std::chrono::microseconds(random() % 2000)] {
            std::this_thread::sleep_for(delay);
            for (const pid_t pid : ending[1]) {
                ::kill(pid, SIGKILL);
            }
        });
        for (std::size_t i = 0; i < batch.size(); ++i) {
            // Every fact is either absent or the one that the process itself has.
            const ProcessFacts facts = probes.factsForPID(batch[i].pid());
            const std::string directory = tree.path(std::to_string(i)).string();
            EXPECT_TRUE(!facts.workingDirectory || facts.workingDirectory == directory);
            EXPECT_EQ(facts.tty, std::nullopt);
            EXPECT_TRUE(!facts.terminalApp || facts.terminalApp == terminal);
            EXPECT_TRUE(!facts.uptime || facts.uptime == "<1 min");
            withFacts += facts.workingDirectory.has_value();
        }
        killer.join();
    }
    // The processes that did not end during their round kept all their facts.
    EXPECT_GE(withFacts, kRounds * kEach / 3);
}

}  // namespace
}  // namespace fernbeacon::platform
