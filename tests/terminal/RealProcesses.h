#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/ProcTerminalSources.h"
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

// The children of a process that have that name, from /proc.
inline std::vector<std::int32_t> childrenOf(std::int32_t parent, std::string_view name) {
    std::vector<std::int32_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto pid = parseInt32(entry.path().filename().string());
        const auto text = pid ? platform::readSmallFile(entry.path() / "stat") : std::nullopt;
        const auto stat = text ? platform::parseProcStat(*text) : std::nullopt;
        if (stat && stat->ppid == parent && stat->comm == name) {
            children.push_back(*pid);
        }
    }
    return children;
}

// Alive, and not a zombie waiting to be reaped.
inline bool isRunning(std::int32_t pid) {
    const auto stat = platform::readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    return stat && stat->find(") Z ") == std::string::npos;
}

// Ends the processes of this user whose environment holds `variable` with `value`: what the
// program under test started and left running. Those started as a Child are reaped by it.
inline void endProcessesWith(std::string_view variable, std::string_view value) {
    std::vector<std::int32_t> marked;
    platform::ProcEnvironment environments;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto pid = parseInt32(entry.path().filename().string());
        if (pid && *pid != ::getpid() &&
            environmentValue(environments.environmentOf(*pid), variable) == value) {
            marked.push_back(*pid);
            ::kill(*pid, SIGTERM);
        }
    }
    waitUntil([&] { return std::none_of(marked.begin(), marked.end(), isRunning); },
              std::chrono::seconds(3));
    for (const std::int32_t pid : marked) {
        if (isRunning(pid)) {
            ::kill(pid, SIGKILL);
        }
    }
}

// Xvfb with openbox, DISPLAY naming it while the object lives.
class VirtualDisplay {
public:
    // The first of the display's programs and `others` that is not installed.
    static std::optional<std::string> missingProgram(std::vector<std::string> others = {}) {
        others.insert(others.begin(), {"Xvfb", "openbox", "xprop"});
        const auto missing = std::find_if(others.begin(), others.end(),
                                          [](const std::string& p) { return !installed(p); });
        return missing == others.end() ? std::nullopt : std::optional<std::string>(*missing);
    }

    // Empty when the display and its window manager run, else what failed.
    std::string start() {
        int pipe[2];
        if (::pipe(pipe) != 0) {
            return "no pipe";
        }
        server_ = std::make_unique<Child>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "800x600x24",
                                     "-nolisten", "tcp", "-noreset"},
            pipe[1]);
        ::close(pipe[1]);
        std::string number;
        char c = 0;
        while (::read(pipe[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(pipe[0]);
        if (number.empty()) {
            return "Xvfb did not start";
        }
        // Without -noreset the server resets when its first client leaves, and drops whoever
        // connects meanwhile: the first xprop could cost openbox its connection.
        display_ = std::make_unique<ScopedVariable>("DISPLAY", ":" + number);
        windowManager_ = std::make_unique<Child>(std::vector<std::string>{"openbox"});
        if (!waitUntil([] {
                return toolOutput({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"})
                           .find("window id") != std::string::npos;
            })) {
            return "openbox did not start";
        }
        return {};
    }

    // The window _NET_ACTIVE_WINDOW names.
    static std::optional<std::uint64_t> activeWindow() {
        const std::string active = toolOutput({"xprop", "-root", "_NET_ACTIVE_WINDOW"});
        const std::size_t hash = active.find("# 0x");
        if (hash == std::string::npos) {
            return std::nullopt;
        }
        const std::uint64_t id = std::strtoull(active.c_str() + hash + 2, nullptr, 16);
        return id != 0 ? std::optional<std::uint64_t>(id) : std::nullopt;
    }

    // The process that owns the active window, as its _NET_WM_PID says.
    static std::optional<std::int32_t> activePid() {
        const auto window = activeWindow();
        if (!window) {
            return std::nullopt;
        }
        const std::string pid =
            toolOutput({"xprop", "-id", std::to_string(*window), "_NET_WM_PID"});
        const std::size_t equals = pid.find("= ");
        return equals == std::string::npos
                   ? std::nullopt
                   : parseInt32(pid.substr(equals + 2, pid.find('\n') - equals - 2));
    }

    static std::size_t windowCount() {
        const std::string list = toolOutput({"xprop", "-root", "_NET_CLIENT_LIST"});
        return list.find('#') == std::string::npos
                   ? 0
                   : static_cast<std::size_t>(std::count(list.begin(), list.end(), ',') + 1);
    }

private:
    std::unique_ptr<Child> server_;
    std::unique_ptr<ScopedVariable> display_;
    std::unique_ptr<Child> windowManager_;
};

}  // namespace fernbeacon::test
