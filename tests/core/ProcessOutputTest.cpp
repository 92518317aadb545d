#include "core/ProcessOutput.h"

#include <gtest/gtest.h>

#include <limits>

namespace fernbeacon {
namespace {

using Pids = std::vector<std::int32_t>;

TEST(ParseInt32, AcceptsASignThenDigitsOnly) {
    const struct {
        std::string_view text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {"812", 812},
        {"+812", 812},
        {"-812", -812},
        {"2147483647", std::numeric_limits<std::int32_t>::max()},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"+-1", std::nullopt},
        {" 812", std::nullopt},
        {"812 ", std::nullopt},
        {"0x10", std::nullopt},
        {"PID", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseInt32(c.text), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(parseInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parseInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parseInt64("9223372036854775808"), std::nullopt);
}

TEST(ParsePgrepOutput, ReadsOneIdPerLineAndSkipsTheRest) {
    const struct {
        std::string_view output;
        Pids expected;
    } cases[] = {
        {"812\n813\n", {812, 813}},
        {"  812 \r\n\n\t813\n", {812, 813}},
        {"812\n812\n", {812, 812}},
        {"", {}},
        {"\n \n\t\n", {}},
        {"pgrep: no matching criteria specified\nTry `pgrep --help' for more information.\n", {}},
        {"812\nnot a pid\n9999999999\n813\n", {812, 813}},
        {"812 813\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parsePgrepOutput(c.output), c.expected) << c.output;
    }
}

TEST(ParseClaudeLinesOfPs, KeepsOnlyProcessesNamedClaude) {
    const std::string_view output =
        "  PID COMM\n"
        "    1 /sbin/launchd\n"
        "  812 /usr/local/bin/claude\n"
        "  813 claude\n"
        "  814 claudex\n"
        "  815 node\n"
        "  816 /opt/claude/bin/claude-helper\n"
        "  817 claude  \n"
        "\n";
    EXPECT_EQ(parseClaudeLinesOfPs(output), (Pids{812, 813, 817}));

    EXPECT_EQ(parseClaudeLinesOfPs(""), Pids{});
    EXPECT_EQ(parseClaudeLinesOfPs("   \n\n"), Pids{});
    EXPECT_EQ(parseClaudeLinesOfPs("  PID COMMAND\n"), Pids{});
    // A line ending in claude whose first column is no number.
    EXPECT_EQ(parseClaudeLinesOfPs("ps: user claude\nx /claude\n"), Pids{});
    EXPECT_EQ(parseClaudeLinesOfPs("/claude\n"), Pids{});
}

TEST(ParseParentTable, SplitsIdParentAndACommandThatMayHoldSpaces) {
    // Real Linux output: right-aligned number columns, a command column with spaces.
    const std::string_view output =
        "  PID  PPID COMMAND\n"
        "    1     0 systemd\n"
        "  700     1 tmux: server\n"
        "  812   700 claude\n"
        " 4321   812 gnome-terminal-\n"
        "12345     1  two spaces\n"
        "   77    1\n"
        "   x     1 bad\n"
        "   78    y bad\n"
        "\n";
    const auto table = parseParentTable(output);
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(table.at(1).ppid, 0);
    EXPECT_EQ(table.at(1).name, "systemd");
    EXPECT_EQ(table.at(700).ppid, 1);
    EXPECT_EQ(table.at(700).name, "tmux: server");
    EXPECT_EQ(table.at(812).ppid, 700);
    EXPECT_EQ(table.at(4321).name, "gnome-terminal-");
    // Spaces after the one that ends the parent ID belong to the command.
    EXPECT_EQ(table.at(12345).name, " two spaces");
}

TEST(ParseParentTable, ALaterRowForTheSameIdReplacesTheEarlierOne) {
    const auto table = parseParentTable("  5  1 old\n  5  2 /Applications/Terminal.app/x\n");
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.at(5).ppid, 2);
    EXPECT_EQ(table.at(5).name, "/Applications/Terminal.app/x");
}

TEST(ParseParentTable, GivesNothingForEmptyOrErrorOutput) {
    EXPECT_TRUE(parseParentTable("").empty());
    EXPECT_TRUE(parseParentTable(" \n\t\n").empty());
    EXPECT_TRUE(parseParentTable("  PID  PPID COMMAND\n").empty());
    EXPECT_TRUE(
        parseParentTable("ps: illegal option -- e\nusage: ps [-AaCcEefhjlMmrSTvwXx]\n").empty());
}

TEST(ParseTtyOutput, HonoursEachDesktopsNoTerminalMark) {
    EXPECT_EQ(parseTtyOutput("ttys004\n", "??"), "ttys004");
    EXPECT_EQ(parseTtyOutput("??\n", "??"), std::nullopt);
    EXPECT_EQ(parseTtyOutput("pts/3\n", "?"), "pts/3");
    EXPECT_EQ(parseTtyOutput("?       \n", "?"), std::nullopt);
    // Each mark means "none" only on its own desktop.
    EXPECT_EQ(parseTtyOutput("?\n", "??"), "?");
    EXPECT_EQ(parseTtyOutput("", "?"), std::nullopt);
    EXPECT_EQ(parseTtyOutput(" \n\t", "??"), std::nullopt);
}

TEST(ParseLsofCwdOutput, TakesThePathOfTheNameLine) {
    EXPECT_EQ(parseLsofCwdOutput("n/Users/me/project\n"), "/Users/me/project");
    EXPECT_EQ(parseLsofCwdOutput("n/\n"), "/");
    EXPECT_EQ(parseLsofCwdOutput("n/home/me/with space \n"), "/home/me/with space");
    EXPECT_EQ(parseLsofCwdOutput(""), std::nullopt);
    EXPECT_EQ(parseLsofCwdOutput("\n  \n"), std::nullopt);
    EXPECT_EQ(parseLsofCwdOutput("nrelative\n"), std::nullopt);
    EXPECT_EQ(parseLsofCwdOutput("lsof: no pwd entry for UID 501\n"), std::nullopt);
}

TEST(FormatElapsedTime, ShowsTheCoarsestUnitWithoutRounding) {
    const struct {
        std::string_view elapsed;
        std::string_view expected;
    } cases[] = {
        {"00:42", "<1 min"},
        {"01:10", "1 min"},
        {"05:07", "5 mins"},
        {"01:02:03", "1 hr"},
        {"00:59:59", "0 hrs"},
        {"12:00:00", "12 hrs"},
        {"1-02:03:04", "1 day"},
        {"3-00:00:00", "3 days"},
        {"0-05:00:00", "0 days"},
        {"   05:07\t", "5 mins"},
        // Text that is not an elapsed time comes back trimmed.
        {"42", "42"},
        {" 1:2:3:4 ", "1:2:3:4"},
        {"", ""},
        {"ab:cd", "ab:cd"},
        // Days that do not parse fall back to the colon form.
        {"x-05:07", "x-05:07"},
        {"--05:07", "--05:07"},
        {"99999999999999999999-00:00:00", "99999999999999999999-00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatElapsedTime(c.elapsed), c.expected) << '"' << c.elapsed << '"';
    }
    // Line breaks are not trimmed, so a leading one spoils the minutes.
    EXPECT_EQ(formatElapsedTime("\n05:07"), "\n05:07");
}

TEST(ElapsedTimeText, PrintsAsPsDoes) {
    EXPECT_EQ(elapsedTimeText(42), "00:42");
    EXPECT_EQ(elapsedTimeText(3599), "59:59");
    EXPECT_EQ(elapsedTimeText(3600), "01:00:00");
    EXPECT_EQ(elapsedTimeText(86399), "23:59:59");
    EXPECT_EQ(elapsedTimeText(86400), "1-00:00:00");
    EXPECT_EQ(elapsedTimeText(100 * 86400 + 3723), "100-01:02:03");
    // The two ends meet: every printed form reads back as the same unit.
    EXPECT_EQ(formatElapsedTime(elapsedTimeText(3 * 86400 + 5)), "3 days");
    EXPECT_EQ(formatElapsedTime(elapsedTimeText(59)), "<1 min");
}

}  // namespace
}  // namespace fernbeacon
