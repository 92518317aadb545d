#include <gtest/gtest.h>

#include <fstream>

#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TerminalFakes.h"
#include "terminal/AppleScript.h"

namespace fernbeacon {
namespace {

using test::FakeRunner;
using test::FakeWorkspace;
using test::QueueDispatcher;
using test::RecordingLogger;

// The text of an AppleScript string literal that starts at `open`, as AppleScript reads it.
std::string appleScriptStringAt(const std::string& script, std::size_t open) {
    std::string value;
    for (std::size_t i = open + 1; i < script.size() && script[i] != '"'; ++i) {
        if (script[i] == '\\' && i + 1 < script.size()) {
            ++i;
        }
        value += script[i];
    }
    return value;
}

// Runs the command line that the script hands to the terminal through a real shell, with a
// `claude` on the search path that records where it was started.
TEST(AppleScriptTexts, HostileDirectoriesArriveIntactAndNothingRuns) {
    test::TempTree tree;
    const auto bin = tree.makeDirectory("bin");
    const auto record = tree.path("claude-ran-in");
    tree.write("bin/claude", "#!/bin/sh\npwd > '" + record.string() + "'\n");
    std::filesystem::permissions(bin / "claude", std::filesystem::perms::owner_all);
    for (const std::string name :
         {"quo\"te", "back\\slash", "$(touch pwned)", "`touch pwned`", "line\nfeed", "a'b $HOME"}) {
        const auto directory = tree.makeDirectory("d/" + name);
        for (const std::string& script : {iTerm2NewSessionScript(directory.string()),
                                          terminalAppNewSessionScript(directory.string())}) {
            const std::size_t marker = script.find("\"cd ");
            ASSERT_NE(marker, std::string::npos);
            const std::string commandLine = appleScriptStringAt(script, marker);
            std::filesystem::remove(record);
            const std::string shell =
                "cd '" + tree.root().string() + "' && PATH='" + bin.string() +
                ":/usr/bin:/bin' /bin/sh -c '" +
                [&] {
                    std::string quoted;
                    for (char c : commandLine) {
                        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
                    }
                    return quoted;
                }() +
                "'";
            ASSERT_EQ(std::system(shell.c_str()), 0) << commandLine;
            std::ifstream ran(record);
            std::string arrived;
            std::getline(ran, arrived, '\0');
            EXPECT_EQ(arrived, directory.string() + "\n") << commandLine;
            EXPECT_FALSE(std::filesystem::exists(tree.path("pwned")));
        }
    }
}

struct ScriptFixture {
    FakeRunner runner;
    RecordingLogger logger;
    FakeWorkspace workspace;
    QueueDispatcher dispatcher;
    TerminalApplications applications{
        workspace, dispatcher, {"iTerm2", "Terminal", "Alacritty", "kitty", "WezTerm"}};
    AppleScriptTerminals terminals{runner, applications, logger};

    void reply(const std::string& script, int status, std::string out, std::string err = {}) {
        CommandResult result;
        result.started = true;
        result.exitStatus = status;
        result.standardOutput = std::move(out);
        result.standardError = std::move(err);
        runner.reply("/usr/bin/osascript -e " + script, result);
    }
};

TEST(AppleScriptRunner, TrimsOutputAndLogsFailures) {
    ScriptFixture fixture;
    fixture.reply("a", 0, "found\n");
    fixture.reply("b", 1, "", "  execution error: Not allowed (-1743)\n");
    fixture.reply("c", 0, "\xff\xfe");
    EXPECT_EQ(fixture.terminals.runAppleScript("a"), "found");
    EXPECT_TRUE(scriptFoundTab("found"));
    EXPECT_FALSE(scriptFoundTab("not found"));
    EXPECT_FALSE(scriptFoundTab("Found"));
    EXPECT_EQ(fixture.terminals.runAppleScript("b"), "");
    EXPECT_EQ(fixture.terminals.runAppleScript("c"), "");
    EXPECT_EQ(fixture.terminals.runAppleScript("silent"), "");
    CommandResult missing;
    missing.startError = "No such file or directory";
    fixture.runner.reply("/usr/bin/osascript -e d", missing);
    EXPECT_EQ(fixture.terminals.runAppleScript("d"), "");
    // Said "found", then hung: a verdict cut off is no verdict.
    CommandResult hung;
    hung.started = hung.timedOut = true;
    hung.standardOutput = "found\n";
    fixture.runner.reply("/usr/bin/osascript -e e", hung);
    EXPECT_EQ(fixture.terminals.runAppleScript("e"), "");
    EXPECT_EQ(
        fixture.logger.messages(),
        (std::vector<test::LoggedMessage>{
            {LogLevel::Error, "osascript failed (status 1): execution error: Not allowed (-1743)"},
            {LogLevel::Error, "Failed to launch osascript: No such file or directory"},
            {LogLevel::Error, "osascript timed out after 10 seconds"}}));
}

}  // namespace
}  // namespace fernbeacon
