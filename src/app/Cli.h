#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Platform.h"

namespace fernbeacon::app {

struct ListOptions {
    bool json = false;
    bool verbose = false;
    platform::ProbeSource probes = platform::ProbeSource::Native;
};

struct StartTray {};
struct ShowHelp {};
struct ShowVersion {};

using CliCommand = std::variant<StartTray, ShowHelp, ShowVersion, ListOptions>;

struct CliParse {
    std::optional<CliCommand> command;
    std::string error;  // one line, when the arguments are not understood
};

// Parses the arguments after the program name.
CliParse parseArguments(std::span<const std::string_view> arguments);

std::string helpText();
std::string versionText();

// One whole refresh cycle on this system, printed as `fernbeacon list` prints it.
int runList(const ListOptions& options, std::ostream& out);

// The program's entry: returns the exit status.
int run(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err);

}  // namespace fernbeacon::app
