// Linux: /proc, X11 through xcb, the session bus, the journal, inotify and XDG autostart.
#include <cstdlib>

#include "core/CommandProbes.h"
#include "platform/Platform.h"
#include "platform/QtPreferences.h"
#include "platform/StreamLogger.h"
#include "platform/linux/DBusSessionNotifier.h"
#include "platform/linux/InotifyFolderWatcher.h"
#include "platform/linux/JournalLogger.h"
#include "platform/linux/LinuxTerminalControl.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/XdgAutostart.h"
#include "terminal/ProcessServices.h"

namespace fernbeacon::platform {
namespace {

std::optional<std::filesystem::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::filesystem::path configHome() {
    return absoluteFromEnvironment("XDG_CONFIG_HOME").value_or(homeDirectory() / ".config");
}

// The running program's absolute path.
std::string executablePath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("fernbeacon") : path.string();
}

bool nonEmptyEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

ProbeCommandSet probeCommandSet() {
    // Without an lsof on the search path, the shell gets its own chance to find one.
    return ProbeCommandSet::forLinux(SearchPath().find("lsof").value_or("lsof"));
}

std::unique_ptr<ProcessProbes> makeProcessProbes(ProbeSource source, CommandRunner& runner,
                                                 Logger& logger) {
    if (source == ProbeSource::Commands) {
        return std::make_unique<CommandProbes>(runner, probeCommandSet(), logger);
    }
    return std::make_unique<ProcProbes>(logger);
}

std::unique_ptr<Logger> makeLogger(std::string category, LogTarget target) {
    if (target == LogTarget::System && JournalLogger::available()) {
        return std::make_unique<JournalLogger>(std::move(category));
    }
    return makeStandardErrorLogger(std::move(category), target);
}

std::filesystem::path preferencesFile() {
    return configHome() / "Fernbeacon" / "Fernbeacon.conf";
}

std::unique_ptr<Preferences> makePreferences() {
    return std::make_unique<QtPreferences>(preferencesFile());
}

std::unique_ptr<LoginItem> makeLoginItem() {
    return std::make_unique<XdgAutostart>(configHome() / "autostart", executablePath());
}

std::unique_ptr<FolderWatcher> makeFolderWatcher() {
    return std::make_unique<InotifyFolderWatcher>();
}

std::unique_ptr<SessionNotifier> makeSessionNotifier(Logger& logger) {
    return std::make_unique<DBusSessionNotifier>(logger, QDBusConnection::sessionBus());
}

bool hasGraphicalSession() {
    return nonEmptyEnvironment("DISPLAY") || nonEmptyEnvironment("WAYLAND_DISPLAY");
}

std::shared_ptr<TerminalControl> makeTerminalControl(Dispatcher& dispatcher,
                                                     const Preferences& preferences,
                                                     LogTarget logTarget) {
    return makeLinuxTerminalControl(dispatcher, preferences,
                                    makeLogger("TerminalFocuser", logTarget));
}

}  // namespace fernbeacon::platform
