#include "platform/posix/AppleScriptTerminalControl.h"

#include "terminal/AppleScriptHosts.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon::platform {
namespace {

// Every part of terminal control, built together; each refers only to parts above it and to
// the arguments.
struct AppleScriptParts {
    AppleScriptParts(Dispatcher& dispatcher, const Preferences& preferences,
                     std::unique_ptr<Logger> log, std::unique_ptr<CommandRunner> commandRunner,
                     std::unique_ptr<Workspace> runningApplications)
        : logger(std::move(log)),
          runner(std::move(commandRunner)),
          workspace(std::move(runningApplications)),
          applications(*workspace, dispatcher,
                       {"iTerm2", "Terminal", "Alacritty", "kitty", "WezTerm"}),
          terminals(*runner, applications, *logger),
          processTable(*runner, "/bin/zsh", "/bin/ps"),
          ownership(processTable, Desktop::Other, *logger),
          opener(terminals, applications),
          focuser(dispatcher, preferences, *logger, applications, ownership, hosts, opener,
                  [this](const std::set<std::string>& running) { terminals.warmUp(running); }) {
        addAppleScriptHosts(hosts, terminals, applications);
    }

    std::unique_ptr<Logger> logger;
    std::unique_ptr<CommandRunner> runner;
    std::unique_ptr<Workspace> workspace;
    TerminalApplications applications;
    AppleScriptTerminals terminals;
    PsProcessTable processTable;
    TtyOwnership ownership;
    HostRegistry hosts;
    AppleScriptSessionOpener opener;
    TerminalFocuser focuser;
};

}  // namespace

std::shared_ptr<TerminalControl> makeAppleScriptTerminalControl(
    Dispatcher& dispatcher, const Preferences& preferences, std::unique_ptr<Logger> logger,
    std::unique_ptr<CommandRunner> runner, std::unique_ptr<Workspace> workspace) {
    auto parts = std::make_shared<AppleScriptParts>(dispatcher, preferences, std::move(logger),
                                                    std::move(runner), std::move(workspace));
    return {parts, &parts->focuser};
}

}  // namespace fernbeacon::platform
