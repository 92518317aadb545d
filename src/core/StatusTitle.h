#pragma once

#include <cstdint>
#include <string>

namespace fernbeacon {

// The status item's title: "FB", or "FB " and the number of live sessions when there are any.
inline std::string statusTitle(std::int64_t liveSessions) {
    return liveSessions < 1 ? std::string("FB") : "FB " + std::to_string(liveSessions);
}

}  // namespace fernbeacon
