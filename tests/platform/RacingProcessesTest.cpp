// Real claude processes that end between the listing and the probes, or while the probes read:
// a listed session may lose facts, but never shows another process's.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>
#include <thread>

#include "core/SessionScanner.h"
#include "platform/linux/ProcProbes.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

using test::TempTree;

// The /proc probes, listing only the processes a test started, with a hook that runs between
// the listing and the facts.
class OwnProcesses final : public ProcessProbes {
public:
    using Text = std::optional<std::string>;
    explicit OwnProcesses(ProcProbes& probes) : probes_(probes) {}

    std::vector<std::int32_t> findClaudePIDs() override {
        std::vector<std::int32_t> own = probes_.findClaudePIDs();
        std::erase_if(own, [&](std::int32_t pid) { return !std::ranges::count(started, pid); });
        afterListing();
        return own;
    }
    Text ttyForPID(std::int32_t pid) override { return probes_.ttyForPID(pid); }
    Text workingDirectoryForPID(std::int32_t pid) override {
        return probes_.workingDirectoryForPID(pid);
    }
    Text terminalAppForPID(std::int32_t pid) override { return probes_.terminalAppForPID(pid); }
    Text uptimeForPID(std::int32_t pid) override { return probes_.uptimeForPID(pid); }
    ProcessFacts factsForPID(std::int32_t pid) override { return probes_.factsForPID(pid); }

    std::vector<std::int32_t> started;
    std::function<void()> afterListing;

private:
    ProcProbes& probes_;
};

class RacingProcessesTest : public ::testing::Test {
protected:
    TempTree tree_;
    std::filesystem::path claude_ = test::copyProgram("/bin/sleep", tree_.root(), "claude");
    test::RecordingLogger logger_;
    ProcProbes proc_{logger_};
    OwnProcesses probes_{proc_};
    test::MemoryPreferences preferences_;
    SystemClock clock_;
    SessionScanner scanner_{tree_.path(".claude"), probes_, preferences_, clock_, logger_};
};

TEST_F(RacingProcessesTest, ProcessesEndingAroundTheProbesNeverLendOrBorrowFacts) {
    // Our processes run under this test, and so under its terminal, if any.
    const auto terminal = proc_.terminalAppForPID(::getpid());
    constexpr int kRounds = 30;
    constexpr int kEach = 20;
    std::mt19937 random(11);
    int listedWithFacts = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<test::Child> batch;
        for (int i = 0; i < kEach; ++i) {
            batch.emplace_back(std::vector<std::string>{claude_.string(), "1000"}, -1,
                               tree_.makeDirectory(std::to_string(i)));
        }
        probes_.started.clear();
        // A third end before their facts are asked, a third while they are read.
        std::vector<pid_t> ending[3];
        for (const test::Child& child : batch) {
            // Listed as claude only once it runs the program.
            ASSERT_TRUE(
                test::waitUntil([&] { return test::commandNameOf(child.pid()) == "claude"; }));
            ending[(probes_.started.size() + round) % 3].push_back(child.pid());
            probes_.started.push_back(child.pid());
        }
        std::thread killer;
        probes_.afterListing = [&] {
            for (const pid_t pid : ending[0]) {
                ::kill(pid, SIGKILL);
            }
            const auto delay = std::chrono::microseconds(random() % 2000);
            killer = std::thread([&ending, delay] {
                std::this_thread::sleep_for(delay);
                for (const pid_t pid : ending[1]) {
                    ::kill(pid, SIGKILL);
                }
            });
        };
        const auto sessions = scanner_.scanLiveSessions();
        killer.join();
        ASSERT_EQ(sessions.size(), static_cast<std::size_t>(kEach));
        // Every fact is either absent or the one that the session's own process has.
        for (const ClaudeSessionPtr& session : sessions) {
            const auto index =
                std::ranges::find(probes_.started, session->pid) - probes_.started.begin();
            const std::string directory = tree_.path(std::to_string(index)).string();
            EXPECT_TRUE(session->workingDirectory == std::nullopt ||
                        session->workingDirectory == directory);
            EXPECT_EQ(session->tty, std::nullopt);
            EXPECT_TRUE(session->terminalApp == std::nullopt || session->terminalApp == terminal);
            EXPECT_TRUE(session->processUptime == std::nullopt ||
                        session->processUptime == "<1 min");
            listedWithFacts += session->workingDirectory.has_value();
        }
    }
    // The processes that did not end during their scan kept all their facts.
    EXPECT_GE(listedWithFacts, kRounds * kEach / 3);
}

}  // namespace
}  // namespace fernbeacon::platform
