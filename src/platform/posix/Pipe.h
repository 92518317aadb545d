#pragma once

#include <array>

namespace fernbeacon::platform {

// A pipe whose ends close when a child execs, non-blocking when asked. Where the system allows,
// both flags are set as the pipe is made, so that a child another thread starts meanwhile
// inherits neither end. False, with errno set, on failure.
bool openPipe(std::array<int, 2>& ends, bool nonBlocking = false);

}  // namespace fernbeacon::platform
