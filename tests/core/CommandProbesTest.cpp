#include "core/CommandProbes.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"

namespace fernbeacon {
namespace {

using test::FakeRunner;
using test::RecordingLogger;
using Pids = std::vector<std::int32_t>;
using Requests = std::vector<std::string>;

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

TEST(CommandProbes, ReadsEachProbesOutput) {
    FakeRunner runner;
    RecordingLogger logger;
    runner.replyOutput("/bin/sh -c /bin/ps -o tty= -p 42", "pts/3   \n");
    runner.replyOutput("/bin/sh -c /bin/ps -o tty= -p 43", "?\n");
    runner.replyOutput("/bin/sh -c lsof -a -d cwd -p 42 -Fn 2>/dev/null | grep '^n/'",
                       "n/home/me/project\n");
    runner.replyOutput("/bin/sh -c /bin/ps -o etime= -p 42", "    05:07\n");
    runner.replyOutput("/bin/sh -c /bin/ps -eo pid,ppid,comm",
                       "  PID  PPID COMMAND\n    1     0 systemd\n  300     1 konsole\n"
                       "  400   300 bash\n   42   400 claude\n   43     1 claude\n");
    CommandProbes probes(runner, ProbeCommandSet::forLinux("lsof"), logger);

    EXPECT_EQ(probes.ttyForPID(42), "pts/3");
    EXPECT_EQ(probes.ttyForPID(43), std::nullopt);
    EXPECT_EQ(probes.workingDirectoryForPID(42), "/home/me/project");
    EXPECT_EQ(probes.uptimeForPID(42), "5 mins");
    EXPECT_EQ(probes.terminalAppForPID(42), "Konsole");
    EXPECT_EQ(probes.terminalAppForPID(43), std::nullopt);
    // A process that has gone: the tools print nothing on standard output.
    EXPECT_EQ(probes.workingDirectoryForPID(7), std::nullopt);
}

}  // namespace
}  // namespace fernbeacon
