#include "support/TestProcesses.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <thread>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/ProcTerminalSources.h"
#include "platform/posix/PosixCommandRunner.h"
#include "terminal/ProcessServices.h"

namespace fernbeacon::test {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::vector<ProcessRow> processes() {
    return platform::ProcProcessTable().processRows();
}

// What xprop prints for one property after `separator`, up to the end of the line.
std::string property(std::vector<std::string> xprop, std::string_view separator) {
    const std::string line = runTool(std::move(xprop)).standardOutput;
    const std::size_t at = line.find(separator);
    const std::size_t from = at == std::string::npos ? line.size() : at + separator.size();
    return line.substr(from, line.find('\n', from) - from);
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
    start(arguments, descriptor3, directory, "/dev/null");
}

Child Child::onTerminal(const std::vector<std::string>& arguments,
                        const std::filesystem::path& directory) {
    Child child;
    child.master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::array<char, 128> name{};
    if (child.master_ >= 0 && ::grantpt(child.master_) == 0 && ::unlockpt(child.master_) == 0 &&
        ::ptsname_r(child.master_, name.data(), name.size()) == 0) {
        child.terminal_ = std::string(name.data()).substr(std::string_view("/dev/").size());
        child.start(arguments, -1, directory, name.data());
    }
    return child;
}

// A session leader without a terminal takes the first one it opens as its controlling terminal.
void Child::start(const std::vector<std::string>& arguments, int descriptor3,
                  const std::filesystem::path& directory, const std::string& streams) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        // Between fork and exec only what is safe in a copy of a process with threads.
        ::setsid();
        ::close(0);
        if (::open(streams.c_str(), O_RDWR) == 0 && ::dup2(0, 1) == 1 && ::dup2(0, 2) == 2 &&
            (descriptor3 < 0 || ::dup2(descriptor3, 3) == 3) &&
            (directory.empty() || ::chdir(directory.c_str()) == 0)) {
            ::execvp(argv[0], argv.data());
        }
        ::_exit(127);
    }
}

// Asks first, so that servers remove their sockets and lock files; then kills what is left of
// the session.
Child::~Child() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        if (!waitUntil([&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; }, 2000ms)) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        ::kill(-pid_, SIGKILL);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

Child& Child::operator=(Child&& other) noexcept {
    std::swap(pid_, other.pid_);
    std::swap(master_, other.master_);
    std::swap(terminal_, other.terminal_);
    return *this;
}

CommandResult runTool(std::vector<std::string> arguments, milliseconds limit) {
    if (!arguments.empty() && !arguments.front().starts_with('/')) {
        arguments.front() = installed(arguments.front()).value_or(arguments.front());
    }
    return platform::PosixCommandRunner().run({std::move(arguments), limit});
}

std::optional<std::int32_t> onlyChildOf(std::int32_t parent, std::string_view name) {
    std::vector<std::int32_t> children;
    const bool one = waitUntil([&] {
        children.clear();
        for (const ProcessRow& row : processes()) {
            if (row.ppid == parent && row.command == name) {
                children.push_back(row.pid);
            }
        }
        return children.size() == 1;
    });
    return one ? std::optional(children.front()) : std::nullopt;
}

bool isRunning(std::int32_t pid) {
    const auto stat = platform::readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    return stat && stat->find(") Z ") == std::string::npos;
}

// Killed rather than asked: whatever they leave goes with the temporary tree.
void endProcessesWith(std::string_view variable, std::string_view value) {
    platform::ProcEnvironment environments;
    for (const ProcessRow& row : processes()) {
        if (row.pid != ::getpid() &&
            environmentValue(environments.environmentOf(row.pid), variable) == value) {
            ::kill(row.pid, SIGKILL);
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

std::optional<std::string> startReporting(Child& child, const std::vector<std::string>& arguments) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    child = Child(arguments, pipe[1]);
    ::close(pipe[1]);
    std::string line;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    pollfd ready{pipe[0], POLLIN, 0};
    for (char c = 0; !line.ends_with('\n'); line += c) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1 ||
            ::read(pipe[0], &c, 1) != 1) {
            break;
        }
    }
    ::close(pipe[0]);
    return line.ends_with('\n') ? std::optional(line.substr(0, line.size() - 1)) : std::nullopt;
}

std::optional<std::string> VirtualDisplay::missingProgram(std::vector<std::string> others) {
    others.insert(others.begin(), {"Xvfb", "openbox", "xprop"});
    const auto missing = std::find_if(others.begin(), others.end(),
                                      [](const std::string& p) { return !installed(p); });
    return missing == others.end() ? std::nullopt : std::optional<std::string>(*missing);
}

// Without -noreset the server resets when its first client leaves, and drops whoever connects
// meanwhile: a first query could cost the window manager its connection.
std::optional<std::string> startXvfb(Child& server, const std::string& screen) {
    return startReporting(server, {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten",
                                   "tcp", "-noreset"});
}

std::string VirtualDisplay::start() {
    const auto number = startXvfb(server_, "800x600x24");
    if (!number) {
        return "Xvfb did not start";
    }
    display_.emplace("DISPLAY", ":" + *number);
    windowManager_ = Child({"openbox"});
    const bool managed = waitUntil([] {
        return runTool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"})
                   .standardOutput.find("window id") != std::string::npos;
    });
    return managed ? "" : "openbox did not start";
}

std::optional<std::uint64_t> VirtualDisplay::activeWindow() {
    const std::uint64_t id = std::strtoull(
        property({"xprop", "-root", "_NET_ACTIVE_WINDOW"}, "# ").c_str(), nullptr, 16);
    return id != 0 ? std::optional<std::uint64_t>(id) : std::nullopt;
}

std::optional<std::int32_t> VirtualDisplay::activePid() {
    const auto window = activeWindow();
    return window ? parseInt32(
                        property({"xprop", "-id", std::to_string(*window), "_NET_WM_PID"}, "= "))
                  : std::nullopt;
}

std::size_t VirtualDisplay::windowCount() {
    const std::string list = property({"xprop", "-root", "_NET_CLIENT_LIST"}, "# ");
    return list.empty() ? 0 : static_cast<std::size_t>(std::ranges::count(list, ',') + 1);
}

ProgramHome::ProgramHome() {
    copyProgram("/bin/sleep", makeDirectory("bin"), "claude");
    const auto recorder =
        write("typed/claude",
              "#!/bin/sh\npwd > \"$HOME/started\" && mv \"$HOME/started\" \"$HOME/started-in\"\n");
    std::filesystem::permissions(recorder, std::filesystem::perms::owner_all);
}

void ProgramHome::prefer(const std::string& terminal) const {
    write(".config/Fernbeacon/Fernbeacon.conf", "[General]\npreferredTerminal=" + terminal + "\n");
}

std::optional<std::string> ProgramHome::startedIn(milliseconds limit) const {
    if (!waitUntil([&] { return std::filesystem::exists(path("started-in")); }, limit)) {
        return std::nullopt;
    }
    const std::string started = read("started-in");
    return started.substr(0, started.find('\n'));
}

CommandResult fernbeacon(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), FERNBEACON_BINARY);
    return runTool(std::move(arguments), std::chrono::seconds(30));
}

}  // namespace fernbeacon::test
