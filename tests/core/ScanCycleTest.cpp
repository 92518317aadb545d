#include <gtest/gtest.h>

#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::FakeProcess;

class ScanCycleTest : public ::testing::Test {
protected:
    test::ScannerHarness h_;
};

TEST_F(ScanCycleTest, ProbesEachProcessInListOrderKeepsEveryOneAndLogsTheCounts) {
    const auto none = runScanCycle(h_.scanner);
    EXPECT_TRUE(none.live.empty());
    EXPECT_TRUE(none.recent.empty());
    EXPECT_EQ(h_.logger.texts()[1], "Found 0 claude PIDs");

    h_.addProcess(30, FakeProcess{"pts/3", "/nowhere", "kitty", "5 mins"});
    h_.addProcess(10, FakeProcess{});
    h_.probes.pids.push_back(20);  // ended before its probes ran
    const auto sessions = runScanCycle(h_.scanner).live;
    EXPECT_EQ(h_.probes.calls(), (std::vector<std::string>{
                                     "findClaudePIDs", "findClaudePIDs", "tty 30", "cwd 30",
                                     "terminal 30", "uptime 30", "tty 10", "cwd 10", "terminal 10",
                                     "uptime 10", "tty 20", "cwd 20", "terminal 20", "uptime 20"}));
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(test::describe({{sessions[0], sessions[2]}, {}}),
              "|30|pts/3|/nowhere|kitty|-|5 mins|200000|-|-|-|-|-|-\n"
              "|20|-|-|-|-|-|200000|-|-|-|-|-|-\n");
    EXPECT_EQ(h_.logger.texts(), (std::vector<std::string>{
                                     "--- Starting scan ---", "Found 0 claude PIDs",
                                     "--- Scan complete: 0 sessions ---", "--- Starting scan ---",
                                     "Found 3 claude PIDs", "--- Scan complete: 3 sessions ---"}));
}

TEST_F(ScanCycleTest, TheModelIsTheSettingsStringWhateverItsName) {
    h_.addProcess(1, FakeProcess{});
    const struct {
        const char* settings;  // null: no file
        std::optional<std::string> model;
    } cases[] = {
        {nullptr, std::nullopt},
        {"not json", std::nullopt},
        {R"(["model","sonnet"])", std::nullopt},
        {R"({"model":3})", std::nullopt},
        {R"({"model":"Sonnet"})", "Sonnet"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(h_.home.claudeDir() / "settings.json");
        if (c.settings) {
            h_.home.write(".claude/settings.json", c.settings);
        }
        const auto sessions = h_.scanner.scanLiveSessions();
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0]->model, c.model) << (c.settings ? c.settings : "(none)");
        EXPECT_EQ(sessions[0]->contextTokensMax, 200000);
    }
}

}  // namespace
}  // namespace fernbeacon
