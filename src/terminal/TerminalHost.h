#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/TtyOwnership.h"

namespace fernbeacon {

// What is to be brought to the front: the tab whose terminal device is `ttyPath`.
struct FocusTarget {
    std::int32_t pid = 0;  // the process shown there (a session, or a tmux client)
    std::string ttyPath;   // "/dev/pts/3"
    std::optional<TtyOwner> owner;
    int depth = 0;  // how many terminals inside terminals were followed to get here
};

// One kind of terminal that can bring one of its tabs to the front.
class TerminalHost {
public:
    virtual ~TerminalHost() = default;
    // Whether the tabs of terminals with this display name belong to this host.
    virtual bool owns(std::string_view ownerName) const = 0;
    // The running application this host may search when a TTY's owner is unknown; absent when
    // it cannot search.
    virtual std::optional<std::string> searchableApplication() const { return std::nullopt; }
    // Selects the tab that shows the target and raises its window. Returns false when the tab
    // was not found or the terminal could not be asked; the host has logged why.
    virtual bool focus(const FocusTarget& target) = 0;
};

// The hosts in the order they are asked.
class HostRegistry {
public:
    void add(std::unique_ptr<TerminalHost> host) { hosts_.push_back(std::move(host)); }
    // The first host that owns the name; null when none does.
    TerminalHost* hostFor(std::string_view ownerName) const;
    // The hosts that can search without an owner, in order.
    std::vector<TerminalHost*> searchers() const;
    // Asks the target's owner's host; false when there is no owner or no such host.
    bool focusOwned(const FocusTarget& target) const;

private:
    std::vector<std::unique_ptr<TerminalHost>> hosts_;
};

}  // namespace fernbeacon
