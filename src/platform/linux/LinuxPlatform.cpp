#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/CommandProbes.h"
#include "core/ConfigDirectory.h"
#include "platform/Platform.h"
#include "platform/QtPreferences.h"
#include "platform/StreamLogger.h"
#include "platform/linux/DBusSessionNotifier.h"
#include "platform/linux/InotifyFolderWatcher.h"
#include "platform/linux/JournalLogger.h"
#include "platform/linux/LinuxTerminalControl.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/XdgAutostart.h"
#include "platform/posix/PosixCommandRunner.h"
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

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

std::filesystem::path claudeDirectory() {
    return ownConfigDirectory(homeDirectory());
}

std::unique_ptr<CommandRunner> makeCommandRunner() {
    return std::make_unique<PosixCommandRunner>();
}

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
    const LogLevel minimum = target == LogTarget::StandardError ? LogLevel::Info : LogLevel::Error;
    return std::make_unique<StreamLogger>(std::move(category), stderr, minimum);
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
