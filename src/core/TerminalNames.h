#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Logger.h"
#include "core/ProcessRow.h"

namespace fernbeacon {

// One test on a lower-cased process name.
struct NameTest {
    enum class Kind { Contains, StartsWith, EndsWith, Equals };
    Kind kind;
    std::string_view pattern;

    bool matches(std::string_view lowercasedName) const;
};

// The desktop whose conventions a terminal's entry was written for.
enum class Desktop { Linux, Other };

// The host that brings a terminal's tab to the front; Window raises the terminal's window.
enum class TabHost {
    Window,
    Tmux,
    Kitty,
    WezTerm,
    Konsole,
    GnomeTerminal,
    Tilix,
    ITerm2,
    TerminalApp,
    Application
};

using ArgumentBuilder = std::vector<std::string> (*)(const std::string& directory,
                                                     const std::vector<std::string>& command);

// How a terminal opens a tab (or window) in a directory running a command.
struct TerminalLaunch {
    std::string_view program;  // what is looked for on the search path
    // The argument vector after the program. The directory is one argument (or the value of
    // one "--option=" argument) and never part of the command.
    ArgumentBuilder arguments;
    // The terminal starts in the directory instead of being told it.
    bool needsWorkingDirectory = false;
};

// Everything the program knows about one terminal. Adding a terminal is one entry in
// knownTerminals(), plus a host class when it can select a tab.
struct TerminalDescriptor {
    std::string_view name;  // the detail line, the settings and the running applications
    Desktop desktop = Desktop::Linux;
    std::vector<NameTest> processNames;  // any one identifies the terminal's process
    // The tests on a TTY owner's command where they differ from processNames.
    std::optional<std::vector<NameTest>> ownerNames;
    // Lower-cased WM_CLASS names the process-name tests do not already catch.
    std::vector<std::string_view> windowClasses;
    TabHost host = TabHost::Window;
    // The running application to activate, when it is not called by the name.
    std::string_view application;
    std::optional<TerminalLaunch> launch;

    bool isProcess(std::string_view lowercasedName) const;
    bool ownsTtyOf(std::string_view lowercasedCommand) const;
};

// In the order the process-name tests are applied, the first match winning: the other
// desktop's terminals in their order, then the Linux ones.
std::span<const TerminalDescriptor> knownTerminals();

// The terminals for `desktop`: its own first, then the others; for the other desktop, only its
// own. Linux's come first there so that "gnome-terminal-" is not taken for "Terminal".
std::vector<const TerminalDescriptor*> terminalsFor(Desktop desktop);

const TerminalDescriptor* terminalNamed(std::string_view name);

// The terminal whose process this is (the name not yet lower-cased), or null.
const TerminalDescriptor* terminalForProcess(std::string_view processName);

// The display name for a process name (not yet lower-cased), or absent.
std::optional<std::string> terminalNameForProcess(std::string_view processName);

// The terminal whose window carries this WM_CLASS instance or class name, or null.
const TerminalDescriptor* terminalForWindowClass(std::string_view windowClass);

// The terminal that holds a TTY whose root process has this parent command, for `desktop`.
const TerminalDescriptor* terminalOwningTty(std::string_view parentCommand, Desktop desktop);

using ParentLookup = std::function<std::optional<ProcessRow>(std::int32_t pid)>;

// Walks from the process up its ancestors, nearest first, and names the first one that is a
// known terminal. Processes 1 and below are never tested; a loop ends the walk.
std::optional<std::string> terminalAppFromParentChain(std::int32_t pid, const ParentLookup& lookup,
                                                      Logger& logger);

}  // namespace fernbeacon
