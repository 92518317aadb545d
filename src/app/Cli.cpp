#include "app/Cli.h"

#include <filesystem>
#include <ostream>
#include <utility>

#include "app/BuildVersion.h"
#include "app/Listing.h"
#include "app/PopupMenu.h"
#include "app/SystemScan.h"
#include "app/TrayApplication.h"
#include "core/Attention.h"
#include "core/CliDispatcher.h"
#include "core/ProcessOutput.h"
#include "core/SessionScanner.h"

namespace fernbeacon::app {
namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

// `focus <pid>` and `open <directory>`, each with an optional --verbose.
CliParse parseTerminalCommand(std::string_view command,
                              std::span<const std::string_view> arguments) {
    bool verbose = false;
    std::optional<std::string_view> operand;
    for (const std::string_view argument : arguments) {
        if (argument == "-v" || argument == "--verbose") {
            verbose = true;
        } else if (argument == "-h" || argument == "--help") {
            return {ShowHelp{command == "focus" ? HelpTopic::Focus : HelpTopic::Open}, {}};
        } else if (operand || (argument.starts_with('-') && argument.size() > 1)) {
            return {std::nullopt, "unexpected argument '" + std::string(argument) + "' for " +
                                      std::string(command)};
        } else {
            operand = argument;
        }
    }
    if (!operand) {
        return {std::nullopt, std::string(command) + (command == "focus" ? " needs a process ID"
                                                                         : " needs a directory")};
    }
    if (command == "open") {
        return {OpenOptions{std::string(*operand), verbose}, {}};
    }
    const auto pid = parseInt32(*operand);
    if (!pid || *pid <= 0) {
        return {std::nullopt, "'" + std::string(*operand) + "' is not a process ID"};
    }
    return {FocusOptions{*pid, verbose}, {}};
}

// `watch [--json | --waybar] [--verbose]`.
CliParse parseWatch(std::span<const std::string_view> arguments) {
    WatchOptions options;
    bool formatGiven = false;
    for (const std::string_view argument : arguments) {
        if (argument == "-v" || argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "-h" || argument == "--help") {
            return {ShowHelp{HelpTopic::Watch}, {}};
        } else if ((argument == "--json" || argument == "--waybar") && !formatGiven) {
            options.format = argument == "--json" ? WatchFormat::Json : WatchFormat::Waybar;
            formatGiven = true;
        } else {
            return {std::nullopt, "unexpected argument '" + std::string(argument) + "' for watch"};
        }
    }
    return {options, {}};
}

// `menu [--verbose]`.
CliParse parseMenu(std::span<const std::string_view> arguments) {
    MenuOptions options;
    for (const std::string_view argument : arguments) {
        if (argument == "-v" || argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "-h" || argument == "--help") {
            return {ShowHelp{HelpTopic::Menu}, {}};
        } else {
            return {std::nullopt, "unexpected argument '" + std::string(argument) + "' for menu"};
        }
    }
    return {options, {}};
}

// `help [COMMAND]`; "tray" stands for the program run without a command.
CliParse parseHelpTopic(std::span<const std::string_view> arguments) {
    if (arguments.empty()) {
        return {ShowHelp{}, {}};
    }
    static constexpr std::pair<std::string_view, HelpTopic> kTopics[] = {
        {"tray", HelpTopic::Tray}, {"list", HelpTopic::List},   {"focus", HelpTopic::Focus},
        {"open", HelpTopic::Open}, {"watch", HelpTopic::Watch}, {"menu", HelpTopic::Menu},
    };
    if (arguments.size() > 1) {
        return {std::nullopt, "unexpected argument '" + std::string(arguments[1]) + "' for help"};
    }
    for (const auto& [name, topic] : kTopics) {
        if (arguments.front() == name) {
            return {ShowHelp{topic}, {}};
        }
    }
    return {std::nullopt, "no help for '" + std::string(arguments.front()) + "'"};
}

constexpr const char* kTrayHelp =
    "Usage: fernbeacon\n"
    "\n"
    "Puts an icon with the number of running claude sessions into the system tray.\n"
    "Its menu lists the running sessions, then the recent ones: choosing a running\n"
    "one brings its terminal tab to the front, choosing a recent one opens a new tab\n"
    "there that runs claude. Needs a graphical session.\n";

constexpr const char* kListHelp =
    "Usage: fernbeacon list [--json] [--verbose] [--probes=proc|tools]\n"
    "\n"
    "Prints the running sessions and the recent ones, as the tray menu shows them.\n"
    "\n"
    "  --json           Print one JSON object instead of text.\n"
    "  -v, --verbose    Log each step of the scan to standard error.\n"
    "  --probes=SOURCE  Learn about processes from /proc (proc, the default) or from\n"
    "                   the ps, pgrep and lsof tools (tools).\n";

constexpr const char* kFocusHelp =
    "Usage: fernbeacon focus [--verbose] PID\n"
    "\n"
    "Brings the terminal tab that runs the claude session with process ID PID to\n"
    "the front. Fails with status 1 when no running session has that PID.\n"
    "\n"
    "  -v, --verbose    Log each step to standard error.\n";

constexpr const char* kOpenHelp =
    "Usage: fernbeacon open [--verbose] DIRECTORY\n"
    "\n"
    "Opens a terminal tab in DIRECTORY that runs claude, in the terminal chosen in\n"
    "the settings (preferredTerminal).\n"
    "\n"
    "  -v, --verbose    Log each step to standard error.\n";

constexpr const char* kWatchHelp =
    "Usage: fernbeacon watch [--json | --waybar] [--verbose]\n"
    "\n"
    "Prints one line at start, then one whenever what the tray menu would show\n"
    "changes, checking every 5 seconds, for a status bar to read. Runs until it is\n"
    "interrupted or its reader goes away. Each line holds the status title and the\n"
    "running sessions, separated by \" | \".\n"
    "\n"
    "  --json           Print the object that 'list --json' prints, on one line.\n"
    "  --waybar         Print a Waybar custom-module object: text, tooltip, class\n"
    "                   and alt.\n"
    "  -v, --verbose    Log each step of the scan to standard error.\n";

constexpr const char* kMenuHelp =
    "Usage: fernbeacon menu [--verbose]\n"
    "\n"
    "Pops the tray's menu up at the pointer, for desktops without a system tray:\n"
    "a status bar's click can run it. Choosing a session acts as in the tray; the\n"
    "command ends when the menu closes. Needs a graphical session.\n"
    "\n"
    "  -v, --verbose    Log each step to standard error.\n";

int print(const std::string& text, std::ostream& out) {
    out << text;
    out.flush();
    return out ? 0 : 1;
}

}  // namespace

