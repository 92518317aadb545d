#include "app/Cli.h"

#include <filesystem>
#include <ostream>

#include "app/Listing.h"
#include "app/TrayApplication.h"
#include "core/CliDispatcher.h"
#include "core/Clock.h"
#include "core/ProcessOutput.h"
#include "core/SessionScanner.h"

#ifndef FERNBEACON_VERSION
#define FERNBEACON_VERSION "0.0.0"
#endif

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
            return {ShowHelp{}, {}};
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

// Long enough for every command a host may run in turn, each with its own time limit.
constexpr std::chrono::seconds kTerminalWorkLimit{60};

platform::LogTarget logTarget(bool verbose) {
    return verbose ? platform::LogTarget::StandardError : platform::LogTarget::System;
}

}  // namespace

CliParse parseArguments(std::span<const std::string_view> arguments) {
    if (arguments.empty()) {
        return {StartTray{}, {}};
    }
    const std::string_view first = arguments.front();
    if (first == "-h" || first == "--help" || first == "help") {
        return {ShowHelp{}, {}};
    }
    if (first == "--version") {
        return {ShowVersion{}, {}};
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
            return {ShowHelp{}, {}};
        } else {
            return {std::nullopt, "unknown option '" + std::string(argument) + "' for list"};
        }
    }
    return {options, {}};
}

std::string helpText() {
    return "Usage: fernbeacon\n"
           "       fernbeacon list [--json] [--verbose] [--probes=proc|tools]\n"
           "       fernbeacon focus [--verbose] PID\n"
           "       fernbeacon open [--verbose] DIRECTORY\n"
           "       fernbeacon --help | --version\n"
           "\n"
           "Keeps track of the claude sessions running in your terminals.\n"
           "\n"
           "Without a command, shows the sessions in a tray menu.\n"
           "\n"
           "Commands:\n"
           "  list             Print the running sessions and the recent ones, as the menu\n"
           "                   shows them.\n"
           "  focus PID        Bring the terminal tab that runs the session with this\n"
           "                   process ID to the front.\n"
           "  open DIRECTORY   Open a terminal tab in DIRECTORY that runs claude, in the\n"
           "                   terminal chosen in the settings (preferredTerminal).\n"
           "\n"
           "Options:\n"
           "  --json           Print one JSON object instead of text.\n"
           "  -v, --verbose    Log each step to standard error.\n"
           "  --probes=SOURCE  Learn about processes from /proc (proc, the default) or from\n"
           "                   the ps, pgrep and lsof tools (tools).\n"
           "  -h, --help       Show this help.\n"
           "  --version        Show the version.\n"
           "\n"
           "Only reads ~/.claude (or $CLAUDE_CONFIG_DIR, and the one each session uses); never\n"
           "writes there.\n";
}

std::string versionText() {
    return std::string("fernbeacon ") + FERNBEACON_VERSION + "\n";
}

int runList(const ListOptions& options, std::ostream& out) {
    const auto target =
        options.verbose ? platform::LogTarget::StandardError : platform::LogTarget::System;
    const auto logger = platform::makeLogger("SessionScanner", target);
    const auto runner = platform::makeCommandRunner();
    const auto probes = platform::makeProcessProbes(options.probes, *runner, *logger);
    const auto preferences = platform::makePreferences();
    const SystemClock clock;
    const SessionScanner scanner(platform::claudeDirectory(), *probes, *preferences, clock,
                                 *logger);

    const ScanResult scan = runScanCycle(scanner);
    out << (options.json ? formatListingJson(scan)
                         : formatListingText(scan, maxRecentSessions(*preferences)));
    out.flush();
    return out ? 0 : 1;
}

int runFocus(const FocusOptions& options, std::ostream& err) {
    const auto target = logTarget(options.verbose);
    const auto scanLogger = platform::makeLogger("SessionScanner", target);
    const auto runner = platform::makeCommandRunner();
    const auto probes =
        platform::makeProcessProbes(platform::ProbeSource::Native, *runner, *scanLogger);
    const auto preferences = platform::makePreferences();
    const SystemClock clock;
    const SessionScanner scanner(platform::claudeDirectory(), *probes, *preferences, clock,
                                 *scanLogger);
    ClaudeSessionPtr chosen;
    for (const ClaudeSessionPtr& session : scanner.scanLiveSessions()) {
        if (session->pid == options.pid) {
            chosen = session;
        }
    }
    if (!chosen) {
        err << "fernbeacon: no running claude session has PID " << options.pid << "\n";
        return 1;
    }
    CliDispatcher dispatcher;
    const auto control = platform::makeTerminalControl(dispatcher, *preferences, target);
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
                          [&](const ShowHelp&) {
                              out << helpText();
                              return 0;
                          },
                          [&](const ShowVersion&) {
                              out << versionText();
                              return 0;
                          },
                          [&](const ListOptions& options) { return runList(options, out); },
                          [&](const FocusOptions& options) { return runFocus(options, err); },
                          [&](const OpenOptions& options) { return runOpen(options, err); },
                      },
                      *parsed.command);
}

}  // namespace fernbeacon::app
