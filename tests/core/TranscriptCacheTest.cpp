#include <gtest/gtest.h>

#include <algorithm>

#include "core/TranscriptCache.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::jsonLines;
using test::usageRecord;
using test::userRecord;

// The state's own steps are fuzzed; here the file system gives each file its identity.
TEST(TranscriptCache, AgreesWithAFreshReadThroughAReplacementAnAppendAndATruncation) {
    test::TempTree tree;
    const auto path = tree.path("s.jsonl");
    TranscriptCache cache;
    const auto expectFresh = [&](const std::filesystem::path& written, int step) {
        if (written != path) {
            std::filesystem::rename(written, path);
        }
        test::TempTree::setModified(path, instantFromSecondsSince1970(1e9 + step));
        EXPECT_EQ(cache.read(path), readTranscriptFacts(path)) << "step " << step;
    };
    const std::string usage = usageRecord(100, 0, 0, 1);
    expectFresh(tree.write("s.jsonl", jsonLines({userRecord("First prompt"), usage})), 0);
    // Another file that ends as the first did: only its identity tells that it is new.
    const std::string other = jsonLines({userRecord("Other prompt"), usage, usage});
    expectFresh(tree.write("s.new", other), 1);
    expectFresh(tree.write("s.jsonl", other + usageRecord(2000, 300, 0, 5) + "\n"), 2);
    expectFresh(tree.write("s.jsonl", other.substr(0, 30)), 3);
}

// Bytes in memory that count what is read of them, or fail as a broken disk does.
class CountedBytes final : public TranscriptBytes {
public:
    std::string bytes;
    mutable std::size_t read = 0;
    bool failing = false;

    std::optional<std::size_t> readAt(std::uint64_t offset, char* into,
                                      std::size_t length) const override {
        if (failing) {
            return std::nullopt;
        }
        const std::string_view rest = std::string_view(bytes).substr(
            std::min<std::size_t>(static_cast<std::size_t>(offset), bytes.size()));
        const std::size_t got = std::min(length, rest.size());
        std::copy_n(rest.data(), got, into);
        read += got;
        return got;
    }
};

TEST(TranscriptState, ReadsOnlyWhatWasAppended) {
    CountedBytes file;
    file.bytes = jsonLines({userRecord("Hello", "/p"), test::paddingRecord(100000)});
    TranscriptState state("s");
    ASSERT_TRUE(state.update(file, {1, 2, file.bytes.size(), 1}));

    const std::string usage = usageRecord(40, 0, 0, 2);
    file.bytes += usage + "\n";
    file.read = 0;
    const FileIdentity grown{1, 2, file.bytes.size(), 2};
    const auto facts = state.update(file, grown);
    EXPECT_EQ(facts->contextTokensUsed, 42);
    EXPECT_EQ(facts->firstPrompt, "Hello");
    EXPECT_LE(file.read, usage.size() + 1 + 64);
    file.read = 0;
    EXPECT_EQ(state.update(file, grown), facts);
    EXPECT_EQ(file.read, 0u);

    // A read that fails gives no facts rather than those of the part read.
    file.failing = true;
    EXPECT_EQ(state.update(file, {1, 2, file.bytes.size() + 1, 3}), std::nullopt);
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
