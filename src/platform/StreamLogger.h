#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "core/Logger.h"
#include "platform/Platform.h"

namespace fernbeacon::platform {

// Writes "fernbeacon[Category] message" lines to a stdio stream, from any thread.
class StreamLogger final : public Logger {
public:
    StreamLogger(std::string category, std::FILE* stream, LogLevel minimum);
    void write(LogLevel level, std::string_view message) override;

private:
    const std::string category_;
    std::FILE* const stream_;
    const LogLevel minimum_;
    std::mutex mutex_;
};

// Standard error: every level for LogTarget::StandardError, errors only for the system log's
// stand-in.
std::unique_ptr<Logger> makeStandardErrorLogger(std::string category, LogTarget target);

}  // namespace fernbeacon::platform
