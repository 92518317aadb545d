#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// What a host did: whether the tab came to the front and, for a tab shown inside another
// terminal (a tmux client's), that terminal's process and TTY, for the caller to bring to the
// front in turn.
struct FocusOutcome {
    // Implicit, so that hosts without an outer terminal answer with a plain yes or no.
    FocusOutcome(bool tabFound) : found(tabFound) {}
    bool found = false;
    std::optional<FocusTarget> outer;
};

// One kind of terminal that can bring one of its tabs to the front.
class TerminalHost {
public:
    virtual ~TerminalHost() = default;
    // The running application this host may search when a TTY's owner is unknown; absent when
    // it cannot search.
    virtual std::optional<std::string> searchableApplication() const { return std::nullopt; }
    // Selects the tab that shows the target and raises its window. Not found when the tab was
    // not found or the terminal could not be asked; the host has logged why.
    virtual FocusOutcome focus(const FocusTarget& target) = 0;
};

// The hosts by the kind the terminal table names, in the order they were added.
class HostRegistry {
public:
    void add(TabHost kind, std::unique_ptr<TerminalHost> host) {
        hosts_.emplace_back(kind, std::move(host));
    }
    // The host the table names for this terminal, else the Window host; null when neither
    // was added.
    TerminalHost* hostFor(std::string_view ownerName) const;
    // The hosts that can search without an owner, in order.
    std::vector<TerminalHost*> searchers() const;
    // Asks the target's owner's host, and then the host of the terminal it says shows the tab,
    // one level deep only. False when there is no owner or no such host.
    bool focusOwned(const FocusTarget& target, const TtyOwnership& ownership) const;
    // Brings the terminal that shows a tab inside another to the front, when it is known.
    void focusOuter(FocusTarget outer, const TtyOwnership& ownership) const;

private:
    TerminalHost* hostOfKind(TabHost kind) const;

    std::vector<std::pair<TabHost, std::unique_ptr<TerminalHost>>> hosts_;
};

}  // namespace fernbeacon
