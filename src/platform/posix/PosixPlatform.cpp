// The other desktop, and any system without a backend of its own: the tool command lines for
// probes, AppleScript through osascript for terminals, standard error for the log, preferences
// in an INI file under the home directory.
#include "core/CommandProbes.h"
#include "platform/Platform.h"
#include "platform/QtPreferences.h"
#include "platform/StreamLogger.h"
#include "platform/posix/AppleScriptTerminalControl.h"

namespace fernbeacon::platform {

ProbeCommandSet probeCommandSet() {
    return ProbeCommandSet::forMacOS();
}

// There is no native source here: both ask the tools.
std::unique_ptr<ProcessProbes> makeProcessProbes(ProbeSource, CommandRunner& runner,
                                                 Logger& logger) {
    return std::make_unique<CommandProbes>(runner, probeCommandSet(), logger);
}

std::unique_ptr<Logger> makeLogger(std::string category, LogTarget target) {
    return makeStandardErrorLogger(std::move(category), target);
}

std::filesystem::path preferencesFile() {
    return homeDirectory() / ".config" / "Fernbeacon" / "Fernbeacon.conf";
}

std::unique_ptr<Preferences> makePreferences() {
    return std::make_unique<QtPreferences>(preferencesFile());
}

std::shared_ptr<TerminalControl> makeTerminalControl(Dispatcher& dispatcher,
                                                     const Preferences& preferences,
                                                     LogTarget logTarget) {
    return makeAppleScriptTerminalControl(dispatcher, preferences,
                                          makeLogger("TerminalFocuser", logTarget),
                                          makeCommandRunner(), std::make_unique<EmptyWorkspace>());
}

namespace {

class UnsupportedLoginItem final : public LoginItem {
public:
    bool isRegistered() const override { return false; }
    std::optional<std::string> registerLoginItem() override {
        return "Start on login is not supported on this system.";
    }
    std::optional<std::string> unregisterLoginItem() override { return std::nullopt; }
};

class NoFolderWatcher final : public FolderWatcher {
public:
    void watch(const std::vector<std::filesystem::path>&) override {}
};

class NoSessionNotifier final : public SessionNotifier {
public:
    void show(std::int32_t, const WaitingNotice&) override {}
    void close(std::int32_t) override {}
};

}  // namespace

std::unique_ptr<LoginItem> makeLoginItem() {
    return std::make_unique<UnsupportedLoginItem>();
}

// The 5-second cycle alone, and the icon's mark instead of notices.
std::unique_ptr<FolderWatcher> makeFolderWatcher() {
    return std::make_unique<NoFolderWatcher>();
}

std::unique_ptr<SessionNotifier> makeSessionNotifier(Logger&) {
    return std::make_unique<NoSessionNotifier>();
}

// The window server is always there.
bool hasGraphicalSession() {
    return true;
}

// No tray host exports the menu: the rows are drawn as they are.
bool trayMenuIsExported() {
    return false;
}

}  // namespace fernbeacon::platform
