#include "core/CommandProbes.h"
#include "core/CommandRunner.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"

namespace fernbeacon {
namespace {

using test::FakeRunner;
using test::LoggedMessage;
using test::RecordingLogger;
using Pids = std::vector<std::int32_t>;
using Requests = std::vector<std::string>;

// The fake answers only its exact argument list: an answer shows the line went whole to the shell.
TEST(RunCommand, HandsTheWholeLineToTheShellAndKeepsUtf8OutputWhateverTheExit) {
    FakeRunner runner;
    runner.reply("/bin/zsh -c /usr/bin/pgrep -x claude", {true, {}, false, 1, "  partial \n", {}});
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "/usr/bin/pgrep -x claude", nullptr), "  partial \n");
    const std::pair<std::string, std::string> cases[] = {
        {"n/m\xC3\xA9/\n", "n/m\xC3\xA9/\n"},
        {"caf\xE9\n", ""},
        {"\xED\xA0\x80", ""},  // an encoded surrogate
    };
    for (const auto& [output, kept] : cases) {
        runner.replyOutput("/bin/sh -c x", output);
        EXPECT_EQ(runCommand(runner, "/bin/sh", "x", nullptr), kept) << output;
    }
}

TEST(RunCommand, GivesEmptyTextAndLogsWhenTheCommandFailedToStartOrRanOutOfTime) {
    FakeRunner runner;
    runner.reply("/bin/zsh -c /bin/ps -o tty= -p 42",
                 {false, "No such file or directory", false, {}, "ignored", {}});
    runner.reply("/bin/sh -c /usr/bin/pgrep -x claude", {true, {}, true, {}, "812\n", {}});
    RecordingLogger logger;
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "/bin/ps -o tty= -p 42", &logger), "");
    EXPECT_EQ(runCommand(runner, "/bin/sh", "/usr/bin/pgrep -x claude", &logger), "");
    EXPECT_EQ(logger.messages(),
              (std::vector<LoggedMessage>{
                  {LogLevel::Error,
                   "Failed to run: /bin/ps -o tty= -p 42 \xE2\x80\x94 No such file or directory"},
                  {LogLevel::Error, "Timed out after 10 seconds: /usr/bin/pgrep -x claude"}}));
}

TEST(LogMessage, APlaceholderWithoutAnArgumentSaysSo) {
    EXPECT_EQ(Logger::formatLogMessage("%s: %ld%% of %s", "scan", 42), "scan: 42% of (missing)");
}

TEST(ProbeCommandSet, QuotesAToolPathThatIsNotAPlainWord) {
    FakeRunner runner;
    RecordingLogger logger;
    const CommandProbes hostile(runner, ProbeCommandSet::forLinux("/home/o'brien/$(reboot)/lsof"),
                                logger);
    EXPECT_EQ(hostile.workingDirectoryCommand(1),
              "'/home/o'\\''brien/$(reboot)/lsof' -a -d cwd -p 1 -Fn 2>/dev/null | grep '^n/'");
}

// pgrep's answer when it names a process, else the claude lines of ps.
TEST(CommandProbes, FindsClaudeWithPgrepAndAsksPsOnlyWhenPgrepFindsNothing) {
    RecordingLogger logger;
    const std::string pgrep = "/bin/zsh -c /usr/bin/pgrep -x claude";
    const std::string ps = "/bin/zsh -c /bin/ps -eo pid,comm";
    for (const auto& [pgrepOutput, asked] : {std::pair("812\n813\n", Requests{pgrep}),
                                             {"pgrep: illegal option -- x\n", {pgrep, ps}}}) {
        FakeRunner runner;
        runner.replyOutput(pgrep, pgrepOutput);
        runner.replyOutput(ps, "  PID COMM\n  812 /usr/local/bin/claude\n  813 claude\n  814 x\n");
        CommandProbes probes(runner, ProbeCommandSet::forMacOS(), logger);
        EXPECT_EQ(probes.findClaudePIDs(), (Pids{812, 813})) << pgrepOutput;
        EXPECT_EQ(runner.requests(), asked);
    }
}

}  // namespace
}  // namespace fernbeacon
