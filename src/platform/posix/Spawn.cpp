#include "platform/posix/Spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

extern char** environ;

namespace fernbeacon::platform {
namespace {

class SpawnSetup {
public:
    SpawnSetup() {
        ok_ = ::posix_spawn_file_actions_init(&actions_) == 0;
        ok_ = ::posix_spawnattr_init(&attributes_) == 0 && ok_;
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool configure(const SpawnRequest& request) {
        sigset_t none;
        sigset_t defaults;
        sigemptyset(&none);
        sigfillset(&defaults);
        bool ok = ok_ && ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null",
                                                            O_RDONLY, 0) == 0;
        for (const auto& [from, to] : {std::pair{request.standardOutput, STDOUT_FILENO},
                                       std::pair{request.standardError, STDERR_FILENO}}) {
            ok = ok && (from >= 0 ? ::posix_spawn_file_actions_adddup2(&actions_, from, to)
                                  : ::posix_spawn_file_actions_addopen(&actions_, to, "/dev/null",
                                                                       O_WRONLY, 0)) == 0;
        }
        if (request.workingDirectory) {
            ok = ok && ::posix_spawn_file_actions_addchdir_np(
                           &actions_, request.workingDirectory->c_str()) == 0;
        }
        const short group = request.newSession ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP;
        return ok && ::posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
               ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
               ::posix_spawnattr_setflags(
                   &attributes_,
                   static_cast<short>(group | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF)) == 0;
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    bool ok_ = false;
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
};

}  // namespace

std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                          [&](const auto& pair) { return pair.first == name; });
        if (!replaced) {
            entries.emplace_back(text);
        }
    }
    for (const auto& [name, value] : overrides) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

int spawnProcess(const SpawnRequest& request, pid_t& child) {
    if (request.arguments.empty()) {
        return EINVAL;
    }
    SpawnSetup setup;
    if (!setup.configure(request)) {
        return EINVAL;
    }
    std::vector<char*> argv;
    for (const std::string& argument : request.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> entries;
    std::vector<char*> environment;
    if (!request.environment.empty()) {
        entries = environmentWith(request.environment);
        for (std::string& entry : entries) {
            environment.push_back(entry.data());
        }
        environment.push_back(nullptr);
    }
    return ::posix_spawn(&child, argv[0], setup.actions(), setup.attributes(), argv.data(),
                         environment.empty() ? environ : environment.data());
}

}  // namespace fernbeacon::platform
