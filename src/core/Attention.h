#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Preferences.h"
#include "core/SessionRecords.h"

// Which live sessions need their user: how rows mark them, the order that puts them first, and
// the notices of a session that starts waiting. Only the registry's status counts: a transcript's
// tail, a sub-agent's end included, says nothing about whether the user is needed.
namespace fernbeacon {

enum class Attention {
    None,  // idle, or a status unknown or not named below: the row looks as it always did
    Working,
    Waiting,
};

Attention attentionOf(const ClaudeSession& session);

// "Waiting: permission prompt", or "Waiting for you" when no reason is given.
std::string waitingLine(const ClaudeSession& session);

inline constexpr std::string_view kWaitingFirstKey = "waitingFirst";
inline constexpr std::string_view kNotifyWhenWaitingKey = "notifyWhenWaiting";

// Between two snapshots of the live sessions: those that started waiting, and the processes that
// stopped waiting or ended. A process is the same session across snapshots.
struct WaitingChanges {
    std::vector<ClaudeSessionPtr> entered;
    std::vector<std::int32_t> left;
};

WaitingChanges waitingChanges(std::span<const ClaudeSessionPtr> before,
                              std::span<const ClaudeSessionPtr> after);

// Remembers when each session started waiting, across snapshots, so that the longest waiting
// comes first. Sessions found waiting together keep the order of the snapshot.
class WaitingOrder {
public:
    void update(std::span<const ClaudeSessionPtr> sessions);
    // Waiting sessions first, longest waiting first; the others after them in their order.
    std::vector<ClaudeSessionPtr> arrange(std::span<const ClaudeSessionPtr> sessions) const;

private:
    std::unordered_map<std::int32_t, std::uint64_t> since_;
    std::uint64_t next_ = 0;
};

// A one-off listing's order: waiting sessions first, in the snapshot's order; unchanged when the
// preference is off.
std::vector<ClaudeSessionPtr> waitingFirstOrder(std::span<const ClaudeSessionPtr> sessions,
                                                const Preferences& preferences);

// The desktop notice for a session that started waiting: its folder and title, then the reason.
struct WaitingNotice {
    std::string summary;
    std::string body;
};

WaitingNotice waitingNotice(const ClaudeSession& session);

// The tray icon's tooltip: the status title, then a line for each waiting session.
std::string attentionToolTip(std::string_view statusTitle,
                             std::span<const ClaudeSessionPtr> sessions);

}  // namespace fernbeacon
