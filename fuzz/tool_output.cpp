// Whatever the process tools print: each parser on its own, then the probes end to end with the
// input cut into one output per command line.
#include <algorithm>
#include <map>

#include "FuzzSupport.h"
#include "core/CommandProbes.h"
#include "core/ProcessOutput.h"
#include "core/TerminalNames.h"

namespace fernbeacon::fuzz {
namespace {

// A decimal with an optional sign and digits only, by plain arithmetic.
template <typename Integer>
std::optional<Integer> referenceDecimal(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    __int128 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || (value = value * 10 + (c - '0')) > (__int128{1} << 64)) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (text.empty() || value < std::numeric_limits<Integer>::min() ||
        value > std::numeric_limits<Integer>::max()) {
        return std::nullopt;
    }
    return static_cast<Integer>(value);
}

// Answers each command line with the next piece of the input.
class ScriptedRunner final : public CommandRunner {
public:
    explicit ScriptedRunner(std::vector<std::string_view> outputs) : outputs_(std::move(outputs)) {}

    CommandResult run(const CommandRequest& request) override {
        require(request.arguments.size() == 3, "probes run their lines through the shell");
        const std::size_t slot =
            assigned_.try_emplace(request.arguments[2], assigned_.size()).first->second;
        CommandResult result;
        result.started = true;
        result.exitStatus = 0;
        result.standardOutput = slot < outputs_.size() ? outputs_[slot] : "";
        return result;
    }

private:
    std::vector<std::string_view> outputs_;
    std::map<std::string, std::size_t> assigned_;
};

void checkParsers(std::string_view text) {
    require(parseInt32(text) == referenceDecimal<std::int32_t>(text), "32-bit decimal");
    require(parseInt64(text) == referenceDecimal<std::int64_t>(text), "64-bit decimal");
    (void)parsePgrepOutput(text);
    const auto claudes = parseClaudeLinesOfPs(text);
    require(
        claudes.size() <= static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1,
        "at most one process per line");
    const auto table = parseParentTable(text);
    NullLogger logger;
    for (const auto& [pid, parent] : table) {
        (void)terminalAppFromParentChain(
            pid,
            [&table](std::int32_t current) {
                const auto found = table.find(current);
                return found == table.end() ? std::nullopt : std::optional(found->second);
            },
            logger);
        require(!parent.command.empty(), "a row has a command");
    }
    for (const std::string_view mark : {"?", "??"}) {
        const auto tty = parseTtyOutput(text, mark);
        require(!tty || (!tty->empty() && *tty != mark), "a terminal is named");
    }
    const auto cwd = parseLsofCwdOutput(text);
    require(!cwd || cwd->starts_with('/'), "a working directory is absolute");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon;
    using namespace fernbeacon::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkParsers(text);

    // Outputs are separated by a NUL byte, which no tool line here prints.
    std::vector<std::string_view> outputs;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        outputs.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ScriptedRunner runner(outputs);
    NullLogger logger;
    CommandProbes probes(runner, ProbeCommandSet::forLinux("/usr/bin/lsof"), logger);
    const auto pids = probes.findClaudePIDs();
    for (std::size_t i = 0; i < std::min<std::size_t>(pids.size(), 3); ++i) {
        (void)probes.ttyForPID(pids[i]);
        const auto cwd = probes.workingDirectoryForPID(pids[i]);
        require(!cwd || cwd->starts_with('/'), "a probed directory is absolute");
        (void)probes.terminalAppForPID(pids[i]);
        const auto uptime = probes.uptimeForPID(pids[i]);
        require(!uptime || !uptime->empty(), "an uptime is text");
    }
    return 0;
}
