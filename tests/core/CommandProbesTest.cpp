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

}  // namespace
}  // namespace fernbeacon
