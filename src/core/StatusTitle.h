#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/SessionRecords.h"

namespace fernbeacon {

// The status item's title: "FB", or "FB " and the number of live sessions when there are any.
inline std::string statusTitle(std::int64_t liveSessions) {
    return liveSessions < 1 ? std::string("FB") : "FB " + std::to_string(liveSessions);
}

// Whether a live session waits for its user, as its registry file says.
inline bool anyWaiting(const std::vector<ClaudeSessionPtr>& sessions) {
    return std::any_of(sessions.begin(), sessions.end(), [](const ClaudeSessionPtr& session) {
        return session->status == "waiting";
    });
}

}  // namespace fernbeacon
