#pragma once

#include <functional>
#include <set>
#include <string>

#include "core/Dispatcher.h"
#include "core/Logger.h"
#include "core/Preferences.h"
#include "terminal/SessionOpener.h"
#include "terminal/TerminalApplications.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalHost.h"
#include "terminal/TtyOwnership.h"

namespace fernbeacon {

// Prepares the connections to the running terminals, on a worker at launch.
using WarmUpWork = std::function<void(const std::set<std::string>& runningTerminals)>;

// The decision layer of terminal control: which host is asked, in which order, on which
// thread, with which messages. What differs between desktops comes in through the hosts, the
// opener and the warm-up. Every dependency must outlive the work this object dispatches.
class TerminalFocuser final : public TerminalControl {
public:
    TerminalFocuser(Dispatcher& dispatcher, const Preferences& preferences, Logger& logger,
                    TerminalApplications& applications, const TtyOwnership& ownership,
                    const HostRegistry& hosts, SessionOpener& opener, WarmUpWork warmUpWork);

    void focusSession(const ClaudeSessionPtr& session) override;
    void openNewSession(const std::string& directory) override;
    void warmUp() override;
    std::vector<std::string> terminalChoices() const override;

    // The background half of focusSession.
    void focusTTY(const FocusTarget& target);

private:
    Dispatcher& dispatcher_;
    const Preferences& preferences_;
    Logger& logger_;
    TerminalApplications& applications_;
    const TtyOwnership& ownership_;
    const HostRegistry& hosts_;
    SessionOpener& opener_;
    const WarmUpWork warmUpWork_;
};

}  // namespace fernbeacon
