#pragma once

#include "core/CommandRunner.h"

namespace fernbeacon::platform {

// Our own environment with `overrides` set, as NAME=value entries.
std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& overrides);
// The null-terminated pointer array execve wants; valid while `entries` lives unchanged.
std::vector<char*> environmentPointers(std::vector<std::string>& entries);

// posix_spawn with both outputs drained together. The child leads its own process group, so
// that at the time limit the whole pipeline it started is ended, not just the shell.
class PosixCommandRunner final : public CommandRunner {
public:
    CommandResult run(const CommandRequest& request) override;
};

}  // namespace fernbeacon::platform
