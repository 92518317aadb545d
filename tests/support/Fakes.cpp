#include "support/Fakes.h"

namespace fernbeacon::test {

void RecordingLogger::write(LogLevel level, std::string_view message) {
    const std::lock_guard lock(mutex_);
    messages_.push_back({level, std::string(message)});
}

std::vector<LoggedMessage> RecordingLogger::messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> RecordingLogger::texts() const {
    std::vector<std::string> texts;
    for (const LoggedMessage& message : messages()) {
        texts.push_back(message.text);
    }
    return texts;
}

std::optional<std::int64_t> MemoryPreferences::integer(std::string_view key) const {
    const auto found = integers_.find(key);
    return found == integers_.end() ? std::nullopt : std::optional(found->second);
}

std::optional<std::string> MemoryPreferences::text(std::string_view key) const {
    const auto found = texts_.find(key);
    return found == texts_.end() ? std::nullopt : std::optional(found->second);
}

bool MemoryPreferences::setInteger(std::string_view key, std::int64_t value) {
    integers_.insert_or_assign(std::string(key), value);
    return true;
}

bool MemoryPreferences::setText(std::string_view key, std::string_view value) {
    texts_.insert_or_assign(std::string(key), std::string(value));
    return true;
}

std::optional<std::string> FakeProbes::fact(std::string_view probe, std::int32_t pid,
                                            std::optional<std::string> FakeProcess::*field) {
    {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::string(probe) + " " + std::to_string(pid));
    }
    const auto found = processes.find(pid);
    return found == processes.end() ? std::nullopt : found->second.*field;
}

std::vector<std::int32_t> FakeProbes::findClaudePIDs() {
    const std::lock_guard lock(mutex_);
    calls_.push_back("findClaudePIDs");
    return pids;
}

std::optional<std::string> FakeProbes::ttyForPID(std::int32_t pid) {
    return fact("tty", pid, &FakeProcess::tty);
}

std::optional<std::string> FakeProbes::workingDirectoryForPID(std::int32_t pid) {
    return fact("cwd", pid, &FakeProcess::workingDirectory);
}

std::optional<std::string> FakeProbes::terminalAppForPID(std::int32_t pid) {
    return fact("terminal", pid, &FakeProcess::terminalApp);
}

std::optional<std::string> FakeProbes::uptimeForPID(std::int32_t pid) {
    return fact("uptime", pid, &FakeProcess::uptime);
}

ProcessFacts FakeProbes::factsForPID(std::int32_t pid) {
    ProcessFacts facts = ProcessProbes::factsForPID(pid);
    if (const auto found = processes.find(pid); found != processes.end()) {
        facts.startTime = found->second.startTime;
        facts.configDirectory = found->second.configDirectory;
        facts.millionContextDisabled = found->second.millionContextDisabled;
    }
    return facts;
}

std::vector<std::string> FakeProbes::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

void FakeRunner::reply(std::string joinedArguments, CommandResult result) {
    const std::lock_guard lock(mutex_);
    replies_.insert_or_assign(std::move(joinedArguments), std::move(result));
}

void FakeRunner::replyOutput(std::string joinedArguments, std::string standardOutput) {
    CommandResult result;
    result.started = true;
    result.exitStatus = 0;
    result.standardOutput = std::move(standardOutput);
    reply(std::move(joinedArguments), std::move(result));
}

CommandResult FakeRunner::run(const CommandRequest& request) {
    std::string joined;
    for (const std::string& argument : request.arguments) {
        joined += (joined.empty() ? "" : " ") + argument;
    }
    const std::lock_guard lock(mutex_);
    requests_.push_back(joined);
    const auto found = replies_.find(joined);
    if (found != replies_.end()) {
        return found->second;
    }
    CommandResult empty;
    empty.started = true;
    empty.exitStatus = 0;
    return empty;
}

std::vector<std::string> FakeRunner::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

}  // namespace fernbeacon::test
