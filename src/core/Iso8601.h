#pragma once

#include <optional>
#include <string_view>

#include "core/Instant.h"

namespace fernbeacon {

// Internet date and time (RFC 3339): YYYY-MM-DDTHH:MM:SS, optional fractional seconds, then "Z"
// or a numeric offset ±HH:MM. Anything else, such as a space instead of the "T" or a missing
// zone, is absent.
std::optional<Instant> parseInternetDateTime(std::string_view text);

}  // namespace fernbeacon
