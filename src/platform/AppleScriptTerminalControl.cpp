#include "platform/AppleScriptTerminalControl.h"

#include "terminal/AppleScriptHosts.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon::platform {
namespace {

class AppleScriptTerminalControl final : public TerminalControl {
public:
    AppleScriptTerminalControl(Dispatcher& dispatcher, const Preferences& preferences,
                               std::unique_ptr<Logger> logger,
                               std::unique_ptr<CommandRunner> runner,
                               std::unique_ptr<Workspace> workspace)
        : logger_(std::move(logger)),
          runner_(std::move(runner)),
          workspace_(std::move(workspace)),
          applications_(*workspace_, dispatcher,
                        {"iTerm2", "Terminal", "Alacritty", "kitty", "WezTerm"}),
          terminals_(*runner_, applications_, *logger_),
          processTable_(*runner_, "/bin/zsh", "/bin/ps"),
          ownership_(processTable_, Desktop::Other, *logger_),
          opener_(terminals_, applications_),
          focuser_(dispatcher, preferences, *logger_, applications_, ownership_, hosts_, opener_,
                   [this](const std::set<std::string>& running) { terminals_.warmUp(running); }) {
        addAppleScriptHosts(hosts_, terminals_, applications_);
    }

    void focusSession(const ClaudeSessionPtr& session) override { focuser_.focusSession(session); }
    void openNewSession(const std::string& directory) override {
        focuser_.openNewSession(directory);
    }
    void warmUp() override { focuser_.warmUp(); }
    std::vector<std::string> terminalChoices() const override { return focuser_.terminalChoices(); }

private:
    std::unique_ptr<Logger> logger_;
    std::unique_ptr<CommandRunner> runner_;
    std::unique_ptr<Workspace> workspace_;
    TerminalApplications applications_;
    AppleScriptTerminals terminals_;
    PsProcessTable processTable_;
    TtyOwnership ownership_;
    HostRegistry hosts_;
    AppleScriptSessionOpener opener_;
    TerminalFocuser focuser_;
};

}  // namespace

std::unique_ptr<TerminalControl> makeAppleScriptTerminalControl(
    Dispatcher& dispatcher, const Preferences& preferences, std::unique_ptr<Logger> logger,
    std::unique_ptr<CommandRunner> runner, std::unique_ptr<Workspace> workspace) {
    return std::make_unique<AppleScriptTerminalControl>(dispatcher, preferences, std::move(logger),
                                                        std::move(runner), std::move(workspace));
}

}  // namespace fernbeacon::platform
