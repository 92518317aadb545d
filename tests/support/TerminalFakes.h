#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/Dispatcher.h"
#include "terminal/DBus.h"
#include "terminal/ProcessServices.h"
#include "terminal/TtyOwnership.h"
#include "terminal/Workspace.h"

namespace fernbeacon::test {

// Keeps submitted work until the test runs it, remembering which queue each went to.
class QueueDispatcher final : public Dispatcher {
public:
    void toMain(std::function<void()> work) override;
    void toBackground(WorkClass workClass, std::function<void()> work) override;

    // "main", "user-initiated" or "utility", in submission order, including work already run.
    std::vector<std::string> submissions() const;
    // Runs queued work, and the work it queues, until nothing is left.
    void drain();

private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::string> submissions_;
};

// Runs everything at once on the calling thread.
class ImmediateDispatcher final : public Dispatcher {
public:
    void toMain(std::function<void()> work) override { work(); }
    void toBackground(WorkClass, std::function<void()> work) override { work(); }
};

// Applications named by the test, in its order; records activations and raises.
class FakeWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> applications;
    bool raiseSucceeds = true;
    bool canRaise = true;

    // Adds an application; an empty optional makes one without a name.
    void add(std::optional<std::string> name);

    std::vector<RunningApplication> runningApplications() override;
    void activate(const RunningApplication& application, ActivationOptions options) override;
    bool canRaiseWindows() override { return canRaise; }
    bool raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) override;
    bool raiseWindowOfProcess(std::int32_t pid, const std::optional<std::string>& title) override;

    // "activate NAME all", "activate NAME none", "raise window ID pid P", "raise pid P title T".
    std::vector<std::string> calls() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

class FakeProcessTable final : public ProcessTableSource {
public:
    std::vector<ProcessRow> rows;
    std::vector<ProcessRow> processRows() override { return rows; }
};

class FakeEnvironment final : public ProcessEnvironment {
public:
    std::map<std::int32_t, Environment> environments;
    Environment environmentOf(std::int32_t pid) override;
};

// Programs named by the test are installed in /usr/bin.
class FakeExecutables final : public Executables {
public:
    std::set<std::string, std::less<>> installed;
    std::optional<std::string> find(std::string_view program) const override;
};

class FakeLauncher final : public ProcessLauncher {
public:
    std::vector<LaunchCommand> started;
    std::string failure;
    std::string start(const LaunchCommand& command) override;
};

// Answers calls by "service path interface.method" with the reply registered for it (else an
// error reply) and records each call with its arguments written out.
class FakeBus final : public DBusSession {
public:
    void answer(const std::string& key, DBusReply reply);
    DBusReply call(const DBusCall& call) override;
    std::vector<std::string> calls() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, DBusReply> replies_;
    std::vector<std::string> calls_;
};

DBusReply okReply(std::vector<DBusValue> values = {});

}  // namespace fernbeacon::test
