#include "core/CommandProbes.h"

#include "core/ProcessOutput.h"
#include "core/TerminalNames.h"
#include "core/Text.h"

namespace fernbeacon {
namespace {

constexpr std::string_view kPlainPathCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._+-";

// A tool path as one shell word. The Linux lsof comes from the search path, which may hold
// spaces or shell syntax; plain paths stay as they are, so the usual lines read as always.
std::string shellWord(std::string_view path) {
    if (!path.empty() && path.find_first_not_of(kPlainPathCharacters) == std::string_view::npos) {
        return std::string(path);
    }
    std::string quoted = "'";
    for (const char c : path) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

ProbeCommandSet ProbeCommandSet::forMacOS() {
    return {"/bin/zsh", "/usr/bin/pgrep", "/bin/ps", "/usr/sbin/lsof", "??"};
}

ProbeCommandSet ProbeCommandSet::forLinux(std::string lsof) {
    return {"/bin/sh", "/usr/bin/pgrep", "/bin/ps", std::move(lsof), "?"};
}

CommandProbes::CommandProbes(CommandRunner& runner, ProbeCommandSet commands, Logger& logger)
    : runner_(runner), commands_(std::move(commands)), logger_(logger) {}

std::string CommandProbes::run(const std::string& commandLine) {
    return runCommand(runner_, commands_.shell, commandLine, &logger_, commands_.timeLimit);
}

std::string CommandProbes::pgrepCommand() const {
    return shellWord(commands_.pgrep) + " -x claude";
}

std::string CommandProbes::psClaudeCommand() const {
    return shellWord(commands_.ps) + " -eo pid,comm";
}

std::string CommandProbes::ttyCommand(std::int32_t pid) const {
    return shellWord(commands_.ps) + " -o tty= -p " + std::to_string(pid);
}

std::string CommandProbes::workingDirectoryCommand(std::int32_t pid) const {
    return shellWord(commands_.lsof) + " -a -d cwd -p " + std::to_string(pid) +
           " -Fn 2>/dev/null | grep '^n/'";
}

std::string CommandProbes::parentTableCommand() const {
    return shellWord(commands_.ps) + " -eo pid,ppid,comm";
}

std::string CommandProbes::elapsedTimeCommand(std::int32_t pid) const {
    return shellWord(commands_.ps) + " -o etime= -p " + std::to_string(pid);
}

std::vector<std::int32_t> CommandProbes::findClaudePIDs() {
    auto pids = parsePgrepOutput(run(pgrepCommand()));
    if (!pids.empty()) {
        return pids;
    }
    return parseClaudeLinesOfPs(run(psClaudeCommand()));
}

std::optional<std::string> CommandProbes::ttyForPID(std::int32_t pid) {
    return parseTtyOutput(run(ttyCommand(pid)), commands_.noTerminalMark);
}

std::optional<std::string> CommandProbes::workingDirectoryForPID(std::int32_t pid) {
    return parseLsofCwdOutput(run(workingDirectoryCommand(pid)));
}

std::optional<std::string> CommandProbes::terminalAppForPID(std::int32_t pid) {
    const auto table = parseParentTable(run(parentTableCommand()));
    const ParentLookup lookup = [&table](std::int32_t current) -> std::optional<ProcessRow> {
        const auto found = table.find(current);
        return found == table.end() ? std::nullopt : std::optional(found->second);
    };
    return terminalAppFromParentChain(pid, lookup, logger_);
}

std::optional<std::string> CommandProbes::uptimeForPID(std::int32_t pid) {
    const std::string output = run(elapsedTimeCommand(pid));
    const std::string_view elapsed = trimWhitespaceAndNewlines(output);
    if (elapsed.empty()) {
        return std::nullopt;
    }
    return formatElapsedTime(elapsed);
}

}  // namespace fernbeacon
