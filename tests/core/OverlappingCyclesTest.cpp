// Refresh cycles in flight at once over one scanner, as when a slow scan overlaps the next
// timer tick: they share nothing mutable, and each gives what it would alone. The suite also
// runs under ThreadSanitizer.
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

// Holds each cycle at its process listing until every cycle has reached it, so that all of
// them then read the tree at the same time; each cycle sees processes of its own.
class GatheringProbes final : public ProcessProbes {
public:
    explicit GatheringProbes(int cycles) : waiting_(cycles) {}

    static thread_local int cycle;  // set by the thread that runs a cycle

    std::vector<std::int32_t> findClaudePIDs() override {
        std::unique_lock lock(mutex_);
        if (--waiting_ == 0) {
            gathered_.notify_all();
        }
        if (!gathered_.wait_for(lock, std::chrono::seconds(10), [&] { return waiting_ == 0; })) {
            scattered_ = true;
        }
        return {100 + cycle, 101 + cycle};
    }
    std::optional<std::string> ttyForPID(std::int32_t pid) override {
        return "pts/" + std::to_string(pid);
    }
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override {
        return "/home/me/p" + std::to_string(pid % 3);
    }
    std::optional<std::string> terminalAppForPID(std::int32_t) override { return "kitty"; }
    std::optional<std::string> uptimeForPID(std::int32_t) override { return "2 mins"; }

    bool scattered() {
        const std::lock_guard lock(mutex_);
        return scattered_;
    }

private:
    std::mutex mutex_;
    std::condition_variable gathered_;
    int waiting_;
    bool scattered_ = false;
};

thread_local int GatheringProbes::cycle = 0;

// Projects with an index or a transcript, so that every cycle reads JSON, cleans and compares.
void writeProjects(const test::ScannerHarness& h) {
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        h.project("-home-me-p" + n, "s.jsonl",
                  jsonLines({cwdRecord("/home/me/p" + n, "main"),
                             userRecord("Fix <b>the</b> bug in p" + n),
                             usageRecord(1000 * (i + 1), 0, 0, 5)}),
                  daysBeforeNow(i + 1));
        if (i != 1) {
            h.home.writeProjectFile("-home-me-p" + n, "sessions-index.json",
                                    R"({"entries":[{"sessionId":"s","summary":"Summary )" + n +
                                        R"(","messageCount":9}]})");
        }
    }
}

TEST(OverlappingCycles, CyclesReadingTheTreeTogetherEachGiveWhatTheyGiveAlone) {
    constexpr int kCycles = 6;
    test::ScannerHarness h;
    writeProjects(h);

    std::vector<std::string> alone;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        GatheringProbes::cycle = cycle;
        GatheringProbes one(1);
        alone.push_back(describe(runScanCycle(
            SessionScanner(h.home.claudeDir(), one, h.preferences, h.clock, h.logger))));
    }
    ASSERT_NE(alone[0], alone[1]);

    GatheringProbes probes(kCycles);
    const SessionScanner shared(h.home.claudeDir(), probes, h.preferences, h.clock, h.logger);
    std::vector<std::string> together(kCycles);
    std::vector<std::thread> workers;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        workers.emplace_back([&, cycle] {
            GatheringProbes::cycle = cycle;
            together[static_cast<std::size_t>(cycle)] = describe(runScanCycle(shared));
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_FALSE(probes.scattered()) << "the cycles never ran at once";
    EXPECT_EQ(together, alone);
}

}  // namespace
}  // namespace fernbeacon
