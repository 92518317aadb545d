#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "support/TerminalFakes.h"
#include "terminal/AppleScriptHosts.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon {
namespace {

using test::FakeRunner;
using test::FakeWorkspace;
using test::LoggedMessage;
using test::MemoryPreferences;
using test::QueueDispatcher;
using test::RecordingLogger;

constexpr const char* kPs = "/bin/zsh -c /bin/ps -eo pid,ppid,tty,comm";

// The other desktop's terminal control, wired as its platform wires it, over fakes.
struct Desktop {
    FakeRunner runner;
    RecordingLogger logger;
    FakeWorkspace workspace;
    QueueDispatcher dispatcher;
    MemoryPreferences preferences;
    TerminalApplications applications{
        workspace, dispatcher, {"iTerm2", "Terminal", "Alacritty", "kitty", "WezTerm"}};
    AppleScriptTerminals terminals{runner, applications, logger};
    PsProcessTable table{runner, "/bin/zsh", "/bin/ps"};
    TtyOwnership ownership{table, fernbeacon::Desktop::Other, logger};
    HostRegistry hosts;
    AppleScriptSessionOpener opener{terminals, applications};
    TerminalFocuser focuser{
        dispatcher, preferences,
        logger,     applications,
        ownership,  hosts,
        opener,     [this](const std::set<std::string>& running) {
                                terminals.warmUp(running); }};

    Desktop() { addAppleScriptHosts(hosts, terminals, applications); }

