#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fernbeacon {

// What the four probes say about one process.
struct ProcessFacts {
    std::optional<std::string> tty;
    std::optional<std::string> workingDirectory;
    std::optional<std::string> terminalApp;
    std::optional<std::string> uptime;
    // The start time as the assistant's registry writes it, to tell the process from a later
    // one with its ID; absent when the probes cannot tell.
    std::optional<std::string> startTime;
    // Variables of the process's environment that change where and how it works; absent when
    // unset or when the environment cannot be read.
    std::optional<std::string> configDirectory;         // CLAUDE_CONFIG_DIR
    std::optional<std::string> millionContextDisabled;  // CLAUDE_CODE_DISABLE_1M_CONTEXT
};

// What the scan learns about running processes. Implementations keep no state between calls,
// may be called from several scans at once, and never throw: a process that has gone, or a
// probe that fails, gives an absent value (or an empty list).
class ProcessProbes {
public:
    virtual ~ProcessProbes() = default;
    // IDs of the processes named exactly "claude", in the order the process table lists them.
    virtual std::vector<std::int32_t> findClaudePIDs() = 0;
    // Controlling terminal as the process table prints it ("pts/3", "ttys003"), without "/dev/".
    virtual std::optional<std::string> ttyForPID(std::int32_t pid) = 0;
    virtual std::optional<std::string> workingDirectoryForPID(std::int32_t pid) = 0;
    // Display name of the terminal application that hosts the process.
    virtual std::optional<std::string> terminalAppForPID(std::int32_t pid) = 0;
    // Elapsed running time as display text ("5 mins").
    virtual std::optional<std::string> uptimeForPID(std::int32_t pid) = 0;

    // The four probes of one process, asked in the order of ProcessFacts; the other facts are
    // left to probes that can read them. Probes that can tell a process from a later one with
    // the same ID give the facts of one "claude" process only, and none once it has gone; these
    // ask the four one after the other.
    virtual ProcessFacts factsForPID(std::int32_t pid) {
        ProcessFacts facts;
        facts.tty = ttyForPID(pid);
        facts.workingDirectory = workingDirectoryForPID(pid);
        facts.terminalApp = terminalAppForPID(pid);
        facts.uptime = uptimeForPID(pid);
        return facts;
    }
};

}  // namespace fernbeacon
