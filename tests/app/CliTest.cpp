#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>

#include "app/Cli.h"
#include "core/FileReading.h"
#include "core/Json.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::app {
namespace {

using test::TempTree;

CliParse parse(std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> list(arguments);
    return parseArguments(list);
}

TEST(CliArguments, CommandsAndOptions) {
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(*parse({"list", "-h"}).command));
    EXPECT_TRUE(std::holds_alternative<ShowVersion>(*parse({"--version"}).command));
    EXPECT_EQ(std::get<ShowHelp>(*parse({"focus", "4242", "--help"}).command).topic,
              HelpTopic::Focus);
    EXPECT_EQ(std::get<ShowHelp>(*parse({"help", "tray"}).command).topic, HelpTopic::Tray);

    const auto list =
        std::get<ListOptions>(*parse({"list", "--json", "-v", "--probes=tools"}).command);
    EXPECT_TRUE(list.json && list.verbose);
    EXPECT_EQ(list.probes, platform::ProbeSource::Commands);
    const auto focus = std::get<FocusOptions>(*parse({"focus", "-v", "4242"}).command);
    EXPECT_EQ(focus.pid, 4242);
    EXPECT_TRUE(focus.verbose);
    EXPECT_EQ(std::get<OpenOptions>(*parse({"open", "-"}).command).directory, "-");
    EXPECT_TRUE(std::get<MenuOptions>(*parse({"menu", "--verbose"}).command).verbose);
}

