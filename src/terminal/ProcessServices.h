#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the Linux hosts need from the system besides commands: another process's environment,
// the programs on the search path, and terminals started to outlive us.
namespace fernbeacon {

using Environment = std::map<std::string, std::string, std::less<>>;

// A NUL-separated environment block; entries without "=" are skipped, a later one wins.
Environment parseEnvironBlock(std::string_view block);

std::optional<std::string> environmentValue(const Environment& environment, std::string_view key);

class ProcessEnvironment {
public:
    virtual ~ProcessEnvironment() = default;
    // The environment the process was started with; empty when it is not ours or has gone.
    virtual Environment environmentOf(std::int32_t pid) = 0;
};

class Executables {
public:
    virtual ~Executables() = default;
    // The absolute path of the program, or absent when it is not installed.
    virtual std::optional<std::string> find(std::string_view program) const = 0;
};

// Looks for a regular executable file in the directories of a PATH-style list; relative
// entries are ignored.
class SearchPath final : public Executables {
public:
    // $PATH, or the usual directories when it is unset.
    SearchPath();
    explicit SearchPath(std::string directories) : directories_(std::move(directories)) {}
    std::optional<std::string> find(std::string_view program) const override;

private:
    std::string directories_;
};

struct LaunchCommand {
    std::vector<std::string> arguments;  // arguments[0] is an absolute path
    std::optional<std::string> workingDirectory;
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
};

// Starts programs that outlive us: their own session, no terminal, nothing waited for.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Empty when started; otherwise why not.
    virtual std::string start(const LaunchCommand& command) = 0;
};

// What a new tab runs: the user's shell runs `claude` as if it were typed, and stays when it
// exits. The shell text is fixed; the shell's path arrives as an argument.
std::vector<std::string> claudeInShellCommand(const std::string& userShell);

}  // namespace fernbeacon
