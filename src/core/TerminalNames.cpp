#include "core/TerminalNames.h"

#include <algorithm>
#include <unordered_set>

#include "core/Text.h"

namespace fernbeacon {
namespace {

using Kind = NameTest::Kind;

constexpr std::size_t kOtherDesktopRows = 9;

}  // namespace

bool NameTest::matches(std::string_view name) const {
    switch (kind) {
        case Kind::Contains:
            return name.find(pattern) != std::string_view::npos;
        case Kind::StartsWith:
            return name.starts_with(pattern);
        case Kind::EndsWith:
            return name.ends_with(pattern);
        case Kind::Equals:
            return name == pattern;
    }
    return false;
}

bool TerminalNameRow::matches(std::string_view lowercasedName) const {
    return std::any_of(tests.begin(), tests.end(),
                       [&](const NameTest& test) { return test.matches(lowercasedName); });
}

std::span<const TerminalNameRow> knownTerminalTable() {
    static const std::vector<TerminalNameRow> rows{
        {{{Kind::Contains, "code helper"}}, "VS Code"},
        {{{Kind::Contains, "visual studio code"}}, "VS Code"},
        {{{Kind::Contains, "cursor"}}, "Cursor"},
        {{{Kind::Contains, "iterm"}}, "iTerm2"},
        {{{Kind::EndsWith, "/terminal"}, {Kind::EndsWith, " terminal"}, {Kind::Equals, "terminal"}},
         "Terminal"},
        {{{Kind::Contains, "alacritty"}}, "Alacritty"},
        {{{Kind::Contains, "kitty"}}, "kitty"},
        {{{Kind::Contains, "wezterm"}}, "WezTerm"},
        {{{Kind::Contains, "hyper"}}, "Hyper"},
        // Linux hosts. Names are the kernel's comm, cut to 15 bytes ("gnome-terminal-").
        {{{Kind::Contains, "gnome-terminal"}}, "GNOME Terminal"},
        {{{Kind::Contains, "konsole"}}, "Konsole"},
        {{{Kind::Contains, "xfce4-terminal"}}, "Xfce Terminal"},
        {{{Kind::Contains, "tilix"}}, "Tilix"},
        {{{Kind::Contains, "terminator"}}, "Terminator"},
        {{{Kind::Contains, "ghostty"}}, "Ghostty"},
        {{{Kind::Equals, "foot"}, {Kind::Equals, "footclient"}}, "foot"},
        {{{Kind::Equals, "xterm"}, {Kind::Equals, "uxterm"}}, "XTerm"},
        {{{Kind::StartsWith, "tmux"}}, "tmux"},
        {{{Kind::Equals, "screen"}}, "screen"},
        {{{Kind::Equals, "code"}, {Kind::Equals, "code-oss"}, {Kind::Equals, "codium"}}, "VS Code"},
    };
    return rows;
}

std::span<const TerminalNameRow> linuxTerminalRows() {
    return knownTerminalTable().subspan(kOtherDesktopRows);
}

std::optional<std::string> terminalNameForProcess(std::string_view processName) {
    const std::string name = lowercased(processName);
    for (const TerminalNameRow& row : knownTerminalTable()) {
        if (row.matches(name)) {
            return std::string(row.displayName);
        }
    }
    return std::nullopt;
}

std::optional<std::string> terminalAppFromParentChain(std::int32_t pid, const ParentLookup& lookup,
                                                      Logger& logger) {
    std::unordered_set<std::int32_t> visited;
    for (std::int32_t current = pid; current > 1;) {
        if (!visited.insert(current).second) {
            break;
        }
        const auto entry = lookup(current);
        if (!entry) {
            break;
        }
        if (auto name = terminalNameForProcess(entry->name)) {
            return name;
        }
        current = entry->ppid;
    }
    logger.info("Could not determine terminal for PID %d by walking parent chain", pid);
    return std::nullopt;
}

}  // namespace fernbeacon
