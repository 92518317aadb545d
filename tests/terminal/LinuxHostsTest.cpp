#include <gtest/gtest.h>

#include "support/LinuxHostFakes.h"
#include "terminal/HostListings.h"

namespace fernbeacon {
namespace {

using test::failed;
using test::okReply;
using Texts = std::vector<std::string>;

const std::string kTmux = "/usr/bin/tmux -S /tmp/tmux-1000/default ";
const std::string kPanes = "list-panes -a -F " + std::string(kPaneFormat);
const std::string kClients = "list-clients -F " + std::string(kClientFormat);
const Environment kInTmux{{"TMUX", "/tmp/tmux-1000/default,4242,0"}};
const std::string kBusOwner =
    "org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID";

// The session of interest is PID 100 on /dev/pts/5.
struct LinuxHosts : test::LinuxHostFakes {
    bool focus(const std::string& owner, std::int32_t terminalPid, Environment session = {}) {
        environment.environments[100] = std::move(session);
        return hosts.focusOwned({100, "/dev/pts/5", TtyOwner{owner, terminalPid, 90}, 0},
                                ownership);
    }
};

TEST(TmuxOutput, TheMostRecentClientElsewhereAndSocketsOfThisServerOnly) {
    using namespace std::string_literals;
    EXPECT_EQ(parseEnvironBlock("TMUX=a\0=b\0PANE\0TMUX=c"s), (Environment{{"TMUX", "c"}}));
    const auto clients =
        parseTmuxClients("1700000100 501 /dev/pts/7 $0\n1700000200 502 /dev/pts/8 $1\n");
    EXPECT_EQ(mostRecentClient(clients, "$9")->pid, 502);
    EXPECT_EQ(parseTmuxPanes("%0 /dev/pts/2 $0\n%1 /dev/pts/4\n").size(), 1u);
    // A comma in the path is not a socket we know.
    EXPECT_FALSE(tmuxSocketFor({{"TMUX", "/tmp/tmux-1000/my,server,4242,0"}}, 4242));
    EXPECT_FALSE(tmuxSocketFor(kInTmux, 777));
    EXPECT_FALSE(tmuxSocketFor({{"TMUX", "/tmp/tmux-1000/default,4242"}}, 4242));
}

TEST(TmuxHost, SelectsThePaneMovesTheRecentClientAndFocusesItsTerminal) {
    LinuxHosts linux;
    linux.runner.replyOutput(kTmux + kPanes, "%1 /dev/pts/4 $0\n%7 /dev/pts/5 $2\n");
    linux.runner.replyOutput(kTmux + kClients,
                             "10 601 /dev/pts/9 $0\n20 602 /dev/pts/3 $1\n5 603 /dev/pts/6 $2\n");
    // The client on the pane's session runs in an xterm.
    linux.table.rows = {{700, 1, std::nullopt, "xterm"}, {701, 700, "pts/6", "bash"}};
    linux.environment.environments[603] = {{"WINDOWID", "4194318"}};
    EXPECT_TRUE(linux.focus("tmux", 4242, kInTmux));
    EXPECT_EQ(linux.runner.requests(),
              (Texts{kTmux + kPanes, kTmux + "select-window -t %7 ; select-pane -t %7",
                     kTmux + kClients, kTmux + "switch-client -c /dev/pts/6 -t %7"}));
    EXPECT_EQ(linux.workspace.calls(), Texts{"raise window 4194318 pid 700"});

    // No TMUX in the environment: the default server, without -S; no client: a terminal.
    LinuxHosts detached;
    detached.runner.replyOutput("/usr/bin/tmux " + kPanes, "%3 /dev/pts/5 $1\n");
    EXPECT_TRUE(detached.focus("tmux", 4242));
    EXPECT_EQ(detached.opened,
              (std::vector<Texts>{{"/usr/bin/tmux", "attach-session", "-t", "%3"}}));
}

// No server is an ordinary answer; anything else tmux refuses is an error worth its words.
TEST(TmuxHost, UnknownPaneIsAnErrorAndSoIsWhatTmuxRefuses) {
    LinuxHosts none;
    none.runner.reply(kTmux + kPanes,
                      failed("error connecting to /tmp/tmux-1000/default (No such file)"));
    EXPECT_FALSE(none.focus("tmux", 4242, kInTmux));
    EXPECT_EQ(none.logger.texts(), Texts{"No tmux pane shows /dev/pts/5"});

    LinuxHosts refused;
    refused.runner.replyOutput(kTmux + kPanes, "%7 /dev/pts/5 $2\n");
    refused.runner.reply(kTmux + "select-window -t %7 ; select-pane -t %7",
                         failed("can't find window: %7\n"));
    EXPECT_FALSE(refused.focus("tmux", 4242, kInTmux));
    EXPECT_EQ(refused.logger.texts(), Texts{"tmux select-window failed: can't find window: %7"});
}

// A session moved to another pane keeps its TMUX_PANE; a client inside a pane of the same
// server is followed once, not round and round.
TEST(TmuxHost, PaneFromTheEnvironmentAndAClientInsideTmuxFollowedOnce) {
    LinuxHosts linux;
    linux.runner.replyOutput(kTmux + kPanes, "%3 /dev/pts/8 $1\n%9 /dev/pts/6 $1\n");
    linux.runner.replyOutput(kTmux + kClients, "5 603 /dev/pts/6 $1\n");
    linux.table.rows = {{4242, 1, std::nullopt, "tmux: server"}, {701, 4242, "pts/6", "bash"}};
    linux.environment.environments[603] = kInTmux;
    Environment session = kInTmux;
    session["TMUX_PANE"] = "%3";
    EXPECT_TRUE(linux.focus("tmux", 4242, session));
    const auto requests = linux.runner.requests();
    EXPECT_EQ(requests[1], kTmux + "select-window -t %3 ; select-pane -t %3");
    EXPECT_EQ(
        std::count(requests.begin(), requests.end(), kTmux + "switch-client -c /dev/pts/6 -t %9"),
        1);
    // A pane on the session's TTY comes before the one the environment names.
    LinuxHosts onTty;
    onTty.runner.replyOutput(kTmux + kPanes, "%5 /dev/pts/5 $1\n%3 /dev/pts/8 $1\n");
    EXPECT_TRUE(onTty.focus("tmux", 4242, session));
    EXPECT_EQ(onTty.runner.requests().at(1), kTmux + "select-window -t %5 ; select-pane -t %5");
}

TEST(KittyHost, RemoteControlWhenItListensElseTheWindow) {
    const std::string kitty = "/usr/bin/kitty @ --to unix:/k ";
    // Window 3 sits in the second OS window; the shell kitty started for it is the tab root.
    const std::string listing = R"([
        {"platform_window_id": 4194316, "tabs": [{"windows": [{"id": 1, "pid": 80}]}]},
        {"platform_window_id": 4194340, "tabs": [{"windows": [{"id": 2, "pid": 85}]},
                                                 {"windows": [{"id": 3, "pid": 90}]}]}])";
    struct Case {
        Environment session;
        Texts requests;
        Texts raised;
    };
    const std::vector<Case> cases{
        // A window ID that is not a number cannot widen kitty's match to other windows.
        {{{"KITTY_LISTEN_ON", "unix:/k"}, {"KITTY_WINDOW_ID", "3 or title:x"}},
         {kitty + "focus-window --match pid:90", kitty + "ls"},
         {"raise window 4194340 pid 300"}},
        // Without remote control, its window.
        {{{"KITTY_WINDOW_ID", "3"}, {"WINDOWID", "77"}}, {}, {"raise window 77 pid 300"}},
        // Another kitty's handles are not used for this one.
        {{{"KITTY_LISTEN_ON", "unix:/k"}, {"KITTY_PID", "999"}, {"WINDOWID", "77"}},
         {},
         {"raise pid 300"}},
        // A kitty that refuses to select the tab: its window comes forward all the same.
        {{{"KITTY_LISTEN_ON", "unix:/k"}, {"KITTY_WINDOW_ID", "4"}, {"WINDOWID", "77"}},
         {kitty + "focus-window --match id:4"},
         {"raise window 77 pid 300"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases.data());
        LinuxHosts linux;
        linux.runner.replyOutput(kitty + "ls", listing);
        linux.runner.reply(kitty + "focus-window --match id:4", failed("No matching windows\n"));
        EXPECT_TRUE(linux.focus("kitty", 300, c.session));
        EXPECT_EQ(linux.runner.requests(), c.requests);
        EXPECT_EQ(linux.workspace.calls(), c.raised);
    }
}

TEST(WezTermHost, ActivatesThePaneOnItsTtyAndRaisesThatWindow) {
    LinuxHosts linux;
    linux.runner.replyOutput(
        "/usr/bin/wezterm cli list --format json",
        R"([{"window_id":0,"tab_id":0,"pane_id":0,"tty_name":"/dev/pts/4","window_title":"a"},
            {"window_id":1,"tab_id":2,"pane_id":5,"tty_name":"/dev/pts/5","window_title":"b"}])");
    EXPECT_TRUE(linux.focus("WezTerm", 400, {{"WEZTERM_UNIX_SOCKET", "/run/wez/gui-sock-400"}}));
    EXPECT_EQ(
        linux.runner.requests().back(),
        "WEZTERM_UNIX_SOCKET=/run/wez/gui-sock-400 /usr/bin/wezterm cli activate-pane --pane-id 5");
    EXPECT_EQ(linux.workspace.calls(), Texts{"raise pid 400 title b"});
    linux.runner.replyOutput("/usr/bin/wezterm cli list --format json", "[]");
    EXPECT_FALSE(linux.focus("WezTerm", 400));
    EXPECT_EQ(linux.logger.texts().back(), "No WezTerm pane shows /dev/pts/5");
}

