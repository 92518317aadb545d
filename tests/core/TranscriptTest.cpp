#include <gtest/gtest.h>

#include <limits>

#include "core/Directory.h"
#include "core/Text.h"
#include "core/Transcript.h"
#include "core/TranscriptState.h"
#include "support/ScannerHarness.h"
#include "support/TempTree.h"

namespace fernbeacon {
namespace {

using test::jsonLines;
using test::jsonQuoted;
using test::paddingRecord;
using test::usageRecord;
using test::userRecord;

// One record parsed the way the readers parse it.
class Parsed {
public:
    explicit Parsed(std::string_view text) : bytes_(text) {
        record_ = parser_.parseObject({bytes_.data(), bytes_.size()});
    }
    const json::Object& record() const { return *record_; }

private:
    simdjson::padded_string bytes_;
    json::Parser parser_;
    std::optional<json::Object> record_;
};

std::optional<std::string> messageText(std::string_view record) {
    const Parsed parsed(record);
    const auto text = extractMessageText(parsed.record());
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<std::string> promptOf(std::string_view text) {
    const Parsed parsed(userRecord(text));
    return firstPromptCandidate(parsed.record());
}

TEST(MessageText, ReadsAStringOrTheFirstTextPart) {
    EXPECT_EQ(messageText(R"({"type":"user"})"), std::nullopt);
    EXPECT_EQ(messageText(R"({"message":"flat"})"), std::nullopt);
    EXPECT_EQ(messageText(R"({"message":{"content":""}})"), "");
    EXPECT_EQ(
        messageText(R"({"message":{"content":[{"type":"image"},{"type":"text","text":"2nd"}]}})"),
        "2nd");
    EXPECT_EQ(messageText(R"({"message":{"content":[{"type":"text"},{"type":"text","text":5},
                                                    {"type":"text","text":"ok"}]}})"),
              "ok");
    EXPECT_EQ(messageText(R"({"message":{"content":[{"type":"tool_result","content":"x"}]}})"),
              std::nullopt);
    EXPECT_EQ(messageText(R"({"message":{"content":[]}})"), std::nullopt);
    EXPECT_EQ(messageText(R"({"message":{"content":["x",{"type":"text","text":"a"}]}})"),
              std::nullopt);
    EXPECT_EQ(messageText(R"({"message":{"content":[{"type":"text","text":"a"},3]}})"),
              std::nullopt);
    EXPECT_EQ(messageText(R"({"message":{"content":42}})"), std::nullopt);
}

TEST(FirstPromptCandidate, PassesOverMarkupInterruptionsAndCaveats) {
    EXPECT_EQ(promptOf("<command-name>/clear</command-name>"), std::nullopt);
    EXPECT_EQ(promptOf(" \t<b>bold</b> then text"), std::nullopt);
    EXPECT_EQ(promptOf("[Request interrupted by user for tool use]"), std::nullopt);
    EXPECT_EQ(promptOf("Caveat: generated\nreal words"), std::nullopt);
    EXPECT_EQ(promptOf("caveat: lower case passes"), "caveat: lower case passes");
    EXPECT_EQ(promptOf("< 5 items please"), "< 5 items please");
    EXPECT_EQ(promptOf("Fix <b>this</b> typo"), "Fix typo");
    EXPECT_EQ(promptOf("a < b and c > d"), "a d");
    EXPECT_EQ(promptOf("\t  hello\nworld  "), "hello world");
    EXPECT_EQ(promptOf("Look [Request interrupted by user]"), "Look");
}

TEST(FirstPromptCandidate, KeepsTheFirstHundredCharactersWithoutEllipsis) {
    EXPECT_EQ(promptOf(std::string(150, 'p')), std::string(100, 'p'));
    std::string emoji150;
    std::string emoji100;
    for (int i = 0; i < 150; ++i) {
        emoji150 += "\U0001F44D\U0001F3FD";  // one character: thumbs up with a skin tone
        if (i < 100) {
            emoji100 += "\U0001F44D\U0001F3FD";
        }
    }
    EXPECT_EQ(promptOf(emoji150), emoji100);
}

class LiveTranscriptTest : public ::testing::Test {
protected:
    ClaudeSession read(std::string_view contents) {
        ClaudeSession session(7, std::nullopt, std::nullopt, std::nullopt);
        readLiveTranscript(session, tree_.write("t.jsonl", contents));
        return session;
    }

    test::TempTree tree_;
};

TEST_F(LiveTranscriptTest, ReadsPromptBranchLatestPositiveUsageAndLineCount) {
    const auto session = read(jsonLines({
        R"({"type":"file-history-snapshot"})",
        R"({"type":"system","gitBranch":""})",
        userRecord("<command-name>/clear</command-name>", "/p"),
        userRecord("Real prompt", "/p", "feature"),
        userRecord("Later prompt", "/p", "other"),
        usageRecord(1000, 0, 0, 200),
        usageRecord(1200, 0, 0, 300),
        R"({"type":"assistant","message":{"usage":{"input_tokens":1.5,"output_tokens":"9"}}})",
        usageRecord(0, 0, 0, 0),
        R"({"type":"system"})",
    }));
    EXPECT_EQ(session.firstPrompt, "Real prompt");
    EXPECT_EQ(session.gitBranch, "feature");
    EXPECT_EQ(session.contextTokensUsed, 1500);
    EXPECT_EQ(session.messageCount, 10);
}

