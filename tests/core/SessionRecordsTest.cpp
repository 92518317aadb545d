#include <gtest/gtest.h>

#include <string>

#include "core/SessionRecords.h"

namespace fernbeacon {
namespace {

std::string repeated(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

std::optional<std::string> titleOf(std::optional<std::string> summary,
                                   std::optional<std::string> firstPrompt = std::nullopt) {
    return displayTitleFor(std::nullopt, summary, std::nullopt, firstPrompt);
}

TEST(DisplayTitle, KeepsFortyFiveCharactersAndCutsFortySixToFortyTwoAndDots) {
    EXPECT_EQ(titleOf(repeated("a", 45)), repeated("a", 45));
    EXPECT_EQ(titleOf(repeated("a", 46)), repeated("a", 42) + "...");
}

TEST(DisplayTitle, CountsUserPerceivedCharactersNotBytesOrCodePoints) {
    const std::string decomposedE = "e\u0301";
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    const std::string flag = "\U0001F1EB\U0001F1F7";
    for (const std::string& unit : {std::string("\u00E9"), decomposedE, family, flag}) {
        EXPECT_EQ(titleOf(repeated(unit, 45)), repeated(unit, 45));
        EXPECT_EQ(titleOf(repeated(unit, 46)), repeated(unit, 42) + "...");
    }
}

TEST(DisplayTitle, FallsBackToThePromptWhenTheSummaryCleansToNothing) {
    EXPECT_EQ(titleOf("<command-name>/clear</command-name>", "Fix the build"), "Fix the build");
    EXPECT_EQ(titleOf(std::nullopt, " Fix <b>this</b>  now "), "Fix now");
    EXPECT_EQ(titleOf("<b>markup</b>", "<i>only</i>"), std::nullopt);
    EXPECT_EQ(titleOf(std::nullopt), std::nullopt);
    EXPECT_EQ(titleOf("Summary wins", "prompt"), "Summary wins");
}

TEST(ContextLabel, TruncatesAndDoesNotClamp) {
    ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(session.contextLabel(), std::nullopt);
    const struct {
        std::int64_t used;
        std::optional<std::int64_t> max;
        const char* label;
    } cases[] = {
        {45678, 200000, "45k / 200k tokens (22%)"},
        {250000, 200000, "250k / 200k tokens (125%)"},
        {2000, 3000, "2k / 3k tokens (66%)"},
        {100000, std::nullopt, "100k / 200k tokens (50%)"},
    };
    for (const auto& c : cases) {
        session.contextTokensUsed = c.used;
        session.contextTokensMax = c.max;
        EXPECT_EQ(session.contextLabel(), c.label) << c.used;
    }
}

TEST(DetailLine, JoinsKnownFactsAndLeavesOutADetachedHead) {
    ClaudeSession session(1, std::nullopt, std::nullopt, "iTerm2");
    session.gitBranch = "main";
    session.model = "opus";
    session.processUptime = "3 hrs";
    EXPECT_EQ(session.detailLine(), "iTerm2  \u00B7  main  \u00B7  opus  \u00B7  3 hrs");
    session.gitBranch = "HEAD";
    EXPECT_EQ(session.detailLine(), "iTerm2  \u00B7  opus  \u00B7  3 hrs");
    session.gitBranch = "head";
    session.model = "";
    EXPECT_EQ(session.detailLine(), "iTerm2  \u00B7  head  \u00B7  3 hrs");

    ClaudeSession bare(2, std::nullopt, std::nullopt, std::nullopt);
    bare.gitBranch = "HEAD";
    EXPECT_EQ(bare.detailLine(), "");
}

}  // namespace
}  // namespace fernbeacon
