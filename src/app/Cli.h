#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "app/Watch.h"
#include "platform/Platform.h"

namespace fernbeacon::app {

struct ListOptions {
    bool json = false;
    bool verbose = false;
    platform::ProbeSource probes = platform::ProbeSource::Native;
};

struct FocusOptions {
    std::int32_t pid = 0;
    bool verbose = false;
};

struct OpenOptions {
    std::string directory;
    bool verbose = false;
};

struct MenuOptions {
    bool verbose = false;
};

struct StartTray {};

enum class HelpTopic { Overview, Tray, List, Focus, Open, Watch, Menu };
struct ShowHelp {
    HelpTopic topic = HelpTopic::Overview;
};
struct ShowVersion {};

using CliCommand = std::variant<StartTray, ShowHelp, ShowVersion, ListOptions, FocusOptions,
                                OpenOptions, WatchOptions, MenuOptions>;

// How long a command waits for the terminal work of a click: long enough for every command a
// host may run in turn, each with its own time limit.
inline constexpr std::chrono::seconds kTerminalWorkLimit{60};

struct CliParse {
    std::optional<CliCommand> command;
    std::string error;  // one line, when the arguments are not understood
};

// Parses the arguments after the program name.
CliParse parseArguments(std::span<const std::string_view> arguments);

std::string helpText(HelpTopic topic = HelpTopic::Overview);
// The version `project()` declares, and the git revision the build was configured from.
std::string versionText();

// One whole refresh cycle on this system, printed as `fernbeacon list` prints it.
int runList(const ListOptions& options, std::ostream& out);

// One live scan, then the session with that process ID is focused as a click would.
int runFocus(const FocusOptions& options, std::ostream& err);

// A new session in the directory, as a click on a recent session would open it.
int runOpen(const OpenOptions& options, std::ostream& err);

// The program's entry: returns the exit status.
int run(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err);

}  // namespace fernbeacon::app