CliParse parseArguments(std::span<const std::string_view> arguments) {
    if (arguments.empty()) {
        return {StartTray{}, {}};
    }
    const std::string_view first = arguments.front();
    if (first == "-h" || first == "--help") {
        return {ShowHelp{}, {}};
    }
    if (first == "help") {
        return parseHelpTopic(arguments.subspan(1));
    }
    if (first == "--version") {
        return {ShowVersion{}, {}};
    }
    if (first == "watch") {
        return parseWatch(arguments.subspan(1));
    }
    if (first == "menu") {
        return parseMenu(arguments.subspan(1));
    }
    if (first == "focus" || first == "open") {
        return parseTerminalCommand(first, arguments.subspan(1));
    }
    if (first != "list") {
        return {std::nullopt, "unknown command '" + std::string(first) + "'"};
    }
    ListOptions options;
    for (const std::string_view argument : arguments.subspan(1)) {
        if (argument == "--json") {
            options.json = true;
        } else if (argument == "-v" || argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "--probes=proc") {
            options.probes = platform::ProbeSource::Native;
        } else if (argument == "--probes=tools") {
            options.probes = platform::ProbeSource::Commands;
        } else if (argument == "-h" || argument == "--help") {
            return {ShowHelp{HelpTopic::List}, {}};
        } else {
            return {std::nullopt, "unknown option '" + std::string(argument) + "' for list"};
        }
    }
    return {options, {}};
}

