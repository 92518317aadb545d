#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fernbeacon {

inline constexpr std::string_view kMaxRecentSessionsKey = "maxRecentSessions";
inline constexpr std::string_view kPreferredTerminalKey = "preferredTerminal";

// The application's persisted preferences. Reads may happen on any thread.
class Preferences {
public:
    virtual ~Preferences() = default;
    // The stored value when it is an integer number; absent when missing or of another kind.
    virtual std::optional<std::int64_t> integer(std::string_view key) const = 0;
    // The stored value when it is text; absent when missing.
    virtual std::optional<std::string> text(std::string_view key) const = 0;
    // Both return false when the value could not be stored.
    virtual bool setInteger(std::string_view key, std::int64_t value) = 0;
    virtual bool setText(std::string_view key, std::string_view value) = 0;
};

inline constexpr std::int64_t kDefaultMaxRecentSessions = 15;

// The read rule every reader of the limit shares: the stored integer, else 15. A negative value
// can only come from outside the program and means "show none".
std::int64_t maxRecentSessions(const Preferences& preferences);

// A yes-or-no preference: "true"/"false" as stored, else 1/0, else `fallback`.
bool preferenceFlag(const Preferences& preferences, std::string_view key, bool fallback);
bool setPreferenceFlag(Preferences& preferences, std::string_view key, bool on);

}  // namespace fernbeacon
