#include <gtest/gtest.h>

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

TEST(RowModels, LinesInOrderForWhatIsKnownWithABadgeForEditorsOnly) {
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

    RecentSession recent{std::nullopt, "Add tests", "/srv/tools/", Instant{}, 3, "main"};
    EXPECT_EQ(labels(recentSessionRowModel(recent)),
              (std::vector<LineText>{{"tools", ColorRole::SecondaryText},
                                     {"Add tests", ColorRole::TertiaryText}}));
}

TEST(RowModels, ContextBarFillAndColourAroundTheThreshold) {
    const RoleColor accent{ColorRole::Accent};
    const RoleColor warning{ColorRole::Warning};
    const struct {
        double progress;
        double width;
        RoleColor fill;
    } cases[] = {{0.8, 64.0, accent},
                 {0.8001, 64.008, warning},
                 {1.7, 80.0, warning},
                 {std::numeric_limits<double>::quiet_NaN(), 0.0, accent}};
    for (const auto& c : cases) {
        const ContextBarModel bar{c.progress};
        EXPECT_NEAR(bar.fillWidth(80), c.width, 1e-9) << c.progress;
        EXPECT_EQ(bar.fillColor(false), c.fill) << c.progress;
        EXPECT_NE(bar.fillColor(true), c.fill) << c.progress;
    }

    ClaudeSession session(1, std::nullopt, "/a", std::nullopt);
    EXPECT_FALSE(contextProgress(session));
    session.contextTokensUsed = 50000;
    session.contextTokensMax = 100000;
    EXPECT_DOUBLE_EQ(*contextProgress(session), 0.5);
    // An impossible zero maximum reads as nothing used, as the context label does.
    session.contextTokensMax = 0;
    EXPECT_EQ(*contextProgress(session), 0.0);
}

}  // namespace
}  // namespace fernbeacon
