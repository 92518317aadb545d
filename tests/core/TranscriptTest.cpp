#include <gtest/gtest.h>

#include <limits>

#include "core/Transcript.h"
#include "core/TranscriptState.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::cwdRecord;
using test::jsonLines;
using test::paddingRecord;
using test::usageRecord;
using test::userRecord;

class LiveTranscriptTest : public ::testing::Test {
protected:
    ClaudeSession read(std::string_view contents) {
        ClaudeSession session(7, std::nullopt, std::nullopt, std::nullopt);
        readLiveTranscript(session, tree_.write("t.jsonl", contents));
        return session;
    }
    std::optional<std::string> prompt(std::string_view text) {
        return read(userRecord(text)).firstPrompt;
    }

    test::TempTree tree_;
};

TEST_F(LiveTranscriptTest, ThePromptIsTheFirstTextOfAUserMessageThatIsNoMarkupOrNote) {
    const std::string user = R"({"type":"user","message":{"content":)";
    const struct {
        std::string contents;
        std::optional<std::string> prompt;
    } cases[] = {
        {R"({"type":"user","message":"flat"})", std::nullopt},
        {R"({"type":"assistant","message":{"model":"m","content":"not the user's"}})",
         std::nullopt},
        {user + R"([{"type":"image"},{"type":"text","text":"2nd"}]}})", "2nd"},
        {user + R"([{"type":"text"},{"type":"text","text":5},{"type":"text","text":"ok"}]}})",
         "ok"},
        {user + R"([{"type":"tool_result","content":"x"}]}})", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.contents).firstPrompt, c.prompt) << c.contents;
    }
    // The fuzz target checks markup, notes and length; these are the prompts it cannot judge.
    EXPECT_EQ(prompt("[Request interrupted by user for tool use]"), std::nullopt);
    EXPECT_EQ(prompt("< 5 items please"), "< 5 items please");
    EXPECT_EQ(prompt("\t  hello\nworld  "), "hello world");
    EXPECT_EQ(prompt(std::string(150, 'p')), std::string(100, 'p'));
}

TEST_F(LiveTranscriptTest, ReadsPromptBranchLatestPositiveUsageAndLineCount) {
    const auto session = read(jsonLines({
        R"({"type":"user","gitBranch":"bad","message":{"content":"caf)"
        "\xff"
        R"("}})",
        userRecord("<command-name>/clear</command-name>", "/p"),
        userRecord("Real prompt", "/p", "feature"),
        userRecord("Later prompt", "/p", "other"),
        usageRecord(1000, 0, 0, 200),
        usageRecord(1200, 0, 0, 300),
        R"({"type":"assistant","message":{"usage":{"input_tokens":1.5,"output_tokens":"9"}}})",
        usageRecord(0, 0, 0, 0),
        R"({"message":{"usage":{"input_tokens":9},"content":")"
        "\xc3"
        R"(("}})",
    }));
    EXPECT_EQ(test::facts(session), "|-|Real prompt|feature|1500|9");

    constexpr long long kMax = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(read(jsonLines({usageRecord(kMax, kMax, 1, 0)})).contextTokensUsed, kMax);
    EXPECT_EQ(read(jsonLines({usageRecord(300, 0, 0, 0), usageRecord(-kMax - 1, -5, 0, 0),
                              usageRecord(-10, 0, 0, 4)}))
                  .contextTokensUsed,
              300);

    // Line feeds count, not records; the last record needs no line feed.
    EXPECT_EQ(test::facts(read(userRecord("x") + "\n" + usageRecord(10, 0, 0, 0))), "|-|x|-|10|1");
    EXPECT_EQ(read("\n\n" + userRecord("x") + "\n\n").messageCount, 4);
    EXPECT_EQ(test::facts(read("")), "|-|-|-|-|-");
}

TEST_F(LiveTranscriptTest, ASummaryOrBranchAlreadyHeldIsKeptButTheCountIsReplaced) {
    ClaudeSession session(7, std::nullopt, std::nullopt, std::nullopt);
    session.summary = "From the index";
    session.firstPrompt = "earlier";
    session.gitBranch = "kept";
    session.messageCount = 99;
    session.contextTokensUsed = 5;
    readLiveTranscript(session, tree_.write("t.jsonl", jsonLines({userRecord("new", "/p", "b")})));
    EXPECT_EQ(test::facts(session),
              "|From the index|earlier|kept|5|1");  // no usage in the file: unchanged

    session.summary.reset();
    readLiveTranscript(session, tree_.write("u.jsonl", "\n"));
    EXPECT_EQ(session.firstPrompt, std::nullopt);
}

