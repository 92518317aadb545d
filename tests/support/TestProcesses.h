#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Real processes for the probe tests, always killed and reaped when their object goes.
namespace fernbeacon::test {

// Copies an installed program into `directory` under `name`; its kernel name is then `name`.
std::filesystem::path copyProgram(const std::filesystem::path& installed,
                                  const std::filesystem::path& directory, const std::string& name);

class TestProcess {
public:
    struct Options {
        std::filesystem::path program;
        std::vector<std::string> arguments;  // after the program's own name
        std::filesystem::path workingDirectory;
        // Gives the process a new pseudo-terminal as its controlling terminal; otherwise it
        // has none.
        bool pseudoTerminal = false;
        // When set, `program` is started by a shell copied under this name, which stays its
        // parent.
        std::optional<std::string> parentName;
    };

    // Starts the process in a session of its own and waits until it runs `program`; null when
    // that fails.
    static std::unique_ptr<TestProcess> start(const Options& options);

    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::optional<pid_t> parentPid() const { return parent_; }
    // "pts/N" for a pseudo-terminal, else absent.
    const std::optional<std::string>& terminalName() const { return terminal_; }

private:
    TestProcess() = default;

    pid_t pid_ = -1;
    std::optional<pid_t> parent_;  // the shell, when there is one; our child
    int master_ = -1;
    std::optional<std::string> terminal_;
};

// A text no other process holds in its command line, to find what a test left behind. It is
// also a number of seconds for sleep, long enough to outlast every test.
std::string uniqueMarker();

// Threads of this process, and the processes its threads started that have not been reaped.
std::size_t threadCount();
std::vector<pid_t> childProcesses();

// Non-zombie processes whose command line holds `marker`.
std::vector<pid_t> processesWithMarker(const std::string& marker);

// Waits up to `limit` until no process holds `marker`; true when none is left.
bool waitUntilNoProcessHolds(const std::string& marker, std::chrono::milliseconds limit);

// Sets an environment variable for the object's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace fernbeacon::test
