#include "platform/linux/DetachedProcessLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/posix/PosixCommandRunner.h"

namespace fernbeacon::platform {

std::string DetachedProcessLauncher::start(const LaunchCommand& command) {
    if (command.arguments.empty() || !command.arguments.front().starts_with('/')) {
        return "no program given";
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    bool ok = ::posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
              ::posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
              ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                          POSIX_SPAWN_SETSIGDEF) == 0;
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        ok = ok && ::posix_spawn_file_actions_addopen(
                       &actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0) == 0;
    }
    if (command.workingDirectory) {
        ok = ok && ::posix_spawn_file_actions_addchdir_np(&actions,
                                                          command.workingDirectory->c_str()) == 0;
    }
    std::vector<char*> argv;
    for (const std::string& argument : command.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> entries = environmentWith(command.environment);
    std::vector<char*> environment = environmentPointers(entries);

    pid_t child = -1;
    const int error =
        ok ? ::posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environment.data())
           : errno;
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (!ok || error != 0) {
        return std::strerror(error != 0 ? error : EINVAL);
    }
    std::thread([child] {
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {};
}

}  // namespace fernbeacon::platform
