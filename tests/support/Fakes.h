#pragma once

#include <atomic>
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
    void write(LogLevel level, std::string_view message) override {
        const std::lock_guard lock(mutex_);
        messages_.push_back({level, std::string(message)});
    }
    std::vector<LoggedMessage> messages() const {
        const std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> texts;
        for (const LoggedMessage& message : messages()) {
            texts.push_back(message.text);
        }
        return texts;
    }

private:
    mutable std::mutex mutex_;
    std::vector<LoggedMessage> messages_;
};

class MemoryPreferences final : public Preferences {
public:
    std::optional<std::int64_t> integer(std::string_view key) const override {
        const auto found = integers_.find(key);
        return found == integers_.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> text(std::string_view key) const override {
        const auto found = texts_.find(key);
        return found == texts_.end() ? std::nullopt : std::optional(found->second);
    }
    bool setInteger(std::string_view key, std::int64_t value) override {
        integers_.insert_or_assign(std::string(key), value);
        return true;
    }
    bool setText(std::string_view key, std::string_view value) override {
        texts_.insert_or_assign(std::string(key), std::string(value));
        return true;
    }

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

// A process table given by the test; counts the scans that asked for it.
class FakeProbes final : public ProcessProbes {
public:
    using Text = std::optional<std::string>;

    std::vector<std::int32_t> pids;
    std::map<std::int32_t, FakeProcess> processes;
    std::atomic<int> scans = 0;

    std::vector<std::int32_t> findClaudePIDs() override {
        ++scans;
        return pids;
    }
    Text ttyForPID(std::int32_t pid) override { return fact(pid, &FakeProcess::tty); }
    Text workingDirectoryForPID(std::int32_t pid) override {
        return fact(pid, &FakeProcess::workingDirectory);
    }
    Text terminalAppForPID(std::int32_t pid) override {
        return fact(pid, &FakeProcess::terminalApp);
    }
    Text uptimeForPID(std::int32_t pid) override { return fact(pid, &FakeProcess::uptime); }
    ProcessFacts factsForPID(std::int32_t pid) override {
        ProcessFacts facts = ProcessProbes::factsForPID(pid);
        if (const auto found = processes.find(pid); found != processes.end()) {
            facts.startTime = found->second.startTime;
            facts.configDirectory = found->second.configDirectory;
            facts.millionContextDisabled = found->second.millionContextDisabled;
        }
        return facts;
    }

private:
    Text fact(std::int32_t pid, Text FakeProcess::*field) const {
        const auto found = processes.find(pid);
        return found == processes.end() ? std::nullopt : found->second.*field;
    }
};

// Answers each command with the reply registered for its arguments (joined by spaces), or with
// an empty, successful result; records every request, its variables first as NAME=value.
class FakeRunner final : public CommandRunner {
public:
    void reply(std::string joinedArguments, CommandResult result) {
        const std::lock_guard lock(mutex_);
        replies_.insert_or_assign(std::move(joinedArguments), std::move(result));
    }
    void replyOutput(std::string joinedArguments, std::string standardOutput) {
        reply(std::move(joinedArguments), {true, {}, false, 0, std::move(standardOutput), {}});
    }
    CommandResult run(const CommandRequest& request) override {
        std::string joined;
        for (const std::string& argument : request.arguments) {
            joined += (joined.empty() ? "" : " ") + argument;
        }
        std::string variables;
        for (const auto& [name, value] : request.environment) {
            variables += name + "=" + value + " ";
        }
        const std::lock_guard lock(mutex_);
        requests_.push_back(variables + joined);
        const auto found = replies_.find(joined);
        return found != replies_.end() ? found->second : CommandResult{true, {}, false, 0, {}, {}};
    }
    std::vector<std::string> requests() const {
        const std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, CommandResult> replies_;
    std::vector<std::string> requests_;
};

}  // namespace fernbeacon::test
