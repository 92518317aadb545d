#include "terminal/TerminalFocuser.h"

namespace fernbeacon {

TerminalFocuser::TerminalFocuser(Dispatcher& dispatcher, const Preferences& preferences,
                                 Logger& logger, TerminalApplications& applications,
                                 const TtyOwnership& ownership, const HostRegistry& hosts,
                                 SessionOpener& opener, WarmUpWork warmUpWork)
    : dispatcher_(dispatcher),
      preferences_(preferences),
      logger_(logger),
      applications_(applications),
      ownership_(ownership),
      hosts_(hosts),
      opener_(opener),
      warmUpWork_(std::move(warmUpWork)) {}

void TerminalFocuser::focusSession(const ClaudeSessionPtr& session) {
    if (!session) {
        return;
    }
    if (!session->tty) {
        logger_.error("No tty for session PID %d, activating first terminal", session->pid);
        applications_.activateFirstRunningTerminal();
        return;
    }
    FocusTarget target{session->pid, ttyPath(*session->tty), std::nullopt, 0};
    logger_.info("Focusing session PID %d, tty=%s", session->pid, target.ttyPath);
    target.owner = ownership_.ownerOfTTY(target.ttyPath);
    logger_.info("TTY %s owned by: %s", target.ttyPath,
                 target.owner ? target.owner->name : std::string("unknown"));
    dispatcher_.toBackground(WorkClass::UserInitiated,
                             [this, target = std::move(target)] { focusTTY(target); });
}

void TerminalFocuser::focusTTY(const FocusTarget& target) {
    if (target.owner && hosts_.hostFor(target.owner->name) != nullptr) {
        hosts_.focusOwned(target, ownership_);
        return;
    }
    const std::set<std::string> running = applications_.runningTerminalApps();
    for (TerminalHost* host : hosts_.searchers()) {
        if (running.contains(*host->searchableApplication()) && host->focus(target).found) {
            return;
        }
    }
    logger_.error("Could not find tty %s in any terminal app", target.ttyPath);
    dispatcher_.toMain([this] { applications_.activateFirstRunningTerminal(); });
}

void TerminalFocuser::openNewSession(const std::string& directory) {
    const std::string preferred = preferences_.text(kPreferredTerminalKey).value_or("Auto");
    std::string terminal = opener_.chooseTerminal(preferred);
    logger_.info("Opening new session at %s in %s (preferred=%s)", directory, terminal, preferred);
    dispatcher_.toBackground(WorkClass::UserInitiated,
                             [this, terminal = std::move(terminal), directory] {
                                 if (auto outer = opener_.launch(terminal, directory)) {
                                     hosts_.focusOuter(std::move(*outer), ownership_);
                                 }
                             });
}

void TerminalFocuser::warmUp() {
    if (!warmUpWork_) {
        return;
    }
    dispatcher_.toBackground(WorkClass::Utility,
                             [this] { warmUpWork_(applications_.runningTerminalApps()); });
}

std::vector<std::string> TerminalFocuser::terminalChoices() const {
    return opener_.choices();
}

}  // namespace fernbeacon
