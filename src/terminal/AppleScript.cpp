#include "terminal/AppleScript.h"

#include <chrono>

#include "core/Text.h"

namespace fernbeacon {
namespace {

std::string escaped(std::string_view text, std::string_view special) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (special.find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string trimmedUtf8(const std::string& bytes) {
    return isValidUtf8(bytes) ? std::string(trimWhitespaceAndNewlines(bytes)) : std::string();
}

}  // namespace

std::string iTerm2FocusScript(std::string_view ttyPath) {
    return "tell application \"iTerm2\"\n"
           "    repeat with w in windows\n"
           "        repeat with t in tabs of w\n"
           "            repeat with s in sessions of t\n"
           "                if tty of s is \"" +
           std::string(ttyPath) +
           "\" then\n"
           "                    select t\n"
           "                    tell w to select\n"
           "                    return \"found\"\n"
           "                end if\n"
           "            end repeat\n"
           "        end repeat\n"
           "    end repeat\n"
           "    return \"not found\"\n"
           "end tell";
}

std::string terminalAppFocusScript(std::string_view ttyPath) {
    return "tell application \"Terminal\"\n"
           "    set targetTTY to \"" +
           std::string(ttyPath) +
           "\"\n"
           "    repeat with w in windows\n"
           "        set tabList to tabs of w\n"
           "        repeat with t in tabList\n"
           "            if tty of t is targetTTY then\n"
           "                set selected of t to true\n"
           "                set index of w to 1\n"
           "                if miniaturized of w then\n"
           "                    set miniaturized of w to false\n"
           "                end if\n"
           "                return \"found\"\n"
           "            end if\n"
           "        end repeat\n"
           "    end repeat\n"
           "    return \"not found\"\n"
           "end tell";
}

std::string escapedDirectoryForScript(std::string_view directory) {
    return escaped(escaped(directory, "\\\"$`"), "\\\"");
}

std::string iTerm2NewSessionScript(std::string_view directory) {
    return "tell application \"iTerm2\"\n"
           "    activate\n"
           "    tell current window\n"
           "        create tab with default profile\n"
           "        tell current session\n"
           "            write text \"cd \\\"" +
           escapedDirectoryForScript(directory) +
           "\\\" && claude\"\n"
           "        end tell\n"
           "    end tell\n"
           "end tell";
}

std::string terminalAppNewSessionScript(std::string_view directory) {
    return "tell application \"Terminal\"\n"
           "    activate\n"
           "    do script \"cd \\\"" +
           escapedDirectoryForScript(directory) +
           "\\\" && claude\"\n"
           "end tell";
}

bool scriptFoundTab(std::string_view result) {
    return result.find("found") != std::string_view::npos &&
           result.find("not found") == std::string_view::npos;
}

AppleScriptTerminals::AppleScriptTerminals(CommandRunner& runner,
                                           TerminalApplications& applications, Logger& logger)
    : runner_(runner), applications_(applications), logger_(logger) {}

std::string AppleScriptTerminals::runAppleScript(const std::string& script) {
    const CommandResult result = runner_.run({{std::string(kOsascript), "-e", script}});
    if (!result.started) {
        logger_.error("Failed to launch osascript: %s", result.startError);
        return {};
    }
    if (result.timedOut) {
        logger_.error(
            "osascript timed out after %ld seconds",
            static_cast<long>(
                std::chrono::duration_cast<std::chrono::seconds>(kCommandTimeLimit).count()));
        return {};
    }
    // A child ended by a signal has no exit status; it counts as a failure all the same.
    const int status = result.exitStatus.value_or(-1);
    if (status != 0) {
        logger_.error("osascript failed (status %d): %s", status,
                      trimmedUtf8(result.standardError));
    }
    return trimmedUtf8(result.standardOutput);
}

bool AppleScriptTerminals::focusInITerm2(const std::string& ttyPath) {
    logger_.info("Trying iTerm2 focus for tty=%s", ttyPath);
    const bool found = scriptFoundTab(runAppleScript(iTerm2FocusScript(ttyPath)));
    if (found) {
        applications_.activateApp("iTerm2");
    }
    logger_.info("iTerm2 focus result: %s", found ? "success" : "not found");
    return found;
}

bool AppleScriptTerminals::focusInTerminalApp(const std::string& ttyPath) {
    logger_.info("Trying Terminal.app focus for tty=%s", ttyPath);
    const bool found = scriptFoundTab(runAppleScript(terminalAppFocusScript(ttyPath)));
    if (found) {
        applications_.activateApp("Terminal");
    }
    logger_.info("Terminal.app focus result: %s", found ? "success" : "not found");
    return found;
}

void AppleScriptTerminals::launchSessionScript(const std::string& terminal,
                                               const std::string& directory) {
    runAppleScript(terminal == "iTerm2" ? iTerm2NewSessionScript(directory)
                                        : terminalAppNewSessionScript(directory));
}

void AppleScriptTerminals::warmUp(const std::set<std::string>& runningTerminals) {
    if (runningTerminals.contains("Terminal")) {
        logger_.info("Warming up osascript connection to Terminal.app");
        runAppleScript("tell application \"Terminal\" to count windows");
    }
    if (runningTerminals.contains("iTerm2")) {
        logger_.info("Warming up osascript connection to iTerm2");
        runAppleScript("tell application \"iTerm2\" to count windows");
    }
}

}  // namespace fernbeacon
