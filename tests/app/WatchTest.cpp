#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <utility>

#include "app/Watch.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::app {
namespace {

using std::chrono::steady_clock;

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

// The program on a test home, refreshing every 100 ms, its standard output a pipe read here.
class WatchProcess {
public:
    explicit WatchProcess(const std::string& format) {
        const test::ScopedEnvironment config("XDG_CONFIG_HOME", home_.path(".config").string());
        const test::ScopedEnvironment interval("FERNBEACON_REFRESH_MS", "100");
        int ends[2] = {-1, -1};
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        process_ = test::Child(
            {"/bin/sh", "-c", "exec \"$0\" watch $1 >&3", FERNBEACON_BINARY, format}, ends[1]);
        ::close(ends[1]);
        reader_ = ends[0];
    }
    ~WatchProcess() { closeReader(); }

    pid_t pid() const { return process_.pid(); }
    void closeReader() { ::close(std::exchange(reader_, -1)); }

    // The first line within 10 s; empty when none.
    std::string firstLine() {
        const auto deadline = steady_clock::now() + std::chrono::seconds(10);
        std::string line;
        pollfd entry{reader_, POLLIN, 0};
        char c = 0;
        while (steady_clock::now() < deadline) {
            if (::poll(&entry, 1, 50) < 1) {
                continue;
            }
            if (::read(reader_, &c, 1) != 1) {
                return {};
            }
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return {};
    }

    // Its exit status once it ended by itself within 10 s. Not reaped: the Child does that.
    std::optional<int> exitStatus() const {
        siginfo_t info{};
        const bool ended = test::waitUntil(
            [&] {
                return ::waitid(P_PID, static_cast<id_t>(pid()), &info,
                                WEXITED | WNOHANG | WNOWAIT) == 0 &&
                       info.si_pid == pid();
            },
            std::chrono::seconds(10));
        return ended && info.si_code == CLD_EXITED ? std::optional(info.si_status) : std::nullopt;
    }

private:
    const test::TempHome home_;
    test::Child process_;
    int reader_ = -1;
};

// What the feed writes on the way is StatusFeed's; here, how the process ends: as `| head -3`
// does once it has its lines, or by a stop signal.
TEST(WatchCommand, ALeavingReaderOrAStopSignalEndsItWithStatusZero) {
    for (const int signal : {0, SIGINT, SIGTERM, SIGPIPE}) {
        WatchProcess watch("--waybar");
        const std::string first = watch.firstLine();
        ASSERT_TRUE(first.starts_with(R"({"text": "FB)")) << first;
        if (signal == 0) {
            watch.closeReader();
        } else {
            ::kill(watch.pid(), signal);
        }
        EXPECT_EQ(watch.exitStatus(), 0) << signal;
    }
}

}  // namespace
}  // namespace fernbeacon::app
