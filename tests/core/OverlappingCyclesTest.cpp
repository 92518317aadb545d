// Refresh cycles in flight at once over one scanner, as when a slow scan overlaps the next
// timer tick: they share nothing mutable, each gives what it would alone, and the lists of
// the cycle that finishes last are the ones shown. The suite also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::cwdRecord;
using test::daysBeforeNow;
using test::describe;
using test::jsonLines;
using test::usageRecord;
using test::userRecord;

// Gives each cycle its own process, and holds its listing until the test lets that cycle go.
class TurnTakingProbes final : public ProcessProbes {
public:
    explicit TurnTakingProbes(int cycles) : released_(static_cast<std::size_t>(cycles), false) {}

    static thread_local int cycle;  // set by the thread that runs a cycle

    void release(int which) {
        const std::lock_guard lock(mutex_);
        released_[static_cast<std::size_t>(which)] = true;
        changed_.notify_all();
    }

    std::vector<std::int32_t> findClaudePIDs() override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return released_[static_cast<std::size_t>(cycle)]; });
        return {1000 + cycle};
    }
    std::optional<std::string> ttyForPID(std::int32_t pid) override {
        return "pts/" + std::to_string(pid);
    }
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override {
        return "/home/me/p" + std::to_string(pid % 3);
    }
    std::optional<std::string> terminalAppForPID(std::int32_t) override { return "kitty"; }
    std::optional<std::string> uptimeForPID(std::int32_t) override { return "2 mins"; }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> released_;
};

thread_local int TurnTakingProbes::cycle = 0;

// Three projects, each with an index or a transcript with usage, so that every cycle reads
// JSON, cleans text and compares paths.
void writeProjects(const test::ScannerHarness& h) {
    for (int i = 0; i < 3; ++i) {
        const std::string folder = "-home-me-p" + std::to_string(i);
        const std::string directory = "/home/me/p" + std::to_string(i);
        h.project(folder, "s.jsonl",
                  jsonLines({cwdRecord(directory, "main"),
                             userRecord("Fix <b>the</b> bug in p" + std::to_string(i)),
                             usageRecord(1000 * (i + 1), 0, 0, 5)}),
                  daysBeforeNow(i + 1));
        if (i != 1) {
            h.home.writeProjectFile(folder, "sessions-index.json",
                                    R"({"entries":[{"sessionId":"s","summary":"Summary )" +
                                        std::to_string(i) + R"(","messageCount":9}]})");
        }
    }
}

TEST(OverlappingCycles, CompletionsOutOfOrderLeaveTheLastFinishedCycleShown) {
    constexpr int kCycles = 6;
    test::ScannerHarness h;
    writeProjects(h);
    TurnTakingProbes probes(kCycles);
    const SessionScanner scanner(h.home.claudeDir(), probes, h.preferences, h.clock, h.logger);

    // What each cycle shows when it runs alone.
    std::vector<std::string> alone;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        TurnTakingProbes::cycle = cycle;
        probes.release(cycle);
        alone.push_back(describe(runScanCycle(scanner)));
    }
    TurnTakingProbes overlapping(kCycles);
    const SessionScanner shared(h.home.claudeDir(), overlapping, h.preferences, h.clock, h.logger);

    // Completions are applied in the order they arrive, each replacing the shown lists.
    std::mutex mainQueue;
    std::condition_variable applied;
    std::vector<int> completionOrder;
    std::string shown;
    std::vector<std::string> results(kCycles);
    std::vector<std::thread> workers;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        workers.emplace_back([&, cycle] {
            TurnTakingProbes::cycle = cycle;
            const ScanResult result = runScanCycle(shared);
            const std::lock_guard lock(mainQueue);
            completionOrder.push_back(cycle);
            results[static_cast<std::size_t>(cycle)] = describe(result);
            shown = results[static_cast<std::size_t>(cycle)];
            applied.notify_all();
        });
    }
    // The cycle started last is let go first, and so on back to the first.
    for (int cycle = kCycles - 1; cycle >= 0; --cycle) {
        overlapping.release(cycle);
        std::unique_lock lock(mainQueue);
        applied.wait(lock, [&] {
            return completionOrder.size() == static_cast<std::size_t>(kCycles - cycle);
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(completionOrder, (std::vector<int>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(results, alone);
    EXPECT_EQ(shown, alone[0]);
    EXPECT_NE(alone[0], alone[1]);
}

TEST(OverlappingCycles, ManyCyclesAtOnceEachGiveWhatOneGivesAlone) {
    test::ScannerHarness h;
    writeProjects(h);
    for (std::int32_t pid = 1; pid <= 3; ++pid) {
        h.addProcess(pid, test::FakeProcess{"pts/1", "/home/me/p" + std::to_string(pid - 1),
                                            "kitty", "1 hr"});
    }
    h.addProcess(4, test::FakeProcess{});
    const std::string alone = describe(runScanCycle(h.scanner));
    std::vector<std::thread> workers;
    std::vector<int> differing(4, 0);
    for (std::size_t worker = 0; worker < differing.size(); ++worker) {
        workers.emplace_back([&, worker] {
            for (int i = 0; i < 25; ++i) {
                differing[worker] += describe(runScanCycle(h.scanner)) != alone;
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(differing, (std::vector<int>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace fernbeacon
