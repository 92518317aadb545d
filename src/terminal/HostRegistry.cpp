#include "terminal/TerminalHost.h"

namespace fernbeacon {

TerminalHost* HostRegistry::hostFor(std::string_view ownerName) const {
    for (const auto& host : hosts_) {
        if (host->owns(ownerName)) {
            return host.get();
        }
    }
    return nullptr;
}

std::vector<TerminalHost*> HostRegistry::searchers() const {
    std::vector<TerminalHost*> found;
    for (const auto& host : hosts_) {
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
