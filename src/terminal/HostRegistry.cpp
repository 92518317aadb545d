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

bool HostRegistry::focusOwned(const FocusTarget& target) const {
    TerminalHost* host = target.owner ? hostFor(target.owner->name) : nullptr;
    return host != nullptr && host->focus(target);
}

}  // namespace fernbeacon
