#pragma once

#include <memory>

#include "core/CommandRunner.h"
#include "core/Dispatcher.h"
#include "core/Logger.h"
#include "core/Preferences.h"
#include "terminal/TerminalControl.h"
#include "terminal/Workspace.h"

namespace fernbeacon::platform {

// Terminal control of the other desktop: ps for TTY owners, osascript for the scriptable
// terminals, the given workspace for running applications. The result owns its parts.
std::shared_ptr<TerminalControl> makeAppleScriptTerminalControl(
    Dispatcher& dispatcher, const Preferences& preferences, std::unique_ptr<Logger> logger,
    std::unique_ptr<CommandRunner> runner, std::unique_ptr<Workspace> workspace);

}  // namespace fernbeacon::platform
