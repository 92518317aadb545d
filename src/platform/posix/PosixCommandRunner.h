#pragma once

#include "core/CommandRunner.h"

namespace fernbeacon::platform {

// posix_spawn with both outputs drained together. The child leads its own process group, so
// that at the time limit the whole pipeline it started is ended, not just the shell.
class PosixCommandRunner final : public CommandRunner {
public:
    CommandResult run(const CommandRequest& request) override;
};

}  // namespace fernbeacon::platform
