#include <gtest/gtest.h>

#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::FakeProcess;

class ScanCycleTest : public ::testing::Test {
protected:
    test::ScannerHarness h_;
};

TEST_F(ScanCycleTest, KeepsEveryProcessInListOrderEvenOneThatEndedBeforeItsProbes) {
    h_.addProcess(30, FakeProcess{"pts/3", "/nowhere", "kitty", "5 mins"});
    h_.addProcess(10, FakeProcess{});
    h_.probes.pids.push_back(20);
    const auto sessions = runScanCycle(h_.scanner).live;
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions[1]->pid, 10);
    EXPECT_EQ(test::describe({{sessions[0], sessions[2]}, {}}),
              "|30|pts/3|/nowhere|kitty|-|5 mins|200000|-|-|-|-|-|-\n"
              "|20|-|-|-|-|-|200000|-|-|-|-|-|-\n");
}

TEST_F(ScanCycleTest, TheModelIsTheSettingsStringWhateverItsName) {
    h_.addProcess(1, FakeProcess{});
    const struct {
        const char* settings;  // null: no file
        std::optional<std::string> model;
    } cases[] = {
        {nullptr, std::nullopt},
        {"not json", std::nullopt},
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
    }
}

}  // namespace
}  // namespace fernbeacon