std::string helpText(HelpTopic topic) {
    switch (topic) {
        case HelpTopic::Tray:
            return kTrayHelp;
        case HelpTopic::List:
            return kListHelp;
        case HelpTopic::Focus:
            return kFocusHelp;
        case HelpTopic::Open:
            return kOpenHelp;
        case HelpTopic::Watch:
            return kWatchHelp;
        case HelpTopic::Menu:
            return kMenuHelp;
        case HelpTopic::Overview:
            break;
    }
    return "Usage: fernbeacon\n"
           "       fernbeacon list [--json] [--verbose] [--probes=proc|tools]\n"
           "       fernbeacon focus [--verbose] PID\n"
           "       fernbeacon open [--verbose] DIRECTORY\n"
           "       fernbeacon watch [--json | --waybar] [--verbose]\n"
           "       fernbeacon menu [--verbose]\n"
           "       fernbeacon help [tray|list|focus|open|watch|menu]\n"
           "       fernbeacon --help | --version\n"
           "\n"
           "Keeps track of the claude sessions running in your terminals.\n"
           "\n"
           "Without a command, shows the sessions in a tray menu.\n"
           "\n"
           "Commands:\n"
           "  list             Print the running sessions and the recent ones.\n"
           "  focus PID        Bring the terminal tab of the session with this process ID to\n"
           "                   the front.\n"
           "  open DIRECTORY   Open a terminal tab in DIRECTORY that runs claude.\n"
           "  watch            Print a line whenever the sessions change, for status bars.\n"
           "  menu             Pop the tray's menu up at the pointer, without a tray.\n"
           "  help [COMMAND]   Show the help of a command, or of the tray (help tray).\n"
           "\n"
           "Options:\n"
           "  -h, --help       Show this help; after a command, that command's help.\n"
           "  --version        Show the version.\n"
           "\n"
           "Only reads ~/.claude (or $CLAUDE_CONFIG_DIR, and the one each session uses); never\n"
           "writes there. See fernbeacon(1).\n";
}

std::string versionText() {
    std::string text = std::string("fernbeacon ") + kVersion;
    if (!std::string_view(kGitRevision).empty()) {
        text += std::string(" (git ") + kGitRevision + ")";
    }
    return text + "\n";
}

int runList(const ListOptions& options, std::ostream& out) {
    const SystemScan system(logTarget(options.verbose), options.probes);
    ScanResult scan = runScanCycle(*system.parts().makeScanner());
    scan.live = waitingFirstOrder(scan.live, system.preferences());
    out << (options.json ? formatListingJson(scan) : formatListingText(scan));
    out.flush();
    return out ? 0 : 1;
}

int runFocus(const FocusOptions& options, std::ostream& err) {
    const auto target = logTarget(options.verbose);
    const SystemScan system(target);
    ClaudeSessionPtr chosen;
    for (const ClaudeSessionPtr& session : system.parts().makeScanner()->scanLiveSessions()) {
        if (session->pid == options.pid) {
            chosen = session;
        }
    }
    if (!chosen) {
        err << "fernbeacon: no running claude session has PID " << options.pid << "\n";
        return 1;
    }
    CliDispatcher dispatcher;
    const auto control = platform::makeTerminalControl(dispatcher, system.preferences(), target);
    control->focusSession(chosen);
    dispatcher.runUntilIdle(kTerminalWorkLimit);
    return 0;
}

int runOpen(const OpenOptions& options, std::ostream& err) {
    std::error_code error;
    const auto directory = std::filesystem::absolute(options.directory, error).lexically_normal();
    if (error || !std::filesystem::is_directory(directory, error)) {
        err << "fernbeacon: " << options.directory << " is not a directory\n";
        return 1;
    }
    std::string path = directory.string();
    if (path.size() > 1 && path.ends_with('/')) {
        path.pop_back();
    }
    const auto preferences = platform::makePreferences();
    CliDispatcher dispatcher;
    const auto control =
        platform::makeTerminalControl(dispatcher, *preferences, logTarget(options.verbose));
    control->openNewSession(path);
    dispatcher.runUntilIdle(kTerminalWorkLimit);
    return 0;
}

int run(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err) {
    const CliParse parsed = parseArguments(arguments);
    if (!parsed.command) {
        err << "fernbeacon: " << parsed.error << " (try 'fernbeacon --help')\n";
        return 2;
    }
    return std::visit(Overloaded{
                          [&](const StartTray&) { return runTray(err); },
                          // A full disk or a closed pipe is a failure, not a shown help.
                          [&](const ShowHelp& help) { return print(helpText(help.topic), out); },
                          [&](const ShowVersion&) { return print(versionText(), out); },
                          [&](const ListOptions& options) { return runList(options, out); },
                          [&](const FocusOptions& options) { return runFocus(options, err); },
                          [&](const OpenOptions& options) { return runOpen(options, err); },
                          [&](const WatchOptions& options) { return runWatch(options, out); },
                          [&](const MenuOptions& options) { return runMenu(options, err); },
                      },
                      *parsed.command);
}

}  // namespace fernbeacon::app
