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

std::string millisecondsDaysAgo(double days) {
    return std::to_string(static_cast<long long>((test::kTestNow - days * 86400.0) * 1000.0));
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
    std::vector<std::string> paths(std::initializer_list<std::string_view> live = {}) {
        std::vector<std::string> out;
        for (const RecentSession& session : recent(live)) {
            out.push_back(session.projectPath);
        }
        return out;
    }

    test::ScannerHarness h_;
};

TEST_F(RecentSessionsTest, AnIndexOrElseTheNewestTranscriptGivesOneSessionPerFolder) {
    index("-a", R"({"entries":[
        {"sessionId":"old","fileMtime":)" +
                    millisecondsDaysAgo(9) + R"(,"projectPath":"/old"},
        {"sessionId":"s","fileMtime":)" +
                    millisecondsDaysAgo(2) + R"(,"projectPath":"/a",
         "summary":"Index summary","firstPrompt":"Index prompt","messageCount":8,
         "gitBranch":"main"}]})");
    transcript("-a", "/a-transcript", 1);
    transcript("-b", "/b", 1);
    transcript("-b", "/b-old", 3, "old.jsonl");

    const auto sessions = recent();
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0].projectPath, "/b");
    EXPECT_EQ(sessions[0].firstPrompt, "prompt in -b");
    EXPECT_EQ(sessions[0].summary, std::nullopt);
    EXPECT_EQ(sessions[0].modified, daysBeforeNow(1));
    EXPECT_EQ(sessions[1].projectPath, "/a");
    EXPECT_EQ(sessions[1].summary, "Index summary");
    EXPECT_EQ(sessions[1].firstPrompt, "Index prompt");
    EXPECT_EQ(sessions[1].messageCount, 8);
    EXPECT_EQ(sessions[1].gitBranch, "main");
    EXPECT_NEAR(secondsSince1970(sessions[1].modified), secondsSince1970(daysBeforeNow(2)), 1e-3);
}

TEST_F(RecentSessionsTest, TitlesComeFromTheTranscriptThatTheIdNames) {
    index("-a", R"({"entries":[{"sessionId":"s","fileMtime":)" + millisecondsDaysAgo(2) +
                    R"(,"projectPath":"/a","summary":"Index summary"}]})");
    h_.project("-a", "s.jsonl", jsonLines({R"({"type":"ai-title","aiTitle":"AI"})"}),
               daysBeforeNow(2));
    h_.home.writeProjectFile("-a", "s/custom-title.json", R"({"customTitle":"Mine"})");
    index("-c", R"({"entries":[{"sessionId":"../-b/t","fileMtime":)" + millisecondsDaysAgo(3) +
                    R"(,"projectPath":"/c"}]})");
    h_.project("-b", "t.jsonl",
               jsonLines({userRecord("Prompt", "/b"),
                          R"({"type":"custom-title","customTitle":"Named","sessionId":"t"})"}),
               daysBeforeNow(1));
    const auto sessions = recent();
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions[0].sessionId, "t");
    EXPECT_EQ(sessions[0].displayTitle(), "Named");
    EXPECT_EQ(sessions[1].sessionId, "s");
    EXPECT_EQ(sessions[1].customTitle, "Mine");
    EXPECT_EQ(sessions[1].aiTitle, "AI");
    EXPECT_EQ(sessions[2].customTitle, std::nullopt);  // an id that leaves its folder names nothing
}

TEST_F(RecentSessionsTest, AStaleIndexHidesNewerTranscriptsButAnEmptyOrBrokenOneDoesNot) {
    index("-stale", R"({"entries":[{"fileMtime":)" + millisecondsDaysAgo(31) +
                        R"(,"projectPath":"/stale"}]})");
    transcript("-stale", "/stale-transcript", 1);
    index("-untimed", R"({"entries":[{"modified":"yesterday","projectPath":"/untimed"}]})");
    transcript("-untimed", "/untimed-transcript", 1);
    index("-empty", R"({"entries":[],"originalPath":"/empty-original"})");
    transcript("-empty", "/empty-transcript", 2);
    index("-broken", R"([{"fileMtime":1}])");
    transcript("-broken", "/broken-transcript", 3);
    index("-mixed", R"({"entries":[{"fileMtime":)" + millisecondsDaysAgo(1) + R"(},"x"]})");
    transcript("-mixed", "/mixed-transcript", 4);
    EXPECT_EQ(paths(), (std::vector<std::string>{"/empty-transcript", "/broken-transcript",
                                                 "/mixed-transcript"}));
}

TEST_F(RecentSessionsTest, TheLatestEntryWinsAndTheEarlierOfEqualTimes) {
    const auto time = millisecondsDaysAgo(1);
    index("-a", R"({"entries":[
        {"fileMtime":)" +
                    millisecondsDaysAgo(30) + R"(,"projectPath":"/at-cutoff"},
        {"fileMtime":)" +
                    time + R"(,"projectPath":"/first"},
        {"modified":"2025-06-14T12:00:00Z","projectPath":"/same-time-later-in-array"},
        {"fileMtime":)" +
                    millisecondsDaysAgo(3) + R"(,"projectPath":"/older"}]})");
    EXPECT_EQ(paths(), (std::vector<std::string>{"/first"}));
}

