#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <utility>

#include "app/Watch.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::app {
namespace {

using std::chrono::milliseconds;

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
    const std::string json = watchLine(scan, WatchFormat::Json);
    EXPECT_TRUE(json.starts_with(R"({"statusTitle": "FB 2", "live": [{"pid": 10,)")) << json;
    EXPECT_EQ(json.find('\n'), std::string::npos);
}

// The program with its standard output on a pipe this test reads; the refresh every 50 ms.
class WatchProcess {
public:
    explicit WatchProcess(const std::string& format) {
        const test::ScopedEnvironment interval("FERNBEACON_REFRESH_MS", "50");
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        process_ = test::Child(
            {"/bin/sh", "-c", "exec \"$0\" watch $1 >&3", FERNBEACON_BINARY, format}, ends[1]);
        ::close(ends[1]);
        reader_ = ends[0];
    }
    ~WatchProcess() { closeReader(); }

    pid_t pid() const { return process_.pid(); }
    void closeReader() {
        if (reader_ >= 0) {
            ::close(std::exchange(reader_, -1));
        }
    }

    // The next line, or empty when none came within the limit.
    std::string nextLine(milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::string line;
        char c = 0;
        pollfd entry{reader_, POLLIN, 0};
        while (::poll(&entry, 1, 50) >= 0 && std::chrono::steady_clock::now() < deadline) {
            if ((entry.revents & (POLLIN | POLLHUP)) == 0) {
                continue;
            }
            if (::read(reader_, &c, 1) != 1) {
                break;
            }
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return {};
    }

    // Reads lines until one satisfies `wanted`; false when none did in time.
    bool lineWhere(const std::function<bool(const std::string&)>& wanted) {
        for (std::string line = nextLine(); !line.empty(); line = nextLine()) {
            if (wanted(line)) {
                return true;
            }
        }
        return false;
    }

    // The exit status once it exited by itself within the limit; the child stays to be reaped.
    std::optional<int> exitStatus(milliseconds limit = std::chrono::seconds(5)) const {
        siginfo_t info{};
        const bool exited = test::waitUntil(
            [&] {
                return ::waitid(P_PID, static_cast<id_t>(pid()), &info,
                                WEXITED | WNOHANG | WNOWAIT) == 0 &&
                       info.si_pid == pid();
            },
            limit);
        return exited && info.si_code == CLD_EXITED ? std::optional(info.si_status) : std::nullopt;
    }

private:
    test::Child process_;
    int reader_ = -1;
};

TEST(WatchCommand, WaybarFeedFollowsASessionAndEndsWithItsReader) {
    const test::TempHome home;
    const test::ScopedEnvironment config("XDG_CONFIG_HOME", home.path(".config").string());
    test::TempTree work;
    const auto directory = work.makeDirectory("watched-folder");
    const auto binary = work.path("bin/claude");
    std::filesystem::create_directories(binary.parent_path());
    std::filesystem::copy_file("/bin/sleep", binary);
    const auto mentionsOurs = [](const std::string& line) {
        return line.find("watched-folder") != std::string::npos;
    };

    WatchProcess watch("--waybar");
    const std::string first = watch.nextLine();
    EXPECT_TRUE(first.starts_with(R"({"text": "FB)")) << first;
    EXPECT_FALSE(mentionsOurs(first));

    test::Child claude({binary.string(), "60"}, -1, directory);
    EXPECT_TRUE(watch.lineWhere(mentionsOurs));
    claude = test::Child();
    EXPECT_TRUE(watch.lineWhere([&](const std::string& line) { return !mentionsOurs(line); }));

    // As `| head -3` does once it has its lines: the feed ends without writing another.
    watch.closeReader();
    EXPECT_EQ(watch.exitStatus(), 0);
}

TEST(WatchCommand, StopSignalsEndItWithStatusZero) {
    const test::TempHome home;
    const test::ScopedEnvironment config("XDG_CONFIG_HOME", home.path(".config").string());
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        WatchProcess watch("--json");
        ASSERT_FALSE(watch.nextLine().empty());
        ::kill(watch.pid(), signal);
        EXPECT_EQ(watch.exitStatus(), 0) << signal;
    }
}

}  // namespace
}  // namespace fernbeacon::app