    void terminalOwns(const std::string& ownerCommand) {
        runner.replyOutput(kPs, "PID PPID TTY COMM\n  90 1 ?? " + ownerCommand +
                                    "\n  91 90 ttys003 -zsh\n  92 91 ttys003 claude\n");
    }
    void scriptPrints(const std::string& script, const std::string& output) {
        runner.replyOutput("/usr/bin/osascript -e " + script, output);
    }
    void focus(std::optional<std::string> tty) {
        focuser.focusSession(std::make_shared<ClaudeSession>(92, std::move(tty), "/p", "x"));
        dispatcher.drain();
    }
    std::vector<std::string> scriptsRun() const {
        std::vector<std::string> scripts;
        for (const std::string& request : runner.requests()) {
            if (request.starts_with("/usr/bin/osascript -e ")) {
                scripts.push_back(request.substr(22));
            }
        }
        return scripts;
    }
};

// The owner's script decides alone: found activates it on the main queue, not found ends the
// run without an error or a second script.
TEST(OtherDesktopFocus, KnownOwnersScriptDecidesAlone) {
    for (const bool found : {true, false}) {
        Desktop desktop;
        desktop.workspace.add("Terminal");
        desktop.workspace.add("iTerm2");
        desktop.terminalOwns("/Applications/iTerm.app/Contents/MacOS/iTerm2");
        desktop.scriptPrints(iTerm2FocusScript("/dev/ttys003"), found ? "found\n" : "not found");
        desktop.focus(found ? "ttys003" : "/dev/ttys003");
        EXPECT_EQ(desktop.scriptsRun(),
                  std::vector<std::string>{iTerm2FocusScript("/dev/ttys003")});
        EXPECT_EQ(desktop.workspace.calls(), found ? std::vector<std::string>{"activate iTerm2 all"}
                                                   : std::vector<std::string>{});
        EXPECT_EQ(desktop.dispatcher.submissions(),
                  (found ? std::vector<std::string>{"user-initiated", "main"}
                         : std::vector<std::string>{"user-initiated"}));
        const auto texts = desktop.logger.texts();
        EXPECT_EQ(texts.front(), "Focusing session PID 92, tty=/dev/ttys003");
        EXPECT_EQ(texts[2], "TTY /dev/ttys003 owned by: iTerm2");
        EXPECT_EQ(texts.back(),
                  found ? "iTerm2 focus result: success" : "iTerm2 focus result: not found");
        for (const LoggedMessage& message : desktop.logger.messages()) {
            EXPECT_EQ(message.level, LogLevel::Info) << message.text;
        }
    }
}

TEST(OtherDesktopFocus, EditorsAreActivatedWithoutScripts) {
    for (const auto& [command, application] : std::vector<std::pair<std::string, std::string>>{
             {"/Applications/Visual Studio Code.app/Contents/Frameworks/Code Helper", "Code"},
             {"/Applications/Cursor.app/Contents/MacOS/Cursor", "Cursor"}}) {
        Desktop desktop;
        desktop.workspace.add("Code Insiders");
        desktop.workspace.add("code");
        desktop.workspace.add(application);
        desktop.terminalOwns(command);
        desktop.focus("ttys003");
        EXPECT_TRUE(desktop.scriptsRun().empty());
        EXPECT_EQ(desktop.workspace.calls(),
                  std::vector<std::string>{"activate " + application + " all"});
    }
}

TEST(OtherDesktopFocus, UnknownOwnerTriesITerm2ThenTerminal) {
    Desktop desktop;
    desktop.workspace.add("Terminal");
    desktop.workspace.add("iTerm2");
    desktop.runner.replyOutput(kPs, "");
    desktop.scriptPrints(terminalAppFocusScript("/dev/ttys003"), "found");
    desktop.focus("ttys003");
    EXPECT_EQ(desktop.scriptsRun(),
              (std::vector<std::string>{iTerm2FocusScript("/dev/ttys003"),
                                        terminalAppFocusScript("/dev/ttys003")}));
    EXPECT_EQ(desktop.workspace.calls(), std::vector<std::string>{"activate Terminal all"});
    const auto texts = desktop.logger.texts();
    EXPECT_TRUE(std::find(texts.begin(), texts.end(), "TTY /dev/ttys003 owned by: unknown") !=
                texts.end());
    for (const LoggedMessage& message : desktop.logger.messages()) {
        EXPECT_EQ(message.level, LogLevel::Info) << message.text;
    }
}

TEST(OtherDesktopFocus, UnscriptableOwnerFallsBackToTheFirstRunningTerminal) {
    Desktop desktop;
    desktop.workspace.add(std::nullopt);
    desktop.workspace.add("Terminal");
    desktop.workspace.add("kitty");
    desktop.terminalOwns("/Applications/kitty.app/Contents/MacOS/kitty");
    desktop.focus("ttys003");
    EXPECT_EQ(desktop.scriptsRun(),
              std::vector<std::string>{terminalAppFocusScript("/dev/ttys003")});
    EXPECT_EQ(
        desktop.logger.messages().back(),
        (LoggedMessage{LogLevel::Error, "Could not find tty /dev/ttys003 in any terminal app"}));
    EXPECT_EQ(desktop.workspace.calls(), std::vector<std::string>{"activate Terminal none"});
    EXPECT_EQ(desktop.dispatcher.submissions(),
              (std::vector<std::string>{"user-initiated", "main"}));
}

TEST(OtherDesktopFocus, NoTtyActivatesTheFirstTerminalAtOnce) {
    Desktop desktop;
    desktop.workspace.add("Finder");
    desktop.workspace.add("Alacritty");
    desktop.workspace.add("Terminal");
    desktop.focuser.focusSession(std::make_shared<ClaudeSession>(7, std::nullopt, "/p", "x"));
    EXPECT_EQ(desktop.workspace.calls(), std::vector<std::string>{"activate Alacritty none"});
    EXPECT_TRUE(desktop.runner.requests().empty());
    EXPECT_TRUE(desktop.dispatcher.submissions().empty());
    EXPECT_EQ(desktop.logger.messages(),
              (std::vector<LoggedMessage>{
                  {LogLevel::Error, "No tty for session PID 7, activating first terminal"}}));
}

TEST(OtherDesktopOpen, AutoPrefersITerm2ThenTerminalAndOnlyITerm2GetsItsScript) {
    struct Case {
        std::optional<std::string> preference;
        std::vector<std::string> running;
        std::string chosen;
        bool iTermScript;
    };
    const std::vector<Case> cases{
        {std::nullopt, {"Terminal", "iTerm2"}, "iTerm2", true},
        {"Auto", {"kitty"}, "kitty", false},
        {"Auto", {}, "Terminal", false},
        {"Terminal", {"iTerm2"}, "Terminal", false},
        {"iTerm2", {}, "iTerm2", true},
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
                  std::vector<std::string>{"Opening new session at /Users/me/p in " + c.chosen +
                                           " (preferred=" + c.preference.value_or("Auto") + ")"});
        EXPECT_TRUE(desktop.runner.requests().empty());
        desktop.dispatcher.drain();
        EXPECT_EQ(
            desktop.scriptsRun(),
            std::vector<std::string>{c.iTermScript ? iTerm2NewSessionScript("/Users/me/p")
                                                   : terminalAppNewSessionScript("/Users/me/p")});
        EXPECT_EQ(desktop.dispatcher.submissions(), std::vector<std::string>{"user-initiated"});
    }
}

// Terminal first, each running scriptable terminal once, on the utility queue.
TEST(OtherDesktopWarmUp, CountsWindowsOfRunningScriptableTerminalsOnTheUtilityQueue) {
    Desktop both;
    both.workspace.add("iTerm2");
    both.workspace.add("kitty");
    both.workspace.add("Terminal");
    both.focuser.warmUp();
    EXPECT_TRUE(both.runner.requests().empty());
    both.dispatcher.drain();
    EXPECT_EQ(both.dispatcher.submissions(), std::vector<std::string>{"utility"});
    EXPECT_EQ(both.scriptsRun(),
              (std::vector<std::string>{"tell application \"Terminal\" to count windows",
                                        "tell application \"iTerm2\" to count windows"}));
    EXPECT_EQ(both.logger.texts(),
              (std::vector<std::string>{"Warming up osascript connection to Terminal.app",
                                        "Warming up osascript connection to iTerm2"}));
    Desktop neither;
    neither.workspace.add("kitty");
    neither.focuser.warmUp();
    neither.dispatcher.drain();
    EXPECT_TRUE(neither.runner.requests().empty());
    EXPECT_TRUE(neither.logger.texts().empty());
}

}  // namespace
}  // namespace fernbeacon
