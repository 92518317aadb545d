#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/linux/ProcTerminalSources.h"
#include "support/TempTree.h"

namespace fernbeacon::platform {
namespace {

TEST(ProcProcessTable, ListsThisProcessWithItsParentAndTerminalAsPsNamesThem) {
    ProcProcessTable table;
    const auto rows = table.processRows();
    const auto self = std::find_if(rows.begin(), rows.end(),
                                   [](const ProcessRow& row) { return row.pid == ::getpid(); });
    ASSERT_NE(self, rows.end());
    EXPECT_EQ(self->ppid, ::getppid());
    EXPECT_TRUE(!self->tty || self->tty->starts_with("pts/") || self->tty->starts_with("tty"))
        << *self->tty;
    EXPECT_FALSE(self->command.empty());
}

TEST(ProcProcessTable, SkipsWhatIsNotAProcessOrDoesNotParse) {
    test::TempTree proc;
    proc.write("12/stat",
               "12 (tmux: server) S 1 12 12 0 -1 4194560 1 0 0 0 0 0 0 0 20 0 1 0 99 0 0 0 0\n");
    proc.write("13/stat",
               "13 (bash) S 12 13 13 34817 13 4194560 1 0 0 0 0 0 0 0 20 0 1 0 99 0 0 0 0\n");
    proc.write("14/stat", "garbage");
    proc.write("self/stat", "1 (x) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 99 0 0 0 0\n");
    auto rows = ProcProcessTable(proc.root()).processRows();
    std::sort(rows.begin(), rows.end(),
              [](const ProcessRow& a, const ProcessRow& b) { return a.pid < b.pid; });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].tty, std::nullopt);
    EXPECT_EQ(rows[0].command, "tmux: server");
    EXPECT_EQ(rows[1].tty, "pts/1");  // device 34817: major 136, minor 1
    EXPECT_EQ(rows[1].ppid, 12);
}

TEST(ProcEnvironment, ReadsTheBlockOfOwnProcesses) {
    test::TempTree proc;
    constexpr char kBlock[] = "TMUX=/tmp/tmux-1/default,5,0\0TMUX_PANE=%3\0BROKEN\0";
    proc.write("20/environ", std::string_view(kBlock, sizeof kBlock - 1));
    const auto environment = ProcEnvironment(proc.root()).environmentOf(20);
    EXPECT_EQ(environment.size(), 2u);
    EXPECT_EQ(environment.at("TMUX_PANE"), "%3");
    EXPECT_TRUE(ProcEnvironment(proc.root()).environmentOf(21).empty());
    if (::getuid() != 0) {
        EXPECT_TRUE(ProcEnvironment().environmentOf(1).empty());
    }
}

}  // namespace
}  // namespace fernbeacon::platform
