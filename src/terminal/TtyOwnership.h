#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CommandRunner.h"
#include "core/Logger.h"
#include "core/ProcessOutput.h"
#include "core/TerminalNames.h"

namespace fernbeacon {

// The whole process list, in the order the system lists it. Empty when it cannot be read.
class ProcessTableSource {
public:
    virtual ~ProcessTableSource() = default;
    virtual std::vector<ProcessRow> processRows() = 0;
};

// "ps -eo pid,ppid,tty,comm" through the shell, without a message when the shell cannot start.
class PsProcessTable final : public ProcessTableSource {
public:
    PsProcessTable(CommandRunner& runner, std::string shell, std::string ps);
    std::vector<ProcessRow> processRows() override;
    std::string commandLine() const;

private:
    CommandRunner& runner_;
    const std::string shell_;
    const std::string ps_;
};

// The terminal that holds a TTY: its display name, the terminal's process and the process it
// started on that TTY (the tab's root, usually a shell).
struct TtyOwner {
    std::string name;
    std::int32_t terminalPid = 0;
    std::int32_t rootPid = 0;
};

// "/dev/ttys003" and "ttys003" both give "ttys003".
std::string bareTtyName(std::string_view tty);
// "ttys003" gives "/dev/ttys003"; a path is kept.
std::string ttyPath(std::string_view tty);

// Finds the terminal that owns a TTY from the process list alone; keeps nothing between calls.
class TtyOwnership {
public:
    TtyOwnership(ProcessTableSource& source, Desktop desktop, Logger& logger);

    std::optional<TtyOwner> ownerOfTTY(std::string_view tty) const;

private:
    ProcessTableSource& source_;
    const Desktop desktop_;
    Logger& logger_;
};

}  // namespace fernbeacon
