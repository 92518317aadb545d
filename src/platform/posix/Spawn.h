#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fernbeacon::platform {

// Our own environment with `overrides` set, as NAME=value entries.
std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& overrides);

struct SpawnRequest {
    const std::vector<std::string>& arguments;  // arguments[0] is the program's path
    const std::vector<std::pair<std::string, std::string>>& environment;  // set on top of ours
    std::optional<std::string> workingDirectory;
    int standardOutput = -1;  // a descriptor to duplicate; -1 for /dev/null
    int standardError = -1;
    // A session of its own, away from our terminal; else only a process group of its own, so
    // that the whole group can be ended.
    bool newSession = false;
};

// Starts the program with standard input from /dev/null, every signal at its default and
// unblocked. 0 with `child` set, else the error number.
int spawnProcess(const SpawnRequest& request, pid_t& child);

}  // namespace fernbeacon::platform