TEST_F(RecentSessionsTest, ThePathFallsBackToOriginalPathThenTheFirstRecordedCwd) {
    const auto entry = [](std::string_view summary, std::string_view extra) {
        return R"({"entries":[{"fileMtime":)" + millisecondsDaysAgo(1) + R"(,"summary":")" +
               std::string(summary) + "\"" + std::string(extra) + "}]";
    };
    index("-original", entry("original", "") + R"(,"originalPath":"/orig"})");
    index("-mistyped", entry("mistyped", R"(,"projectPath":5)") + R"(,"originalPath":"/o2"})");
    index("-cwd", entry("cwd", "") + "}");
    h_.project("-cwd", "a.jsonl",
               jsonLines({test::paddingRecord(6000), R"({"cwd":7})", cwdRecord("/from-cwd")}),
               daysBeforeNow(90));
    index("-empty", entry("empty", R"(,"projectPath":"")") + R"(,"originalPath":"/o3"})");
    index("-nothing", entry("nothing", "") + "}");
    h_.project("-nothing", "a.jsonl", jsonLines({userRecord("no cwd")}), daysBeforeNow(1));

    std::map<std::string, std::string> pathBySummary;
    for (const RecentSession& session : recent()) {
        pathBySummary[session.summary.value_or("?")] = session.projectPath;
    }
    EXPECT_EQ(pathBySummary,
              (std::map<std::string, std::string>{
                  {"original", "/orig"}, {"mistyped", "/o2"}, {"cwd", "/from-cwd"}}));
}

TEST_F(RecentSessionsTest, TakesEntryFieldsByType) {
    index("-a", R"({"entries":[{"fileMtime":)" + millisecondsDaysAgo(1) +
                    R"(,"projectPath":"/a","summary":"","firstPrompt":7,"messageCount":"3",
                      "gitBranch":""}]})");
    const auto sessions = recent();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].summary, "");
    EXPECT_EQ(sessions[0].firstPrompt, std::nullopt);
    EXPECT_EQ(sessions[0].messageCount, std::nullopt);
    EXPECT_EQ(sessions[0].gitBranch, "");
}

TEST_F(RecentSessionsTest, LeavesOutLiveDirectoriesOnBothPaths) {
    index("-a", R"({"entries":[{"fileMtime":)" + millisecondsDaysAgo(1) +
                    R"(,"projectPath":"/home/caf\u00e9"}]})");
    transcript("-a", "/fallback", 1);
    transcript("-b", "/b", 2);
    h_.project("-c", "t.jsonl", jsonLines({cwdRecord("")}), daysBeforeNow(3));
    EXPECT_EQ(paths({"/home/cafe\u0301", "/b"}), (std::vector<std::string>{""}));
    EXPECT_EQ(paths({"/b/"}).size(), 3u);
}

TEST_F(RecentSessionsTest, OrdersNewestFirstKeepingListingOrderForEqualTimes) {
    // Enough equal times that an unstable sort would reorder them.
    for (int i = 0; i < 40; ++i) {
        transcript("-p" + std::to_string(i), "/p" + std::to_string(i), 2);
    }
    transcript("-z", "/z", 1);
    h_.preferences.setInteger(kMaxRecentSessionsKey, 100);
    std::vector<std::string> expected{"/z"};
    const auto listed = listDirectory(h_.home.claudeDir() / "projects", false);
    for (const DirectoryEntry& entry : *listed) {
        if (entry.name != "-z") {
            expected.push_back("/" + entry.name.substr(1));
        }
    }
    EXPECT_EQ(paths(), expected);
}

TEST_F(RecentSessionsTest, CutsTheListToTheStoredMaximum) {
    for (int i = 0; i < 30; ++i) {
        const std::string folder = "-p" + std::to_string(i);
        index(folder, R"({"entries":[{"fileMtime":)" + millisecondsDaysAgo(1 + i * 0.5) +
                          R"(,"projectPath":"/p)" + std::to_string(i) + "\"}]}");
    }
    EXPECT_EQ(recent().size(), 15u);  // nothing stored
    h_.preferences.setInteger(kMaxRecentSessionsKey, 10);
    const auto ten = paths();
    EXPECT_EQ(ten, (std::vector<std::string>{"/p0", "/p1", "/p2", "/p3", "/p4", "/p5", "/p6", "/p7",
                                             "/p8", "/p9"}));
    h_.preferences.setInteger(kMaxRecentSessionsKey, 0);
    EXPECT_TRUE(recent().empty());
    h_.preferences.setInteger(kMaxRecentSessionsKey, -3);
    EXPECT_TRUE(recent().empty());
    h_.preferences.setInteger(kMaxRecentSessionsKey, 1000);
    EXPECT_EQ(recent().size(), 30u);
}

}  // namespace
}  // namespace fernbeacon
