#include <gtest/gtest.h>

#include <limits>

#include "core/Attention.h"
#include "core/RowModels.h"
#include "support/Fakes.h"

namespace fernbeacon {
namespace {

ClaudeSessionPtr session(std::int32_t pid, std::optional<std::string> status,
                         std::optional<std::string> waitingFor = std::nullopt) {
    auto made = std::make_shared<ClaudeSession>(pid, "pts/1", "/w/p" + std::to_string(pid), "tmux");
    made->status = std::move(status);
    made->waitingFor = std::move(waitingFor);
    return made;
}

std::vector<std::int32_t> pids(const std::vector<ClaudeSessionPtr>& sessions) {
    std::vector<std::int32_t> out;
    for (const auto& s : sessions) {
        out.push_back(s->pid);
    }
    return out;
}

// The menu tests draw each state's mark; these are the rules behind them.
TEST(Attention, RowsMarkWaitingAndWorkingOnlyAndSayWhy) {
    const RowModel waiting = sessionRowModel(*session(1, "waiting", "permission prompt"));
    ASSERT_TRUE(waiting.mark);
    EXPECT_EQ(waiting.lines[1].label.color, ColorRole::Attention);
    EXPECT_EQ(sessionRowModel(*session(1, "waiting")).lines[1].label.text, "Waiting for you");
    const WaitingNotice notice = waitingNotice(*session(1, "waiting", "input needed"));
    EXPECT_EQ(notice.summary + " | " + notice.body, "p1 | Waiting: input needed");

    const RowModel shell = sessionRowModel(*session(1, "shell"));
    ASSERT_TRUE(shell.mark);
    EXPECT_LT(shell.mark->diameter, waiting.mark->diameter);
    EXPECT_FALSE(sessionRowModel(*session(1, "Waiting")).mark);  // unheard of: as rows always were
}

TEST(Attention, EntriesIntoWaitingAndLeavesBetweenSnapshots) {
    const std::vector<ClaudeSessionPtr> before{session(1, "waiting"), session(2, "busy"),
                                               session(3, "waiting"), session(4, "waiting"),
                                               session(5, "idle")};
    const std::vector<ClaudeSessionPtr> after{session(1, "waiting", "input needed"),
                                              session(2, "waiting"), session(3, "idle"),
                                              session(5, "idle"), session(6, "waiting")};
    const WaitingChanges changes = waitingChanges(before, after);
    // 1 stays (a new reason is no new entry); 4 ended; 6 is new and waits already.
    EXPECT_EQ(pids(changes.entered), (std::vector<std::int32_t>{2, 6}));
    EXPECT_EQ(changes.left, (std::vector<std::int32_t>{3, 4}));
    EXPECT_TRUE(waitingChanges(after, after).entered.empty());
}

TEST(Attention, WaitingFirstInTheOrderTheyStartedWaiting) {
    WaitingOrder order;
    std::vector<ClaudeSessionPtr> sessions{session(1, "idle"), session(2, "waiting"),
                                           session(3, "busy"), session(4, "waiting")};
    order.update(sessions);
    EXPECT_EQ(pids(order.arrange(sessions)), (std::vector<std::int32_t>{2, 4, 1, 3}));

    // 1 starts waiting after 2 and 4, though listed first; 2 stops and starts again: now last.
    sessions = {session(1, "waiting"), session(2, "idle"), session(3, "busy"),
                session(4, "waiting")};
    order.update(sessions);
    sessions[1] = session(2, "waiting");
    order.update(sessions);
    EXPECT_EQ(pids(order.arrange(sessions)), (std::vector<std::int32_t>{4, 1, 2, 3}));

    test::MemoryPreferences preferences;
    EXPECT_EQ(pids(waitingFirstOrder(sessions, preferences)),
              (std::vector<std::int32_t>{1, 2, 4, 3}));
    setPreferenceFlag(preferences, kWaitingFirstKey, false);
    EXPECT_EQ(pids(waitingFirstOrder(sessions, preferences)),
              (std::vector<std::int32_t>{1, 2, 3, 4}));
}

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

TEST(RowModels, LinesInOrderForWhatIsKnownInTheirColours) {
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
