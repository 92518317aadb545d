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

CommandResult finished(std::string standardOutput, std::optional<int> exitStatus = 0) {
    CommandResult result;
    result.started = true;
    result.exitStatus = exitStatus;
    result.standardOutput = std::move(standardOutput);
    return result;
}

TEST(RunCommand, HandsTheWholeLineToTheShellAndKeepsTheOutputWhateverTheExit) {
    OneResultRunner runner(finished("  partial \n", std::nullopt));
    RecordingLogger logger;
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "/usr/bin/pgrep -x claude", &logger), "  partial \n");
    ASSERT_EQ(runner.requests.size(), 1u);
    EXPECT_EQ(runner.requests[0].arguments,
              (std::vector<std::string>{"/bin/zsh", "-c", "/usr/bin/pgrep -x claude"}));
    EXPECT_TRUE(logger.messages().empty());
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

TEST(RunCommand, GivesEmptyTextForOutputThatIsNotUtf8) {
    for (const std::string_view bytes : {std::string_view("caf\xE9\n"), std::string_view("\xC3"),
                                         std::string_view("\xED\xA0\x80")}) {
        OneResultRunner runner(finished(std::string(bytes)));
        EXPECT_EQ(runCommand(runner, "/bin/sh", "x", nullptr), "");
    }
    for (const std::string& valid :
         {std::string("n/home/m\xC3\xA9/\xE2\x9C\x93\n"), std::string("a\0b", 3)}) {
        OneResultRunner runner(finished(valid));
        EXPECT_EQ(runCommand(runner, "/bin/sh", "x", nullptr), valid);
    }
}

TEST(LogMessage, APlaceholderWithoutAnArgumentSaysSo) {
    EXPECT_EQ(Logger::formatLogMessage("%s: %ld%% of %s", "scan", 42), "scan: 42% of (missing)");
}

}  // namespace
}  // namespace fernbeacon
