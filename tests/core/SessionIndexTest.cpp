#include <gtest/gtest.h>

#include "core/FileReading.h"
#include "core/SessionIndex.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

class SessionIndexTest : public ::testing::Test {
protected:
    std::filesystem::path write(std::string_view contents) {
        return tree_.write(kSessionIndexName, contents);
    }
    ClaudeSession applied(std::string_view contents) {
        ClaudeSession session(1, std::nullopt, std::nullopt, std::nullopt);
        session.messageCount = 12;  // the transcript's line count
        session.gitBranch = "from-transcript";
        applySessionIndex(session, write(contents), "s1");
        return session;
    }

    test::TempTree tree_;
};

// The fuzz target reads every shape; these are the ones that decide usable or not.
TEST_F(SessionIndexTest, IsUsableOnlyAsAnObjectWithAnArrayOfObjects) {
    const auto usable = SessionIndex::read(
        write(R"({"version":1,"entries":[{"sessionId":"a"},{}],"originalPath":"/o"})"));
    ASSERT_TRUE(usable);
    EXPECT_EQ(usable->originalPath(), "/o");

    for (const char* unusable :
         {R"({"entries":{}})", R"({"entries":[{},"x"]})", R"({"entries":[]} trailing)"}) {
        EXPECT_FALSE(SessionIndex::read(write(unusable))) << unusable;
    }
}

TEST_F(SessionIndexTest, TheFirstMatchingEntryGivesItsValuesOfTheRightType) {
    const auto session = applied(R"({"entries":[
        {"sessionId":5,"summary":"wrong type"}, {"sessionId":"other","summary":"other"},
        {"sessionId":"s1","summary":"First","messageCount":30,"gitBranch":"feature",
         "firstPrompt":"not used"},
        {"sessionId":"s1","summary":"Second","messageCount":1,"gitBranch":"late"}]})");
    EXPECT_EQ(test::facts(session), "|First|-|feature|-|30");
    // The fuzz target checks that empty texts are left out.
    const auto mistyped = applied(R"({"entries":[
        {"sessionId":"s1","summary":3,"messageCount":4.5,"gitBranch":null}]})");
    EXPECT_EQ(test::facts(mistyped), "|-|-|from-transcript|-|12");
}

std::optional<double> entryDate(std::string_view entry) {
    json::Parser parser;
    const simdjson::padded_string bytes(entry);
    const auto object = parser.parseObject({bytes.data(), bytes.size()});
    const auto date = object ? indexEntryDate(*object) : std::nullopt;
    return date ? std::optional<double>(secondsSince1970(*date)) : std::nullopt;
}

// The fuzz target checks the calendar; these are the precedence and the offsets' range.
TEST(IndexEntryDate, TakesMillisecondsFirstThenInternetDateTime) {
    const double jan15 = 1736937000.0;  // 2025-01-15T10:30:00Z
    const struct {
        const char* entry;
        std::optional<double> seconds;
    } cases[] = {
        {R"({"fileMtime":1700000000500.0,"modified":"2025-01-15T10:30:00Z"})", 1700000000.5},
        {R"({"fileMtime":"1700000000000","modified":"2025-01-15T10:30:00Z"})", jan15},
        {R"({"modified":"2025-01-15T05:00:00.5-05:30"})", jan15 + 0.5},
        {R"({"modified":"2025-01-16T09:30:00+23:00"})", jan15},
        {R"({"modified":"2025-01-15T10:30:00+24:00"})", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto seconds = entryDate(c.entry);
        ASSERT_EQ(seconds.has_value(), c.seconds.has_value()) << c.entry;
        if (seconds) {
            EXPECT_NEAR(*seconds, *c.seconds, 1e-6) << c.entry;
        }
    }
}

// /proc reports no size for what it holds; a whole read still stops at its limit.
TEST(ReadWholeFile, AFileLargerThanItsReportedSizeIsReadUpToTheLimit) {
    const auto status = readWholeFile("/proc/self/status", 1 << 20);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->view().starts_with("Name:"));
    EXPECT_FALSE(readWholeFile("/proc/self/status", 64));
}

}  // namespace
}  // namespace fernbeacon