// Items that are not objects, or lack what is asked, are passed over.
TEST(HostListings, WezTermPaneOnTheTtyFirst) {
    const std::string panes = R"([7, {"tty_name": "/dev/pts/5"},
        {"pane_id": 4, "tty_name": "/dev/pts/4"},
        {"pane_id": 4, "tty_name": "/dev/pts/6", "window_title": "four"},
        {"pane_id": 5, "tty_name": "/dev/pts/5", "window_title": 9}])";
    const auto onTty = weztermPaneShowing(panes, "/dev/pts/5", std::string("4"));
    ASSERT_TRUE(onTty);
    EXPECT_EQ(onTty->id, 5);
    EXPECT_FALSE(onTty->windowTitle);
    // Without a pane on the TTY, the last pane with the environment's id.
    EXPECT_EQ(weztermPaneShowing(panes, "/dev/pts/9", std::string("4"))->windowTitle, "four");
}

TEST(KonsoleHost, SelectsTheSessionFromTheEnvironmentWhenItIsThisKonsoles) {
    const Environment session{{"KONSOLE_DBUS_SERVICE", ":1.42"},
                              {"KONSOLE_DBUS_SESSION", "/Sessions/3"},
                              {"KONSOLE_DBUS_WINDOW", "/Windows/1"},
                              {"WINDOWID", "88"}};
    LinuxHosts linux;
    linux.bus.answer(kBusOwner, okReply({std::int64_t{500}}));
    linux.bus.answer(":1.42 /Windows/1 org.kde.konsole.Window.setCurrentSession", okReply());
    EXPECT_TRUE(linux.focus("Konsole", 500, session));
    EXPECT_EQ(linux.bus.calls().back(),
              ":1.42 /Windows/1 org.kde.konsole.Window.setCurrentSession(int32 3)");
    EXPECT_EQ(linux.workspace.calls(), Texts{"raise window 88 pid 500"});

    // The same values from a Konsole that is not this one say nothing about it.
    LinuxHosts other;
    other.bus.answer(kBusOwner, okReply({std::int64_t{777}}));
    EXPECT_TRUE(other.focus("Konsole", 500, session));
    EXPECT_EQ(other.bus.calls().at(1),
              "org.kde.konsole-500 /Sessions org.freedesktop.DBus.Introspectable.Introspect()");
    EXPECT_EQ(other.workspace.calls(), Texts{"raise pid 500"});
}

