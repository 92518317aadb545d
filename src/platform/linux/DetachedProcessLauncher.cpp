#include "platform/linux/DetachedProcessLauncher.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/posix/Spawn.h"

namespace fernbeacon::platform {

std::string DetachedProcessLauncher::start(const LaunchCommand& command) {
    if (command.arguments.empty() || !command.arguments.front().starts_with('/')) {
        return "no program given";
    }
    pid_t child = -1;
    if (const int error = spawnProcess(
            {command.arguments, command.environment, command.workingDirectory, -1, -1, true},
            child)) {
        return std::strerror(error);
    }
    std::thread([child] {
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {};
}

}  // namespace fernbeacon::platform
