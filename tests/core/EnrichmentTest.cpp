#include <gtest/gtest.h>

#include "core/Transcript.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::cwdRecord;
using test::daysBeforeNow;
using test::jsonLines;
using test::paddingRecord;
using test::userRecord;

constexpr std::string_view kDirectory = "/work/proj";

class EnrichmentTest : public ::testing::Test {
protected:
    ClaudeSession enriched(std::string_view directory = kDirectory) {
        ClaudeSession session(1, std::nullopt, std::string(directory), std::nullopt);
        h_.scanner.enrichFromProjectHistory(session, directory);
        return session;
    }

    test::ScannerHarness h_;
};

TEST_F(EnrichmentTest, OnlyTheNewestTranscriptOfAFolderIsAsked) {
    h_.project("-a", "old.jsonl", jsonLines({cwdRecord("/work/proj"), userRecord("old")}),
               daysBeforeNow(5));
    h_.project("-a", "new.jsonl", jsonLines({cwdRecord("/elsewhere"), userRecord("new")}),
               daysBeforeNow(1));
    EXPECT_EQ(enriched().sessionModified, std::nullopt);

    h_.project("-b", "b.jsonl", jsonLines({cwdRecord("/work/proj"), userRecord("from b")}),
               daysBeforeNow(3));
    const auto session = enriched();
    EXPECT_EQ(session.firstPrompt, "from b");
    EXPECT_EQ(session.sessionModified, daysBeforeNow(3));
}

class MatchTest : public ::testing::Test {
protected:
    bool matches(std::string_view contents, std::string_view directory = kDirectory) {
        return transcriptMatchesDirectory(tree_.write("t.jsonl", contents), directory);
    }

    test::TempTree tree_;
};

TEST_F(MatchTest, TheFirstRecordWithAStringCwdDecides) {
    EXPECT_TRUE(matches(jsonLines({R"({"cwd":5})", "broken{", cwdRecord("/work/proj")})));
    EXPECT_FALSE(matches(jsonLines({cwdRecord(""), cwdRecord("/work/proj")})));
    EXPECT_FALSE(transcriptMatchesDirectory(tree_.path("missing.jsonl"), kDirectory));
}

TEST_F(MatchTest, ComparesWholeTextsUnderCanonicalEquivalence) {
    EXPECT_FALSE(matches(jsonLines({cwdRecord("/work/proj/")})));
    EXPECT_FALSE(matches(jsonLines({cwdRecord("/Work/proj")})));
    EXPECT_TRUE(matches(jsonLines({cwdRecord("/home/u/cafe\u0301")}), "/home/u/caf\u00E9"));
}

// The fuzz target checks the window over arbitrary bytes; these are its edges.
TEST_F(MatchTest, ReadsOnForACompleteRecordUpToSixtyFourKibibytes) {
    const std::string last = cwdRecord("/work/proj");
    const std::size_t fits = kCwdReach - last.size() - 2;  // record and its line feed end at 64 KiB
    EXPECT_TRUE(matches(jsonLines({paddingRecord(fits), last})));
    EXPECT_TRUE(matches(jsonLines({paddingRecord(fits + 1)}) + last));  // the file ends there
    EXPECT_FALSE(matches(jsonLines({paddingRecord(fits + 1), last})));
}

}  // namespace
}  // namespace fernbeacon
