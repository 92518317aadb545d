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
    RecentSession recent{"Summary", "Prompt", "/p", Instant{}, std::nullopt, std::nullopt};
    recent.customTitle = "<b>x</b>";
    recent.aiTitle = "AI";
    EXPECT_EQ(recent.displayTitle(), "Summary");
    recent.customTitle = "Mine";
    EXPECT_EQ(recent.displayTitle(), "Mine");
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
