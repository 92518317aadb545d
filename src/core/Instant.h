#pragma once

#include <chrono>

namespace fernbeacon {

// An absolute point in time: seconds since 1970-01-01 00:00:00 UTC, in double precision.
using Instant = std::chrono::time_point<std::chrono::system_clock, std::chrono::duration<double>>;

inline Instant instantFromSecondsSince1970(double seconds) {
    return Instant(std::chrono::duration<double>(seconds));
}

inline double secondsSince1970(Instant instant) {
    return instant.time_since_epoch().count();
}

}  // namespace fernbeacon
