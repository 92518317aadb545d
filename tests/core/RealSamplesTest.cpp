#include <gtest/gtest.h>

#include "core/SessionIndex.h"
#include "core/Transcript.h"
#include "support/ScannerHarness.h"

// Transcripts and indexes written by the assistant itself, laid out in a fake home.
namespace fernbeacon {
namespace {

using test::daysBeforeNow;
using test::FakeProcess;

constexpr std::string_view kCwtrocks = "cwtrocks_c8b10888-2968-4b5b-aea9-3d6a7b1f1982.jsonl";
constexpr std::string_view kCommandOnlySession = "tspec_21b398d3-9f07-4121-a4a7-1582fcfb61b8.jsonl";
constexpr std::string_view kIndexedDirectory = "/home/wink/data/prgs/rust/tspec";

class RealSamplesTest : public ::testing::Test {
protected:
    // Places a sample in a project folder under its own name less the source prefix.
    std::filesystem::path place(std::string_view sample, std::string_view folder,
                                std::string_view name, Instant modified) {
        const auto file = test::copySample(
            h_.home, sample, ".claude/projects/" + std::string(folder) + "/" + std::string(name));
        if (!file.empty()) {
            test::TempTree::setModified(file, modified);
        }
        return file;
    }
    ClaudeSession live(std::string_view sample) {
        ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
        readLiveTranscript(session, test::samplePath(sample));
        return session;
    }

    test::ScannerHarness h_;
};

#define REQUIRE_SAMPLE(name)                              \
    if (test::samplePath(name).empty()) {                 \
        GTEST_SKIP() << "sample " << (name) << " absent"; \
    }

TEST_F(RealSamplesTest, CwtrocksGivesItsLatePromptAndItsOwnModel) {
    REQUIRE_SAMPLE(kCwtrocks);
    place(kCwtrocks, "-home-cwtrocks", "c8b10888-2968-4b5b-aea9-3d6a7b1f1982.jsonl",
          daysBeforeNow(1));
    h_.addProcess(42, FakeProcess{"pts/0", "/home/cwtrocks", "kitty", "2 mins"});

    const auto result = runScanCycle(h_.scanner);
    ASSERT_EQ(result.live.size(), 1u);
    const ClaudeSession& session = *result.live[0];
    EXPECT_EQ(session.gitBranch, "HEAD");
    EXPECT_EQ(session.contextTokensUsed, 216794);
    EXPECT_EQ(session.messageCount, 28);
    EXPECT_EQ(session.firstPrompt,
              "\u5F53\u524D\u4F7F\u7528\u7684\u662F\u54EA\u4E2A\u5927\u6A21\u578B");
    EXPECT_EQ(session.model, "claude-opus-4.8");
    EXPECT_EQ(session.contextLabel(), "216k / 1000k tokens (21%)");  // a 1M model
    EXPECT_EQ(session.detailLine(), "kitty  \u00B7  claude-opus-4.8  \u00B7  2 mins");
    EXPECT_TRUE(result.recent.empty());

    const auto recent = h_.scanner.recentSessions({});
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].projectPath, "/home/cwtrocks");
    EXPECT_EQ(recent[0].gitBranch, "HEAD");
    EXPECT_EQ(recent[0].firstPrompt, session.firstPrompt);
    EXPECT_EQ(recent[0].sessionId, "c8b10888-2968-4b5b-aea9-3d6a7b1f1982");
}

TEST_F(RealSamplesTest, SpotterShortGivesItsTypedPromptAndLastUsage) {
    REQUIRE_SAMPLE("spotter_short.jsonl");
    const auto session = live("spotter_short.jsonl");
    EXPECT_EQ(session.firstPrompt, "mix phx.server doesnt seem to start");
    EXPECT_EQ(session.gitBranch, "master");
    EXPECT_EQ(session.contextTokensUsed, 25366);
    EXPECT_EQ(session.messageCount, 15);
    EXPECT_EQ(session.model, "claude-opus-4-6");
}

TEST_F(RealSamplesTest, CommandOnlySessionsHaveNoPromptAndNoUsageButMayHaveATitle) {
    REQUIRE_SAMPLE(kCommandOnlySession);
    const auto commands = live(kCommandOnlySession);
    EXPECT_EQ(commands.firstPrompt, std::nullopt);
    EXPECT_EQ(commands.gitBranch, "main");
    EXPECT_EQ(commands.contextTokensUsed, std::nullopt);
    EXPECT_EQ(commands.messageCount, 8);
    EXPECT_EQ(commands.displayTitle(), std::nullopt);

    constexpr std::string_view span = "span_42d39c42-00a9-4496-9557-617a964d6457.jsonl";
    REQUIRE_SAMPLE(span);
    // Under its own name, its title record is its own.
    const auto placed =
        place(span, "-span", "42d39c42-00a9-4496-9557-617a964d6457.jsonl", daysBeforeNow(1));
    ClaudeSession spanSession(1, std::nullopt, std::nullopt, std::nullopt);
    readLiveTranscript(spanSession, placed);
    EXPECT_EQ(spanSession.customTitle, "span");
    EXPECT_EQ(spanSession.displayTitle(), "span");
    EXPECT_EQ(live(span).customTitle, std::nullopt);  // a record of another session id
    EXPECT_EQ(spanSession.firstPrompt, std::nullopt);
    EXPECT_EQ(spanSession.contextTokensUsed, std::nullopt);
    EXPECT_EQ(spanSession.gitBranch, "main");
    EXPECT_EQ(spanSession.messageCount, 12);
    EXPECT_EQ(firstRecordedCwdInTranscript(test::samplePath(span)),
              "/Users/developer/IdeaProjects/int/span-digital/span-league-standings");
}

