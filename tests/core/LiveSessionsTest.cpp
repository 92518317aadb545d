#include <gtest/gtest.h>

#include "core/ContextWindow.h"
#include "core/LiveRegistry.h"
#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::cwdRecord;
using test::daysBeforeNow;
using test::FakeProcess;
using test::jsonLines;
using test::TempTree;
using test::usageRecord;
using test::userRecord;

TEST(LiveRegistry, OnlyTheFileOfThisVeryProcessCounts) {
    test::TempTree tree;
    for (const auto& [name, text] : std::initializer_list<std::pair<std::string, std::string>>{
             {"19.json", R"({"pid":19,"procStart":"509","sessionId":"a-90","status":"waiting",)"
                         R"("waitingFor":"permission prompt","name":"x"})"},
             {"11.json", R"({"pid":11,"sessionId":"b","status":"busy","waitingFor":"old"})"},
             {"12.json", R"({"pid":13,"sessionId":"c"})"},
             {"15.json", R"({"pid":15,"sessionId":"a/../../x","status":"","waitingFor":"y"})"},
             {"018.json", R"({"pid":18,"sessionId":"g"})"},
             {"20.json", R"({"pid":20,"sessionId":"i","status":"bu\u001bsy"})"}}) {
        tree.write("sessions/" + name, text);
    }
    const auto registry = LiveRegistry::read(tree.root());
    const auto waiting = registry.entryFor(19, "509");
    ASSERT_TRUE(waiting);
    EXPECT_EQ(waiting->sessionId, "a-90");
    EXPECT_EQ(waiting->waitingFor, "permission prompt");
    // A file left by an earlier process with the same ID.
    EXPECT_FALSE(registry.entryFor(19, "501"));
    EXPECT_FALSE(registry.entryFor(19, std::nullopt));

    const auto busy = registry.entryFor(11, std::nullopt);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->waitingFor, std::nullopt);
    const auto unsafe = registry.entryFor(15, std::nullopt);
    ASSERT_TRUE(unsafe);
    EXPECT_EQ(unsafe->sessionId, std::nullopt);
    EXPECT_EQ(unsafe->status, std::nullopt);
    EXPECT_EQ(registry.entryFor(20, std::nullopt)->status, std::nullopt);
    for (const std::int32_t pid : {12, 13, 18}) {
        EXPECT_FALSE(registry.entryFor(pid, "509")) << pid;
    }
}

