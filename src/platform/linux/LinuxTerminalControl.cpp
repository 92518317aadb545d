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

// Owns every part; the parts refer to each other and to nothing outside but the arguments.
class LinuxTerminalControl final : public TerminalControl {
public:
    LinuxTerminalControl(Dispatcher& dispatcher, const Preferences& preferences,
                         std::unique_ptr<Logger> logger)
        : logger_(std::move(logger)),
          workspace_(*logger_),
          applications_(workspace_, dispatcher, linuxTerminalNames()),
          ownership_(processTable_, Desktop::Linux, *logger_),
          tmux_(runner_, executables_, environment_, ownership_, hosts_, *logger_),
          services_{runner_, executables_, environment_, workspace_, bus_, *logger_},
          opener_(launcher_, executables_, applications_, tmux_, userShell(), *logger_,
                  [this](const std::optional<std::string>& directory,
                         const std::vector<std::string>& command) {
                      return openKittyTab(services_, processTable_, directory, command);
                  }),
          focuser_(dispatcher, preferences, *logger_, applications_, ownership_, hosts_, opener_,
                   nullptr) {
        addLinuxHosts(hosts_, services_, tmux_, [this](const std::vector<std::string>& command) {
            return opener_.openTerminalRunning(command, std::nullopt);
        });
    }

    void focusSession(const ClaudeSessionPtr& session) override { focuser_.focusSession(session); }
    void openNewSession(const std::string& directory) override {
        focuser_.openNewSession(directory);
    }
    void warmUp() override { focuser_.warmUp(); }
    std::vector<std::string> terminalChoices() const override { return focuser_.terminalChoices(); }

private:
    std::unique_ptr<Logger> logger_;
    PosixCommandRunner runner_;
    SearchPath executables_;
    ProcProcessTable processTable_;
    ProcEnvironment environment_;
    X11Workspace workspace_;
    QtDBusSession bus_;
    DetachedProcessLauncher launcher_;
    TerminalApplications applications_;
    TtyOwnership ownership_;
    HostRegistry hosts_;
    TmuxControl tmux_;
    const LinuxHostServices services_;
    LinuxSessionOpener opener_;
    TerminalFocuser focuser_;
};

}  // namespace

std::unique_ptr<TerminalControl> makeLinuxTerminalControl(Dispatcher& dispatcher,
                                                          const Preferences& preferences,
                                                          std::unique_ptr<Logger> logger) {
    return std::make_unique<LinuxTerminalControl>(dispatcher, preferences, std::move(logger));
}

}  // namespace fernbeacon::platform
