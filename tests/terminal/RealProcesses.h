#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/PosixCommandRunner.h"
#include "terminal/ProcessServices.h"

extern char** environ;

// Helpers for the tests that drive real terminals: every wait is bounded, every child ended.
namespace fernbeacon::test {

inline std::optional<std::string> installed(std::string_view program) {
    const char* path = std::getenv("PATH");
    return SearchPath(path != nullptr ? path : "/usr/bin:/bin").find(program);
}

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A child in a process group of its own, with the null device for its streams; the group is
// killed and the child reaped when the object goes.
class Child {
public:
    // `descriptor3`, when given, becomes the child's descriptor 3.
    explicit Child(const std::vector<std::string>& arguments, int descriptor3 = -1) {
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
        for (const int fd : {0, 1, 2}) {
            ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                               fd == 0 ? O_RDONLY : O_WRONLY, 0);
        }
        if (descriptor3 >= 0) {
            ::posix_spawn_file_actions_adddup2(&actions, descriptor3, 3);
        }
        ::posix_spawnattr_setpgroup(&attributes, 0);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    // Asks first, so that servers remove their sockets and lock files.
    ~Child() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(-pid_, SIGTERM);
        const bool ended = waitUntil([this] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; },
                                     std::chrono::seconds(2));
        ::kill(-pid_, SIGKILL);
        if (!ended) {
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

inline CommandResult runTool(std::vector<std::string> arguments,
                             std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    if (!arguments.empty() && !arguments.front().starts_with('/')) {
        arguments.front() = installed(arguments.front()).value_or(arguments.front());
    }
    return platform::PosixCommandRunner().run({std::move(arguments), limit});
}

inline std::string toolOutput(std::vector<std::string> arguments) {
    return runTool(std::move(arguments)).standardOutput;
}

// Sets an environment variable for the object's lifetime.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            previous_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (previous_) {
            ::setenv(name_, previous_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace fernbeacon::test
