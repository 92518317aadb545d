#include "core/CommandRunner.h"

#include "core/Text.h"

namespace fernbeacon {

std::string runCommand(CommandRunner& runner, std::string_view shell, std::string_view commandLine,
                       Logger* logger, std::chrono::milliseconds timeLimit) {
    CommandResult result =
        runner.run({{std::string(shell), "-c", std::string(commandLine)}, timeLimit});
    if (!result.started) {
        if (logger != nullptr) {
            logger->error("Failed to run: %s \u2014 %s", commandLine, result.startError);
        }
        return {};
    }
    if (result.timedOut) {
        if (logger != nullptr) {
            logger->error("Timed out after %ld seconds: %s",
                          static_cast<long>(
                              std::chrono::duration_cast<std::chrono::seconds>(timeLimit).count()),
                          commandLine);
        }
        return {};
    }
    if (!isValidUtf8(result.standardOutput)) {
        return {};
    }
    return std::move(result.standardOutput);
}

}  // namespace fernbeacon
