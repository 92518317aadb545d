#pragma once

#include <optional>
#include <string>
#include <vector>

#include "terminal/TerminalHost.h"

namespace fernbeacon {

// Chooses the terminal for a new session and opens it there.
class SessionOpener {
public:
    virtual ~SessionOpener() = default;
    // The terminal to use for the stored preference ("Auto" when none is stored).
    virtual std::string chooseTerminal(const std::string& preferred) = 0;
    // Opens a tab (or window) of `terminal` in `directory` that runs `claude`. Blocks while the
    // terminal is asked; failures are logged, never raised. Returns the terminal that shows the
    // new tab inside another (a tmux client's), for the caller to bring to the front.
    virtual std::optional<FocusTarget> launch(const std::string& terminal,
                                              const std::string& directory) = 0;
    // The values the preference may take, "Auto" first.
    virtual std::vector<std::string> choices() const = 0;
};

}  // namespace fernbeacon
