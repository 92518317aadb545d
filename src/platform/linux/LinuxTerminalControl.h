#pragma once

#include <memory>

#include "core/CommandRunner.h"
#include "core/Dispatcher.h"
#include "core/Logger.h"
#include "core/Preferences.h"
#include "terminal/TerminalControl.h"

namespace fernbeacon::platform {

// Terminal control on Linux: the TTY table from /proc, the Linux terminals' hosts, X11 for
// windows, the session bus for Konsole, GNOME Terminal and Tilix. The result owns its parts.
std::shared_ptr<TerminalControl> makeLinuxTerminalControl(Dispatcher& dispatcher,
                                                          const Preferences& preferences,
                                                          std::unique_ptr<Logger> logger);

}  // namespace fernbeacon::platform
