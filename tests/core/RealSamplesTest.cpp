#include <gtest/gtest.h>

#include "core/SessionIndex.h"
#include "core/Transcript.h"
#include "support/ScannerHarness.h"

// Transcripts and indexes written by the assistant itself, laid out in a fake home.
namespace fernbeacon {
namespace {

using test::daysBeforeNow;
using test::samplePath;

constexpr std::string_view kCommandOnly = "tspec_21b398d3-9f07-4121-a4a7-1582fcfb61b8.jsonl";
constexpr std::string_view kTspec = "/home/wink/data/prgs/rust/tspec";

class RealSamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (samplePath(kCommandOnly).empty()) {
            GTEST_SKIP() << "the real samples are absent";
        }
    }
    // Copies a sample into a project folder under a new name, dated `modified`.
    std::filesystem::path place(std::string_view sample, const std::string& folder,
                                const std::string& name, Instant modified) {
        const auto file = h_.home.claudeDir() / "projects" / folder / name;
        std::filesystem::create_directories(file.parent_path());
        std::filesystem::copy_file(samplePath(sample), file);
        test::TempTree::setModified(file, modified);
        return file;
    }
    static ClaudeSession live(const std::filesystem::path& transcript) {
        ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
        readLiveTranscript(session, transcript);
        return session;
    }

    test::ScannerHarness h_;
};

TEST_F(RealSamplesTest, TranscriptsGiveTheirPromptBranchUsageCountAndModel) {
    // Summaries come from the index only.
    for (const auto& [sample, facts] :
         {std::pair("spotter_short.jsonl",
                    "|-|mix phx.server doesnt seem to start|master|25366|15|claude-opus-4-6"),
          {kCommandOnly.data(), "|-|-|main|-|8|-"},
          {"swordintel_ccd2d482-b43e-4811-8501-28eb64193b51.jsonl", "|-|-|-|-|1|-"}}) {
        const auto session = live(samplePath(sample));
        EXPECT_EQ(test::facts(session) + test::joined(session.model), facts);
        EXPECT_EQ(session.displayTitle(), session.firstPrompt) << sample;
    }
}

TEST_F(RealSamplesTest, ACycleGivesTheLatePromptAndOwnModelOfALiveSessionAndItsRecentOne) {
    place("cwtrocks_c8b10888-2968-4b5b-aea9-3d6a7b1f1982.jsonl", "-home-cwtrocks",
          "c8b10888-2968-4b5b-aea9-3d6a7b1f1982.jsonl", daysBeforeNow(1));
    h_.addProcess(42, {"pts/0", "/home/cwtrocks", "kitty", "2 mins"});
    const auto result = runScanCycle(h_.scanner);
    ASSERT_EQ(result.live.size(), 1u);
    const ClaudeSession& session = *result.live[0];
    EXPECT_EQ(test::facts(session) + test::joined(session.model, session.contextTokensMax),
              "|-|\u5F53\u524D\u4F7F\u7528\u7684\u662F\u54EA\u4E2A\u5927\u6A21\u578B|HEAD|"
              "216794|28|claude-opus-4.8|1000000");
    EXPECT_TRUE(result.recent.empty());

    const auto recent = h_.scanner.recentSessions({});
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(test::facts(recent[0]), "|/home/cwtrocks|-|" + *session.firstPrompt + "|HEAD|-");
    EXPECT_EQ(recent[0].sessionId, "c8b10888-2968-4b5b-aea9-3d6a7b1f1982");
}

TEST_F(RealSamplesTest, ATitleRecordCountsUnderItsOwnSessionsNameOnly) {
    constexpr std::string_view span = "span_42d39c42-00a9-4496-9557-617a964d6457.jsonl";
    const auto placed =
        place(span, "-span", "42d39c42-00a9-4496-9557-617a964d6457.jsonl", daysBeforeNow(1));
    const auto session = live(placed);
    EXPECT_EQ(test::facts(session) + test::joined(session.displayTitle()), "|-|-|main|-|12|span");
    EXPECT_EQ(live(samplePath(span)).customTitle, std::nullopt);
    EXPECT_EQ(firstRecordedCwdInTranscript(placed),
              "/Users/developer/IdeaProjects/int/span-digital/span-league-standings");

    place("swordintel_ccd2d482-b43e-4811-8501-28eb64193b51.jsonl", "-home-ubuntu", "c.jsonl",
          daysBeforeNow(1));
    EXPECT_EQ(findRecentTranscript(h_.folder("-home-ubuntu"), daysBeforeNow(30)), std::nullopt);
}

TEST_F(RealSamplesTest, AnIndexGivesItsNewestEntryWithinAMonthButNoneForAnUnindexedSession) {
    constexpr std::string_view folder = "-home-wink-data-prgs-rust-tspec";
    const Instant newest = instantFromSecondsSince1970(1770141646.359);
    place("tspec_sessions-index.json", std::string(folder), "sessions-index.json", newest);
    place(kCommandOnly, std::string(folder), "21b398d3-9f07-4121-a4a7-1582fcfb61b8.jsonl", newest);
    h_.addProcess(3, {std::nullopt, std::string(kTspec), std::nullopt, std::nullopt});

    test::FixedClock weekLater(newest + std::chrono::hours(24 * 7));
    const SessionScanner scanner(h_.home.claudeDir(), h_.probes, h_.preferences, weekLater,
                                 h_.logger);
    const auto session = scanner.scanLiveSessions().at(0);
    EXPECT_EQ(session->summary, std::nullopt);
    EXPECT_EQ(session->messageCount, 8);
    const auto recent = scanner.recentSessions({});
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(test::facts(recent[0]), "|" + std::string(kTspec) +
                                          "|Cargo Wrapper Trait Implementation Committed|commit|"
                                          "cargo-wrapper-trait|6");
    EXPECT_NEAR(secondsSince1970(recent[0].modified), 1770141646.359, 1e-6);

    test::FixedClock monthLater(newest + std::chrono::hours(24 * 31));
    EXPECT_TRUE(
        SessionScanner(h_.home.claudeDir(), h_.probes, h_.preferences, monthLater, h_.logger)
            .recentSessions({})
            .empty());

    // An index without entries: the transcript's own directory and branch.
    place("tspec_sessions-index_empty-entries.json", "-e", "sessions-index.json", newest);
    place(kCommandOnly, "-e", "e.jsonl", newest + std::chrono::hours(1));
    const auto fallback = scanner.recentSessions({});
    ASSERT_EQ(fallback.size(), 2u);
    EXPECT_EQ(test::facts(fallback[0]), "|" + std::string(kTspec) + "|-|-|main|-");
}

}  // namespace
}  // namespace fernbeacon
