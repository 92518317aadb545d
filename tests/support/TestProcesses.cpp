#include "support/TestProcesses.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/ProcTerminalSources.h"
#include "platform/posix/PosixCommandRunner.h"
#include "terminal/ProcessServices.h"

extern char** environ;

namespace fernbeacon::test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::optional<platform::ProcStat> statOf(pid_t pid) {
    const auto text = platform::readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    return text ? platform::parseProcStat(*text) : std::nullopt;
}

bool hasExited(pid_t child) {
    int status = 0;
    return ::waitpid(child, &status, WNOHANG) == child;
}

// Kills and reaps our child, waiting at most a short while for it to go by itself first.
void endChild(pid_t child, milliseconds grace) {
    if (grace.count() > 0 && waitUntil([child] { return hasExited(child); }, grace)) {
        return;
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::optional<std::string> installed(std::string_view program) {
    const char* path = std::getenv("PATH");
    return SearchPath(path != nullptr ? path : "/usr/bin:/bin").find(program);
}

// Polls often at first, then every 50 ms: quick conditions cost little, slow ones little CPU.
bool waitUntil(const std::function<bool()>& condition, milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (auto pause = std::chrono::microseconds(200); !condition();
         pause = std::min<std::chrono::microseconds>(pause * 2, milliseconds(50))) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(pause);
    }
    return true;
}

Child::Child(const std::vector<std::string>& arguments, int descriptor3,
             const std::filesystem::path& directory) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    for (const int fd : {0, 1, 2}) {
        ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                           0);
    }
    if (descriptor3 >= 0) {
        ::posix_spawn_file_actions_adddup2(&actions, descriptor3, 3);
    }
    if (!directory.empty()) {
        ::posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
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
Child::~Child() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        endChild(pid_, milliseconds(2000));
        ::kill(-pid_, SIGKILL);  // what it left running in its group
    }
}

Child::Child(Child&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

Child& Child::operator=(Child&& other) noexcept {
    std::swap(pid_, other.pid_);
    return *this;
}

CommandResult runTool(std::vector<std::string> arguments, milliseconds limit) {
    if (!arguments.empty() && !arguments.front().starts_with('/')) {
        arguments.front() = installed(arguments.front()).value_or(arguments.front());
    }
    return platform::PosixCommandRunner().run({std::move(arguments), limit});
}

std::string toolOutput(std::vector<std::string> arguments) {
    return runTool(std::move(arguments)).standardOutput;
}

std::optional<std::string> commandNameOf(pid_t pid) {
    const auto stat = statOf(pid);
    return stat ? std::optional(stat->comm) : std::nullopt;
}

std::vector<std::int32_t> childrenOf(std::int32_t parent, std::string_view name) {
    std::vector<std::int32_t> children;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const auto pid = parseInt32(entry.path().filename().string());
        const auto stat = pid ? statOf(*pid) : std::nullopt;
        if (stat && stat->ppid == parent && stat->comm == name) {
            children.push_back(*pid);
        }
    }
    return children;
}

bool isRunning(std::int32_t pid) {
    const auto stat = platform::readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    return stat && stat->find(") Z ") == std::string::npos;
}

void killAndReap(pid_t child) {
    endChild(child, milliseconds(0));
}

void endProcessesWith(std::string_view variable, std::string_view value) {
    std::vector<std::int32_t> marked;
    platform::ProcEnvironment environments;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const auto pid = parseInt32(entry.path().filename().string());
        if (pid && *pid != ::getpid() &&
            environmentValue(environments.environmentOf(*pid), variable) == value) {
            marked.push_back(*pid);
            ::kill(*pid, SIGTERM);
        }
    }
    waitUntil([&] { return std::none_of(marked.begin(), marked.end(), isRunning); },
              milliseconds(3000));
    for (const std::int32_t pid : marked) {
        if (isRunning(pid)) {
            ::kill(pid, SIGKILL);
        }
    }
}

