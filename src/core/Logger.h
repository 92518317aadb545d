#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fernbeacon {

enum class LogLevel { Info, Error };

// One logger per category ("SessionScanner", "TerminalFocuser"). Implementations must be safe to
// call from several threads at once. Messages use the printf-style directives %d, %ld, %s and %%;
// formatting is type-checked at run time and never reads past the arguments given.
class Logger {
public:
    virtual ~Logger() = default;
    virtual void write(LogLevel level, std::string_view message) = 0;

    template <typename... Args>
    void info(std::string_view format, const Args&... args) {
        write(LogLevel::Info, formatLogMessage(format, args...));
    }
    template <typename... Args>
    void error(std::string_view format, const Args&... args) {
        write(LogLevel::Error, formatLogMessage(format, args...));
    }

    template <typename... Args>
    static std::string formatLogMessage(std::string_view format, const Args&... args) {
        return substitute(format, {toArgument(args)...});
    }

private:
    static std::string toArgument(std::string_view text) { return std::string(text); }
    static std::string toArgument(const char* text) { return text ? text : "(null)"; }
    static std::string toArgument(std::integral auto number) { return std::to_string(number); }

    static std::string substitute(std::string_view format, std::vector<std::string> arguments);
};

// Discards everything; for callers that have nowhere to log.
class NullLogger final : public Logger {
public:
    void write(LogLevel, std::string_view) override {}
};

}  // namespace fernbeacon
