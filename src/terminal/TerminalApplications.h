#pragma once

#include <set>
#include <string>
#include <vector>

#include "core/Dispatcher.h"
#include "terminal/Workspace.h"

namespace fernbeacon {

// The running terminal applications and their activation. Activation by name is queued to the
// main thread; the workspace is read on the calling thread.
class TerminalApplications {
public:
    TerminalApplications(Workspace& workspace, Dispatcher& dispatcher,
                         std::vector<std::string> knownTerminalApps);

    const std::vector<std::string>& knownTerminalApps() const { return known_; }
    bool isKnownTerminal(const std::string& name) const;

    // The names of the running applications that are known terminals.
    std::set<std::string> runningTerminalApps() const;
    // Later, on the main thread: the first application named exactly `name`, all its windows.
    void activateApp(std::string name);
    // Now, on this thread: the first known terminal in the workspace's order.
    void activateFirstRunningTerminal();

private:
    Workspace& workspace_;
    Dispatcher& dispatcher_;
    const std::vector<std::string> known_;
};

}  // namespace fernbeacon
