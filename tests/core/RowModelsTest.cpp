#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/RowModels.h"

namespace fernbeacon {
namespace {

struct LineText {
    std::string text;
    int size;
    FontWeight weight;
    ColorRole color;
    bool operator==(const LineText&) const = default;
};

std::vector<LineText> labels(const RowModel& row) {
    std::vector<LineText> out;
    for (const RowLine& line : row.lines) {
        out.push_back({line.label.text, line.label.fontSize, line.label.weight, line.label.color});
        if (line.badge) {
            const LabelModel& badge = line.badge->label;
            out.push_back({badge.text, badge.fontSize, badge.weight, badge.color});
        }
    }
    return out;
}

TEST(SessionRow, BareSessionShowsOnlyTheNameClaude) {
    ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
    const RowModel row = sessionRowModel(session);
    ASSERT_EQ(row.lines.size(), 1u);
    EXPECT_EQ(row.lines[0].label.text, "claude");
    EXPECT_FALSE(row.lines[0].badge);
    EXPECT_FALSE(row.lines[0].bar);
}

TEST(SessionRow, FullSessionLinesInOrderWithFontsAndColours) {
    ClaudeSession session(1, "pts/1", "/home/me/spotter/", "Cursor");
    session.summary = "Speed work";
    session.gitBranch = "main";
    session.contextTokensUsed = 150000;
    const RowModel row = sessionRowModel(session);
    ASSERT_EQ(row.lines.size(), 4u);

    EXPECT_EQ(labels(row),
              (std::vector<LineText>{
                  {"spotter", 13, FontWeight::Semibold, ColorRole::Label},
                  {"Cursor", 9, FontWeight::Medium, ColorRole::SecondaryLabel},
                  {"Speed work", 11, FontWeight::Regular, ColorRole::SecondaryLabel},
                  {"150k / 200k tokens (75%)", 10, FontWeight::Regular, ColorRole::TertiaryLabel},
                  {"Cursor  \u00B7  main", 10, FontWeight::Regular, ColorRole::TertiaryLabel}}));
    EXPECT_TRUE(row.lines[1].label.truncateTail);
    // Without a maximum the bar counts against 200000.
    ASSERT_TRUE(row.lines[2].bar);
    EXPECT_DOUBLE_EQ(row.lines[2].bar->progress, 0.75);
}

TEST(SessionRow, BadgeOnlyForEditors) {
    for (const char* terminal : {"VS Code", "Cursor"}) {
        EXPECT_TRUE(sessionRowModel(ClaudeSession(1, std::nullopt, "/a", terminal)).lines[0].badge)
            << terminal;
    }
    for (const char* terminal : {"Terminal", "iTerm2", "vs code", "Cursor "}) {
        EXPECT_FALSE(sessionRowModel(ClaudeSession(1, std::nullopt, "/a", terminal)).lines[0].badge)
            << terminal;
    }
}

TEST(RecentRow, FolderNameAndDimmerTitle) {
    RecentSession session{std::nullopt, "Add tests", "/srv/tools/", Instant{}, 3, "main"};
    const RowModel row = recentSessionRowModel(session);
    const auto texts = labels(row);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "tools");
    EXPECT_EQ(texts[0].color, ColorRole::SecondaryLabel);
    EXPECT_EQ(texts[0].weight, FontWeight::Semibold);
    EXPECT_EQ(texts[1].text, "Add tests");
    EXPECT_EQ(texts[1].color, ColorRole::TertiaryLabel);

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
    const RoleColor accent{ColorRole::ControlAccent};
    const RoleColor white{ColorRole::White, 0.5};
    const RoleColor orange{ColorRole::SystemOrange};
    const RoleColor paleOrange{ColorRole::SystemOrange, 0.9};
    for (const Case& c : {Case{0.0, 0.0, accent, white}, Case{0.5, 40.0, accent, white},
                          Case{0.8, 64.0, accent, white}, Case{0.8001, 64.008, orange, paleOrange},
                          Case{1.7, 80.0, orange, paleOrange}}) {
        const ContextBarModel bar{c.progress};
        EXPECT_NEAR(bar.fillWidth(80), c.width, 1e-9) << c.progress;
        EXPECT_EQ(bar.fillColor(false), c.fill) << c.progress;
        EXPECT_EQ(bar.fillColor(true), c.highlightedFill) << c.progress;
    }
    const ContextBarModel bar{0.3};
    EXPECT_EQ(bar.trackColor(false), (RoleColor{ColorRole::QuaternaryLabel}));
    EXPECT_EQ(bar.trackColor(true), (RoleColor{ColorRole::White, 0.2}));
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
