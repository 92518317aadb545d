#include "platform/linux/ProcProbes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <future>

#include "platform/linux/ProcTerminalSources.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

using namespace std::chrono_literals;

// A /proc/<pid>/stat line as the kernel writes it, with the fields the probes read.
std::string statLine(std::int32_t pid, std::string_view comm, std::int32_t ppid,
                     std::int64_t ttyNumber, std::uint64_t startTicks) {
    return std::to_string(pid) + " (" + std::string(comm) + ") S " + std::to_string(ppid) +
           " 100 100 " + std::to_string(ttyNumber) + " -1 4194304 100 0 0 0 0 0 0 0 20 0 1 0 " +
           std::to_string(startTicks) +
           " 3133440 409 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
}

std::uint64_t ticks(std::uint64_t seconds) {
    return seconds * static_cast<std::uint64_t>(::sysconf(_SC_CLK_TCK));
}

// The lines the kernel writes are the fake /proc's below; a line cut short is none of them.
TEST(ParseProcStat, RefusesALineCutShort) {
    EXPECT_FALSE(parseProcStat("42 (claude) S 1 100 100 0"));
}

TEST(TerminalNameForDeviceNumber, NamesDevicesAsPsDoes) {
    const struct {
        unsigned major;
        unsigned minor;
        std::optional<std::string> expected;
    } cases[] = {
        {136, 300, "pts/300"},  {137, 2, "pts/258"},  {143, 255, "pts/2047"},
        {4, 63, "tty63"},       {4, 64, "ttyS0"},     {135, 0, std::nullopt},
        {144, 0, std::nullopt}, {5, 1, std::nullopt}, {0, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(terminalNameForDeviceNumber(makedev(c.major, c.minor)), c.expected)
            << c.major << ":" << c.minor;
    }
}

// A /proc tree made by the test.
class FakeProc : public testing::Test {
protected:
    void process(std::int32_t pid, std::string_view comm, std::int32_t ppid,
                 std::int64_t ttyNumber = 0, std::uint64_t startTicks = 0) {
        tree_.write(std::to_string(pid) + "/stat",
                    statLine(pid, comm, ppid, ttyNumber, startTicks));
    }
    void link(const std::string& relative, const std::filesystem::path& target) {
        std::filesystem::create_directories(tree_.path(relative).parent_path());
        std::filesystem::remove(tree_.path(relative));
        std::filesystem::create_symlink(target, tree_.path(relative));
    }

    test::TempTree tree_;
    test::RecordingLogger logger_;
    ProcProbes probes_{logger_, tree_.root()};
};

TEST_F(FakeProc, FindsTheProcessesNamedExactlyClaude) {
    std::int32_t pid = 10;
    for (const char* name : {"claude", "claudex", "Claude", "claude "}) {
        process(pid++, name, 1);
    }
    process(20, "claude", 10);
    tree_.write("16/stat", "garbage");
    process(0, "claude", 1);
    auto pids = probes_.findClaudePIDs();
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (std::vector<std::int32_t>{10, 20}));

    EXPECT_TRUE(ProcProbes(logger_, tree_.path("missing")).findClaudePIDs().empty());
}

TEST_F(FakeProc, ListsTheProcessTableAndTheEnvironmentOfOwnProcesses) {
    process(12, "tmux: server", 1);
    process(13, "bash", 12, 34817);  // major 136, minor 1
    tree_.write("14/stat", "garbage");
    auto rows = ProcProcessTable(tree_.root()).processRows();
    std::ranges::sort(rows, {}, &ProcessRow::pid);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].tty, std::nullopt);
    EXPECT_EQ(rows[0].command, "tmux: server");
    EXPECT_EQ(rows[1].tty, "pts/1");
    EXPECT_EQ(rows[1].ppid, 12);

    using namespace std::string_literals;
    tree_.write("20/environ", "TMUX=/tmp/tmux-1/default,5,0\0TMUX_PANE=%3\0"s);
    EXPECT_EQ(ProcEnvironment(tree_.root()).environmentOf(20).at("TMUX_PANE"), "%3");
    EXPECT_TRUE(ProcEnvironment(tree_.root()).environmentOf(21).empty());
    // Root may read every environment; another user's process is still none of ours.
    tree_.write("22/environ", "TMUX_PANE=%9\0"s);
    if (::chown(tree_.path("22").c_str(), ::getuid() + 1, ::getgid()) == 0) {
        EXPECT_TRUE(ProcEnvironment(tree_.root()).environmentOf(22).empty());
    }
}

TEST_F(FakeProc, NamesTheTerminalFromTheDeviceNumberElseAnOpenDescriptor) {
    process(20, "claude", 1, makedev(136, 3));
    EXPECT_EQ(probes_.ttyForPID(20), "pts/3");
    EXPECT_EQ(probes_.ttyForPID(23), std::nullopt);

    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    process(30, "claude", 1, static_cast<std::int64_t>(null.st_rdev));
    link("30/fd/2", "/dev/zero");
    EXPECT_EQ(probes_.ttyForPID(30), std::nullopt);  // ps would print a number; we give nothing
    link("30/fd/0", "/dev/null");
    EXPECT_EQ(probes_.ttyForPID(30), "null");
}

TEST_F(FakeProc, ReadsAnAbsoluteUtf8WorkingDirectory) {
    const std::string deep = "/" + std::string(300, 'd') + "/" + std::string(300, 'e');
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"/home/me/my project", "/home/me/my project"},
        {"relative/path", std::nullopt},
        {"/home/me/caf\xE9", std::nullopt},
        {deep, deep},
    };
    for (const auto& [target, expected] : cases) {
        link("40/cwd", target);
        EXPECT_EQ(probes_.workingDirectoryForPID(40), expected) << target;
    }
    EXPECT_EQ(probes_.workingDirectoryForPID(44), std::nullopt);
}

