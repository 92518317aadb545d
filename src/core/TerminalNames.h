#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Logger.h"

namespace fernbeacon {

// One test on a lower-cased process name.
struct NameTest {
    enum class Kind { Contains, StartsWith, EndsWith, Equals };
    Kind kind;
    std::string_view pattern;

    bool matches(std::string_view lowercasedName) const;
};

// A row matches when any of its tests does.
struct TerminalNameRow {
    std::vector<NameTest> tests;
    std::string_view displayName;

    bool matches(std::string_view lowercasedName) const;
};

// Process name to terminal display name; the first matching row wins. The nine rows of the
// other desktop come first, in their order, then the Linux hosts' rows.
std::span<const TerminalNameRow> knownTerminalTable();

// The rows appended for the Linux hosts, a tail of knownTerminalTable().
std::span<const TerminalNameRow> linuxTerminalRows();

// The display name for a process name (not yet lower-cased), or absent.
std::optional<std::string> terminalNameForProcess(std::string_view processName);

struct ProcessParent {
    std::int32_t ppid;
    std::string name;  // the process table's command column
};

using ParentLookup = std::function<std::optional<ProcessParent>(std::int32_t pid)>;

// Walks from the process up its ancestors, nearest first, and names the first one that is a
// known terminal. Processes 1 and below are never tested; a loop ends the walk.
std::optional<std::string> terminalAppFromParentChain(std::int32_t pid, const ParentLookup& lookup,
                                                      Logger& logger);

}  // namespace fernbeacon
