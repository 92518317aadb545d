#include "support/TerminalFakes.h"

namespace fernbeacon::test {

void QueueDispatcher::submit(const char* queue, std::function<void()> work) {
    record(queue);
    const std::lock_guard lock(queueMutex_);
    queue_.push_back(std::move(work));
}

void QueueDispatcher::drain() {
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard lock(queueMutex_);
            if (queue_.empty()) {
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

namespace {

std::string written(const DBusArgument& argument) {
    return std::visit(
        [](const auto& value) -> std::string {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::int32_t>) {
                return "int32 " + std::to_string(value);
            } else if constexpr (std::is_same_v<T, std::uint32_t>) {
                return "uint32 " + std::to_string(value);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return "'" + value + "'";
            } else if constexpr (std::is_same_v<T, DBusEmptyDictionary>) {
                return "{}";
            } else if constexpr (std::is_same_v<T, DBusStringVariants>) {
                std::string text;
                for (const std::string& item : value.strings) {
                    text += (text.empty() ? "<'" : ", <'") + item + "'>";
                }
                return "[" + text + "]";
            } else {
                std::string text;
                for (const std::string& item : value) {
                    text += (text.empty() ? "'" : ", '") + item + "'";
                }
                return "[" + text + "]";
            }
        },
        argument);
}

}  // namespace

DBusReply FakeBus::call(const DBusCall& call) {
    const std::string key =
        call.service + " " + call.path + " " + call.interface + "." + call.method;
    std::string text;
    for (const DBusArgument& argument : call.arguments) {
        text += (text.empty() ? "" : ", ") + written(argument);
    }
    record(key + "(" + text + ")");
    const std::lock_guard lock(repliesMutex_);
    const auto found = replies_.find(key);
    return found != replies_.end()
               ? found->second
               : DBusReply{false, "org.freedesktop.DBus.Error.ServiceUnknown: no such name", {}};
}

}  // namespace fernbeacon::test
