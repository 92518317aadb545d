#include "terminal/TerminalApplications.h"

#include <algorithm>

namespace fernbeacon {

TerminalApplications::TerminalApplications(Workspace& workspace, Dispatcher& dispatcher,
                                           std::vector<std::string> knownTerminalApps)
    : workspace_(workspace), dispatcher_(dispatcher), known_(std::move(knownTerminalApps)) {}

bool TerminalApplications::isKnownTerminal(const std::string& name) const {
    return std::find(known_.begin(), known_.end(), name) != known_.end();
}

std::set<std::string> TerminalApplications::runningTerminalApps() const {
    std::set<std::string> running;
    for (const RunningApplication& application : workspace_.runningApplications()) {
        if (application.localizedName && isKnownTerminal(*application.localizedName)) {
            running.insert(*application.localizedName);
        }
    }
    return running;
}

void TerminalApplications::activateApp(std::string name) {
    dispatcher_.toMain([this, name = std::move(name)] {
        for (const RunningApplication& application : workspace_.runningApplications()) {
            if (application.localizedName == name) {
                workspace_.activate(application, ActivationOptions::AllWindows);
                return;
            }
        }
    });
}

void TerminalApplications::activateFirstRunningTerminal() {
    for (const RunningApplication& application : workspace_.runningApplications()) {
        if (application.localizedName && isKnownTerminal(*application.localizedName)) {
            workspace_.activate(application, ActivationOptions::None);
            return;
        }
    }
}

}  // namespace fernbeacon
