#include "core/Preferences.h"

#include <algorithm>

namespace fernbeacon {

std::int64_t maxRecentSessions(const Preferences& preferences) {
    const auto stored = preferences.integer(kMaxRecentSessionsKey);
    return stored ? std::max<std::int64_t>(*stored, 0) : kDefaultMaxRecentSessions;
}

bool preferenceFlag(const Preferences& preferences, std::string_view key, bool fallback) {
    const auto stored = preferences.text(key);
    if (stored == "true" || stored == "1") {
        return true;
    }
    if (stored == "false" || stored == "0") {
        return false;
    }
    return fallback;
}

bool setPreferenceFlag(Preferences& preferences, std::string_view key, bool on) {
    return preferences.setText(key, on ? "true" : "false");
}

}  // namespace fernbeacon
