#include "core/Attention.h"

#include <algorithm>
#include <unordered_set>

#include "core/Text.h"

namespace fernbeacon {
namespace {

bool isWaiting(const ClaudeSessionPtr& session) {
    return attentionOf(*session) == Attention::Waiting;
}

std::string folderName(const ClaudeSession& session) {
    return session.workingDirectory ? lastPathComponent(*session.workingDirectory)
                                    : std::string("claude");
}

}  // namespace

Attention attentionOf(const ClaudeSession& session) {
    if (session.status == "waiting") {
        return Attention::Waiting;
    }
    // A shell command the user started is running: busy too, though not on the assistant's part.
    if (session.status == "busy" || session.status == "shell") {
        return Attention::Working;
    }
    return Attention::None;
}

std::string waitingLine(const ClaudeSession& session) {
    return session.waitingFor ? "Waiting: " + *session.waitingFor : std::string("Waiting for you");
}

WaitingChanges waitingChanges(std::span<const ClaudeSessionPtr> before,
                              std::span<const ClaudeSessionPtr> after) {
    std::unordered_set<std::int32_t> waitedBefore;
    for (const ClaudeSessionPtr& session : before) {
        if (isWaiting(session)) {
            waitedBefore.insert(session->pid);
        }
    }
    WaitingChanges changes;
    for (const ClaudeSessionPtr& session : after) {
        if (!isWaiting(session)) {
            continue;
        }
        if (waitedBefore.erase(session->pid) == 0) {
            changes.entered.push_back(session);
        }
    }
    // What is left waited before and waits no more, or is gone.
    for (const ClaudeSessionPtr& session : before) {
        if (waitedBefore.contains(session->pid)) {
            changes.left.push_back(session->pid);
        }
    }
    return changes;
}

void WaitingOrder::update(std::span<const ClaudeSessionPtr> sessions) {
    std::unordered_map<std::int32_t, std::uint64_t> since;
    for (const ClaudeSessionPtr& session : sessions) {
        if (isWaiting(session)) {
            const auto known = since_.find(session->pid);
            since.emplace(session->pid, known != since_.end() ? known->second : next_++);
        }
    }
    since_ = std::move(since);
}

std::vector<ClaudeSessionPtr> WaitingOrder::arrange(
    std::span<const ClaudeSessionPtr> sessions) const {
    std::vector<ClaudeSessionPtr> ordered(sessions.begin(), sessions.end());
    const auto rank = [this](const ClaudeSessionPtr& session) {
        const auto found = isWaiting(session) ? since_.find(session->pid) : since_.end();
        // Waiting but not yet seen by update(): after those that were.
        return found != since_.end() ? found->second : isWaiting(session) ? next_ : UINT64_MAX;
    };
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&rank](const ClaudeSessionPtr& a, const ClaudeSessionPtr& b) {
                         return rank(a) < rank(b);
                     });
    return ordered;
}

std::vector<ClaudeSessionPtr> waitingFirstOrder(std::span<const ClaudeSessionPtr> sessions,
                                                const Preferences& preferences) {
    if (!preferenceFlag(preferences, kWaitingFirstKey, true)) {
        return {sessions.begin(), sessions.end()};
    }
    return WaitingOrder().arrange(sessions);
}

WaitingNotice waitingNotice(const ClaudeSession& session) {
    WaitingNotice notice{folderName(session), waitingLine(session)};
    if (const auto title = session.displayTitle()) {
        notice.summary += ": " + *title;
    }
    return notice;
}

std::string attentionToolTip(std::string_view statusTitle,
                             std::span<const ClaudeSessionPtr> sessions) {
    std::string tip(statusTitle);
    for (const ClaudeSessionPtr& session : sessions) {
        if (isWaiting(session)) {
            const WaitingNotice notice = waitingNotice(*session);
            tip += "\n" + notice.summary + " \u2014 " + notice.body;
        }
    }
    return tip;
}

}  // namespace fernbeacon
