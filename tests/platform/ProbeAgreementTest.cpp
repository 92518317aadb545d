// The /proc reader and the tool command lines must tell the scan the same things.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "core/CommandProbes.h"
#include "core/Text.h"
#include "platform/Platform.h"
#include "platform/linux/ProcProbes.h"
#include "platform/posix/PosixCommandRunner.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

using test::RecordingLogger;
using test::TempTree;

bool contains(const std::vector<std::int32_t>& pids, std::int32_t pid) {
    return std::ranges::count(pids, pid) > 0;
}

TEST(ProbeAgreement, ProcAndToolsGiveTheSameAnswersForRealClaudeProcesses) {
    const ProbeCommandSet commands = probeCommandSet();
    for (const std::string& tool : {commands.shell, commands.pgrep, commands.ps, commands.lsof}) {
        if (tool.empty() || tool.front() != '/' || ::access(tool.c_str(), X_OK) != 0) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    // lsof escapes every byte outside ASCII unless the locale is UTF-8.
    const test::ScopedEnvironment locale("LC_ALL", "C.UTF-8");

    TempTree tree;
    const auto program = test::copyProgram("/bin/sleep", tree.root(), "claude");
    // A command before `exit`, so that the shell forks it rather than replacing itself.
    const auto terminal =
        test::Child::onTerminal({test::copyProgram("/bin/sh", tree.root(), "konsole"), "-c",
                                 "\"$0\" 1000; exit", program.string()},
                                tree.makeDirectory("in a terminal \xC3\xA9"));
    const test::Child detached({program.string(), "1000"});
    const auto inTerminal = test::onlyChildOf(terminal.pid(), "claude");
    ASSERT_TRUE(inTerminal);
    ASSERT_EQ(test::onlyChildOf(::getpid(), "claude"), detached.pid());

    RecordingLogger procLogger, toolsLogger;
    ProcProbes proc(procLogger);
    PosixCommandRunner runner;
    CommandProbes tools(runner, commands, toolsLogger);

    // Other tests' claude processes may come and go between the two listings.
    const std::vector<std::int32_t> fromProc = proc.findClaudePIDs();
    const std::vector<std::int32_t> fromTools = tools.findClaudePIDs();
    EXPECT_TRUE(contains(fromProc, *inTerminal) && contains(fromProc, detached.pid()));
    EXPECT_TRUE(contains(fromTools, *inTerminal) && contains(fromTools, detached.pid()));
    EXPECT_FALSE(contains(fromTools, terminal.pid()));

    for (const std::int32_t pid : {*inTerminal, detached.pid()}) {
        SCOPED_TRACE("pid " + std::to_string(pid));
        EXPECT_EQ(proc.ttyForPID(pid), tools.ttyForPID(pid));
        EXPECT_EQ(proc.workingDirectoryForPID(pid), tools.workingDirectoryForPID(pid));
        EXPECT_EQ(proc.terminalAppForPID(pid), tools.terminalAppForPID(pid));
        EXPECT_EQ(proc.uptimeForPID(pid), tools.uptimeForPID(pid));
        // ps's own elapsed-time text, which may tick over between the two readings.
        std::optional<std::string> fromPs;
        std::optional<std::string> computed;
        for (int attempt = 0; attempt < 3 && (!fromPs || fromPs != computed); ++attempt) {
            const auto output =
                runCommand(runner, commands.shell, tools.elapsedTimeCommand(pid), &toolsLogger);
            fromPs = std::string(trimWhitespaceAndNewlines(output));
            computed = proc.elapsedTimeText(pid);
        }
        EXPECT_EQ(computed, fromPs);
    }
    EXPECT_EQ(procLogger.messages(), toolsLogger.messages());

    // And they are right.
    EXPECT_EQ(proc.ttyForPID(*inTerminal), terminal.terminal());
    EXPECT_EQ(proc.ttyForPID(detached.pid()), std::nullopt);
    EXPECT_EQ(tools.workingDirectoryForPID(*inTerminal),
              std::filesystem::canonical(tree.path("in a terminal \xC3\xA9")).string());
    EXPECT_EQ(tools.terminalAppForPID(*inTerminal), "Konsole");
    EXPECT_EQ(tools.uptimeForPID(detached.pid()), "<1 min");
}

}  // namespace
}  // namespace fernbeacon::platform
