#include <gtest/gtest.h>

#include <sstream>

#include "app/Watch.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::app {
namespace {

TEST(WatchLine, EachFormatIsOneLine) {
    ScanResult scan;
    EXPECT_EQ(watchLine(scan, WatchFormat::Text), "FB");
    EXPECT_EQ(watchLine(scan, WatchFormat::Waybar),
              R"({"text": "FB", "tooltip": "No active Claude sessions", "class": "idle", )"
              R"("alt": "idle"})");

    auto titled = std::make_shared<ClaudeSession>(10, std::nullopt, "/srv/spotter", std::nullopt);
    titled->summary = "Speed work";
    scan.live = {titled,
                 std::make_shared<ClaudeSession>(11, std::nullopt, "/srv/odd\nname", std::nullopt)};
    EXPECT_EQ(watchLine(scan, WatchFormat::Text), "FB 2 | spotter: Speed work | odd name");
    EXPECT_EQ(watchLine(scan, WatchFormat::Waybar),
              R"({"text": "FB 2", "tooltip": "spotter: Speed work\nodd name", )"
              R"("class": "idle", "alt": "idle"})");
    EXPECT_EQ(watchLine(scan, WatchFormat::Json).find('\n'), std::string::npos);

    titled->status = "waiting";
    EXPECT_NE(watchLine(scan, WatchFormat::Waybar).find(R"("class": "waiting")"),
              std::string::npos);
}

TEST(StatusFeed, WritesALineOnlyWhenWhatTheMenuShowsChanges) {
    const test::TempHome home;
    test::FakeProbes probes;
    test::MemoryPreferences preferences;
    const SystemClock clock;
    test::RecordingLogger logger;
    std::ostringstream out;
    StatusFeed feed(std::make_shared<const SessionScanner>(home.path(".claude"), probes,
                                                           preferences, clock, logger),
                    preferences, WatchFormat::Text, out);
    EXPECT_TRUE(feed.refresh());
    EXPECT_TRUE(feed.refresh());
    probes.pids.push_back(7);
    probes.processes[7] = test::FakeProcess{"pts/1", "/w/seven", "kitty", "2 min"};
    EXPECT_TRUE(feed.refresh());
    EXPECT_EQ(out.str(), "FB\nFB 1 | seven\n");
}

// How the program ends, refreshing every 100 ms: as `| head -1` does once it has its line, or by
// a stop signal once its first line shows that it runs. What it writes on the way is StatusFeed's.
TEST(WatchCommand, ALeavingReaderOrAStopSignalEndsItWithStatusZero) {
    const test::TempHome home;
    const test::ScopedEnvironment config("XDG_CONFIG_HOME", home.path(".config").string());
    const test::ScopedEnvironment interval("FERNBEACON_REFRESH_MS", "100");
    const CommandResult head = test::runTool(
        {"bash", "-c", "set -o pipefail; \"$0\" watch --waybar | head -1", FERNBEACON_BINARY});
    EXPECT_EQ(head.exitStatus, 0);
    EXPECT_TRUE(head.standardOutput.starts_with(R"({"text": "FB)")) << head.standardOutput;

    const std::string stopped =
        "\"$0\" watch --json >\"$1\" & until [ -s \"$1\" ]; do sleep 0.05; "
        "done; kill -s $2 $!; wait $!";
    for (const char* signal : {"INT", "TERM", "PIPE"}) {
        const auto feed = home.path(std::string("feed-") + signal).string();
        EXPECT_EQ(
            test::runTool({"bash", "-c", stopped, FERNBEACON_BINARY, feed, signal}).exitStatus, 0)
            << signal;
    }
}

}  // namespace
}  // namespace fernbeacon::app
