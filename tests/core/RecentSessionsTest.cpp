#include <gtest/gtest.h>

#include <map>

#include "core/Directory.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::cwdRecord;
using test::daysBeforeNow;
using test::jsonLines;
using test::userRecord;
using Paths = std::vector<std::string>;

// An index entry written `days` ago, with more fields after the date.
std::string entry(double days, std::string_view fields = {}) {
    const auto ms = static_cast<long long>((test::kTestNow - days * 86400.0) * 1000.0);
    return R"({"fileMtime":)" + std::to_string(ms) + (fields.empty() ? "" : ",") +
           std::string(fields) + "}";
}

std::string entries(std::initializer_list<std::string> list, std::string_view rest = {}) {
    std::string joined;
    for (const std::string& one : list) {
        joined += (joined.empty() ? "" : ",") + one;
    }
    return R"({"entries":[)" + joined + "]" + std::string(rest) + "}";
}

class RecentSessionsTest : public ::testing::Test {
protected:
    void index(std::string_view folder, std::string_view contents) {
        h_.home.writeProjectFile(folder, "sessions-index.json", contents);
    }
    void transcript(std::string_view folder, std::string_view cwd, double daysAgo,
                    std::string_view name = "t.jsonl") {
        h_.project(folder, name, jsonLines({userRecord("prompt in " + std::string(folder), cwd)}),
                   daysBeforeNow(daysAgo));
    }
    std::vector<RecentSession> recent(std::initializer_list<std::string_view> live = {}) {
        DirectorySet excluding;
        for (const auto directory : live) {
            excluding.insert(directory);
        }
        return h_.scanner.recentSessions(excluding);
    }
    Paths paths(std::initializer_list<std::string_view> live = {}) {
        Paths out;
        for (const RecentSession& session : recent(live)) {
            out.push_back(session.projectPath);
        }
        return out;
    }

    test::ScannerHarness h_;
};

TEST_F(RecentSessionsTest, TheLatestIndexEntryOrElseTheNewestTranscriptGivesOnePerFolder) {
    index("-a", entries({entry(30, R"("projectPath":"/at-cutoff")"),
                         entry(2, R"("sessionId":"s","projectPath":"/a","summary":"Index summary",
                                   "firstPrompt":"Index prompt","messageCount":8,
                                   "gitBranch":"main")"),
                         // An equal time later in the list loses.
                         R"({"modified":"2025-06-13T12:00:00Z","projectPath":"/same-later"})"}));
    transcript("-a", "/a-transcript", 1);
    transcript("-b", "/b", 1);
    transcript("-b", "/b-old", 3, "old.jsonl");
    index("-c", entries({entry(1.5, R"("projectPath":"/c","summary":"","firstPrompt":7,
                                    "messageCount":"3","gitBranch":"")")}));

    const auto sessions = recent();
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(test::facts(sessions[0]), "|/b|-|prompt in -b|-|-");
    // Each field only of its own type.
    EXPECT_EQ(test::facts(sessions[1]), "|/c||-||-");
    EXPECT_EQ(test::facts(sessions[2]), "|/a|Index summary|Index prompt|main|8");
}

TEST_F(RecentSessionsTest, TitlesComeFromTheTranscriptThatTheIdNamesInItsOwnFolder) {
    index("-a", entries({entry(2, R"("sessionId":"s","projectPath":"/a")")}));
    h_.project("-a", "s.jsonl", jsonLines({R"({"type":"ai-title","aiTitle":"AI"})"}),
               daysBeforeNow(2));
    index("-c", entries({entry(3, R"("sessionId":"../-a/s","projectPath":"/c")")}));
    const auto sessions = recent();
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0].aiTitle, "AI");
    EXPECT_EQ(sessions[1].aiTitle, std::nullopt);
}

TEST_F(RecentSessionsTest, AStaleIndexHidesNewerTranscriptsButAnEmptyOrBrokenOneDoesNot) {
    index("-stale", entries({entry(31, R"("projectPath":"/stale")")}));
    transcript("-stale", "/stale-transcript", 1);
    index("-empty", entries({}, R"(,"originalPath":"/empty-original")"));
    transcript("-empty", "/empty-transcript", 2);
    index("-broken", R"([{"fileMtime":1}])");
    transcript("-broken", "/broken-transcript", 3);
    transcript("-cutoff", "/cutoff", 30);
    EXPECT_EQ(paths(), (Paths{"/empty-transcript", "/broken-transcript"}));
}

TEST_F(RecentSessionsTest, ThePathFallsBackToOriginalPathThenTheFirstRecordedCwd) {
    index("-original", entries({entry(1, R"("summary":"original")")}, R"(,"originalPath":"/o1")"));
    index("-cwd", entries({entry(1, R"("summary":"cwd")")}));
    h_.project("-cwd", "a.jsonl",
               jsonLines({test::paddingRecord(6000), R"({"cwd":7})", cwdRecord("/from-cwd")}),
               daysBeforeNow(90));

    std::map<std::string, std::string> pathBySummary;
    for (const RecentSession& session : recent()) {
        pathBySummary[session.summary.value_or("?")] = session.projectPath;
    }
    EXPECT_EQ(pathBySummary,
              (std::map<std::string, std::string>{{"original", "/o1"}, {"cwd", "/from-cwd"}}));
}

TEST_F(RecentSessionsTest, LeavesOutLiveDirectoriesOnBothPaths) {
    index("-a", entries({entry(1, R"("projectPath":"/home/caf\u00e9")")}));
    transcript("-a", "/fallback", 1);
    transcript("-b", "/b", 2);
    h_.project("-c", "t.jsonl", jsonLines({cwdRecord("")}), daysBeforeNow(3));
    EXPECT_EQ(paths({"/home/cafe\u0301", "/b"}), Paths{""});
    EXPECT_EQ(paths({"/b/"}).size(), 3u);
}

TEST_F(RecentSessionsTest, NewestFirstListingOrderForEqualTimesCutToTheStoredMaximum) {
    // Enough equal times that an unstable sort would reorder them.
    for (int i = 0; i < 40; ++i) {
        transcript("-p" + std::to_string(i), "/p" + std::to_string(i), 2);
    }
    transcript("-z", "/z", 1);
    EXPECT_EQ(recent().size(), 15u);  // nothing stored
    h_.preferences.setInteger(kMaxRecentSessionsKey, 100);
    Paths expected{"/z"};
    const auto listing = listDirectory(h_.home.claudeDir() / "projects", false);
    for (const DirectoryEntry& listed : *listing) {
        if (listed.name != "-z") {
            expected.push_back("/" + listed.name.substr(1));
        }
    }
    EXPECT_EQ(paths(), expected);
    h_.preferences.setInteger(kMaxRecentSessionsKey, 10);
    expected.resize(10);
    EXPECT_EQ(paths(), expected);
    h_.preferences.setInteger(kMaxRecentSessionsKey, -3);
    EXPECT_TRUE(recent().empty());
}

}  // namespace
}  // namespace fernbeacon
