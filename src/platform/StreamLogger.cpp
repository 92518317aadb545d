#include "platform/StreamLogger.h"

namespace fernbeacon::platform {

StreamLogger::StreamLogger(std::string category, std::FILE* stream, LogLevel minimum)
    : category_(std::move(category)), stream_(stream), minimum_(minimum) {}

void StreamLogger::write(LogLevel level, std::string_view message) {
    if (level < minimum_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    std::fprintf(stream_, "fernbeacon[%s] %s%.*s\n", category_.c_str(),
                 level == LogLevel::Error ? "error: " : "", static_cast<int>(message.size()),
                 message.data());
    std::fflush(stream_);
}

std::unique_ptr<Logger> makeStandardErrorLogger(std::string category, LogTarget target) {
    const LogLevel minimum = target == LogTarget::StandardError ? LogLevel::Info : LogLevel::Error;
    return std::make_unique<StreamLogger>(std::move(category), stderr, minimum);
}

}  // namespace fernbeacon::platform
