#include "terminal/LinuxLaunchers.h"

namespace fernbeacon {
namespace {

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

const std::vector<TerminalLauncher>& launchers() {
    static const std::vector<TerminalLauncher> all{
        {"GNOME Terminal", "gnome-terminal",
         [](const std::string& d, const Arguments& c) {
             return joined({"--tab", "--working-directory=" + d, "--"}, c);
         },
         false},
        {"Konsole", "konsole",
         [](const std::string& d, const Arguments& c) {
             return joined({"--new-tab", "--workdir", d, "-e"}, c);
         },
         false},
        // kitty expands "~" and "$NAME" in the directory it is given, and in its own working
        // directory when given none; "." it takes as it is.
        {"kitty", "kitty",
         [](const std::string&, const Arguments& c) {
             return joined({"--directory", "."}, c);
         },
         true},
        {"WezTerm", "wezterm",
         [](const std::string& d, const Arguments& c) {
             return joined({"start", "--cwd", d, "--"}, c);
         },
         false},
        {"Alacritty", "alacritty",
         [](const std::string& d, const Arguments& c) {
             return joined({"--working-directory", d, "-e"}, c);
         },
         false},
        {"Xfce Terminal", "xfce4-terminal",
         [](const std::string& d, const Arguments& c) {
             return joined({"--tab", "--working-directory=" + d, "-x"}, c);
         },
         false},
        {"Tilix", "tilix",
         [](const std::string& d, const Arguments& c) {
             return Arguments{"--action=app-new-session", "--working-directory=" + d, "-e",
                              singleQuotedWords(c)};
         },
         false},
        {"Terminator", "terminator",
         [](const std::string& d, const Arguments& c) {
             return joined({"--new-tab", "--working-directory=" + d, "-x"}, c);
         },
         false},
        {"foot", "foot",
         [](const std::string& d, const Arguments& c) {
             return joined({"--working-directory=" + d}, c);
         },
         false},
        {"XTerm", "xterm", [](const std::string&, const Arguments& c) { return joined({"-e"}, c); },
         true},
    };
    return all;
}

const TerminalLauncher kSystemTerminal{
    "x-terminal-emulator", "x-terminal-emulator",
    [](const std::string&, const Arguments& c) { return joined({"-e"}, c); }, true};

}  // namespace

std::span<const TerminalLauncher> terminalLaunchers() {
    return launchers();
}

const TerminalLauncher* launcherNamed(std::string_view name) {
    if (name == kSystemTerminal.name) {
        return &kSystemTerminal;
    }
    for (const TerminalLauncher& launcher : launchers()) {
        if (launcher.name == name) {
            return &launcher;
        }
    }
    return nullptr;
}

const TerminalLauncher& defaultTerminalLauncher() {
    return kSystemTerminal;
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
    for (const TerminalLauncher& launcher : launchers()) {
        if (running.contains(std::string(launcher.name)) && executables_.find(launcher.program)) {
            return std::string(launcher.name);
        }
    }
    return std::string(executables_.find(kSystemTerminal.program) ? kSystemTerminal.name : "XTerm");
}

std::string LinuxSessionOpener::chooseTerminal(const std::string& preferred) {
    // A preference this system cannot honour (the other desktop's names) counts as "Auto".
    if (preferred == kTmuxTerminal || launcherNamed(preferred) != nullptr) {
        return preferred;
    }
    if (executables_.find("tmux") && tmux_.hasAttachedClient()) {
        return std::string(kTmuxTerminal);
    }
    return firstWindowTerminal();
}

bool LinuxSessionOpener::start(const TerminalLauncher& launcher,
                               const std::optional<std::string>& directory,
                               const std::vector<std::string>& command) {
    if (launcher.program == "kitty" && kittyTab_ && kittyTab_(directory, command)) {
        return true;
    }
    const auto program = executables_.find(launcher.program);
    if (!program) {
        logger_.error("%s is not installed", launcher.name);
        return false;
    }
    LaunchCommand launch;
    launch.arguments = {*program};
    const auto rest = launcher.arguments(directory.value_or(std::string()), command);
    launch.arguments.insert(launch.arguments.end(), rest.begin(), rest.end());
    if (launcher.needsWorkingDirectory) {
        launch.workingDirectory = directory;
    }
    const std::string error = launcher_.start(launch);
    if (!error.empty()) {
        logger_.error("Could not start %s: %s", launcher.name, error);
        return false;
    }
    return true;
}

void LinuxSessionOpener::launch(const std::string& terminal, const std::string& directory) {
    if (terminal == kTmuxTerminal) {
        tmux_.openWindow(directory, [this, &directory](const std::vector<std::string>& command) {
            return openTerminalRunning(command, directory);
        });
        return;
    }
    if (const TerminalLauncher* launcher = launcherNamed(terminal)) {
        start(*launcher, directory, claudeInShellCommand(userShell_));
    }
}

bool LinuxSessionOpener::openTerminalRunning(const std::vector<std::string>& command,
                                             const std::optional<std::string>& directory) {
    const TerminalLauncher* launcher = launcherNamed(firstWindowTerminal());
    return launcher != nullptr && start(*launcher, directory, command);
}

std::vector<std::string> LinuxSessionOpener::choices() const {
    std::vector<std::string> names{"Auto"};
    if (executables_.find("tmux")) {
        names.emplace_back(kTmuxTerminal);
    }
    for (const TerminalLauncher& launcher : launchers()) {
        if (executables_.find(launcher.program)) {
            names.emplace_back(launcher.name);
        }
    }
    return names;
}

}  // namespace fernbeacon
