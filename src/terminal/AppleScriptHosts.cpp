#include "terminal/AppleScriptHosts.h"

namespace fernbeacon {
namespace {

class ITerm2Host final : public TerminalHost {
public:
    explicit ITerm2Host(AppleScriptTerminals& terminals) : terminals_(terminals) {}
    bool owns(std::string_view ownerName) const override { return ownerName == "iTerm2"; }
    std::optional<std::string> searchableApplication() const override { return "iTerm2"; }
    bool focus(const FocusTarget& target) override {
        return terminals_.focusInITerm2(target.ttyPath);
    }

private:
    AppleScriptTerminals& terminals_;
};

class TerminalAppHost final : public TerminalHost {
public:
    explicit TerminalAppHost(AppleScriptTerminals& terminals) : terminals_(terminals) {}
    bool owns(std::string_view ownerName) const override { return ownerName == "Terminal"; }
    std::optional<std::string> searchableApplication() const override { return "Terminal"; }
    bool focus(const FocusTarget& target) override {
        return terminals_.focusInTerminalApp(target.ttyPath);
    }

private:
    AppleScriptTerminals& terminals_;
};

// Editors whose terminals cannot be scripted: their application comes to the front.
class ApplicationHost final : public TerminalHost {
public:
    ApplicationHost(std::string ownerName, std::string applicationName,
                    TerminalApplications& applications)
        : ownerName_(std::move(ownerName)),
          applicationName_(std::move(applicationName)),
          applications_(applications) {}
    bool owns(std::string_view ownerName) const override { return ownerName == ownerName_; }
    bool focus(const FocusTarget&) override {
        applications_.activateApp(applicationName_);
        return true;
    }

private:
    const std::string ownerName_;
    const std::string applicationName_;
    TerminalApplications& applications_;
};

}  // namespace

void addAppleScriptHosts(HostRegistry& registry, AppleScriptTerminals& terminals,
                         TerminalApplications& applications) {
    registry.add(std::make_unique<ITerm2Host>(terminals));
    registry.add(std::make_unique<TerminalAppHost>(terminals));
    registry.add(std::make_unique<ApplicationHost>("VS Code", "Code", applications));
    registry.add(std::make_unique<ApplicationHost>("Cursor", "Cursor", applications));
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

void AppleScriptSessionOpener::launch(const std::string& terminal, const std::string& directory) {
    terminals_.launchSessionScript(terminal, directory);
}

std::vector<std::string> AppleScriptSessionOpener::choices() const {
    return {"Auto", "Terminal", "iTerm2"};
}

}  // namespace fernbeacon
