// Systems without a dedicated backend: the tool command lines of the other desktop, standard
// error for logging, preferences in an INI file under the home directory.
#include <cstdlib>

#include "core/CommandProbes.h"
#include "core/ConfigDirectory.h"
#include "platform/AppleScriptTerminalControl.h"
#include "platform/Platform.h"
#include "platform/QtPreferences.h"
#include "platform/StreamLogger.h"
#include "platform/posix/PosixCommandRunner.h"

namespace fernbeacon::platform {

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::filesystem::path(home) : "/";
}

std::filesystem::path claudeDirectory() {
    return ownConfigDirectory(homeDirectory());
}

std::unique_ptr<CommandRunner> makeCommandRunner() {
    return std::make_unique<PosixCommandRunner>();
}

ProbeCommandSet probeCommandSet() {
    return ProbeCommandSet::forMacOS();
}

std::unique_ptr<ProcessProbes> makeProcessProbes(ProbeSource, CommandRunner& runner,
                                                 Logger& logger) {
    return std::make_unique<CommandProbes>(runner, probeCommandSet(), logger);
}

std::unique_ptr<Logger> makeLogger(std::string category, LogTarget target) {
    const LogLevel minimum = target == LogTarget::StandardError ? LogLevel::Info : LogLevel::Error;
    return std::make_unique<StreamLogger>(std::move(category), stderr, minimum);
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

}  // namespace

std::unique_ptr<LoginItem> makeLoginItem() {
    return std::make_unique<UnsupportedLoginItem>();
}

namespace {

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

// The 5-second cycle alone, and the icon's mark instead of notices.
std::unique_ptr<FolderWatcher> makeFolderWatcher() {
    return std::make_unique<NoFolderWatcher>();
}

std::unique_ptr<SessionNotifier> makeSessionNotifier(Logger&) {
    return std::make_unique<NoSessionNotifier>();
}

bool hasGraphicalSession() {
    return true;
}

bool trayMenuIsExported() {
    return false;
}

}  // namespace fernbeacon::platform
