#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/TranscriptCache.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::jsonLines;
using test::usageRecord;
using test::userRecord;

// Records, after several cycles that append to a transcript, truncate it, rewrite it in place or
// replace it by another file at a later time, give what a fresh read gives.
TEST(TranscriptCache, AgreesWithAFreshReadThroughAppendsTruncationsAndReplacements) {
    // Lines of every kind the facts come from, and of kinds they must not come from.
    const std::string pool[] = {
        userRecord("<command-name>/clear</command-name>", "/p"),
        userRecord("First prompt", "/p", "main"),
        userRecord("Second prompt", "/q", "dev"),
        usageRecord(0, 0, 0, 0),
        usageRecord(2000, 300, 0, 5),
        R"({"type":"assistant","message":{"model":"claude-opus-4-6"}})",
        R"({"type":"assistant","isSidechain":true,"message":{"model":"claude-haiku-4-5"}})",
        R"({"type":"custom-title","customTitle":"Mine","sessionId":"s"})",
        R"({"type":"ai-title","aiTitle":"Guess"})",
        test::paddingRecord(3000),
        "not json",
        "{\"type\":\"user\",\"message\":{\"content\":\"\xff\"}}"};
    test::TempTree tree;
    const auto path = tree.path("s.jsonl");
    TranscriptCache cache;
    std::mt19937 random(20261206);
    const auto below = [&random](std::size_t n) { return random() % std::max<std::size_t>(n, 1); };
    const auto someLines = [&] {
        std::string text;
        for (std::size_t i = below(4); i-- > 0;) {
            text += pool[below(std::size(pool))] + "\n";
        }
        const std::string& partial = pool[below(std::size(pool))];
        return text + partial.substr(0, below(partial.size() + 1));
    };
    std::string contents;
    for (int step = 0; step < 400; ++step) {
        const std::size_t kind = below(8);
        if (kind == 0) {
            contents.resize(below(contents.size()));
        } else if (kind == 1) {
            contents = someLines();
        } else if (kind == 2) {  // larger than before
            contents = contents.substr(0, below(contents.size())) + someLines() + someLines();
        } else {
            contents += someLines();
        }
        // A replacement is another file; every change lands at a later time.
        const auto written =
            kind == 1 ? tree.write("s.new", contents) : tree.write("s.jsonl", contents);
        if (kind == 1) {
            std::filesystem::rename(written, path);
        }
        test::TempTree::setModified(path, instantFromSecondsSince1970(1e9 + step));
        ASSERT_EQ(cache.read(path), readTranscriptFacts(path)) << "step " << step;
    }
}

// Bytes in memory that count what is read of them.
class CountedBytes final : public TranscriptBytes {
public:
    std::string bytes;
    mutable std::size_t read = 0;

    std::optional<std::size_t> readAt(std::uint64_t offset, char* into,
                                      std::size_t length) const override {
        const std::string_view rest = std::string_view(bytes).substr(
            std::min<std::size_t>(static_cast<std::size_t>(offset), bytes.size()));
        const std::size_t got = std::min(length, rest.size());
        std::copy_n(rest.data(), got, into);
        read += got;
        return got;
    }
};

TEST(TranscriptState, ReadsOnlyWhatWasAppendedAndKeepsNoUnfinishedLine) {
    CountedBytes file;
    file.bytes = jsonLines({userRecord("Hello", "/p"), test::paddingRecord(100000)});
    TranscriptState state("s");
    FileIdentity identity{1, 2, file.bytes.size(), 1};
    ASSERT_TRUE(state.update(file, identity));

    const std::string usage = usageRecord(40, 0, 0, 2);
    file.bytes += usage.substr(0, 10);
    file.read = 0;
    identity = {1, 2, file.bytes.size(), 2};
    EXPECT_EQ(state.update(file, identity)->contextTokensUsed, std::nullopt);
    EXPECT_LE(file.read, 10u + 64u);

    file.bytes += usage.substr(10) + "\n";
    file.read = 0;
    identity = {1, 2, file.bytes.size(), 3};
    const auto facts = state.update(file, identity);
    EXPECT_EQ(facts->contextTokensUsed, 42);
    EXPECT_EQ(facts->firstPrompt, "Hello");
    EXPECT_EQ(facts->lineFeeds, 3u);
    EXPECT_LE(file.read, usage.size() + 1 + 64);

    file.read = 0;
    EXPECT_EQ(state.update(file, identity), facts);
    EXPECT_EQ(file.read, 0u);
}

TEST(TranscriptCache, ForgetsTranscriptsNotReadSinceThePreviousCycle) {
    test::TempTree tree;
    const auto kept = tree.write("a.jsonl", "{}\n");
    const auto dropped = tree.write("b.jsonl", "{}\n");
    TranscriptCache cache;
    cache.beginCycle();
    cache.read(kept);
    cache.read(dropped);
    cache.read(tree.path("missing.jsonl"));
    EXPECT_EQ(cache.size(), 2u);
    cache.beginCycle();
    cache.read(kept);
    EXPECT_EQ(cache.size(), 2u);
    cache.beginCycle();
    EXPECT_EQ(cache.size(), 1u);
}

}  // namespace
}  // namespace fernbeacon
