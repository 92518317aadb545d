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

CommandResult finished(std::string standardOutput, int exitStatus = 0) {
    CommandResult result;
    result.started = true;
    result.exitStatus = exitStatus;
    result.standardOutput = std::move(standardOutput);
    return result;
}

TEST(RunCommand, HandsTheWholeLineToTheShellWithTheTimeLimit) {
    OneResultRunner runner(finished("812\n"));
    RecordingLogger logger;
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "/usr/bin/pgrep -x claude", &logger), "812\n");
    ASSERT_EQ(runner.requests.size(), 1u);
    EXPECT_EQ(runner.requests[0].arguments,
              (std::vector<std::string>{"/bin/zsh", "-c", "/usr/bin/pgrep -x claude"}));
    EXPECT_EQ(runner.requests[0].timeLimit, std::chrono::seconds(10));
    EXPECT_TRUE(logger.messages().empty());
}

TEST(RunCommand, UsesTheOutputUntrimmedWhateverTheExitStatus) {
    CommandResult killed = finished("  partial \n", 1);
    killed.exitStatus.reset();
    OneResultRunner runner(killed);
    EXPECT_EQ(runCommand(runner, "/bin/sh", "x", nullptr), "  partial \n");
}

TEST(RunCommand, LogsAStartFailureWithAnEmDashAndGivesEmptyText) {
    CommandResult failed;
    failed.standardOutput = "ignored";
    failed.startError = "No such file or directory";
    OneResultRunner runner(failed);
    RecordingLogger logger;
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "/bin/ps -o tty= -p 42", &logger), "");
    EXPECT_EQ(
        logger.messages(),
        (std::vector<LoggedMessage>{
            {LogLevel::Error,
             "Failed to run: /bin/ps -o tty= -p 42 \xE2\x80\x94 No such file or directory"}}));
    // Without a logger it still gives empty text.
    EXPECT_EQ(runCommand(runner, "/bin/zsh", "x", nullptr), "");
}

TEST(RunCommand, GivesEmptyTextForOutputThatIsNotUtf8) {
    RecordingLogger logger;
    for (const std::string_view bytes :
         {std::string_view("caf\xE9\n"), std::string_view("\xC3"), std::string_view("\xED\xA0\x80"),
          std::string_view("ok\xFF")}) {
        OneResultRunner runner(finished(std::string(bytes)));
        EXPECT_EQ(runCommand(runner, "/bin/sh", "x", &logger), "");
    }
    EXPECT_TRUE(logger.messages().empty());

    OneResultRunner valid(finished("n/home/m\xC3\xA9/\xE2\x9C\x93\n"));
    EXPECT_EQ(runCommand(valid, "/bin/sh", "x", &logger), "n/home/m\xC3\xA9/\xE2\x9C\x93\n");
    OneResultRunner withNul(finished(std::string("a\0b", 3)));
    EXPECT_EQ(runCommand(withNul, "/bin/sh", "x", &logger), std::string("a\0b", 3));
}

TEST(RunCommand, GivesEmptyTextAndAnErrorWhenTheCommandRanOutOfTime) {
    CommandResult timedOut;
    timedOut.started = true;
    timedOut.timedOut = true;
    timedOut.standardOutput = "812\n";
    OneResultRunner runner(timedOut);
    RecordingLogger logger;
    EXPECT_EQ(runCommand(runner, "/bin/sh", "/usr/bin/pgrep -x claude", &logger), "");
    EXPECT_EQ(logger.messages(),
              (std::vector<LoggedMessage>{
                  {LogLevel::Error, "Timed out after 10 seconds: /usr/bin/pgrep -x claude"}}));
}

}  // namespace
}  // namespace fernbeacon