TEST_F(RealSamplesTest, ASummaryOnlyTranscriptHasNoDirectory) {
    constexpr std::string_view sample = "swordintel_ccd2d482-b43e-4811-8501-28eb64193b51.jsonl";
    REQUIRE_SAMPLE(sample);
    place(sample, "-home-ubuntu", "ccd2d482-b43e-4811-8501-28eb64193b51.jsonl", daysBeforeNow(1));
    EXPECT_EQ(findRecentTranscript(h_.folder("-home-ubuntu"), daysBeforeNow(30)), std::nullopt);
    EXPECT_EQ(firstRecordedCwd(h_.folder("-home-ubuntu")), std::nullopt);
    const auto session = live(sample);
    EXPECT_EQ(session.messageCount, 1);
    EXPECT_EQ(session.summary, std::nullopt);  // summaries come from the index only
    EXPECT_EQ(session.firstPrompt, std::nullopt);
}

TEST_F(RealSamplesTest, ARealIndexGivesItsNewestEntryButNoneForAnUnindexedSession) {
    REQUIRE_SAMPLE("tspec_sessions-index.json");
    REQUIRE_SAMPLE(kCommandOnlySession);
    constexpr std::string_view folder = "-home-wink-data-prgs-rust-tspec";
    const Instant newest = instantFromSecondsSince1970(1770141646.359);
    test::copySample(h_.home, "tspec_sessions-index.json",
                     ".claude/projects/" + std::string(folder) + "/sessions-index.json");
    place(kCommandOnlySession, folder, "21b398d3-9f07-4121-a4a7-1582fcfb61b8.jsonl", newest);

    const auto index = SessionIndex::read(h_.folder(folder) / "sessions-index.json");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries().size(), 3u);
    EXPECT_EQ(index->originalPath(), kIndexedDirectory);

    h_.addProcess(
        3, FakeProcess{std::nullopt, std::string(kIndexedDirectory), std::nullopt, std::nullopt});
    test::FixedClock weekLater(newest + std::chrono::hours(24 * 7));
    const SessionScanner scanner(h_.home.claudeDir(), h_.probes, h_.preferences, weekLater,
                                 h_.logger);
    const auto session = scanner.scanLiveSessions().at(0);
    EXPECT_EQ(session->summary, std::nullopt);  // the index has no entry for this session
    EXPECT_EQ(session->messageCount, 8);
    EXPECT_EQ(session->gitBranch, "main");

    const auto recent = scanner.recentSessions({});
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].summary, "Cargo Wrapper Trait Implementation Committed");
    EXPECT_EQ(recent[0].firstPrompt, "commit");
    EXPECT_EQ(recent[0].projectPath, kIndexedDirectory);
    EXPECT_EQ(recent[0].messageCount, 6);
    EXPECT_EQ(recent[0].gitBranch, "cargo-wrapper-trait");
    EXPECT_NEAR(secondsSince1970(recent[0].modified), 1770141646.359, 1e-6);

    test::FixedClock monthLater(newest + std::chrono::hours(24 * 31));
    const SessionScanner late(h_.home.claudeDir(), h_.probes, h_.preferences, monthLater,
                              h_.logger);
    EXPECT_TRUE(late.recentSessions({}).empty());
}

TEST_F(RealSamplesTest, AnIndexWithNoEntriesFallsBackToTheTranscript) {
    REQUIRE_SAMPLE("tspec_sessions-index_empty-entries.json");
    REQUIRE_SAMPLE(kCommandOnlySession);
    test::copySample(h_.home, "tspec_sessions-index_empty-entries.json",
                     ".claude/projects/-tspec/sessions-index.json");
    place(kCommandOnlySession, "-tspec", "21b398d3.jsonl", daysBeforeNow(1));
    const auto recent = h_.scanner.recentSessions({});
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].projectPath, kIndexedDirectory);
    EXPECT_EQ(recent[0].summary, std::nullopt);
    EXPECT_EQ(recent[0].firstPrompt, std::nullopt);
    EXPECT_EQ(recent[0].gitBranch, "main");
}

}  // namespace
}  // namespace fernbeacon
