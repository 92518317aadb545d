#pragma once

#include <string>

#include "core/CommandRunner.h"
#include "core/Logger.h"
#include "core/ProcessProbes.h"

namespace fernbeacon {

// Where the probe command lines find their tools, how ps marks "no terminal", and how long
// each command may run.
struct ProbeCommandSet {
    std::string shell;
    std::string pgrep;
    std::string ps;
    std::string lsof;
    std::string noTerminalMark;
    std::chrono::milliseconds timeLimit = kCommandTimeLimit;

    static ProbeCommandSet forMacOS();
    // `lsof` is the path found on the search path (Debian keeps it in /usr/bin).
    static ProbeCommandSet forLinux(std::string lsof);
};

// The probes as command lines run through the shell, each within the set's time limit.
class CommandProbes final : public ProcessProbes {
public:
    CommandProbes(CommandRunner& runner, ProbeCommandSet commands, Logger& logger);

    std::vector<std::int32_t> findClaudePIDs() override;
    std::optional<std::string> ttyForPID(std::int32_t pid) override;
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override;
    std::optional<std::string> terminalAppForPID(std::int32_t pid) override;
    std::optional<std::string> uptimeForPID(std::int32_t pid) override;

    // The command lines, exposed for tests.
    std::string pgrepCommand() const;
    std::string psClaudeCommand() const;
    std::string ttyCommand(std::int32_t pid) const;
    std::string workingDirectoryCommand(std::int32_t pid) const;
    std::string parentTableCommand() const;
    std::string elapsedTimeCommand(std::int32_t pid) const;

private:
    std::string run(const std::string& commandLine);

    CommandRunner& runner_;
    const ProbeCommandSet commands_;
    Logger& logger_;
};

}  // namespace fernbeacon
