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
using test::TestProcess;

bool contains(const std::vector<std::int32_t>& pids, std::int32_t pid) {
    return std::find(pids.begin(), pids.end(), pid) != pids.end();
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
    const auto inTerminal = TestProcess::start(
        {program, {"1000"}, tree.makeDirectory("in a terminal \xC3\xA9"), true, "konsole"});
    const auto detached = TestProcess::start(
        {program, {"1000"}, tree.makeDirectory("detached"), false, std::nullopt});
    ASSERT_TRUE(inTerminal && detached);

    RecordingLogger procLogger;
    RecordingLogger toolsLogger;
    ProcProbes proc(procLogger);
    PosixCommandRunner runner;
    CommandProbes tools(runner, commands, toolsLogger);

    // Other tests' claude processes may come and go between the two listings: a few tries
    // usually settle it; otherwise the processes both listings saw must agree in their order.
    std::vector<std::int32_t> fromProc;
    std::vector<std::int32_t> fromTools;
    for (int attempt = 0; attempt < 5; ++attempt) {
        fromProc = proc.findClaudePIDs();
        fromTools = tools.findClaudePIDs();
        if (fromProc == fromTools) {
            break;
        }
    }
    const auto seenByBoth = [](std::vector<std::int32_t> pids,
                               const std::vector<std::int32_t>& other) {
        std::erase_if(pids, [&](std::int32_t pid) { return !contains(other, pid); });
        return pids;
    };
    EXPECT_EQ(seenByBoth(fromProc, fromTools), seenByBoth(fromTools, fromProc));
    EXPECT_TRUE(contains(fromProc, inTerminal->pid()) && contains(fromProc, detached->pid()));
    EXPECT_TRUE(contains(fromTools, inTerminal->pid()) && contains(fromTools, detached->pid()));
    EXPECT_FALSE(contains(fromTools, *inTerminal->parentPid()));

    for (const TestProcess* process : {inTerminal.get(), detached.get()}) {
        const std::int32_t pid = process->pid();
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
    EXPECT_EQ(proc.ttyForPID(inTerminal->pid()), inTerminal->terminalName());
    EXPECT_EQ(proc.ttyForPID(detached->pid()), std::nullopt);
    EXPECT_EQ(tools.workingDirectoryForPID(inTerminal->pid()),
              std::filesystem::canonical(tree.path("in a terminal \xC3\xA9")).string());
    EXPECT_EQ(tools.workingDirectoryForPID(detached->pid()),
              std::filesystem::canonical(tree.path("detached")).string());
    EXPECT_EQ(tools.terminalAppForPID(inTerminal->pid()), "Konsole");
    EXPECT_EQ(tools.uptimeForPID(detached->pid()), "<1 min");
}

}  // namespace
}  // namespace fernbeacon::platform