TEST(ContextWindow, TableModelsMarkersUsageAndTheSwitch) {
    const struct {
        std::optional<std::string> model;
        std::optional<std::int64_t> used;
        bool disabled;
        std::int64_t window;
    } cases[] = {
        {"claude-opus-4-6", std::nullopt, false, 1000000},
        {"claude-opus-4-6-20260101", 5, false, 1000000},
        {"claude-opus-4.8", 5, false, 1000000},
        {"opus[1m]", std::nullopt, false, 1000000},
        {"claude-opus-4-60", 5, false, 200000},
        {"opus", 200000, false, 200000},
        {std::nullopt, 200001, false, 1000000},
        {"claude-opus-4-6", 150000, true, 200000},
        {"claude-opus-4-6", 300000, true, 1000000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(contextWindowFor(c.model, c.used, c.disabled), c.window)
            << c.model.value_or("-") << " " << c.used.value_or(-1) << " " << c.disabled;
    }
}

class LiveSessionsTest : public ::testing::Test {
protected:
    void live(std::int32_t pid, std::string cwd, std::string startTime,
              std::optional<std::string> configDirectory = std::nullopt,
              std::optional<std::string> disabled = std::nullopt) {
        h_.addProcess(pid, FakeProcess{std::nullopt, std::move(cwd), std::nullopt, std::nullopt,
                                       std::move(startTime), std::move(configDirectory),
                                       std::move(disabled)});
    }

    // A line a session: its ID, registry status, model, context window, time and facts.
    static std::string rows(const ScanResult& result) {
        std::string text;
        for (const ClaudeSessionPtr& s : result.live) {
            text += test::joined(std::optional(s->pid), s->sessionId, s->statusText(), s->model,
                                 s->contextTokensMax, s->sessionModified) +
                    test::facts(*s) + "\n";
        }
        return text;
    }

    test::ScannerHarness h_;
};

TEST_F(LiveSessionsTest, TheRegistryTellsSessionsOfOneDirectoryApart) {
    h_.project("-a", "s-old.jsonl",
               jsonLines({cwdRecord("/a"), userRecord("First"), usageRecord(100, 0, 0, 0)}),
               daysBeforeNow(3));
    h_.project("-a", "s-new.jsonl",
               jsonLines({cwdRecord("/a"), userRecord("Second"), usageRecord(300000, 0, 0, 0)}),
               daysBeforeNow(1));
    h_.home.writeProjectFile("-a", "sessions-index.json",
                             R"({"entries":[{"sessionId":"s-old","summary":"Old one"}]})");
    // Recorded elsewhere, so only its ID finds it.
    h_.project("-z", "s-moved.jsonl", jsonLines({cwdRecord("/z"), userRecord("Moved")}),
               daysBeforeNow(2));
    h_.home.writeProjectFile("-z", "sessions-index.json",
                             R"({"entries":[{"sessionId":"s-moved","messageCount":77,)"
                             R"("fileMtime":1749816000000}]})");
    const auto registry = [this](std::int32_t pid, const std::string& rest) {
        h_.home.write(".claude/sessions/" + std::to_string(pid) + ".json",
                      R"({"pid":)" + std::to_string(pid) + "," + rest + "}");
    };
    registry(5, R"("procStart":"105","sessionId":"s-old","status":"waiting",)"
                R"("waitingFor":"permission prompt")");
    registry(6, R"("procStart":"106","sessionId":"s-new","status":"busy")");
    registry(7, R"("procStart":"107","sessionId":"s-cleared")");
    registry(10, R"("procStart":"110","sessionId":"s-moved")");
    registry(11, R"("sessionId":"s-old","status":"busy")");
    for (const std::int32_t pid : {5, 6, 7, 10}) {
        live(pid, "/a", std::to_string(100 + pid));
    }
    h_.addProcess(11, FakeProcess{});  // its working directory could not be read

    const auto result = runScanCycle(h_.scanner);
    // A registered transcript that is missing: the newest transcript.
    EXPECT_EQ(
        rows(result),
        "|5|s-old|waiting: permission prompt|-|200000|1749729600.000000|Old one|First|-|100|3\n"
        "|6|s-new|busy|-|1000000|1749902400.000000|-|Second|-|300000|3\n"
        "|7|s-cleared|-|-|1000000|1749902400.000000|-|Second|-|300000|3\n"
        "|10|s-moved|-|-|200000|1749816000.000000|-|Moved|-|-|77\n"
        "|11|s-old|busy|-|200000|-|-|-|-|-|-\n");
    // The live directory is left out once, whatever the number of its sessions.
    ASSERT_EQ(result.recent.size(), 1u);
    EXPECT_EQ(result.recent[0].projectPath, "/z");
}

TEST_F(LiveSessionsTest, ASessionElsewhereIsReadFromItsOwnDirectory) {
    test::TempTree other;
    other.write("settings.json", R"({"model":"opus[1m]"})");
    other.write("sessions/5.json",
                R"({"pid":5,"procStart":"1","sessionId":"mine","status":"idle"})");
    TempTree::setModified(
        other.write("projects/-x/mine.jsonl", jsonLines({cwdRecord("/x"), userRecord("Mine")})),
        daysBeforeNow(3));
    TempTree::setModified(
        other.write("projects/-y/y.jsonl", jsonLines({cwdRecord("/y"), userRecord("Why")})),
        daysBeforeNow(2));
    h_.home.write(".claude/settings.json", R"({"model":"claude-haiku-4-5"})");
    h_.project("-x", "decoy.jsonl", jsonLines({cwdRecord("/x"), userRecord("Decoy")}),
               daysBeforeNow(1));
    h_.project("-t", "t.jsonl", jsonLines({cwdRecord("/t"), userRecord("Tee")}), daysBeforeNow(4));
    live(5, "/x", "1", other.root().string());
    live(6, "/x", "2", "relative/dir");
    live(8, "/x", "4", other.root().string() + "/", "1");

    const auto result = runScanCycle(h_.scanner);
    EXPECT_EQ(rows(result),
              "|5|mine|idle|opus[1m]|1000000|1749729600.000000|-|Mine|-|-|2\n"
              "|6|decoy|-|claude-haiku-4-5|200000|1749902400.000000|-|Decoy|-|-|2\n"
              "|8|mine|-|opus[1m]|200000|1749729600.000000|-|Mine|-|-|2\n");
    ASSERT_EQ(result.recent.size(), 2u);
    EXPECT_EQ(result.recent[0].projectPath, "/y");
    EXPECT_EQ(result.recent[1].projectPath, "/t");
}

TEST_F(LiveSessionsTest, KeepsEveryProcessInListOrderEvenOneThatEndedBeforeItsProbes) {
    h_.addProcess(30, FakeProcess{"pts/3", "/nowhere", "kitty", "5 mins"});
    h_.addProcess(10, FakeProcess{});
    h_.probes.pids.push_back(20);
    const auto sessions = runScanCycle(h_.scanner).live;
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(test::describe({{sessions[0], sessions[2]}, {}}),
              "|30|pts/3|/nowhere|kitty|-|5 mins|200000|-|-|-|-|-|-\n"
              "|20|-|-|-|-|-|200000|-|-|-|-|-|-\n");
}

// Without a registry entry, the newest transcript of each folder is asked whether it was made here.
TEST_F(LiveSessionsTest, WithoutARegistryOnlyTheNewestTranscriptOfAFolderIsAsked) {
    h_.project("-a", "old.jsonl", jsonLines({cwdRecord("/p"), userRecord("old")}),
               daysBeforeNow(5));
    h_.project("-a", "new.jsonl", jsonLines({cwdRecord("/elsewhere"), userRecord("new")}),
               daysBeforeNow(1));
    live(1, "/p", "1");
    EXPECT_EQ(h_.scanner.scanLiveSessions().at(0)->firstPrompt, std::nullopt);
    h_.project("-b", "b.jsonl", jsonLines({cwdRecord("/p"), userRecord("from b")}),
               daysBeforeNow(3));
    EXPECT_EQ(h_.scanner.scanLiveSessions().at(0)->firstPrompt, "from b");
}

}  // namespace
}  // namespace fernbeacon
