#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/CommandRunner.h"
#include "core/Dispatcher.h"
#include "support/Fakes.h"
#include "terminal/DBus.h"
#include "terminal/ProcessServices.h"
#include "terminal/TtyOwnership.h"
#include "terminal/Workspace.h"

namespace fernbeacon::test {

// What a fake was asked, written out, in order, from any thread.
class CallLog {
public:
    std::vector<std::string> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

protected:
    void record(std::string call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Keeps submitted work until the test drains it; its calls are the queues, "main",
// "user-initiated" or "utility", including work already run.
class QueueDispatcher final : public Dispatcher, public CallLog {
public:
    void toMain(std::function<void()> work) override { submit("main", std::move(work)); }
    void toBackground(WorkClass workClass, std::function<void()> work) override {
        submit(workClass == WorkClass::UserInitiated ? "user-initiated" : "utility",
               std::move(work));
    }
    // Runs queued work, and the work it queues, until nothing is left.
    void drain();

private:
    void submit(const char* queue, std::function<void()> work);

    std::mutex queueMutex_;
    std::deque<std::function<void()>> queue_;
};

// Applications named by the test, in its order. Calls: "activate NAME all|none",
// "raise window ID pid P", "raise pid P title T".
class FakeWorkspace final : public Workspace, public CallLog {
public:
    std::vector<RunningApplication> applications;
    bool raiseSucceeds = true;
    bool canRaise = true;

    // An empty optional adds one without a name.
    void add(std::optional<std::string> name) {
        applications.push_back({std::move(name), applications.size() + 1});
    }
    std::vector<RunningApplication> runningApplications() override { return applications; }
    void activate(const RunningApplication& application, ActivationOptions options) override {
        record("activate " + application.localizedName.value_or("(none)") +
               (options == ActivationOptions::AllWindows ? " all" : " none"));
    }
    bool canRaiseWindows() override { return canRaise; }
    bool raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) override {
        record("raise window " + std::to_string(windowId) + " pid " +
               (ownerPid ? std::to_string(*ownerPid) : "any"));
        return raiseSucceeds;
    }
    bool raiseWindowOfProcess(std::int32_t pid, const std::optional<std::string>& title) override {
        record("raise pid " + std::to_string(pid) + (title ? " title " + *title : ""));
        return raiseSucceeds;
    }
};

class FakeProcessTable final : public ProcessTableSource {
public:
    std::vector<ProcessRow> rows;
    std::vector<ProcessRow> processRows() override { return rows; }
};

class FakeEnvironment final : public ProcessEnvironment {
public:
    std::map<std::int32_t, Environment> environments;
    Environment environmentOf(std::int32_t pid) override {
        const auto found = environments.find(pid);
        return found == environments.end() ? Environment() : found->second;
    }
};

// Programs named by the test are installed in /usr/bin.
class FakeExecutables final : public Executables {
public:
    std::set<std::string, std::less<>> installed;
    std::optional<std::string> find(std::string_view program) const override {
        return installed.contains(program) ? std::optional("/usr/bin/" + std::string(program))
                                           : std::nullopt;
    }
};

class FakeLauncher final : public ProcessLauncher {
public:
    std::vector<LaunchCommand> started;
    std::string failure;
    std::string start(const LaunchCommand& command) override {
        started.push_back(command);
        return failure;
    }
};

// Answers calls by "service path interface.method" with the reply registered for it (else an
// error reply). Calls: the key with its arguments written out, "(int32 3, 'a', [<'b'>], {})".
class FakeBus final : public DBusSession, public CallLog {
public:
    void answer(const std::string& key, DBusReply reply) {
        const std::lock_guard lock(repliesMutex_);
        replies_.insert_or_assign(key, std::move(reply));
    }
    DBusReply call(const DBusCall& call) override;

private:
    std::mutex repliesMutex_;
    std::map<std::string, DBusReply> replies_;
};

inline CommandResult failed(std::string standardError) {
    return {true, {}, false, 1, {}, std::move(standardError)};
}

inline DBusReply okReply(std::vector<DBusValue> values = {}) {
    return {true, {}, std::move(values)};
}

}  // namespace fernbeacon::test
