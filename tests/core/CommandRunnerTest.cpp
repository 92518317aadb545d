#include "core/CommandRunner.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"

namespace fernbeacon {
namespace {

using test::LoggedMessage;
using test::RecordingLogger;

// Gives one fixed result and keeps the request it was given.
class OneResultRunner final : public CommandRunner {
public:
    explicit OneResultRunner(CommandResult result) : result_(std::move(result)) {}
    CommandResult run(const CommandRequest& request) override {
        requests.push_back(request);
        return result_;
    }
    std::vector<CommandRequest> requests;

private:
    CommandResult result_;
};

CommandResult finished(std::string standardOutput) {
    CommandResult result;
    result.started = true;
    result.standardOutput = std::move(standardOutput);
    return result;
}

TEST(RunCommand, HandsTheWholeLineToTheShellAndKeepsUtf8OutputWhateverTheExit) {
    OneResultRunner runner(finished("  partial \n"));
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "/usr/bin/pgrep -x claude", nullptr), "  partial \n");
    EXPECT_EQ(runner.requests.at(0).arguments,
              (std::vector<std::string>{"/bin/zsh", "-c", "/usr/bin/pgrep -x claude"}));
    for (const std::string& valid :
         {std::string("n/m\xC3\xA9/\xE2\x9C\x93\n"), std::string("a\0b", 3)}) {
        OneResultRunner other(finished(valid));
        EXPECT_EQ(runCommand(other, "/bin/sh", "x", nullptr), valid);
    }
    for (const char* invalid : {"caf\xE9\n", "\xC3", "\xED\xA0\x80"}) {
        OneResultRunner other(finished(invalid));
        EXPECT_EQ(runCommand(other, "/bin/sh", "x", nullptr), "") << invalid;
    }
}

TEST(RunCommand, GivesEmptyTextAndLogsWhenTheCommandFailedToStartOrRanOutOfTime) {
    CommandResult failed;
    failed.standardOutput = "ignored";
    failed.startError = "No such file or directory";
    CommandResult timedOut = finished("812\n");
    timedOut.timedOut = true;
    RecordingLogger logger;
    OneResultRunner notStarted(failed);
    EXPECT_EQ(runCommand(notStarted, "/bin/zsh", "/bin/ps -o tty= -p 42", &logger), "");
    EXPECT_EQ(runCommand(notStarted, "/bin/zsh", "x", nullptr), "");
    OneResultRunner late(timedOut);
    EXPECT_EQ(runCommand(late, "/bin/sh", "/usr/bin/pgrep -x claude", &logger), "");
    EXPECT_EQ(logger.messages(),
              (std::vector<LoggedMessage>{
                  {LogLevel::Error,
                   "Failed to run: /bin/ps -o tty= -p 42 \xE2\x80\x94 No such file or directory"},
                  {LogLevel::Error, "Timed out after 10 seconds: /usr/bin/pgrep -x claude"}}));
}

TEST(LogMessage, APlaceholderWithoutAnArgumentSaysSo) {
    EXPECT_EQ(Logger::formatLogMessage("%s: %ld%% of %s", "scan", 42), "scan: 42% of (missing)");
}

}  // namespace
}  // namespace fernbeacon