TEST(CliArguments, BadArgumentsGiveOneLineAndStatusTwo) {
    for (const auto& arguments :
         std::vector<std::vector<std::string_view>>{{"lisst"},
                                                    {"list", "--jsn"},
                                                    {"list", "--probes=ps"},
                                                    {"--json"},
                                                    {"focus"},
                                                    {"focus", "0"},
                                                    {"focus", "12x"},
                                                    {"focus", "1", "2"},
                                                    {"open"},
                                                    {"open", "--json", "/tmp"},
                                                    {"menu", "--json"},
                                                    {"help", "lisst"},
                                                    {"help", "list", "focus"}}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(run(arguments, out, err), 2) << arguments.back();
        EXPECT_TRUE(out.str().empty());
        const std::string message = err.str();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
}

TEST(CliArguments, HelpOnAFullDiskFails) {
    const std::vector<std::string_view> arguments{"--help"};
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(run(arguments, out, err), 1);
}

// Failures of the program itself: one line, and status 1.
TEST(ProgramCommands, NoGraphicalSessionNoSuchSessionOrNoDirectoryFailWithOneLine) {
    const TempTree tree;
    const auto file = tree.write("file", "");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                   FERNBEACON_BINARY},
          {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", FERNBEACON_BINARY, "menu"},
          {FERNBEACON_BINARY, "focus", std::to_string(::getpid())},
          {FERNBEACON_BINARY, "open", file.string()},
          {FERNBEACON_BINARY, "open", tree.path("missing").string()}}) {
        const CommandResult result = test::runTool(arguments);
        const std::string output = result.standardOutput + result.standardError;
        EXPECT_EQ(result.exitStatus, 1) << arguments.back();
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

// The whole program on a fixture home: a live session enriched from its project folder, and the
// recent list without that folder.
TEST(ListCommand, JsonOnAFixtureHome) {
    const test::ProgramHome home;
    home.write(".config/Fernbeacon/Fernbeacon.conf", "[General]\nmaxRecentSessions=5\n");
    home.write(".claude/settings.json", R"({"model": "sonnet"})");
    const auto directory = home.makeDirectory("spotter");
    const std::string cwd = directory.string();

    const auto transcript = home.writeProjectFile(
        "live", "abc.jsonl",
        test::cwdRecord(cwd, "feature") + "\n" + test::userRecord("Make it faster") + "\n" +
            test::usageRecord(1200, 30000, 0, 300) + "\n");
    home.writeProjectFile(
        "live", "sessions-index.json",
        R"({"entries": [{"sessionId": "abc", "summary": "Speed work", "messageCount": 7}]})");
    const auto now = std::chrono::system_clock::now();
    home.writeProjectFile(
        "indexed", "sessions-index.json",
        R"({"entries": [{"fileMtime": )" +
            std::to_string(static_cast<long long>(secondsSince1970(now) * 1000 - 60000)) +
            R"(, "summary": "Old work", "projectPath": "/srv/indexed", "messageCount": 3}]})");
    home.writeProjectFile("plain", "x.jsonl", test::cwdRecord("/srv/plain") + "\n");
    // A folder whose index names the live directory: left out of the recent list. Its newest
    // transcript was recorded elsewhere, so it is not the live session's folder.
    home.writeProjectFile("older-live", "sessions-index.json",
                          R"({"entries": [{"modified": "2099-01-01T00:00:00Z", "projectPath": )" +
                              test::jsonQuoted(cwd) + "}]}");
    home.writeProjectFile("older-live", "z.jsonl", test::cwdRecord("/elsewhere") + "\n");

    const test::Child claude({home.claude().string(), "60"}, -1, directory);
    ASSERT_TRUE(test::waitUntil([&] { return test::commandNameOf(claude.pid()) == "claude"; }));

    const CommandResult listing = test::runTool({FERNBEACON_BINARY, "list", "--json"});
    EXPECT_EQ(listing.exitStatus, 0);
    const std::string& output = listing.standardOutput;
    PaddedBuffer buffer(output.size());
    std::copy(output.begin(), output.end(), buffer.data());
    buffer.setSize(output.size());
    json::Parser parser;
    const auto root = parser.parseObject(buffer.view());
    ASSERT_TRUE(root) << output;

    std::optional<json::Object> live;
    const auto liveSessions = json::arrayOfObjects(*root, "live");
    ASSERT_TRUE(liveSessions);
    for (json::Element element : *liveSessions) {
        const json::Object session = element.get_object().value_unsafe();
        if (json::integer(session, "pid") == claude.pid()) {
            live = session;
        }
    }
    ASSERT_TRUE(live) << output;
    EXPECT_EQ(json::string(*live, "workingDirectory"), cwd);
    EXPECT_EQ(json::string(*live, "summary"), "Speed work");
    EXPECT_EQ(json::string(*live, "firstPrompt"), "Make it faster");
    EXPECT_EQ(json::integer(*live, "messageCount"), 7);
    EXPECT_EQ(json::string(*live, "gitBranch"), "feature");
    EXPECT_EQ(json::string(*live, "model"), "sonnet");
    EXPECT_EQ(json::integer(*live, "contextTokensUsed"), 31500);
    EXPECT_EQ(json::integer(*live, "contextTokensMax"), 200000);
    EXPECT_EQ(json::string(*live, "processUptime"), "<1 min");
    EXPECT_EQ(json::string(*live, "displayTitle"), "Speed work");
    EXPECT_EQ(json::string(*live, "contextLabel"), "31k / 200k tokens (15%)");
    EXPECT_TRUE((*live)["tty"].is_null());
    EXPECT_TRUE((*live)["sessionCreated"].is_null());
    const auto modified = json::number(*live, "sessionModified");
    ASSERT_TRUE(modified);
    EXPECT_NEAR(*modified, secondsSince1970(now), 60);

    std::vector<std::string> recentPaths;
    const auto recentSessions = json::arrayOfObjects(*root, "recent");
    ASSERT_TRUE(recentSessions);
    for (json::Element element : *recentSessions) {
        recentPaths.emplace_back(*json::string(element.get_object().value_unsafe(), "projectPath"));
    }
    EXPECT_EQ(recentPaths, (std::vector<std::string>{"/srv/plain", "/srv/indexed"}));
}

}  // namespace
}  // namespace fernbeacon::app
