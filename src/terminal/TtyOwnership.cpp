#include "terminal/TtyOwnership.h"

#include <unordered_map>

#include "core/ProcessOutput.h"
#include "core/Text.h"

namespace fernbeacon {
namespace {

// Splits off the next field: skips spaces, then takes the text up to the next space.
std::optional<std::string_view> nextField(std::string_view& rest) {
    const std::size_t begin = rest.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    rest.remove_prefix(begin);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(end);
    return field;
}

}  // namespace

PsProcessTable::PsProcessTable(CommandRunner& runner, std::string shell, std::string ps)
    : runner_(runner), shell_(std::move(shell)), ps_(std::move(ps)) {}

std::string PsProcessTable::commandLine() const {
    return ps_ + " -eo pid,ppid,tty,comm";
}

std::vector<ProcessRow> PsProcessTable::processRows() {
    return parsePsTtyTable(runCommand(runner_, shell_, commandLine(), nullptr));
}

std::vector<ProcessRow> parsePsTtyTable(std::string_view output) {
    std::vector<ProcessRow> rows;
    std::size_t start = 0;
    while (start <= output.size()) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        std::string_view rest = trimSpacesAndTabs(output.substr(start, end - start));
        start = end + 1;
        const auto pid = nextField(rest);
        const auto ppid = nextField(rest);
        const auto tty = nextField(rest);
        // The command is everything after the one space that ends the terminal column.
        if (!pid || !ppid || !tty || rest.size() < 2) {
            continue;
        }
        const auto pidNumber = parseInt32(*pid);
        const auto ppidNumber = parseInt32(*ppid);
        if (!pidNumber || !ppidNumber) {
            continue;
        }
        rows.push_back({*pidNumber, {*ppidNumber, std::string(*tty), std::string(rest.substr(1))}});
    }
    return rows;
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
    std::unordered_map<std::int32_t, ProcInfo> table;
    std::vector<std::int32_t> candidates;
    for (ProcessRow& row : source_.processRows()) {
        if (row.info.tty == bare) {
            candidates.push_back(row.pid);
        }
        table.insert_or_assign(row.pid, std::move(row.info));
    }
    for (const std::int32_t candidate : candidates) {
        const ProcInfo& info = table.at(candidate);
        const auto parent = table.find(info.ppid);
        if (parent != table.end() && parent->second.tty == bare) {
            continue;
        }
        if (parent != table.end()) {
            logger_.info("TTY %s root process %d (%s), parent %d (%s)", bare, candidate, info.comm,
                         info.ppid, parent->second.comm);
            if (const auto* terminal = terminalOwningTty(parent->second.comm, desktop_)) {
                return TtyOwner{std::string(terminal->name), info.ppid, candidate};
            }
        }
        logger_.info("TTY %s root process %d (%s), parent %d not a known terminal", bare, candidate,
                     info.comm, info.ppid);
    }
    logger_.info("Could not determine terminal for TTY %s", bare);
    return std::nullopt;
}

}  // namespace fernbeacon
