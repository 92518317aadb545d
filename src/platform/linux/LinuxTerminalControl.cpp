#include "platform/linux/LinuxTerminalControl.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/DetachedProcessLauncher.h"
#include "platform/linux/ProcTerminalSources.h"
#include "platform/linux/QtDBusSession.h"
#include "platform/linux/X11Workspace.h"
#include "platform/posix/PosixCommandRunner.h"
#include "terminal/LinuxHosts.h"
#include "terminal/LinuxLaunchers.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon::platform {
namespace {

// The names "Auto" and the preference may take, as the workspace names them.
std::vector<std::string> linuxTerminalNames() {
    std::vector<std::string> names{"tmux"};
    for (const TerminalDescriptor* terminal : launchableTerminals()) {
        names.emplace_back(terminal->name);
    }
    return names;
}

std::string userShell() {
    const char* shell = std::getenv("SHELL");
    if (shell != nullptr && shell[0] == '/') {
        return shell;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_shell != nullptr && entry->pw_shell[0] == '/'
               ? entry->pw_shell
               : "/bin/sh";
}

// Every part of terminal control, built together; each refers only to parts above it and to
// the arguments.
struct LinuxTerminals {
    LinuxTerminals(Dispatcher& dispatcher, const Preferences& preferences,
                   std::unique_ptr<Logger> log)
        : logger(std::move(log)),
          workspace(*logger),
          applications(workspace, dispatcher, linuxTerminalNames()),
          ownership(processTable, Desktop::Linux, *logger),
          tmux(runner, executables, environment, *logger),
          services{runner, executables, environment, workspace, bus, *logger},
          opener(launcher, executables, applications, tmux, userShell(), *logger,
                 [this](const std::optional<std::string>& directory,
                        const std::vector<std::string>& command) {
                     return openKittyTab(services, processTable, directory, command);
                 }),
          focuser(dispatcher, preferences, *logger, applications, ownership, hosts, opener,
                  nullptr) {
        addLinuxHosts(hosts, services, tmux, [this](const std::vector<std::string>& command) {
            return opener.openTerminalRunning(command, std::nullopt);
        });
    }

    std::unique_ptr<Logger> logger;
    PosixCommandRunner runner;
    SearchPath executables;
    ProcProcessTable processTable;
    ProcEnvironment environment;
    X11Workspace workspace;
    QtDBusSession bus;
    DetachedProcessLauncher launcher;
    TerminalApplications applications;
    TtyOwnership ownership;
    TmuxControl tmux;
    const LinuxHostServices services;
    LinuxSessionOpener opener;
    HostRegistry hosts;
    TerminalFocuser focuser;
};

}  // namespace

std::shared_ptr<TerminalControl> makeLinuxTerminalControl(Dispatcher& dispatcher,
                                                          const Preferences& preferences,
                                                          std::unique_ptr<Logger> logger) {
    auto parts = std::make_shared<LinuxTerminals>(dispatcher, preferences, std::move(logger));
    return {parts, &parts->focuser};
}

}  // namespace fernbeacon::platform
