#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fernbeacon {

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
};

}  // namespace fernbeacon
