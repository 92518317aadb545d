#include "core/Preferences.h"

#include <algorithm>

namespace fernbeacon {

std::int64_t maxRecentSessions(const Preferences& preferences) {
    const auto stored = preferences.integer(kMaxRecentSessionsKey);
    return stored ? std::max<std::int64_t>(*stored, 0) : kDefaultMaxRecentSessions;
}

}  // namespace fernbeacon
