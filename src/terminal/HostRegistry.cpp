#include "terminal/TerminalHost.h"

namespace fernbeacon {

TerminalHost* HostRegistry::hostOfKind(TabHost kind) const {
    for (const auto& [hostKind, host] : hosts_) {
        if (hostKind == kind) {
            return host.get();
        }
    }
    return nullptr;
}

TerminalHost* HostRegistry::hostFor(std::string_view ownerName) const {
    const TerminalDescriptor* terminal = terminalNamed(ownerName);
    TerminalHost* own = terminal ? hostOfKind(terminal->host) : nullptr;
    return own != nullptr ? own : hostOfKind(TabHost::Window);
}

std::vector<TerminalHost*> HostRegistry::searchers() const {
    std::vector<TerminalHost*> found;
    for (const auto& [kind, host] : hosts_) {
        if (host->searchableApplication()) {
            found.push_back(host.get());
        }
    }
    return found;
}

bool HostRegistry::focusOwned(const FocusTarget& target, const TtyOwnership& ownership) const {
    TerminalHost* host = target.owner ? hostFor(target.owner->name) : nullptr;
    if (host == nullptr) {
        return false;
    }
    FocusOutcome outcome = host->focus(target);
    if (outcome.outer) {
        focusOuter(std::move(*outcome.outer), ownership);
    }
    return outcome.found;
}

void HostRegistry::focusOuter(FocusTarget outer, const TtyOwnership& ownership) const {
    // A tmux inside a tmux is followed once, never round and round.
    if (outer.depth > 1) {
        return;
    }
    outer.owner = ownership.ownerOfTTY(outer.ttyPath);
    focusOwned(outer, ownership);
}

}  // namespace fernbeacon
