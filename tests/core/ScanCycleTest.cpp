#include <gtest/gtest.h>

#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::FakeProcess;
using test::LoggedMessage;

class ScanCycleTest : public ::testing::Test {
protected:
    test::ScannerHarness h_;
};

TEST_F(ScanCycleTest, WithNoProcessTheScanLogsZeroCountsAndFindsNothing) {
    const auto result = runScanCycle(h_.scanner);
    EXPECT_TRUE(result.live.empty());
    EXPECT_TRUE(result.recent.empty());
    EXPECT_EQ(h_.probes.calls(), std::vector<std::string>{"findClaudePIDs"});
    EXPECT_EQ(h_.logger.messages(), (std::vector<LoggedMessage>{
                                        {LogLevel::Info, "--- Starting scan ---"},
                                        {LogLevel::Info, "Found 0 claude PIDs"},
                                        {LogLevel::Info, "--- Scan complete: 0 sessions ---"},
                                    }));
}

TEST_F(ScanCycleTest, ProbesEachProcessInListOrderAndKeepsEveryOne) {
    h_.addProcess(30, FakeProcess{"pts/3", "/nowhere", "kitty", "5 mins"});
    h_.addProcess(10, FakeProcess{});
    h_.probes.pids.push_back(20);  // ended before its probes ran

    const auto sessions = h_.scanner.scanLiveSessions();
    EXPECT_EQ(h_.probes.calls(),
              (std::vector<std::string>{"findClaudePIDs", "tty 30", "cwd 30", "terminal 30",
                                        "uptime 30", "tty 10", "cwd 10", "terminal 10", "uptime 10",
                                        "tty 20", "cwd 20", "terminal 20", "uptime 20"}));
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions[0]->pid, 30);
    EXPECT_EQ(sessions[0]->tty, "pts/3");
    EXPECT_EQ(sessions[0]->workingDirectory, "/nowhere");
    EXPECT_EQ(sessions[0]->terminalApp, "kitty");
    EXPECT_EQ(sessions[0]->processUptime, "5 mins");
    EXPECT_EQ(sessions[2]->pid, 20);
    EXPECT_EQ(sessions[2]->workingDirectory, std::nullopt);
    for (const auto& session : sessions) {
        EXPECT_EQ(session->contextTokensMax, 200000);
        EXPECT_EQ(session->contextTokensUsed, std::nullopt);
    }
    EXPECT_EQ(h_.logger.texts(),
              (std::vector<std::string>{"--- Starting scan ---", "Found 3 claude PIDs",
                                        "--- Scan complete: 3 sessions ---"}));
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