TEST_F(LiveTranscriptTest, CountsLineFeedsNotRecords) {
    std::string ten;
    for (int i = 0; i < 10; ++i) {
        ten += usageRecord(i + 1, 0, 0, 0) + "\n";
    }
    EXPECT_EQ(read(ten).messageCount, 10);
    const auto unterminated = read(ten.substr(0, ten.size() - 1));
    EXPECT_EQ(unterminated.messageCount, 9);
    EXPECT_EQ(unterminated.contextTokensUsed, 10);  // the last record needs no line feed
    EXPECT_EQ(read("\n\n" + userRecord("x") + "\n\n").messageCount, 4);

    const auto empty = read("");
    EXPECT_EQ(empty.messageCount, std::nullopt);
    EXPECT_EQ(empty.contextTokensUsed, std::nullopt);
    EXPECT_EQ(empty.firstPrompt, std::nullopt);
}

TEST_F(LiveTranscriptTest, ASummaryOrBranchAlreadyHeldIsKeptButTheCountIsReplaced) {
    ClaudeSession session(7, std::nullopt, std::nullopt, std::nullopt);
    session.summary = "From the index";
    session.firstPrompt = "earlier";
    session.gitBranch = "kept";
    session.messageCount = 99;
    session.contextTokensUsed = 5;
    readLiveTranscript(session, tree_.write("t.jsonl", jsonLines({userRecord("new", "/p", "b")})));
    EXPECT_EQ(session.firstPrompt, "earlier");
    EXPECT_EQ(session.gitBranch, "kept");
    EXPECT_EQ(session.messageCount, 1);
    EXPECT_EQ(session.contextTokensUsed, 5);  // no usage in the file: unchanged

    session.summary.reset();
    readLiveTranscript(session, tree_.write("u.jsonl", "\n"));
    EXPECT_EQ(session.firstPrompt, std::nullopt);
}

TEST_F(LiveTranscriptTest, AMissingFileChangesNothing) {
    ClaudeSession session(7, std::nullopt, std::nullopt, std::nullopt);
    session.messageCount = 3;
    readLiveTranscript(session, tree_.path("absent.jsonl"));
    EXPECT_EQ(session.messageCount, 3);
}

TEST_F(LiveTranscriptTest, SaturatesTokenSumsAndSkipsUsageThatIsNotUtf8) {
    constexpr long long kMax = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(read(jsonLines({usageRecord(kMax, kMax, 1, 0)})).contextTokensUsed, kMax);
    EXPECT_EQ(read(jsonLines({usageRecord(300, 0, 0, 0), usageRecord(-kMax - 1, -5, 0, 0),
                              usageRecord(-10, 0, 0, 4)}))
                  .contextTokensUsed,
              300);
    const std::string undecodable = R"({"message":{"usage":{"input_tokens":9},"content":")"
                                    "\xc3"
                                    R"(("}})";
    EXPECT_EQ(read(jsonLines({usageRecord(21, 0, 0, 0), undecodable})).contextTokensUsed, 21);
}

TEST_F(LiveTranscriptTest, TakesTheLatestTitlesOfThisSessionAndModelOfTheMainChain) {
    const std::string assistant = R"({"type":"assistant","message":{"model":)";
    const auto session = read(jsonLines({
        R"({"type":"custom-title","customTitle":"Renamed","sessionId":"t"})",
        R"({"type":"ai-title","aiTitle":"First guess","sessionId":"t"})",
        assistant + R"("claude-opus-4-6"}})",
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

TEST(DisplayTitle, PrefersCustomTitleThenSummaryThenAiTitleThenFirstPrompt) {
    RecentSession recent{"Summary", "Prompt", "/p", Instant{}, std::nullopt, std::nullopt};
    recent.customTitle = "<b>x</b>";  // nothing left after clean-up: passed over
    recent.aiTitle = "AI";
    EXPECT_EQ(recent.displayTitle(), "Summary");
    recent.customTitle = "Mine";
    EXPECT_EQ(recent.displayTitle(), "Mine");
    EXPECT_EQ(displayTitleFor(std::nullopt, std::nullopt, "AI", "Prompt"), "AI");
    EXPECT_EQ(displayTitleFor(std::nullopt, std::nullopt, std::nullopt, "Prompt"), "Prompt");
}

TEST_F(LiveTranscriptTest, ReadsTheWholeFileButNoLineTooLongToHold) {
    // Large attachments often come before the first typed prompt, and long tool output after
    // the last usage: neither hides them.
    std::string contents = jsonLines(
        {paddingRecord(40000), userRecord("Late prompt", "/p", "b"), usageRecord(1000, 1, 2, 3)});
    while (contents.size() < 1200 * 1024) {
        contents += paddingRecord(999) + "\n";
    }
    const auto session = read(contents);
    EXPECT_EQ(session.firstPrompt, "Late prompt");
    EXPECT_EQ(session.contextTokensUsed, 1006);

    const std::string tooLong = R"({"message":{"usage":{"input_tokens":5}},"pad":")" +
                                std::string(kLongestParsedLine, 'x') + "\"}";
    const auto withLongLine = read(jsonLines({usageRecord(7, 0, 0, 0), tooLong}));
    EXPECT_EQ(withLongLine.contextTokensUsed, 7);
    EXPECT_EQ(withLongLine.messageCount, 2);
}

TEST_F(LiveTranscriptTest, CountsLineFeedsOnlyUpToTheSizeWhenTheCountStarts) {
    // A regular file that reports no size yet reads on for 256 GiB, linked under a transcript's
    // name, was counted to its end.
    const auto link = tree_.path("p.jsonl");
    std::filesystem::create_symlink("/proc/self/pagemap", link);
    ClaudeSession session(7, std::nullopt, std::nullopt, std::nullopt);
    session.messageCount = 3;
    readLiveTranscript(session, link);
    EXPECT_EQ(session.messageCount, std::nullopt);
}

TEST_F(LiveTranscriptTest, SkipsALineThatIsNotUtf8AndReadsTheNext) {
    const auto session = read(jsonLines({
        R"({"type":"user","gitBranch":"bad","message":{"content":"caf)"
        "\xff"
        R"("}})",
        userRecord("second", "/p", "good"),
    }));
    EXPECT_EQ(session.firstPrompt, "second");
    EXPECT_EQ(session.gitBranch, "good");
    EXPECT_EQ(session.messageCount, 2);
}