TEST_F(FakeProc, WalksTheParentsThatStartedBeforeTheProcess) {
    process(300, "konsole", 1);
    process(400, "bash", 300);
    process(42, "claude", 400);
    process(500, "tmux: server", 1);
    process(43, "claude", 500);
    EXPECT_EQ(probes_.terminalAppForPID(42), "Konsole");
    EXPECT_EQ(probes_.terminalAppForPID(43), "tmux");
    EXPECT_EQ(probes_.terminalAppForPID(47), std::nullopt);

    process(60, "claude", 61, 0, 1000);
    process(61, "konsole", 1, 0, 1000);
    EXPECT_EQ(probes_.terminalAppForPID(60), "Konsole");
    // The parent went and a later process took its ID.
    process(61, "konsole", 1, 0, 1001);
    EXPECT_EQ(probes_.terminalAppForPID(60), std::nullopt);
}

TEST_F(FakeProc, CountsTheUptimeInTicksAsPsDoes) {
    const std::uint64_t now = ticks(3725) + ticks(1) / 4;
    tree_.write("uptime", "3725.25 1000.00\n");
    process(50, "claude", 1, 0, ticks(5));
    process(51, "claude", 1, 0, now - ticks(1) * 2 / 5);
    process(52, "claude", 1, 0, now - ticks(42));
    process(54, "claude", 1, 0, ticks(9999));
    EXPECT_EQ(probes_.elapsedTimeText(50), "01:02:00");
    EXPECT_EQ(probes_.uptimeForPID(50), "1 hr");
    // Started 0.4 s ago, in the previous whole second since boot: still no second old.
    EXPECT_EQ(probes_.elapsedTimeText(51), "00:00");
    EXPECT_EQ(probes_.elapsedTimeText(52), "00:42");
    EXPECT_EQ(probes_.uptimeForPID(52), "<1 min");
    // Started after "now": clock skew between the two files, not a negative age.
    EXPECT_EQ(probes_.elapsedTimeText(54), "00:00");
    EXPECT_EQ(probes_.uptimeForPID(55), std::nullopt);

    for (const char* unusable : {"soon\n", "-5.00 1.00\n", "inf 1.00\n", "1e300 1.00\n"}) {
        tree_.write("uptime", unusable);
        EXPECT_EQ(probes_.uptimeForPID(50), std::nullopt) << unusable;
    }
}

TEST_F(FakeProc, FactsComeFromTheListedClaudeProcessOrNotAtAll) {
    tree_.write("uptime", "100.00 50.00\n");
    process(70, "claude", 71, makedev(136, 4), ticks(40));
    process(71, "konsole", 1, 0, ticks(30));
    link("70/cwd", "/home/me/first");
    using namespace std::string_literals;
    tree_.write("70/environ", "CLAUDE_CONFIG_DIR=/srv/c\0CLAUDE_CODE_DISABLE_1M_CONTEXT=1\0"s);
    const ProcessFacts facts = probes_.factsForPID(70);
    EXPECT_EQ(facts.startTime, std::to_string(ticks(40)));
    EXPECT_EQ(facts.configDirectory, "/srv/c");
    EXPECT_EQ(facts.millionContextDisabled, "1");
    EXPECT_EQ(facts.tty, "pts/4");
    EXPECT_EQ(facts.workingDirectory, "/home/me/first");
    EXPECT_EQ(facts.terminalApp, "Konsole");
    EXPECT_EQ(facts.uptime, "1 min");

    // Gone, and its ID reused by another program before the facts were asked.
    process(70, "bash", 71, makedev(136, 4), ticks(90));
    const ProcessFacts reused = probes_.factsForPID(70);
    EXPECT_EQ(reused.workingDirectory, std::nullopt);
    EXPECT_EQ(reused.startTime, std::nullopt);
}

TEST_F(FakeProc, AProcessReplacedWhileItsFactsAreReadGivesNone) {
    // The parent's stat is a FIFO: the probe waits there, after reading the working directory,
    // until the test has replaced the process.
    process(80, "claude", 81, 0, 500);
    link("80/cwd", "/home/me/old");
    const auto fifo = tree_.makeDirectory("81") / "stat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto facts = std::async(std::launch::async, [this] { return probes_.factsForPID(80); });
    // Opens without waiting once the probe has opened it to read.
    const auto openToWrite = [&] {
        return ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    };
    int parent = -1;
    const bool reached = test::waitUntil([&] { return (parent = openToWrite()) >= 0; });
    process(80, "claude", 81, 0, 900);
    const std::string stat = statLine(81, "konsole", 1, 0, 100);
    EXPECT_EQ(::write(parent, stat.data(), stat.size()), static_cast<ssize_t>(stat.size()));
    ::close(parent);
    // Whatever waits at the FIFO later reads nothing, so that the probe always ends.
    const bool ended = test::waitUntil([&] {
        ::close(openToWrite());
        return facts.wait_for(0s) == std::future_status::ready;
    });
    ASSERT_TRUE(reached && ended) << "the probe never read the parent's stat, or never ended";
    const ProcessFacts got = facts.get();
    EXPECT_EQ(got.workingDirectory, std::nullopt);
    EXPECT_EQ(got.terminalApp, std::nullopt);
}

}  // namespace
}  // namespace fernbeacon::platform
