#include <gtest/gtest.h>

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
    EXPECT_EQ(shell.lines.size(), 2u);
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
    EXPECT_TRUE(waitingChanges(after, after).left.empty());
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

}  // namespace
}  // namespace fernbeacon