TEST(KonsoleHost, SearchesTheSessionByItsProcessWithoutTheEnvironment) {
    LinuxHosts linux;
    const std::string service = "org.kde.konsole-500 ";
    const auto answer = [&](const std::string& call, DBusValue value) {
        linux.bus.answer(service + call, okReply({std::move(value)}));
    };
    const std::string introspect = " org.freedesktop.DBus.Introspectable.Introspect";
    answer("/Sessions" + introspect, R"(<node><node name="1"/><node name="2"/></node>)");
    answer("/Sessions/1 org.kde.konsole.Session.processId", "90");
    answer("/Sessions/2 org.kde.konsole.Session.processId", std::int64_t{90});
    answer("/Windows" + introspect, R"(<node><node name="1"/></node>)");
    answer("/Windows/1 org.kde.konsole.Window.sessionList", Texts{"1", "2"});
    linux.bus.answer(service + "/Windows/1 org.kde.konsole.Window.setCurrentSession", okReply());
    EXPECT_TRUE(linux.focus("Konsole", 500));
    EXPECT_EQ(linux.bus.calls().back(),
              service + "/Windows/1 org.kde.konsole.Window.setCurrentSession(int32 2)");
    // Refused: the window still comes forward, but the tab was not found.
    linux.bus.answer(service + "/Windows/1 org.kde.konsole.Window.setCurrentSession",
                     DBusReply{false, "org.kde.Error: gone", {}});
    EXPECT_FALSE(linux.focus("Konsole", 500));
    EXPECT_EQ(linux.workspace.calls().size(), 2u);
}

