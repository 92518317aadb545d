#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Logger.h"

namespace fernbeacon {

inline constexpr std::chrono::milliseconds kCommandTimeLimit{10000};

struct CommandRequest {
    CommandRequest() = default;
    CommandRequest(std::vector<std::string> programAndArguments,
                   std::chrono::milliseconds limit = kCommandTimeLimit)
        : arguments(std::move(programAndArguments)), timeLimit(limit) {}

    std::vector<std::string> arguments;  // arguments[0] is the program, found by absolute path
    std::chrono::milliseconds timeLimit = kCommandTimeLimit;
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
};

struct CommandResult {
    bool started = false;
    std::string startError;         // why it could not be started
    bool timedOut = false;          // ended by us at the time limit; its output is dropped
    std::optional<int> exitStatus;  // absent when it ended by a signal
    std::string standardOutput;
    std::string standardError;
};

// Starts a child process without a shell, with standard input from the null device, drains its
// two outputs together and waits for it, ending it at the time limit. Safe to use from several
// threads at once.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual CommandResult run(const CommandRequest& request) = 0;
};

// Runs one command line through `shell -c` and returns its standard output when it is valid
// UTF-8, else empty text. A command that cannot be started or runs out of time gives empty text
// and, when a logger is given, an error message.
std::string runCommand(CommandRunner& runner, std::string_view shell, std::string_view commandLine,
                       Logger* logger, std::chrono::milliseconds timeLimit = kCommandTimeLimit);

}  // namespace fernbeacon
