#pragma once

#include <string>

#include "core/Logger.h"

namespace fernbeacon::platform {

inline constexpr const char* kLogSubsystem = "app.fernbeacon.Fernbeacon";

// Sends each message to the systemd journal with the program's identifier, the priority and
// the subsystem and category as fields of their own.
class JournalLogger final : public Logger {
public:
    explicit JournalLogger(std::string category);
    void write(LogLevel level, std::string_view message) override;

    // Whether this system runs a journal we can write to.
    static bool available();

private:
    const std::string categoryField_;
};

}  // namespace fernbeacon::platform
