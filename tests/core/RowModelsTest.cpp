#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/RowModels.h"

namespace fernbeacon {
namespace {

using LineText = std::pair<std::string, ColorRole>;

std::vector<LineText> labels(const RowModel& row) {
    std::vector<LineText> out;
    for (const RowLine& line : row.lines) {
        out.emplace_back(line.label.text, line.label.color);
        if (line.badge) {
            out.emplace_back(line.badge->label.text, line.badge->label.color);
        }
    }
    return out;
}

TEST(SessionRow, LinesInOrderForWhatIsKnown) {
    const RowModel bare = sessionRowModel(ClaudeSession(1, std::nullopt, std::nullopt, "iTerm2"));
    EXPECT_EQ(labels(bare), (std::vector<LineText>{{"claude", ColorRole::Text},
                                                   {"iTerm2", ColorRole::TertiaryText}}));
    EXPECT_FALSE(bare.lines[0].bar);

    ClaudeSession session(1, "pts/1", "/home/me/spotter/", "Cursor");
    session.summary = "Speed work";
    session.gitBranch = "main";
    session.contextTokensUsed = 150000;
    const RowModel row = sessionRowModel(session);
    EXPECT_EQ(labels(row),
              (std::vector<LineText>{{"spotter", ColorRole::Text},
                                     {"Cursor", ColorRole::SecondaryText},
                                     {"Speed work", ColorRole::SecondaryText},
                                     {"150k / 200k tokens (75%)", ColorRole::TertiaryText},
                                     {"Cursor  \u00B7  main", ColorRole::TertiaryText}}));
    // Without a maximum the bar counts against 200000.
    ASSERT_TRUE(row.lines[2].bar);
    EXPECT_DOUBLE_EQ(row.lines[2].bar->progress, 0.75);
}

TEST(SessionRow, BadgeOnlyForEditors) {
    for (const char* terminal : {"VS Code", "Cursor"}) {
        EXPECT_TRUE(sessionRowModel(ClaudeSession(1, std::nullopt, "/a", terminal)).lines[0].badge)
            << terminal;
    }
    for (const char* terminal : {"vs code", "Cursor "}) {
        EXPECT_FALSE(sessionRowModel(ClaudeSession(1, std::nullopt, "/a", terminal)).lines[0].badge)
            << terminal;
    }
}

TEST(RecentRow, FolderNameAndTitle) {
    RecentSession session{std::nullopt, "Add tests", "/srv/tools/", Instant{}, 3, "main"};
    EXPECT_EQ(labels(recentSessionRowModel(session)),
              (std::vector<LineText>{{"tools", ColorRole::SecondaryText},
                                     {"Add tests", ColorRole::TertiaryText}}));
    session.firstPrompt.reset();
    EXPECT_EQ(labels(recentSessionRowModel(session)).size(), 1u);
}

TEST(ContextBar, FillWidthAndColourAroundTheThreshold) {
    struct Case {
        double progress;
        double width;
        RoleColor fill;
        RoleColor highlightedFill;
    };
    const RoleColor accent{ColorRole::Accent};
    const RoleColor selected{ColorRole::HighlightedText, 0.5};
    const RoleColor orange{ColorRole::Warning};
    const RoleColor paleOrange{ColorRole::Warning, 0.9};
    for (const Case& c :
         {Case{0.0, 0.0, accent, selected}, Case{0.5, 40.0, accent, selected},
          Case{0.8, 64.0, accent, selected}, Case{0.8001, 64.008, orange, paleOrange},
          Case{1.7, 80.0, orange, paleOrange}}) {
        const ContextBarModel bar{c.progress};
        EXPECT_NEAR(bar.fillWidth(80), c.width, 1e-9) << c.progress;
        EXPECT_EQ(bar.fillColor(false), c.fill) << c.progress;
        EXPECT_EQ(bar.fillColor(true), c.highlightedFill) << c.progress;
    }
    const ContextBarModel bar{0.3};
    EXPECT_EQ(bar.trackColor(false), (RoleColor{ColorRole::FaintText}));
    EXPECT_EQ(bar.trackColor(true), (RoleColor{ColorRole::HighlightedText, 0.2}));
    EXPECT_EQ(ContextBarModel{-0.5}.fillWidth(80), 0.0);
    EXPECT_EQ(ContextBarModel{std::numeric_limits<double>::quiet_NaN()}.fillWidth(80), 0.0);
}

TEST(ContextBar, ProgressFromTheSession) {
    ClaudeSession session(1, std::nullopt, "/a", std::nullopt);
    EXPECT_FALSE(contextProgress(session));
    session.contextTokensUsed = 50000;
    session.contextTokensMax = 100000;
    EXPECT_DOUBLE_EQ(*contextProgress(session), 0.5);
    // An impossible zero maximum reads as nothing used, as the context label does.
    session.contextTokensMax = 0;
    EXPECT_EQ(*contextProgress(session), 0.0);
    EXPECT_EQ(*session.contextLabel(), "50k / 0k tokens (0%)");
}

}  // namespace
}  // namespace fernbeacon
