// From a click on a live session to the first command its terminal host is sent: the TTY owner
// found in the real /proc table, the session's environment read, then the tmux host's first
// command. A real process on a pseudo-terminal stands for the session, and this process, named
// like a tmux server, for its terminal.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <optional>

#include "core/Preferences.h"
#include "platform/linux/ProcTerminalSources.h"
#include "terminal/LinuxHosts.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon::bench {
namespace {

using Clock = std::chrono::steady_clock;

class StampingRunner final : public CommandRunner {
public:
    std::optional<Clock::time_point> firstCall;
    CommandResult run(const CommandRequest&) override {
        if (!firstCall) {
            firstCall = Clock::now();
        }
        CommandResult result;
        result.started = true;
        result.exitStatus = 0;
        return result;
    }
};

class Now final : public Dispatcher {
public:
    void toMain(std::function<void()> work) override { work(); }
    void toBackground(WorkClass, std::function<void()> work) override { work(); }
};

class NoBus final : public DBusSession {
public:
    DBusReply call(const DBusCall&) override { return {}; }
};

class NoLauncher final : public ProcessLauncher {
public:
    std::string start(const LaunchCommand&) override { return "not here"; }
};

class NoOpener final : public SessionOpener {
public:
    std::string chooseTerminal(const std::string& preferred) override { return preferred; }
    std::optional<FocusTarget> launch(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::vector<std::string> choices() const override { return {"Auto"}; }
};

class EmptyPreferences final : public Preferences {
public:
    std::optional<std::int64_t> integer(std::string_view) const override { return std::nullopt; }
    std::optional<std::string> text(std::string_view) const override { return std::nullopt; }
    bool setInteger(std::string_view, std::int64_t) override { return false; }
    bool setText(std::string_view, std::string_view) override { return false; }
};

// A child of ours whose controlling terminal is a new pseudo-terminal.
class SessionOnPty {
public:
    SessionOnPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        tty_ = ::ptsname(master_);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setsid();
            const int slave = ::open(tty_.c_str(), O_RDWR);  // becomes the controlling terminal
            if (slave >= 0) {
                ::execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
    }
    ~SessionOnPty() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    pid_t pid() const { return pid_; }
    const std::string& tty() const { return tty_; }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    std::string tty_;
};

void BM_ClickToTmuxCommand(benchmark::State& state) {
    ::prctl(PR_SET_NAME, "tmux: server");
    SessionOnPty session;
    ::usleep(100000);  // until the child holds its terminal
    NullLogger logger;
    SearchPath executables("/usr/bin:/bin");
    platform::ProcProcessTable table;
    platform::ProcEnvironment environment;
    EmptyWorkspace workspace;
    NoBus bus;
    NoLauncher launcher;
    Now dispatcher;
    EmptyPreferences preferences;
    TerminalApplications applications(workspace, dispatcher, {"XTerm"});
    TtyOwnership ownership(table, Desktop::Linux, logger);
    HostRegistry hosts;
    StampingRunner runner;
    TmuxControl tmux(runner, executables, environment, logger);
    addLinuxHosts(hosts, {runner, executables, environment, workspace, bus, logger}, tmux,
                  [](const std::vector<std::string>&) { return false; });
    NoOpener opener;
    TerminalFocuser focuser(dispatcher, preferences, logger, applications, ownership, hosts, opener,
                            nullptr);
    const auto claude =
        std::make_shared<ClaudeSession>(session.pid(), session.tty().substr(5), "/", "tmux");
    for (auto _ : state) {
        runner.firstCall.reset();
        const auto start = Clock::now();
        focuser.focusSession(claude);
        if (!runner.firstCall) {
            state.SkipWithError("the tmux host was not asked");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*runner.firstCall - start).count());
    }
}
BENCHMARK(BM_ClickToTmuxCommand)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fernbeacon::bench
