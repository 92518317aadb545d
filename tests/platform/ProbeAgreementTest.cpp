// The /proc reader and the tool command lines must tell the scan the same things. Their logic
// runs over made-up files and outputs in the unit tests; this is the real tools' word.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "core/CommandProbes.h"
#include "platform/Platform.h"
#include "platform/linux/ProcProbes.h"
#include "platform/posix/PosixCommandRunner.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

TEST(ProbeAgreement, ProcAndToolsGiveTheSameRightAnswersForARealClaudeProcess) {
    const ProbeCommandSet commands = probeCommandSet();
    for (const std::string& tool : {commands.shell, commands.pgrep, commands.ps, commands.lsof}) {
        if (tool.empty() || tool.front() != '/' || ::access(tool.c_str(), X_OK) != 0) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    // lsof escapes every byte outside ASCII unless the locale is UTF-8.
    const test::ScopedEnvironment locale("LC_ALL", "C.UTF-8");

    test::TempTree tree;
    // A command before `exit`, so that the shell forks it rather than replacing itself.
    const auto terminal = test::Child::onTerminal(
        {test::copyProgram("/bin/sh", tree.root(), "konsole"), "-c", "\"$0\" 1000; exit",
         test::copyProgram("/bin/sleep", tree.root(), "claude").string()},
        tree.makeDirectory("in a terminal \xC3\xA9"));
    const auto claude = test::onlyChildOf(terminal.pid(), "claude");
    ASSERT_TRUE(claude);

    test::RecordingLogger procLogger, toolsLogger;
    ProcProbes proc(procLogger);
    PosixCommandRunner runner;
    CommandProbes tools(runner, commands, toolsLogger);
    EXPECT_EQ(std::ranges::count(tools.findClaudePIDs(), *claude), 1);
    EXPECT_EQ(tools.ttyForPID(*claude), terminal.terminal());
    EXPECT_EQ(tools.workingDirectoryForPID(*claude),
              std::filesystem::canonical(tree.path("in a terminal \xC3\xA9")).string());
    EXPECT_EQ(tools.terminalAppForPID(*claude), "Konsole");
    EXPECT_EQ(tools.uptimeForPID(*claude), "<1 min");

    EXPECT_EQ(proc.ttyForPID(*claude), tools.ttyForPID(*claude));
    EXPECT_EQ(proc.workingDirectoryForPID(*claude), tools.workingDirectoryForPID(*claude));
    EXPECT_EQ(proc.terminalAppForPID(*claude), tools.terminalAppForPID(*claude));
    EXPECT_EQ(proc.uptimeForPID(*claude), tools.uptimeForPID(*claude));
    EXPECT_EQ(procLogger.messages(), toolsLogger.messages());
}

}  // namespace
}  // namespace fernbeacon::platform
