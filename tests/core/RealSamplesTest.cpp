#include <gtest/gtest.h>

#include "core/Transcript.h"
#include "support/ScannerHarness.h"

// Transcripts and an index written by the assistant itself: today's records give the right facts.
namespace fernbeacon {
namespace {

const std::filesystem::path kSamples = FERNBEACON_SAMPLES_DIR;

class RealSamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSamples / "spotter_short.jsonl")) {
            GTEST_SKIP() << "the real samples are absent";
        }
    }
    // Copies a sample into a project folder under a new name, dated `modified`.
    std::filesystem::path place(std::string_view sample, const std::string& name,
                                Instant modified) {
        const auto file = h_.home.claudeDir() / "projects" / "-p" / name;
        std::filesystem::create_directories(file.parent_path());
        std::filesystem::copy_file(kSamples / sample, file);
        test::TempTree::setModified(file, modified);
        return file;
    }

    test::ScannerHarness h_;
};

TEST_F(RealSamplesTest, TranscriptsGiveTheirPromptBranchUsageCountModelTitleAndCwd) {
    for (const auto& [sample, facts] : {
             std::pair("spotter_short.jsonl",
                       "|-|mix phx.server doesnt seem to start|master|25366|15|claude-opus-4-6|"
                       "mix phx.server doesnt seem to start|/home/marco/projects/spotter"),
             {"tspec_21b398d3-9f07-4121-a4a7-1582fcfb61b8.jsonl",
              "|-|-|main|-|8|-|-|/home/wink/data/prgs/rust/tspec"},
             {"cwtrocks_c8b10888-2968-4b5b-aea9-3d6a7b1f1982.jsonl",
              "|-|\u5F53\u524D\u4F7F\u7528\u7684\u662F\u54EA\u4E2A\u5927\u6A21\u578B|HEAD|216794|"
              "28|claude-opus-4.8|"
              "\u5F53\u524D\u4F7F\u7528\u7684\u662F\u54EA\u4E2A\u5927\u6A21\u578B|"
              "/home/cwtrocks"},
             // A title record counts under its own session's name: read under it.
             {"span_42d39c42-00a9-4496-9557-617a964d6457.jsonl",
              "|-|-|main|-|12|-|span|/Users/developer/IdeaProjects/int/span-digital/"
              "span-league-standings"},
         }) {
        const std::string_view name(sample);
        const auto placed =
            place(sample, std::string(name.substr(name.find('_') + 1)), test::daysBeforeNow(1));
        ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
        readLiveTranscript(session, placed);
        EXPECT_EQ(test::facts(session) + test::joined(session.model, session.displayTitle(),
                                                      firstRecordedCwdInTranscript(placed)),
                  facts);
    }
}

TEST_F(RealSamplesTest, AnIndexGivesItsNewestEntry) {
    const Instant newest = instantFromSecondsSince1970(1770141646.359);
    place("tspec_sessions-index.json", "sessions-index.json", newest);
    test::FixedClock weekLater(newest + std::chrono::hours(24 * 7));
    const SessionScanner scanner(h_.home.claudeDir(), h_.probes, h_.preferences, weekLater,
                                 h_.logger);
    const auto recent = scanner.recentSessions({});
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(test::facts(recent[0]),
              "|/home/wink/data/prgs/rust/tspec|Cargo Wrapper Trait Implementation Committed|"
              "commit|cargo-wrapper-trait|6");
    EXPECT_NEAR(secondsSince1970(recent[0].modified), 1770141646.359, 1e-6);
}

}  // namespace
}  // namespace fernbeacon
