#include "core/ProcessOutput.h"

#include <gtest/gtest.h>

#include <limits>

namespace fernbeacon {
namespace {

using Pids = std::vector<std::int32_t>;

// The fuzz targets compare the parsers with plain arithmetic; these are the telling cases.
TEST(ParseInt32, AcceptsASignThenDigitsOnly) {
    constexpr auto min = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(parseInt32("+812"), 812);
    EXPECT_EQ(parseInt32("-2147483648"), min);
    EXPECT_EQ(parseInt32("2147483648"), std::nullopt);
    EXPECT_EQ(parseInt32(" 812"), std::nullopt);
    EXPECT_EQ(parseInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
}

TEST(ParseToolOutput, KeepsWellFormedLinesAndSkipsTheRest) {
    EXPECT_EQ(parsePgrepOutput("  812 \r\n\n9999999999\n813 814\n\t815\n"), (Pids{812, 815}));

    EXPECT_EQ(parseClaudeLinesOfPs("  PID COMM\n"
                                   "  812 /usr/local/bin/claude\n"
                                   "  813 claude\n"
                                   "  814 claudex\n"
                                   "x /claude\n"),
              (Pids{812, 813}));

    EXPECT_EQ(parseTtyOutput("pts/3\n", "?"), "pts/3");
    EXPECT_EQ(parseTtyOutput("?       \n", "?"), std::nullopt);
    EXPECT_EQ(parseTtyOutput("?\n", "??"), "?");  // each mark means "none" on its own desktop

    EXPECT_EQ(parseLsofCwdOutput("n/home/me/with space \n"), "/home/me/with space");
    EXPECT_EQ(parseLsofCwdOutput("nrelative\n"), std::nullopt);
}

TEST(ParseParentTable, SplitsIdParentAndACommandThatMayHoldSpaces) {
    const auto table = parseParentTable(
        "  PID  PPID COMMAND\n"
        "  700     1 tmux: server\n"
        "12345     1  two spaces\n"
        "   77    1\n"
        "   78    y bad\n"
        "  700     2 later row wins\n");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(700).ppid, 2);
    EXPECT_EQ(table.at(700).command, "later row wins");
    // Spaces after the one that ends the parent ID belong to the command.
    EXPECT_EQ(table.at(12345).command, " two spaces");
}

TEST(ElapsedTime, PsFormsShowTheCoarsestUnitAndOtherTextComesBackTrimmed) {
    EXPECT_EQ(elapsedTimeText(100 * 86400 + 3723), "100-01:02:03");
    EXPECT_EQ(formatElapsedTime("   05:07\t"), "5 mins");
    EXPECT_EQ(formatElapsedTime("01:02:03"), "1 hr");
    EXPECT_EQ(formatElapsedTime("0-05:00:00"), "0 days");
    EXPECT_EQ(formatElapsedTime(" 1:2:3:4 "), "1:2:3:4");
}

}  // namespace
}  // namespace fernbeacon
