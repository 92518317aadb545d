#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/CommandRunner.h"
#include "support/TempTree.h"

// Real processes for the tests that start them: every wait is bounded, every child ended and
// reaped when its object goes. /proc is read with the product's reader, which does not throw
// when a process ends mid-read.
namespace fernbeacon::test {

// Where `program` is on PATH.
std::optional<std::string> installed(std::string_view program);

bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// A child in a session of its own, so that it never shares the test's terminal, with the null
// device for its streams; the session is asked to end, then killed, and the child reaped when
// the object goes.
class Child {
public:
    Child() = default;
    explicit Child(const std::vector<std::string>& arguments, int descriptor3 = -1,
                   const std::filesystem::path& directory = {});
    // On a new pseudo-terminal, its controlling terminal, for its three streams. The test holds
    // the other end, so the child's input never ends.
    static Child onTerminal(const std::vector<std::string>& arguments,
                            const std::filesystem::path& directory = {});
    ~Child();
    Child(Child&& other) noexcept { *this = std::move(other); }
    Child& operator=(Child&& other) noexcept;

    pid_t pid() const { return pid_; }
    // "pts/N" on a pseudo-terminal, else absent.
    const std::optional<std::string>& terminal() const { return terminal_; }

private:
    void start(const std::vector<std::string>& arguments, int descriptor3,
               const std::filesystem::path& directory, const std::string& streams);

    pid_t pid_ = -1;
    int master_ = -1;
    std::optional<std::string> terminal_;
};

// Runs an installed tool with the product's runner.
CommandResult runTool(std::vector<std::string> arguments,
                      std::chrono::milliseconds limit = std::chrono::seconds(20));

// The children of a process that have that name; waits until there is exactly one.
std::optional<std::int32_t> onlyChildOf(std::int32_t parent, std::string_view name);
// Alive, and not a zombie waiting to be reaped.
bool isRunning(std::int32_t pid);

// Kills the processes of this user whose environment holds `variable` with `value`: what the
// program under test started and left running. Those started as a Child are reaped by it.
void endProcessesWith(std::string_view variable, std::string_view value);

// Copies an installed program into `directory` under `name`; its kernel name is then `name`.
std::filesystem::path copyProgram(const std::filesystem::path& installed,
                                  const std::filesystem::path& directory, const std::string& name);

// Starts `arguments` as `child`, which writes one line to its descriptor 3 once it is ready;
// that line, or absent when none came within 10 s.
std::optional<std::string> startReporting(Child& child, const std::vector<std::string>& arguments);

// Starts Xvfb on a display it picks, with `screen` such as "800x600x24"; the display's number,
// or absent when the server did not start.
std::optional<std::string> startXvfb(Child& server, const std::string& screen);

// Xvfb with openbox, DISPLAY naming it while the object lives.
class VirtualDisplay {
public:
    // The first of the display's programs and `others` that is not installed.
    static std::optional<std::string> missingProgram(std::vector<std::string> others);
    // Empty when the display and its window manager run, else what failed.
    std::string start();

    static std::optional<std::uint64_t> activeWindow();
    // The process that owns the active window, as its _NET_WM_PID says.
    static std::optional<std::int32_t> activePid();
    static std::size_t windowCount();

private:
    Child server_;
    std::optional<ScopedEnvironment> display_;
    Child windowManager_;
};

// A home for the program itself: its configuration under it, a fake claude (a copy of sleep) in
// bin/, and first on PATH a `claude` for new tabs that records, in one step, where it started.
// Names with shell syntax that would, if run, touch `pwned` in this home.
class ProgramHome : public TempHome {
public:
    ProgramHome();

    std::filesystem::path claude() const { return path("bin/claude"); }
    void prefer(const std::string& terminal) const;
    // Where the recording claude started; absent when it did not within `limit`.
    std::optional<std::string> startedIn(std::chrono::milliseconds limit) const;
    bool pwned() const { return std::filesystem::exists(path("pwned")); }

private:
    ScopedEnvironment configHome_{"XDG_CONFIG_HOME", path(".config").string()};
    ScopedEnvironment path_{"PATH", path("typed").string() + ":" + std::getenv("PATH")};
};

CommandResult fernbeacon(std::vector<std::string> arguments);

}  // namespace fernbeacon::test
