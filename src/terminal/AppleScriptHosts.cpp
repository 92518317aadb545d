#include "terminal/AppleScriptHosts.h"

namespace fernbeacon {
namespace {

class ITerm2Host final : public TerminalHost {
public:
    explicit ITerm2Host(AppleScriptTerminals& terminals) : terminals_(terminals) {}
    std::optional<std::string> searchableApplication() const override { return "iTerm2"; }
    FocusOutcome focus(const FocusTarget& target) override {
        return terminals_.focusInITerm2(target.ttyPath);
    }

private:
    AppleScriptTerminals& terminals_;
};

class TerminalAppHost final : public TerminalHost {
public:
    explicit TerminalAppHost(AppleScriptTerminals& terminals) : terminals_(terminals) {}
    std::optional<std::string> searchableApplication() const override { return "Terminal"; }
    FocusOutcome focus(const FocusTarget& target) override {
        return terminals_.focusInTerminalApp(target.ttyPath);
    }

private:
    AppleScriptTerminals& terminals_;
};

// Editors whose terminals cannot be scripted: their application comes to the front.
class ApplicationHost final : public TerminalHost {
public:
    explicit ApplicationHost(TerminalApplications& applications) : applications_(applications) {}
    FocusOutcome focus(const FocusTarget& target) override {
        const TerminalDescriptor* terminal = terminalNamed(target.owner->name);
        applications_.activateApp(
            std::string(terminal->application.empty() ? terminal->name : terminal->application));
        return true;
    }

private:
    TerminalApplications& applications_;
};

}  // namespace

void addAppleScriptHosts(HostRegistry& registry, AppleScriptTerminals& terminals,
                         TerminalApplications& applications) {
    registry.add(TabHost::ITerm2, std::make_unique<ITerm2Host>(terminals));
    registry.add(TabHost::TerminalApp, std::make_unique<TerminalAppHost>(terminals));
    registry.add(TabHost::Application, std::make_unique<ApplicationHost>(applications));
}

AppleScriptSessionOpener::AppleScriptSessionOpener(AppleScriptTerminals& terminals,
                                                   TerminalApplications& applications)
    : terminals_(terminals), applications_(applications) {}

std::string AppleScriptSessionOpener::chooseTerminal(const std::string& preferred) {
    if (preferred != "Auto") {
        return preferred;
    }
    const std::set<std::string> running = applications_.runningTerminalApps();
    if (running.contains("iTerm2")) {
        return "iTerm2";
    }
    if (running.contains("Terminal") || running.empty()) {
        return "Terminal";
    }
    return *running.begin();
}

std::optional<FocusTarget> AppleScriptSessionOpener::launch(const std::string& terminal,
                                                            const std::string& directory) {
    terminals_.launchSessionScript(terminal, directory);
    return std::nullopt;
}

std::vector<std::string> AppleScriptSessionOpener::choices() const {
    return {"Auto", "Terminal", "iTerm2"};
}

}  // namespace fernbeacon
