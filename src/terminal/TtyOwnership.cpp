#include "terminal/TtyOwnership.h"

#include <unordered_map>

namespace fernbeacon {
PsProcessTable::PsProcessTable(CommandRunner& runner, std::string shell, std::string ps)
    : runner_(runner), shell_(std::move(shell)), ps_(std::move(ps)) {}

std::string PsProcessTable::commandLine() const {
    return ps_ + " -eo pid,ppid,tty,comm";
}

std::vector<ProcessRow> PsProcessTable::processRows() {
    return parsePsTtyTable(runCommand(runner_, shell_, commandLine(), nullptr));
}

std::string bareTtyName(std::string_view tty) {
    return std::string(tty.starts_with("/dev/") ? tty.substr(5) : tty);
}

std::string ttyPath(std::string_view tty) {
    return tty.starts_with("/dev/") ? std::string(tty) : "/dev/" + std::string(tty);
}

TtyOwnership::TtyOwnership(ProcessTableSource& source, Desktop desktop, Logger& logger)
    : source_(source), desktop_(desktop), logger_(logger) {}

std::optional<TtyOwner> TtyOwnership::ownerOfTTY(std::string_view tty) const {
    const std::string bare = bareTtyName(tty);
    std::unordered_map<std::int32_t, ProcessRow> table;
    std::vector<std::int32_t> candidates;
    for (ProcessRow& row : source_.processRows()) {
        if (row.tty == bare) {
            candidates.push_back(row.pid);
        }
        table.insert_or_assign(row.pid, std::move(row));
    }
    for (const std::int32_t candidate : candidates) {
        const ProcessRow& root = table.at(candidate);
        const auto parent = table.find(root.ppid);
        if (parent != table.end() && parent->second.tty == bare) {
            continue;
        }
        if (parent != table.end()) {
            logger_.info("TTY %s root process %d (%s), parent %d (%s)", bare, candidate,
                         root.command, root.ppid, parent->second.command);
            if (const auto* terminal = terminalOwningTty(parent->second.command, desktop_)) {
                return TtyOwner{std::string(terminal->name), root.ppid, candidate};
            }
        }
        logger_.info("TTY %s root process %d (%s), parent %d not a known terminal", bare, candidate,
                     root.command, root.ppid);
    }
    logger_.info("Could not determine terminal for TTY %s", bare);
    return std::nullopt;
}

}  // namespace fernbeacon
