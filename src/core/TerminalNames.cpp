#include "core/TerminalNames.h"

#include <algorithm>
#include <unordered_set>

#include "core/Text.h"

namespace fernbeacon {
namespace {

using Kind = NameTest::Kind;
using Arguments = std::vector<std::string>;

Arguments joined(Arguments head, const Arguments& command) {
    head.insert(head.end(), command.begin(), command.end());
    return head;
}

// GLib's parser reads the command of Tilix's -e as shell words.
std::string singleQuotedWords(const Arguments& command) {
    std::string line;
    for (const std::string& word : command) {
        line += line.empty() ? "'" : " '";
        for (const char c : word) {
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        line += '\'';
    }
    return line;
}

bool anyMatches(const std::vector<NameTest>& tests, std::string_view lowercasedName) {
    return std::any_of(tests.begin(), tests.end(),
                       [&](const NameTest& test) { return test.matches(lowercasedName); });
}

std::vector<TerminalDescriptor> makeTerminals() {
    std::vector<TerminalDescriptor> all;
    // Each entry is completed before the next is added, which may move it.
    const auto add = [&all](Desktop desktop, std::string_view name,
                            std::vector<NameTest> names) -> TerminalDescriptor& {
        TerminalDescriptor& terminal = all.emplace_back();
        terminal.name = name;
        terminal.desktop = desktop;
        terminal.processNames = std::move(names);
        return terminal;
    };
    const auto ofOtherDesktop = [&add](std::string_view name,
                                       std::vector<NameTest> names) -> auto& {
        return add(Desktop::Other, name, std::move(names));
    };
    const auto ofLinux = [&add](std::string_view name, std::vector<NameTest> names) -> auto& {
        return add(Desktop::Linux, name, std::move(names));
    };

    auto& code = ofOtherDesktop("VS Code", {{Kind::Contains, "code helper"},
                                            {Kind::Contains, "visual studio code"},
                                            {Kind::Equals, "code"},
                                            {Kind::Equals, "code-oss"},
                                            {Kind::Equals, "codium"}});
    code.windowClasses = {"vscodium"};
    code.host = TabHost::Application;
    code.application = "Code";
    ofOtherDesktop("Cursor", {{Kind::Contains, "cursor"}}).host = TabHost::Application;
    ofOtherDesktop("iTerm2", {{Kind::Contains, "iterm"}}).host = TabHost::ITerm2;
    auto& terminal = ofOtherDesktop(
        "Terminal",
        {{Kind::EndsWith, "/terminal"}, {Kind::EndsWith, " terminal"}, {Kind::Equals, "terminal"}});
    terminal.ownerNames = std::vector<NameTest>{{Kind::Contains, "terminal"}};
    terminal.host = TabHost::TerminalApp;
    ofOtherDesktop("Alacritty", {{Kind::Contains, "alacritty"}}).launch = {
        "alacritty",
        [](const std::string& d, const Arguments& c) {
            return joined({"--working-directory", d, "-e"}, c);
        },
        false};
    auto& kitty = ofOtherDesktop("kitty", {{Kind::Contains, "kitty"}});
    kitty.host = TabHost::Kitty;
    // kitty expands "~" and "$NAME" in the directory it is given, and in its own working
    // directory when given none; "." it takes as it is.
    kitty.launch = {"kitty",
                    [](const std::string&, const Arguments& c) {
                        return joined({"--directory", "."}, c);
                    },
                    true};
    auto& wezterm = ofOtherDesktop("WezTerm", {{Kind::Contains, "wezterm"}});
    wezterm.host = TabHost::WezTerm;
    wezterm.launch = {"wezterm",
                      [](const std::string& d, const Arguments& c) {
                          return joined({"start", "--cwd", d, "--"}, c);
                      },
                      false};
    ofOtherDesktop("Hyper", {{Kind::Contains, "hyper"}}).ownerNames = std::vector<NameTest>{};

    // Linux names are the kernel's comm, cut to 15 bytes ("gnome-terminal-").
    auto& gnome = ofLinux("GNOME Terminal", {{Kind::Contains, "gnome-terminal"}});
    gnome.host = TabHost::GnomeTerminal;
    gnome.launch = {"gnome-terminal",
                    [](const std::string& d, const Arguments& c) {
                        return joined({"--tab", "--working-directory=" + d, "--"}, c);
                    },
                    false};
    auto& konsole = ofLinux("Konsole", {{Kind::Contains, "konsole"}});
    konsole.host = TabHost::Konsole;
    konsole.launch = {"konsole",
                      [](const std::string& d, const Arguments& c) {
                          return joined({"--new-tab", "--workdir", d, "-e"}, c);
                      },
                      false};
    ofLinux("Xfce Terminal", {{Kind::Contains, "xfce4-terminal"}}).launch = {
        "xfce4-terminal",
        [](const std::string& d, const Arguments& c) {
            return joined({"--tab", "--working-directory=" + d, "-x"}, c);
        },
        false};
    auto& tilix = ofLinux("Tilix", {{Kind::Contains, "tilix"}});
    tilix.host = TabHost::Tilix;
    tilix.launch = {"tilix",
                    [](const std::string& d, const Arguments& c) {
                        return Arguments{"--action=app-new-session", "--working-directory=" + d,
                                         "-e", singleQuotedWords(c)};
                    },
                    false};
    ofLinux("Terminator", {{Kind::Contains, "terminator"}}).launch = {
        "terminator",
        [](const std::string& d, const Arguments& c) {
            return joined({"--new-tab", "--working-directory=" + d, "-x"}, c);
        },
        false};
    ofLinux("Ghostty", {{Kind::Contains, "ghostty"}});
    ofLinux("foot", {{Kind::Equals, "foot"}, {Kind::Equals, "footclient"}}).launch = {
        "foot",
        [](const std::string& d, const Arguments& c) {
            return joined({"--working-directory=" + d}, c);
        },
        false};
    ofLinux("XTerm", {{Kind::Equals, "xterm"}, {Kind::Equals, "uxterm"}}).launch = {
        "xterm", [](const std::string&, const Arguments& c) { return joined({"-e"}, c); }, true};
    ofLinux("tmux", {{Kind::StartsWith, "tmux"}}).host = TabHost::Tmux;
    ofLinux("screen", {{Kind::Equals, "screen"}});
    return all;
}

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

bool TerminalDescriptor::isProcess(std::string_view lowercasedName) const {
    return anyMatches(processNames, lowercasedName);
}

bool TerminalDescriptor::ownsTtyOf(std::string_view lowercasedCommand) const {
    return anyMatches(ownerNames.value_or(processNames), lowercasedCommand);
}

std::span<const TerminalDescriptor> knownTerminals() {
    static const std::vector<TerminalDescriptor> terminals = makeTerminals();
    return terminals;
}

std::vector<const TerminalDescriptor*> terminalsFor(Desktop desktop) {
    std::vector<const TerminalDescriptor*> found;
    for (const Desktop group : {Desktop::Linux, Desktop::Other}) {
        if (desktop == Desktop::Other && group == Desktop::Linux) {
            continue;
        }
        for (const TerminalDescriptor& terminal : knownTerminals()) {
            if (terminal.desktop == group) {
                found.push_back(&terminal);
            }
        }
    }
    return found;
}

const TerminalDescriptor* terminalNamed(std::string_view name) {
    for (const TerminalDescriptor& terminal : knownTerminals()) {
        if (terminal.name == name) {
            return &terminal;
        }
    }
    return nullptr;
}

const TerminalDescriptor* terminalForProcess(std::string_view processName) {
    const std::string name = lowercased(processName);
    for (const TerminalDescriptor& terminal : knownTerminals()) {
        if (terminal.isProcess(name)) {
            return &terminal;
        }
    }
    return nullptr;
}

std::optional<std::string> terminalNameForProcess(std::string_view processName) {
    const TerminalDescriptor* terminal = terminalForProcess(processName);
    return terminal ? std::optional<std::string>(terminal->name) : std::nullopt;
}

const TerminalDescriptor* terminalForWindowClass(std::string_view windowClass) {
    const std::string name = lowercased(windowClass);
    for (const TerminalDescriptor& terminal : knownTerminals()) {
        if (std::find(terminal.windowClasses.begin(), terminal.windowClasses.end(), name) !=
            terminal.windowClasses.end()) {
            return &terminal;
        }
    }
    // Most terminals name their windows after their program.
    return terminalForProcess(windowClass);
}

const TerminalDescriptor* terminalOwningTty(std::string_view parentCommand, Desktop desktop) {
    const std::string command = lowercased(parentCommand);
    for (const TerminalDescriptor* terminal : terminalsFor(desktop)) {
        if (terminal->ownsTtyOf(command)) {
            return terminal;
        }
    }
    return nullptr;
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
        if (auto name = terminalNameForProcess(entry->command)) {
            return name;
        }
        current = entry->ppid;
    }
    logger.info("Could not determine terminal for PID %d by walking parent chain", pid);
    return std::nullopt;
}

}  // namespace fernbeacon