std::filesystem::path copyProgram(const std::filesystem::path& installed,
                                  const std::filesystem::path& directory, const std::string& name) {
    const std::filesystem::path copy = directory / name;
    std::filesystem::copy_file(installed, copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    return copy;
}

std::unique_ptr<TestProcess> TestProcess::start(const Options& options) {
    std::unique_ptr<TestProcess> process(new TestProcess());
    std::string slavePath = "/dev/null";
    if (options.pseudoTerminal) {
        process->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        std::array<char, 128> name{};
        if (process->master_ < 0 || ::grantpt(process->master_) != 0 ||
            ::unlockpt(process->master_) != 0 ||
            ::ptsname_r(process->master_, name.data(), name.size()) != 0) {
            return nullptr;
        }
        slavePath = name.data();
        process->terminal_ = slavePath.substr(std::string("/dev/").size());
    }

    // Everything the child needs is made before fork: after it, only system calls.
    const std::string programName = options.program.filename().string();
    std::vector<std::string> arguments;
    std::string executable = options.program.string();
    if (options.parentName) {
        executable =
            copyProgram("/bin/sh", options.program.parent_path(), *options.parentName).string();
        // A command before `exit`, so that the shell forks it rather than replacing itself.
        arguments = {*options.parentName, "-c", "\"$0\" \"$@\"; exit", options.program.string()};
    } else {
        arguments = {programName};
    }
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const std::string directory = options.workingDirectory.string();
    const bool pseudoTerminal = options.pseudoTerminal;

    const pid_t child = ::fork();
    if (child < 0) {
        return nullptr;
    }
    if (child == 0) {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int terminal = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        if (terminal < 0 || (pseudoTerminal && ::ioctl(terminal, TIOCSCTTY, 0) != 0)) {
            ::_exit(125);
        }
        for (int fd = 0; fd <= 2; ++fd) {
            ::dup2(terminal, fd);
        }
        if (terminal > 2) {
            ::close(terminal);
        }
        if (::chdir(directory.c_str()) != 0) {
            ::_exit(126);
        }
        ::execv(executable.c_str(), argv.data());
        ::_exit(127);
    }

    process->pid_ = child;
    if (options.parentName) {
        process->parent_ = child;
        process->pid_ = -1;
    }
    const bool runs = waitUntil(
        [&] {
            if (!options.parentName) {
                return commandNameOf(child) == programName;
            }
            const auto found = childrenOf(child, programName);
            process->pid_ = found.empty() ? -1 : found.front();
            return process->pid_ > 0;
        },
        milliseconds(5000));
    return runs ? std::move(process) : nullptr;
}

TestProcess::~TestProcess() {
    const pid_t leader = parent_.value_or(pid_);
    if (pid_ > 0 && parent_) {
        // The shell reaps the program and then leaves by itself.
        ::kill(pid_, SIGKILL);
        endChild(*parent_, milliseconds(2000));
    } else if (pid_ > 0) {
        endChild(pid_, milliseconds(0));
    } else if (leader > 0) {
        ::kill(-leader, SIGKILL);
        endChild(leader, milliseconds(0));
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

std::string uniqueMarker() {
    static std::atomic<int> counter{0};
    return std::to_string(100 + ::getpid() % 900) + "." + std::to_string(counter++) + "4217";
}

std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

std::vector<pid_t> childProcesses() {
    std::vector<pid_t> children;
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored)) {
        std::istringstream in(platform::readSmallFile(task.path() / "children").value_or(""));
        for (pid_t child = 0; in >> child;) {
            children.push_back(child);
        }
    }
    return children;
}

std::vector<pid_t> processesWithMarker(const std::string& marker) {
    std::vector<pid_t> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const auto pid = parseInt32(entry.path().filename().string());
        auto commandLine = pid ? platform::readSmallFile(entry.path() / "cmdline") : std::nullopt;
        if (!commandLine) {
            continue;
        }
        for (char& c : *commandLine) {
            c = c == '\0' ? ' ' : c;
        }
        if (*pid != ::getpid() && commandLine->find(marker) != std::string::npos) {
            found.push_back(*pid);
        }
    }
    return found;
}

bool waitUntilNoProcessHolds(const std::string& marker, milliseconds limit) {
    return waitUntil([&] { return processesWithMarker(marker).empty(); }, limit);
}

std::optional<std::string> startReporting(Child& child, const std::vector<std::string>& arguments) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return std::nullopt;
    }
    child = Child(arguments, pipe[1]);
    ::close(pipe[1]);
    std::string line;
    char c = 0;
    while (::read(pipe[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    ::close(pipe[0]);
    return line.empty() ? std::nullopt : std::optional(line);
}

std::optional<std::string> startXvfb(Child& server, const std::string& screen) {
    return startReporting(server, {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten",
                                   "tcp", "-noreset"});
}

std::optional<std::string> VirtualDisplay::missingProgram(std::vector<std::string> others) {
    others.insert(others.begin(), {"Xvfb", "openbox", "xprop"});
    const auto missing = std::find_if(others.begin(), others.end(),
                                      [](const std::string& p) { return !installed(p); });
    return missing == others.end() ? std::nullopt : std::optional<std::string>(*missing);
}

std::string VirtualDisplay::start() {
    // Without -noreset the server resets when its first client leaves, and drops whoever
    // connects meanwhile: the first xprop could cost openbox its connection.
    const auto number = startXvfb(server_, "800x600x24");
    if (!number) {
        return "Xvfb did not start";
    }
    display_ = std::make_unique<ScopedEnvironment>("DISPLAY", ":" + *number);
    windowManager_ = Child({"openbox"});
    if (!waitUntil([] {
            return toolOutput({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
                   std::string::npos;
        })) {
        return "openbox did not start";
    }
    return {};
}

std::optional<std::uint64_t> VirtualDisplay::activeWindow() {
    const std::string active = toolOutput({"xprop", "-root", "_NET_ACTIVE_WINDOW"});
    const std::size_t hash = active.find("# 0x");
    if (hash == std::string::npos) {
        return std::nullopt;
    }
    const std::uint64_t id = std::strtoull(active.c_str() + hash + 2, nullptr, 16);
    return id != 0 ? std::optional<std::uint64_t>(id) : std::nullopt;
}

std::optional<std::int32_t> VirtualDisplay::activePid() {
    const auto window = activeWindow();
    if (!window) {
        return std::nullopt;
    }
    const std::string pid = toolOutput({"xprop", "-id", std::to_string(*window), "_NET_WM_PID"});
    const std::size_t equals = pid.find("= ");
    return equals == std::string::npos
               ? std::nullopt
               : parseInt32(pid.substr(equals + 2, pid.find('\n') - equals - 2));
}

std::size_t VirtualDisplay::windowCount() {
    const std::string list = toolOutput({"xprop", "-root", "_NET_CLIENT_LIST"});
    return list.find('#') == std::string::npos
               ? 0
               : static_cast<std::size_t>(std::count(list.begin(), list.end(), ',') + 1);
}

}  // namespace fernbeacon::test
