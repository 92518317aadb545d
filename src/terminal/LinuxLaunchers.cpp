#include "terminal/LinuxLaunchers.h"

namespace fernbeacon {
namespace {

// For terminals that are not running: the system's choice of terminal.
const TerminalDescriptor& systemTerminal() {
    static const TerminalDescriptor terminal = [] {
        TerminalDescriptor system;
        system.name = "x-terminal-emulator";
        system.launch = {"x-terminal-emulator",
                         [](const std::string&, const std::vector<std::string>& command) {
                             std::vector<std::string> arguments{"-e"};
                             arguments.insert(arguments.end(), command.begin(), command.end());
                             return arguments;
                         },
                         true};
        return system;
    }();
    return terminal;
}

}  // namespace

std::vector<const TerminalDescriptor*> launchableTerminals() {
    std::vector<const TerminalDescriptor*> found;
    for (const TerminalDescriptor* terminal : terminalsFor(Desktop::Linux)) {
        if (terminal->launch) {
            found.push_back(terminal);
        }
    }
    return found;
}

const TerminalDescriptor* launchableTerminalNamed(std::string_view name) {
    if (name == systemTerminal().name) {
        return &systemTerminal();
    }
    const TerminalDescriptor* terminal = terminalNamed(name);
    return terminal != nullptr && terminal->launch ? terminal : nullptr;
}

LinuxSessionOpener::LinuxSessionOpener(ProcessLauncher& launcher, const Executables& executables,
                                       TerminalApplications& applications, TmuxControl& tmux,
                                       std::string userShell, Logger& logger, TabOpener kittyTab)
    : launcher_(launcher),
      executables_(executables),
      applications_(applications),
      tmux_(tmux),
      userShell_(std::move(userShell)),
      logger_(logger),
      kittyTab_(std::move(kittyTab)) {}

std::string LinuxSessionOpener::firstWindowTerminal() {
    const auto running = applications_.runningTerminalApps();
    for (const TerminalDescriptor* terminal : launchableTerminals()) {
        if (running.contains(std::string(terminal->name)) &&
            executables_.find(terminal->launch->program)) {
            return std::string(terminal->name);
        }
    }
    const TerminalDescriptor& system = systemTerminal();
    return std::string(executables_.find(system.launch->program) ? system.name : "XTerm");
}

std::string LinuxSessionOpener::chooseTerminal(const std::string& preferred) {
    // A preference this system cannot honour (the other desktop's names) counts as "Auto".
    if (preferred == kTmuxTerminal || launchableTerminalNamed(preferred) != nullptr) {
        return preferred;
    }
    if (executables_.find("tmux") && tmux_.hasAttachedClient()) {
        return std::string(kTmuxTerminal);
    }
    return firstWindowTerminal();
}

bool LinuxSessionOpener::start(const TerminalDescriptor& terminal,
                               const std::optional<std::string>& directory,
                               const std::vector<std::string>& command) {
    if (terminal.host == TabHost::Kitty && kittyTab_ && kittyTab_(directory, command)) {
        return true;
    }
    const auto program = executables_.find(terminal.launch->program);
    if (!program) {
        logger_.error("%s is not installed", terminal.name);
        return false;
    }
    LaunchCommand launch;
    launch.arguments = {*program};
    const auto rest = terminal.launch->arguments(directory.value_or(std::string()), command);
    launch.arguments.insert(launch.arguments.end(), rest.begin(), rest.end());
    if (terminal.launch->needsWorkingDirectory) {
        launch.workingDirectory = directory;
    }
    const std::string error = launcher_.start(launch);
    if (!error.empty()) {
        logger_.error("Could not start %s: %s", terminal.name, error);
        return false;
    }
    return true;
}

std::optional<FocusTarget> LinuxSessionOpener::launch(const std::string& terminal,
                                                      const std::string& directory) {
    if (terminal == kTmuxTerminal) {
        return tmux_
            .openWindow(directory,
                        [this, &directory](const std::vector<std::string>& command) {
                            return openTerminalRunning(command, directory);
                        })
            .outer;
    }
    if (const TerminalDescriptor* launchable = launchableTerminalNamed(terminal)) {
        start(*launchable, directory, claudeInShellCommand(userShell_));
    }
    return std::nullopt;
}

bool LinuxSessionOpener::openTerminalRunning(const std::vector<std::string>& command,
                                             const std::optional<std::string>& directory) {
    const TerminalDescriptor* terminal = launchableTerminalNamed(firstWindowTerminal());
    return terminal != nullptr && start(*terminal, directory, command);
}

std::vector<std::string> LinuxSessionOpener::choices() const {
    std::vector<std::string> names{"Auto"};
    if (executables_.find("tmux")) {
        names.emplace_back(kTmuxTerminal);
    }
    for (const TerminalDescriptor* terminal : launchableTerminals()) {
        if (executables_.find(terminal->launch->program)) {
            names.emplace_back(terminal->name);
        }
    }
    return names;
}

}  // namespace fernbeacon
