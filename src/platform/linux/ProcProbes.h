#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/Logger.h"
#include "core/ProcessProbes.h"
#include "core/ProcessRow.h"

namespace fernbeacon::platform {

// A process's row as /proc/<pid>/stat gives it, with what only that file tells.
struct ProcStat {
    ProcessRow row;                // the terminal named by terminalNameForDeviceNumber
    std::uint64_t ttyNumber = 0;   // the device number; 0 for none
    std::uint64_t startTicks = 0;  // clock ticks after boot
};

// The probes read from /proc: the same answers as the tool command lines, without starting a
// process. Only what the current user may read is seen, as with the tools.
class ProcProbes final : public ProcessProbes {
public:
    explicit ProcProbes(Logger& logger, std::filesystem::path procRoot = "/proc");

    std::vector<std::int32_t> findClaudePIDs() override;
    std::optional<std::string> ttyForPID(std::int32_t pid) override;
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override;
    std::optional<std::string> terminalAppForPID(std::int32_t pid) override;
    std::optional<std::string> uptimeForPID(std::int32_t pid) override;
    // Reads the process's start time before and after its facts: when the ID no longer names
    // the same "claude" process at the end, none of them is given.
    ProcessFacts factsForPID(std::int32_t pid) override;

    // ps's etime text for the process ("05:07", "1-02:03:04").
    std::optional<std::string> elapsedTimeText(std::int32_t pid) const;

private:
    std::optional<ProcStat> statOf(std::int32_t pid) const;
    std::optional<std::string> ttyOf(std::int32_t pid, const ProcStat& stat) const;
    std::optional<std::string> terminalAppOf(std::int32_t pid, const ProcStat& stat);
    std::optional<std::string> elapsedTimeTextOf(const ProcStat& stat) const;

    Logger& logger_;
    const std::filesystem::path procRoot_;
};

// A whole file that reports no size, as /proc files do; absent when it cannot be read.
std::optional<std::string> readSmallFile(const std::filesystem::path& path);

// Parses /proc/<pid>/stat; the name sits in parentheses and may hold spaces and parentheses.
std::optional<ProcStat> parseProcStat(std::string_view text);

// The name ps gives a terminal device number: "pts/3", "tty1", "ttyS0"; absent for none.
std::optional<std::string> terminalNameForDeviceNumber(std::uint64_t ttyNumber);

}  // namespace fernbeacon::platform