class RecentTranscriptTest : public ::testing::Test {
protected:
    std::filesystem::path add(std::string_view name, std::string_view contents, double daysAgo) {
        const auto file = tree_.write(name, contents);
        test::TempTree::setModified(file, test::daysBeforeNow(daysAgo));
        return file;
    }
    std::optional<RecentSession> read() {
        auto recent = findRecentTranscript(tree_.root(), test::daysBeforeNow(30));
        if (recent) {
            readRecentFacts(*recent, tree_.root(), true);
        }
        return recent;
    }

    test::TempTree tree_;
};

TEST_F(RecentTranscriptTest, ReadsTheNewestTranscriptModifiedAfterTheCutoff) {
    add("old.jsonl", jsonLines({userRecord("old", "/old")}), 40);
    add("a.jsonl", jsonLines({userRecord("a", "/a")}), 5);
    add("b.jsonl",
        jsonLines({R"({"type":"file-history-snapshot"})", test::cwdRecord("/b"),
                   userRecord("<local-command-stdout>x</local-command-stdout>", "/c", "dev"),
                   userRecord("Build it", "/d", "main")}),
        2);
    add("notes.txt", jsonLines({userRecord("n", "/n")}), 1);
    add("upper.JSONL", jsonLines({userRecord("u", "/u")}), 1);
    add(".jsonl", jsonLines({userRecord("h", "/h")}), 1);

    const auto recent = read();
    ASSERT_TRUE(recent);
    EXPECT_EQ(recent->projectPath, "/b");
    EXPECT_EQ(recent->firstPrompt, "Build it");
    EXPECT_EQ(recent->gitBranch, "dev");
    EXPECT_EQ(recent->summary, std::nullopt);
    EXPECT_EQ(recent->messageCount, std::nullopt);
    EXPECT_EQ(recent->modified, test::daysBeforeNow(2));
}

TEST_F(RecentTranscriptTest, NothingNewerThanTheCutoffGivesNothing) {
    add("a.jsonl", jsonLines({userRecord("a", "/a")}), 30);  // exactly at the cutoff
    add("b.jsonl", jsonLines({userRecord("b", "/b")}), 45);
    EXPECT_EQ(read(), std::nullopt);
}

TEST_F(RecentTranscriptTest, OnEqualDatesTheFirstListedIsRead) {
    add("one.jsonl", jsonLines({test::cwdRecord("/one")}), 3);
    add("two.jsonl", jsonLines({test::cwdRecord("/two")}), 3);
    const auto listing = listDirectory(tree_.root(), false);
    ASSERT_TRUE(listing);
    const std::string expected = listing->front().name == "one.jsonl" ? "/one" : "/two";
    EXPECT_EQ(read()->projectPath, expected);
}

TEST_F(RecentTranscriptTest, AnEmptyCwdCountsButNoneInTheFirst64KiBGivesNothing) {
    add("a.jsonl", jsonLines({test::cwdRecord(""), test::cwdRecord("/later")}), 1);
    EXPECT_EQ(read()->projectPath, "");
    add("a.jsonl", jsonLines({paddingRecord(60000), test::cwdRecord("/late")}), 1);
    EXPECT_EQ(read()->projectPath, "/late");
    add("a.jsonl", jsonLines({paddingRecord(70000), test::cwdRecord("/too-late")}), 1);
    EXPECT_EQ(read(), std::nullopt);
}

}  // namespace
}  // namespace fernbeacon
