#pragma once

#include <set>
#include <string>
#include <string_view>

#include "core/CommandRunner.h"
#include "core/Logger.h"
#include "terminal/TerminalApplications.h"

namespace fernbeacon {

inline constexpr std::string_view kOsascript = "/usr/bin/osascript";

std::string iTerm2FocusScript(std::string_view ttyPath);
std::string terminalAppFocusScript(std::string_view ttyPath);
std::string iTerm2NewSessionScript(std::string_view directory);
std::string terminalAppNewSessionScript(std::string_view directory);

// The directory as it stands between the escaped quotes of `cd \"...\"` in the new-session
// scripts: escaped first for the shell's double-quoted word, then for the AppleScript string,
// so that it reaches `cd` intact and nothing in it is expanded.
std::string escapedDirectoryForScript(std::string_view directory);

// A focusing script's verdict: "found" and not "not found".
bool scriptFoundTab(std::string_view result);

// The scriptable terminals of the other desktop, driven through osascript.
class AppleScriptTerminals {
public:
    AppleScriptTerminals(CommandRunner& runner, TerminalApplications& applications, Logger& logger);

    // The trimmed standard output; empty when osascript could not run. Failures are logged.
    std::string runAppleScript(const std::string& script);
    bool focusInITerm2(const std::string& ttyPath);
    bool focusInTerminalApp(const std::string& ttyPath);
    void launchSessionScript(const std::string& terminal, const std::string& directory);
    // Counts the windows of each running scriptable terminal, Terminal first.
    void warmUp(const std::set<std::string>& runningTerminals);

private:
    CommandRunner& runner_;
    TerminalApplications& applications_;
    Logger& logger_;
};

}  // namespace fernbeacon
