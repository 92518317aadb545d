#include "app/Cli.h"

#include <ostream>

#include "app/Listing.h"
#include "app/TrayApplication.h"
#include "core/Clock.h"
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
           "       fernbeacon --help | --version\n"
           "\n"
           "Keeps track of the claude sessions running in your terminals.\n"
           "\n"
           "Without a command, shows the sessions in a tray menu.\n"
           "\n"
           "Commands:\n"
           "  list             Print the running sessions and the recent ones, as the menu\n"
           "                   shows them.\n"
           "\n"
           "Options:\n"
           "  --json           Print one JSON object instead of text.\n"
           "  -v, --verbose    Log each step of the scan to standard error.\n"
           "  --probes=SOURCE  Learn about processes from /proc (proc, the default) or from\n"
           "                   the ps, pgrep and lsof tools (tools).\n"
           "  -h, --help       Show this help.\n"
           "  --version        Show the version.\n"
           "\n"
           "Only reads ~/.claude; never writes there.\n";
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
                      },
                      *parsed.command);
}

}  // namespace fernbeacon::app