TEST(GnomeTerminalHost, ActivatesTheScreenThroughItsSearchProviderElseRaises) {
    const Environment session{{"GNOME_TERMINAL_SERVICE", ":1.7"},
                              {"GNOME_TERMINAL_SCREEN",
                               "/org/gnome/Terminal/screen/0e8b9d2c_1f3a_4b5c_9d6e_7f8091a2b3c4"}};
    const std::string activate =
        ":1.7 /org/gnome/Terminal/SearchProvider org.gnome.Shell.SearchProvider2.ActivateResult";
    LinuxHosts on;
    on.bus.answer(kBusOwner, okReply({std::int64_t{600}}));
    on.bus.answer(activate, okReply());
    EXPECT_TRUE(on.focus("GNOME Terminal", 600, session));
    EXPECT_EQ(on.bus.calls().back(),
              activate + "('0e8b9d2c-1f3a-4b5c-9d6e-7f8091a2b3c4', [], uint32 0)");
    EXPECT_TRUE(on.workspace.calls().empty());

    // Shell integration off (no search provider), or another terminal's service.
    for (const std::int64_t ownerPid : {600, 777}) {
        LinuxHosts off;
        off.bus.answer(kBusOwner, okReply({ownerPid}));
        EXPECT_TRUE(off.focus("GNOME Terminal", 600, session));
        EXPECT_EQ(off.workspace.calls(), Texts{"raise pid 600"});
        const auto calls = off.bus.calls();
        EXPECT_EQ(
            std::count_if(calls.begin(), calls.end(),
                          [&](const std::string& call) { return call.starts_with(activate); }),
            ownerPid == 600 ? 1 : 0);
    }
}

TEST(TilixHost, ActivatesTheTerminalAction) {
    LinuxHosts linux;
    linux.bus.answer("com.gexperts.Tilix /com/gexperts/Tilix org.gtk.Actions.Activate", okReply());
    EXPECT_TRUE(linux.focus("Tilix", 700, {{"TILIX_ID", "5b0c2f1e-aaaa"}}));
    EXPECT_EQ(linux.bus.calls(), Texts{"com.gexperts.Tilix /com/gexperts/Tilix "
                                       "org.gtk.Actions.Activate('activate-terminal', "
                                       "[<'5b0c2f1e-aaaa'>], {})"});
}

TEST(WindowHost, RaisesTheOwnersWindowAndSaysWhenItCannot) {
    LinuxHosts linux;
    linux.workspace.raiseSucceeds = false;
    EXPECT_FALSE(linux.focus("XTerm", 800, {{"WINDOWID", "12"}}));
    EXPECT_EQ(linux.workspace.calls(), (Texts{"raise window 12 pid 800", "raise pid 800"}));
    EXPECT_EQ(linux.logger.messages().back().text, "Could not raise a window of XTerm (PID 800)");
    LinuxHosts none;
    none.focus("XTerm", 800, {{"WINDOWID", "0"}});
    EXPECT_EQ(none.workspace.calls(), Texts{"raise pid 800"});

    LinuxHosts wayland;  // the workspace has said once that it cannot raise
    wayland.workspace.canRaise = false;
    EXPECT_FALSE(wayland.focus("foot", 800));
    EXPECT_TRUE(wayland.workspace.calls().empty());
    EXPECT_TRUE(wayland.logger.messages().empty());
}

}  // namespace
}  // namespace fernbeacon