TEST_F(LiveTranscriptTest, TakesTheLatestTitlesOfThisSessionAndModelOfTheMainChain) {
    const std::string assistant = R"({"type":"assistant","message":{"model":)";
    const auto session = read(jsonLines({
        R"({"type":"custom-title","customTitle":"Renamed","sessionId":"t"})",
        R"({"type":"ai-title","aiTitle":"First guess","sessionId":"t"})",
        R"({"type":"assistant","isSidechain":false,"message":{"model":"claude-opus-4-6"}})",
        R"({"type":"ai-title","aiTitle":"Better guess"})",
        R"({"type":"custom-title","customTitle":"","sessionId":"t"})",
        R"({"type":"custom-title","customTitle":"Copied","sessionId":"other"})",
        R"({"type":"ai-title","aiTitle":"Copied","sessionId":"other"})",
        R"({"type":"assistant","isSidechain":true,"message":{"model":"claude-haiku-4-5"}})",
        assistant + R"("<synthetic>"}})",
        R"({"type":"user","message":{"model":"claude-user"}})",
    }));
    EXPECT_EQ(session.customTitle, "Renamed");
    EXPECT_EQ(session.aiTitle, "Better guess");
    EXPECT_EQ(session.model, "claude-opus-4-6");

    // The sidecar outranks a later record; an empty one does not count.
    ClaudeSession withSidecar(7, std::nullopt, std::nullopt, std::nullopt);
    withSidecar.model = "settings default";
    const auto transcript =
        tree_.write("s.jsonl", jsonLines({R"({"type":"custom-title","customTitle":"Record"})"}));
    tree_.write("s/custom-title.json", R"({"customTitle":"Sidecar"})");
    readLiveTranscript(withSidecar, transcript);
    EXPECT_EQ(withSidecar.customTitle, "Sidecar");
    EXPECT_EQ(withSidecar.model, "settings default");
    tree_.write("s/custom-title.json", R"({"customTitle":""})");
    readLiveTranscript(withSidecar, transcript);
    EXPECT_EQ(withSidecar.customTitle, "Record");
}

TEST_F(LiveTranscriptTest, ReadsTheWholeFileButNoLineTooLongToHold) {
    // Large attachments often come before the first typed prompt, and long tool output after
    // the last usage: neither hides them.
    std::string contents = jsonLines(
        {paddingRecord(40000), userRecord("Late prompt", "/p", "b"), usageRecord(1000, 1, 2, 3)});
    while (contents.size() < 1200 * 1024) {
        contents += paddingRecord(999) + "\n";
    }
    EXPECT_EQ(test::facts(read(contents)), "|-|Late prompt|b|1006|1192");

    const std::string tooLong = R"({"message":{"usage":{"input_tokens":5}},"pad":")" +
                                std::string(kLongestParsedLine, 'x') + "\"}";
    EXPECT_EQ(test::facts(read(jsonLines({usageRecord(7, 0, 0, 0), tooLong}))), "|-|-|-|7|2");
    const std::string longest = tooLong.substr(0, kLongestParsedLine - 2) + "\"}";
    EXPECT_EQ(test::facts(read(jsonLines({usageRecord(7, 0, 0, 0)}) + longest)), "|-|-|-|5|1");
}

constexpr std::string_view kDirectory = "/work/proj";

class MatchTest : public ::testing::Test {
protected:
    bool matches(std::string_view contents, std::string_view directory = kDirectory) {
        return transcriptMatchesDirectory(tree_.write("t.jsonl", contents), directory);
    }

    test::TempTree tree_;
};

TEST_F(MatchTest, TheFirstStringCwdDecidesComparedWholeUnderCanonicalEquivalence) {
    EXPECT_TRUE(matches(jsonLines({R"({"cwd":5})", "broken{", cwdRecord("/work/proj")})));
    EXPECT_FALSE(matches(jsonLines({cwdRecord(""), cwdRecord("/work/proj")})));
    EXPECT_FALSE(transcriptMatchesDirectory(tree_.path("missing.jsonl"), kDirectory));
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
