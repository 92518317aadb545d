#pragma once

#include <string>
#include <vector>

#include "core/SessionRecords.h"

namespace fernbeacon {

// What the menu asks of terminal control. Called on the main thread; each operation returns
// quickly and does its slow work on a worker. Failures are logged, never raised.
class TerminalControl {
public:
    virtual ~TerminalControl() = default;
    // Brings the terminal window and tab that run the session to the front.
    virtual void focusSession(const ClaudeSessionPtr& session) = 0;
    // Opens a new terminal tab (or window) in `directory` that runs `claude`.
    virtual void openNewSession(const std::string& directory) = 0;
    // Prepares the connections to running terminals once, at launch.
    virtual void warmUp() = 0;
    // The values the "Terminal App:" setting offers, "Auto" first.
    virtual std::vector<std::string> terminalChoices() const = 0;
};

}  // namespace fernbeacon
