#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/CommandRunner.h"
#include "core/Logger.h"
#include "core/Preferences.h"
#include "core/ProcessProbes.h"

namespace fernbeacon::test {

struct LoggedMessage {
    LogLevel level;
    std::string text;
    bool operator==(const LoggedMessage&) const = default;
};

class RecordingLogger final : public Logger {
public:
    void write(LogLevel level, std::string_view message) override;
    std::vector<LoggedMessage> messages() const;
    std::vector<std::string> texts() const;

private:
    mutable std::mutex mutex_;
    std::vector<LoggedMessage> messages_;
};

class MemoryPreferences final : public Preferences {
public:
    std::optional<std::int64_t> integer(std::string_view key) const override;
    std::optional<std::string> text(std::string_view key) const override;
    bool setInteger(std::string_view key, std::int64_t value) override;
    bool setText(std::string_view key, std::string_view value) override;

private:
    std::map<std::string, std::int64_t, std::less<>> integers_;
    std::map<std::string, std::string, std::less<>> texts_;
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(Instant now) : now_(now) {}
    Instant now() const override { return now_; }

private:
    Instant now_;
};

struct FakeProcess {
    std::optional<std::string> tty;
    std::optional<std::string> workingDirectory;
    std::optional<std::string> terminalApp;
    std::optional<std::string> uptime;
    // Given only by factsForPID, as the probes that can read them do.
    std::optional<std::string> startTime{};
    std::optional<std::string> configDirectory{};
    std::optional<std::string> millionContextDisabled{};
};

// A process table given by the test; records which probes were asked, in order.
class FakeProbes final : public ProcessProbes {
public:
    std::vector<std::int32_t> pids;
    std::map<std::int32_t, FakeProcess> processes;

    std::vector<std::int32_t> findClaudePIDs() override;
    std::optional<std::string> ttyForPID(std::int32_t pid) override;
    std::optional<std::string> workingDirectoryForPID(std::int32_t pid) override;
    std::optional<std::string> terminalAppForPID(std::int32_t pid) override;
    std::optional<std::string> uptimeForPID(std::int32_t pid) override;
    ProcessFacts factsForPID(std::int32_t pid) override;

    std::vector<std::string> calls() const;

private:
    std::optional<std::string> fact(std::string_view probe, std::int32_t pid,
                                    std::optional<std::string> FakeProcess::*field);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Answers each command with the reply registered for its arguments (joined by spaces), or with
// an empty, successful result; records every request.
class FakeRunner final : public CommandRunner {
public:
    void reply(std::string joinedArguments, CommandResult result);
    void replyOutput(std::string joinedArguments, std::string standardOutput);
    CommandResult run(const CommandRequest& request) override;
    std::vector<std::string> requests() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, CommandResult> replies_;
    std::vector<std::string> requests_;
};

}  // namespace fernbeacon::test
