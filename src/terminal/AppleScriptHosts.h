#pragma once

#include <string>

#include "terminal/AppleScript.h"
#include "terminal/SessionOpener.h"
#include "terminal/TerminalHost.h"

// The other desktop's hosts: two scriptable terminals, and editors that are only activated.
namespace fernbeacon {

// Adds, in the order they are asked: iTerm2, Terminal, VS Code ("Code"), Cursor.
void addAppleScriptHosts(HostRegistry& registry, AppleScriptTerminals& terminals,
                         TerminalApplications& applications);

// "Auto" takes iTerm2, then Terminal, then any other running terminal, else Terminal; any
// other preference is used as it is. Only "iTerm2" gets its own script.
class AppleScriptSessionOpener final : public SessionOpener {
public:
    AppleScriptSessionOpener(AppleScriptTerminals& terminals, TerminalApplications& applications);

    std::string chooseTerminal(const std::string& preferred) override;
    std::optional<FocusTarget> launch(const std::string& terminal,
                                      const std::string& directory) override;
    std::vector<std::string> choices() const override;

private:
    AppleScriptTerminals& terminals_;
    TerminalApplications& applications_;
};

}  // namespace fernbeacon
