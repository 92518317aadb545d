#pragma once

#include "terminal/ProcessServices.h"

namespace fernbeacon::platform {

// posix_spawn into a session of its own with every standard stream on the null device, so that
// the terminal neither shares our controlling terminal nor dies with us. A thread reaps it.
class DetachedProcessLauncher final : public ProcessLauncher {
public:
    std::string start(const LaunchCommand& command) override;
};

}  // namespace fernbeacon::platform
