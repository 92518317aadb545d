#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/CommandProbes.h"
#include "core/CommandRunner.h"
#include "core/Dispatcher.h"
#include "core/FolderWatcher.h"
#include "core/Logger.h"
#include "core/LoginItem.h"
#include "core/Preferences.h"
#include "core/ProcessProbes.h"
#include "core/SessionNotifier.h"
#include "terminal/TerminalControl.h"

// What this operating system provides. One implementation per system, chosen by the build.
namespace fernbeacon::platform {

// The user's home: $HOME when set and not empty, else the password database's entry.
std::filesystem::path homeDirectory();

// The assistant's directory: $CLAUDE_CONFIG_DIR, else "~/.claude".
std::filesystem::path claudeDirectory();

std::unique_ptr<CommandRunner> makeCommandRunner();

// This system's probe command lines.
ProbeCommandSet probeCommandSet();

enum class ProbeSource {
    Native,    // the system's own interface (/proc on Linux, no process); else the tools
    Commands,  // the tool command lines through the shell
};

std::unique_ptr<ProcessProbes> makeProcessProbes(ProbeSource source, CommandRunner& runner,
                                                 Logger& logger);

enum class LogTarget {
    System,         // the system log; standard error (errors only) when there is none
    StandardError,  // standard error, every level
};

std::unique_ptr<Logger> makeLogger(std::string category, LogTarget target);

// The application's preferences file.
std::filesystem::path preferencesFile();

std::unique_ptr<Preferences> makePreferences();

// Terminal control for this system, logging as "TerminalFocuser" to `logTarget`. Work is posted
// through `dispatcher`; the preferred terminal is read from `preferences` at every use. Both
// must outlive the result, and the dispatcher must have run the work it was given before the
// result goes.
std::shared_ptr<TerminalControl> makeTerminalControl(Dispatcher& dispatcher,
                                                     const Preferences& preferences,
                                                     LogTarget logTarget = LogTarget::System);

// Start on login for this program.
std::unique_ptr<LoginItem> makeLoginItem();

// Learns of changes in the registry folders as they happen; where the system cannot tell, one
// that never does. Needs the application object to exist.
std::unique_ptr<FolderWatcher> makeFolderWatcher();

// Desktop notices about sessions, logging to `logger`, which must outlive the result. Needs the
// application object to exist.
std::unique_ptr<SessionNotifier> makeSessionNotifier(Logger& logger);

// Whether a display server can be reached (DISPLAY or WAYLAND_DISPLAY on Linux).
bool hasGraphicalSession();

// Whether the tray shows the icon's menu itself from an exported copy, in which custom rows are
// lost; the program then pops its own menu up on a click instead.
bool trayMenuIsExported();

}  // namespace fernbeacon::platform
