#include "support/TerminalFakes.h"

namespace fernbeacon::test {

void QueueDispatcher::toMain(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    submissions_.push_back("main");
    queue_.push_back(std::move(work));
}

void QueueDispatcher::toBackground(WorkClass workClass, std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    submissions_.push_back(workClass == WorkClass::UserInitiated ? "user-initiated" : "utility");
    queue_.push_back(std::move(work));
}

std::vector<std::string> QueueDispatcher::submissions() const {
    const std::lock_guard lock(mutex_);
    return submissions_;
}

void QueueDispatcher::drain() {
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

void FakeWorkspace::add(std::optional<std::string> name) {
    applications.push_back({std::move(name), applications.size() + 1});
}

std::vector<RunningApplication> FakeWorkspace::runningApplications() {
    return applications;
}

void FakeWorkspace::activate(const RunningApplication& application, ActivationOptions options) {
    const std::lock_guard lock(mutex_);
    calls_.push_back("activate " + application.localizedName.value_or("(none)") +
                     (options == ActivationOptions::AllWindows ? " all" : " none"));
}

bool FakeWorkspace::raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) {
    const std::lock_guard lock(mutex_);
    calls_.push_back("raise window " + std::to_string(windowId) + " pid " +
                     (ownerPid ? std::to_string(*ownerPid) : std::string("any")));
    return raiseSucceeds;
}

bool FakeWorkspace::raiseWindowOfProcess(std::int32_t pid,
                                         const std::optional<std::string>& title) {
    const std::lock_guard lock(mutex_);
    calls_.push_back("raise pid " + std::to_string(pid) + (title ? " title " + *title : ""));
    return raiseSucceeds;
}

std::vector<std::string> FakeWorkspace::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

Environment FakeEnvironment::environmentOf(std::int32_t pid) {
    const auto found = environments.find(pid);
    return found == environments.end() ? Environment() : found->second;
}

std::optional<std::string> FakeExecutables::find(std::string_view program) const {
    return installed.contains(program) ? std::optional("/usr/bin/" + std::string(program))
                                       : std::nullopt;
}

std::string FakeLauncher::start(const LaunchCommand& command) {
    started.push_back(command);
    return failure;
}

void FakeBus::answer(const std::string& key, DBusReply reply) {
    const std::lock_guard lock(mutex_);
    replies_.insert_or_assign(key, std::move(reply));
}

namespace {

std::string written(const DBusArgument& argument) {
    struct Writer {
        std::string operator()(std::int32_t value) const {
            return "int32 " + std::to_string(value);
        }
        std::string operator()(std::uint32_t value) const {
            return "uint32 " + std::to_string(value);
        }
        std::string operator()(const std::string& value) const { return "'" + value + "'"; }
        std::string operator()(const std::vector<std::string>& value) const {
            std::string text = "[";
            for (const std::string& item : value) {
                text += (text.size() > 1 ? ", '" : "'") + item + "'";
            }
            return text + "]";
        }
        std::string operator()(const DBusStringVariants& value) const {
            std::string text = "[";
            for (const std::string& item : value.strings) {
                text += (text.size() > 1 ? ", <'" : "<'") + item + "'>";
            }
            return text + "]";
        }
        std::string operator()(const DBusEmptyDictionary&) const { return "{}"; }
    };
    return std::visit(Writer{}, argument);
}

}  // namespace

DBusReply FakeBus::call(const DBusCall& call) {
    const std::string key =
        call.service + " " + call.path + " " + call.interface + "." + call.method;
    std::string text = key + "(";
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
        text += (i > 0 ? ", " : "") + written(call.arguments[i]);
    }
    const std::lock_guard lock(mutex_);
    calls_.push_back(text + ")");
    const auto found = replies_.find(key);
    if (found != replies_.end()) {
        return found->second;
    }
    DBusReply error;
    error.error = "org.freedesktop.DBus.Error.ServiceUnknown: no such name";
    return error;
}

std::vector<std::string> FakeBus::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

DBusReply okReply(std::vector<DBusValue> values) {
    DBusReply reply;
    reply.ok = true;
    reply.values = std::move(values);
    return reply;
}

}  // namespace fernbeacon::test
