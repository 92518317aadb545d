#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "support/TerminalFakes.h"
#include "terminal/AppleScriptHosts.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon {
namespace {

using test::LoggedMessage;
using Texts = std::vector<std::string>;

constexpr const char* kPs = "/bin/zsh -c /bin/ps -eo pid,ppid,tty,comm";

// The other desktop's terminal control, wired as its platform wires it, over fakes.
struct Desktop {
    test::FakeRunner runner;
    test::RecordingLogger logger;
    test::FakeWorkspace workspace;
    test::QueueDispatcher dispatcher;
    test::MemoryPreferences preferences;
    TerminalApplications applications{
        workspace, dispatcher, {"iTerm2", "Terminal", "Alacritty", "kitty", "WezTerm"}};
    AppleScriptTerminals terminals{runner, applications, logger};
    PsProcessTable table{runner, "/bin/zsh", "/bin/ps"};
    TtyOwnership ownership{table, fernbeacon::Desktop::Other, logger};
    HostRegistry hosts;
    AppleScriptSessionOpener opener{terminals, applications};
    TerminalFocuser focuser{dispatcher, preferences, logger, applications,
                            ownership,  hosts,       opener, nullptr};

    // Applications named by the test run, in its order.
    explicit Desktop(std::initializer_list<std::optional<std::string>> running = {}) {
        addAppleScriptHosts(hosts, terminals, applications);
        for (const auto& name : running) {
            workspace.add(name);
        }
    }
    Texts scriptsRun() const {
        Texts scripts;
        for (const std::string& request : runner.requests()) {
            if (request.starts_with("/usr/bin/osascript -e ")) {
                scripts.push_back(request.substr(22));
            }
        }
        return scripts;
    }
};

// A known owner's script decides alone: found activates it on the main queue, not found ends the
// run without a second script. Editors need no script; without a known owner iTerm2 and
// Terminal are asked; else the first running terminal comes forward.
TEST(OtherDesktopFocus, OwnersScriptThenTheSearchersThenTheFirstTerminal) {
    const std::string iTerm = iTerm2FocusScript("/dev/ttys003");
    const std::string terminal = terminalAppFocusScript("/dev/ttys003");
    const std::string iTermApp = "/Applications/iTerm.app/Contents/MacOS/iTerm2";
    const std::string code = "/Applications/Visual Studio Code.app/Contents/Frameworks/Code Helper";
    struct Case {
        std::string owner;  // the command of the terminal that owns ttys003; empty: none
        std::string found;  // the script that prints "found"
        Texts scripts;
        Texts calls;
        bool iTermRuns = true;
    };
    const std::vector<Case> cases{
        {iTermApp, iTerm, {iTerm}, {"activate iTerm2 all"}},
        {iTermApp, "", {iTerm}, {}},
        {code, "", {}, {"activate Code all"}},
        {"", terminal, {iTerm, terminal}, {"activate Terminal all"}},
        {"/Applications/kitty.app/Contents/MacOS/kitty",
         "",
         {terminal},
         {"activate Terminal none"},
         false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.owner);
        Desktop desktop{std::nullopt, "Code Insiders", "code", "Code", "Cursor", "Terminal"};
        if (c.iTermRuns) {
            desktop.workspace.add("iTerm2");
        }
        desktop.runner.replyOutput(
            kPs, c.owner.empty() ? ""
                                 : "PID PPID TTY COMM\n  90 1 ?? " + c.owner +
                                       "\n  91 90 ttys003 -zsh\n  92 91 ttys003 claude\n");
        desktop.runner.replyOutput("/usr/bin/osascript -e " + c.found, "found\n");
        // Sessions name their terminal with or without /dev/.
        desktop.focuser.focusSession(std::make_shared<ClaudeSession>(
            92, i % 2 == 0 ? "ttys003" : "/dev/ttys003", "/p", "x"));
        desktop.dispatcher.drain();
        EXPECT_EQ(desktop.scriptsRun(), c.scripts);
        EXPECT_EQ(desktop.workspace.calls(), c.calls);
        EXPECT_EQ(desktop.dispatcher.calls(),
                  (c.calls.empty() ? Texts{"user-initiated"} : Texts{"user-initiated", "main"}));
    }
}

TEST(OtherDesktopOpen, AutoPrefersITerm2ThenTerminalAndOnlyITerm2GetsItsScript) {
    struct Case {
        std::optional<std::string> preference;
        Texts running;
        std::string chosen;
        bool iTermScript;
    };
    const std::vector<Case> cases{
        {std::nullopt, {"Terminal", "iTerm2"}, "iTerm2", true},
        // Applications that are not terminals do not count.
        {"Auto", {"Finder", "kitty"}, "kitty", false},
        {"Terminal", {"iTerm2"}, "Terminal", false},
    };
    for (const Case& c : cases) {
        Desktop desktop;
        for (const std::string& name : c.running) {
            desktop.workspace.add(name);
        }
        if (c.preference) {
            desktop.preferences.setText(kPreferredTerminalKey, *c.preference);
        }
        desktop.focuser.openNewSession("/Users/me/p");
        EXPECT_EQ(desktop.logger.texts(),
                  Texts{"Opening new session at /Users/me/p in " + c.chosen +
                        " (preferred=" + c.preference.value_or("Auto") + ")"});
        desktop.dispatcher.drain();
        EXPECT_EQ(desktop.scriptsRun(),
                  Texts{c.iTermScript ? iTerm2NewSessionScript("/Users/me/p")
                                      : terminalAppNewSessionScript("/Users/me/p")});
        EXPECT_EQ(desktop.dispatcher.calls(), Texts{"user-initiated"});
    }
}

// Said "found", then hung: a verdict cut off is no verdict. A refusal says why.
TEST(AppleScriptRunner, AHungOrRefusedScriptGivesNoVerdictAndIsLogged) {
    Desktop desktop;
    CommandResult hung = test::failed("");
    hung.exitStatus.reset();
    hung.timedOut = true;
    hung.standardOutput = "found\n";
    desktop.runner.reply("/usr/bin/osascript -e a", hung);
    desktop.runner.reply("/usr/bin/osascript -e b",
                         test::failed("  execution error: Not allowed (-1743)\n"));
    EXPECT_EQ(desktop.terminals.runAppleScript("a"), "");
    EXPECT_EQ(desktop.terminals.runAppleScript("b"), "");
    EXPECT_FALSE(scriptFoundTab("not found"));
    EXPECT_EQ(desktop.logger.messages(),
              (std::vector<LoggedMessage>{
                  {LogLevel::Error, "osascript timed out after 10 seconds"},
                  {LogLevel::Error,
                   "osascript failed (status 1): execution error: Not allowed (-1743)"}}));
}

}  // namespace
}  // namespace fernbeacon
