#include "support/TestProcesses.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/linux/ProcProbes.h"

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
    const auto deadline = Clock::now() + grace;
    while (Clock::now() < deadline) {
        if (hasExited(child)) {
            return;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// The process that `parent` started running the program named `name`.
std::optional<pid_t> childNamed(pid_t parent, const std::string& name) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string id = entry.path().filename().string();
        if (id.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = std::stoi(id);
        const auto stat = statOf(pid);
        if (stat && stat->ppid == parent && stat->comm == name) {
            return pid;
        }
    }
    return std::nullopt;
}

}  // namespace

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
    const auto deadline = Clock::now() + milliseconds(5000);
    while (Clock::now() < deadline) {
        if (options.parentName) {
            if (const auto found = childNamed(child, programName)) {
                process->pid_ = *found;
                return process;
            }
        } else if (const auto stat = statOf(child); stat && stat->comm == programName) {
            return process;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return nullptr;
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
        std::ifstream in(task.path() / "children");
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
        const std::string id = entry.path().filename().string();
        if (id.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        auto commandLine = platform::readSmallFile(entry.path() / "cmdline");
        if (!commandLine) {
            continue;
        }
        for (char& c : *commandLine) {
            c = c == '\0' ? ' ' : c;
        }
        const pid_t pid = std::stoi(id);
        if (pid != ::getpid() && commandLine->find(marker) != std::string::npos) {
            found.push_back(pid);
        }
    }
    return found;
}

bool waitUntilNoProcessHolds(const std::string& marker, milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (processesWithMarker(marker).empty()) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) {
        previous_ = previous;
    }
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

}  // namespace fernbeacon::test
