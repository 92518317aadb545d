#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "core/SessionRecords.h"
#include "core/Text.h"

namespace fernbeacon {
namespace {

std::string repeated(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

TEST(CleanText, DropsMarkupNotesAndCaveatsAndFoldsTheRestIntoOneTrimmedLine) {
    const struct {
        const char* input;
        std::optional<std::string> expected;
    } cases[] = {
        // Tag pairs go with their content, across lines; the shortest pair first.
        {"before <note>\nhidden\nlines\n</note> after", "before after"},
        {"<a>x</a> keep <a>y</a>", "keep"},
        {"<command-name>/clear</command-name>", std::nullopt},
        {"<a>x</b> y", "x y"},  // names differ: only the tags go
        // So does anything between less and greater than.
        {"a < b and c > d", "a d"},
        {"a < b", "a < b"},
        {"[Request interrupted by user] go on", "go on"},
        {"first\nCaveat: middle\nlast", "first last"},
        {" Caveat: not at the line start", "Caveat: not at the line start"},
        // Line feeds join, runs of spaces fold, and only spaces and tabs are trimmed.
        {"a    b", "a b"},
        {"a\t\tb", "a\t\tb"},
        {"\u00A0\u3000text\u2003\t", "text"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cleanText(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(PrefixGraphemes, CountsACarriageReturnAndLineFeedAsOneCharacter) {
    EXPECT_EQ(prefixGraphemes("\r\nab", 2), "\r\na");
    EXPECT_EQ(prefixGraphemes("ab\r", 3), "ab\r");
}

// The tag-pair step scans the rest of the text for each unclosed tag, and gives up after a fixed
// number of engine steps: four times as many tags then cost about the same, not sixteen times.
// The two sizes are timed in turns and the best of each kept, so a busy machine slows both alike.
TEST(CleanText, UnclosedTagsCostBoundedTime) {
    const std::string texts[] = {repeated("<a>", 16000) + " tail",
                                 repeated("<a>", 64000) + " tail"};
    std::chrono::nanoseconds best[] = {std::chrono::hours(1), std::chrono::hours(1)};
    for (int round = 0; round < 2; ++round) {
        for (int i : {0, 1}) {
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(cleanText(texts[i]), "tail");
            best[i] = std::min(best[i], std::chrono::steady_clock::now() - start);
        }
    }
    EXPECT_LT(best[1], best[0] * 4);
}

std::optional<std::string> titleOf(std::optional<std::string> summary,
                                   std::optional<std::string> firstPrompt = std::nullopt) {
    return displayTitleFor(std::nullopt, summary, std::nullopt, firstPrompt);
}

// Characters as users see them, not bytes or code points.
TEST(DisplayTitle, KeepsFortyFiveCharactersAndCutsFortySixToFortyTwoAndDots) {
    for (const std::string unit : {"a", "e\u0301", "\U0001F468\u200D\U0001F469\u200D\U0001F467"}) {
        EXPECT_EQ(titleOf(repeated(unit, 45)), repeated(unit, 45));
        EXPECT_EQ(titleOf(repeated(unit, 46)), repeated(unit, 42) + "...");
    }
}

TEST(DisplayTitle, TakesTheFirstOfCustomTitleSummaryAiTitleAndPromptThatCleansToText) {
    EXPECT_EQ(titleOf("<command-name>/clear</command-name>", "Fix the build"), "Fix the build");
    EXPECT_EQ(titleOf("<b>markup</b>", "<i>only</i>"), std::nullopt);
    EXPECT_EQ(displayTitleFor("<b>x</b>", "Summary", "AI", "Prompt"), "Summary");
    EXPECT_EQ(displayTitleFor("Mine", "Summary", "AI", "Prompt"), "Mine");
    EXPECT_EQ(displayTitleFor(std::nullopt, std::nullopt, "AI", "Prompt"), "AI");
}

TEST(DetailLine, LeavesOutADetachedHeadAndAnEmptyModel) {
    ClaudeSession session(1, std::nullopt, std::nullopt, "iTerm2");
    session.gitBranch = "main";
    session.model = "opus";
    session.processUptime = "3 hrs";
    session.gitBranch = "HEAD";
    EXPECT_EQ(session.detailLine(), "iTerm2  \u00B7  opus  \u00B7  3 hrs");
    session.gitBranch = "head";
    session.model = "";
    EXPECT_EQ(session.detailLine(), "iTerm2  \u00B7  head  \u00B7  3 hrs");
}

}  // namespace
}  // namespace fernbeacon
