#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "support/LinuxHostFakes.h"
#include "support/TempTree.h"
#include "terminal/LinuxLaunchers.h"
#include "terminal/TerminalFocuser.h"

namespace fernbeacon {
namespace {

using test::FakeLauncher;
using test::ImmediateDispatcher;

const std::vector<std::string> kHostileDirectories{
    "/home/me/quo\"te",    "/home/me/back\\slash", "/home/me/$(touch x)", "/home/me/`id`",
    "/home/me/line\nfeed", "/home/me/-e claude",   "/home/me/a b'c;d"};

TEST(TerminalLaunchers, DirectoryIsOneArgumentAndNeverInTheCommand) {
    const std::vector<std::string> command{"/bin/sh", "-c", "\"$0\" -ic claude; exec \"$0\"",
                                           "/bin/bash"};
    for (const TerminalDescriptor* terminal : launchableTerminals()) {
        for (const std::string& directory : kHostileDirectories) {
            const auto arguments = terminal->launch->arguments(directory, command);
            const auto carries = [&](const std::string& argument) {
                return argument == directory ||
                       (argument.starts_with("--") && argument.ends_with("=" + directory) &&
                        argument.find('=') + 1 + directory.size() == argument.size());
            };
            const auto count = std::count_if(arguments.begin(), arguments.end(), carries);
            EXPECT_EQ(count, terminal->launch->needsWorkingDirectory ? 0 : 1) << terminal->name;
            if (terminal->name == "Tilix") {
                EXPECT_EQ(arguments.back(),
                          "'/bin/sh' '-c' '\"$0\" -ic claude; exec \"$0\"' '/bin/bash'");
            } else {
                EXPECT_TRUE(std::equal(command.rbegin(), command.rend(), arguments.rbegin()))
                    << terminal->name;
            }
        }
    }
}

TEST(SearchPath, FindsTheFirstExecutableFileOfAnAbsoluteEntry) {
    const test::TempTree tree;
    const auto executable = [&](const std::string& relative) {
        const auto file = tree.write(relative, "#!/bin/sh\n");
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
        return file.string();
    };
    tree.write("plain/kitty", "not executable");
    tree.makeDirectory("folder/kitty");
    const std::string found = executable("tools/kitty");
    executable("later/kitty");
    const SearchPath path("relative:" + tree.path("plain").string() +
                          "::" + tree.path("folder").string() + ":" + tree.path("tools").string() +
                          ":" + tree.path("later").string());
    EXPECT_EQ(path.find("kitty"), found);
    EXPECT_EQ(path.find("xterm"), std::nullopt);
}

// The opener over the Linux host fakes, with nothing installed until the test says so.
struct Opener : test::LinuxHostFakes {
    ImmediateDispatcher dispatcher;
    FakeLauncher launcher;
    TerminalApplications applications{
        workspace, dispatcher, {"tmux", "GNOME Terminal", "Konsole", "kitty", "XTerm"}};
    LinuxSessionOpener opener{launcher,
                              executables,
                              applications,
                              tmux,
                              "/bin/zsh",
                              logger,
                              [this](const std::optional<std::string>& directory,
                                     const std::vector<std::string>& command) {
                                  return openKittyTab(services, table, directory, command);
                              }};

    Opener() { executables.installed.clear(); }

    void tmuxClientAttached() {
        runner.replyOutput(
            "/usr/bin/tmux list-clients -F #{client_activity} #{client_pid} "
            "#{client_tty} #{session_id}",
            "12 900 /dev/pts/1 $4\n");
    }
};

TEST(LinuxSessionOpener, AutoTakesTmuxThenRunningTerminalsThenTheSystemsThenXterm) {
    Opener attached;
    attached.executables.installed = {"tmux", "kitty"};
    attached.workspace.add("kitty");
    attached.tmuxClientAttached();
    EXPECT_EQ(attached.opener.chooseTerminal("Auto"), "tmux");

    Opener running;
    running.executables.installed = {"tmux", "kitty", "konsole", "x-terminal-emulator"};
    running.workspace.add("Firefox");
    running.workspace.add("kitty");
    running.workspace.add("Konsole");
    EXPECT_EQ(running.opener.chooseTerminal("Auto"), "Konsole");  // the list's order decides
    EXPECT_EQ(running.opener.chooseTerminal("iTerm2"), "Konsole");

    Opener idle;
    idle.executables.installed = {"x-terminal-emulator", "xterm"};
    EXPECT_EQ(idle.opener.chooseTerminal("Auto"), "x-terminal-emulator");
    idle.executables.installed = {"xterm"};
    EXPECT_EQ(idle.opener.chooseTerminal("Auto"), "XTerm");
    EXPECT_EQ(idle.opener.chooseTerminal("kitty"), "kitty");
    EXPECT_EQ(idle.opener.choices(), (std::vector<std::string>{"Auto", "XTerm"}));
    idle.executables.installed = {"tmux", "xterm", "gnome-terminal", "foot"};
    EXPECT_EQ(idle.opener.choices(),
              (std::vector<std::string>{"Auto", "tmux", "GNOME Terminal", "foot", "XTerm"}));
}

TEST(LinuxSessionOpener, LaunchesDetachedWithTheShellKeptAndXtermInTheDirectory) {
    Opener opener;
    opener.executables.installed = {"kitty", "xterm"};
    opener.opener.launch("kitty", "/home/me/$(x)");
    opener.opener.launch("XTerm", "/home/me/$(x)");
    ASSERT_EQ(opener.launcher.started.size(), 2u);
    EXPECT_EQ(opener.launcher.started[0].arguments,
              (std::vector<std::string>{"/usr/bin/kitty", "--directory", ".", "/bin/sh", "-c",
                                        "\"$0\" -ic claude; exec \"$0\"", "/bin/zsh"}));
    EXPECT_EQ(opener.launcher.started[0].workingDirectory, "/home/me/$(x)");
    EXPECT_EQ(opener.launcher.started[1].workingDirectory, "/home/me/$(x)");

    opener.launcher.failure = "Permission denied";
    opener.opener.launch("XTerm", "/p");
    opener.opener.launch("Konsole", "/p");
    EXPECT_EQ(opener.logger.texts(),
              (std::vector<std::string>{"Could not start XTerm: Permission denied",
                                        "Konsole is not installed"}));
}

TEST(LinuxSessionOpener, KittyOpensATabInTheKittyThatListensElseAKittyOfItsOwn) {
    const test::TempTree tree;
    const std::string directory = tree.makeDirectory("$HOME ~").string();
    const std::string kitty = "/usr/bin/kitty @ --to unix:@kitty-300 ";
    const std::string launch = kitty +
                               "launch --type=tab -- /bin/sh -c cd -- \"$1\" && shift && exec "
                               "\"$@\" sh " +
                               directory + " /bin/sh -c \"$0\" -ic claude; exec \"$0\" /bin/zsh";
    // kitty 200 does not listen; kitty 300 does, and its prewarmed child holds no socket.
    const auto twoKitties = [](Opener& opener) {
        opener.executables.installed = {"kitty"};
        opener.table.rows = {{200, 1, std::nullopt, "kitty"},
                             {201, 200, "pts/1", "bash"},
                             {300, 1, std::nullopt, "kitty"},
                             {301, 300, std::nullopt, "kitty"},
                             {302, 300, "pts/2", "zsh"}};
        opener.environment.environments[201] = {{"KITTY_PID", "200"}};
        opener.environment.environments[301] = {{"KITTY_LISTEN_ON", "unix:@prewarm"}};
        opener.environment.environments[302] = {
            {"KITTY_LISTEN_ON", "unix:@kitty-300"}, {"KITTY_PID", "300"}, {"DISPLAY", ":0"}};
        opener.environment.environments[::getpid()] = {{"DISPLAY", ":0"}};
    };

    Opener tab;
    twoKitties(tab);
    tab.runner.replyOutput(launch, "7\n");
    tab.runner.replyOutput(kitty + "ls", R"([
        {"id": 1, "platform_window_id": 4194316, "tabs": [{"id": 1, "windows": [{"id": 1}]}]},
        {"id": 2, "platform_window_id": 4194340, "tabs": [{"id": 4, "windows": [{"id": 7}]}]}])");
    tab.opener.launch("kitty", directory);
    EXPECT_TRUE(tab.launcher.started.empty());
    EXPECT_EQ(tab.runner.requests(), (std::vector<std::string>{launch, kitty + "ls"}));
    EXPECT_EQ(tab.workspace.calls(), std::vector<std::string>{"raise window 4194340 pid 300"});
    // A pane no tmux client shows opens in a tab of the running kitty, which counts as opened.
    tab.workspace.add("kitty");
    tab.runner.replyOutput(kitty + "launch --type=tab -- /usr/bin/tmux", "8\n");
    EXPECT_TRUE(tab.opener.openTerminalRunning({"/usr/bin/tmux"}, std::nullopt));
    EXPECT_TRUE(tab.launcher.started.empty());

    // Refused, no kitty listens here, or the directory has gone: a kitty of its own, as before.
    Opener refused;
    twoKitties(refused);
    CommandResult refusal;
    refusal.started = true;
    refusal.exitStatus = 1;
    refused.runner.reply(launch, refusal);
    refused.opener.launch("kitty", directory);
    Opener deaf;
    twoKitties(deaf);
    deaf.environment.environments[302]["KITTY_PID"] = "999";
    deaf.opener.launch("kitty", directory);
    EXPECT_TRUE(deaf.runner.requests().empty());
    Opener elsewhere;
    twoKitties(elsewhere);
    elsewhere.environment.environments[::getpid()]["DISPLAY"] = ":1";
    elsewhere.opener.launch("kitty", directory);
    EXPECT_TRUE(elsewhere.runner.requests().empty());
    Opener gone;
    twoKitties(gone);
    gone.opener.launch("kitty", directory + "/gone");
    EXPECT_TRUE(gone.runner.requests().empty());
    for (const Opener* opener : {&refused, &deaf, &elsewhere, &gone}) {
        ASSERT_EQ(opener->launcher.started.size(), 1u);
        EXPECT_EQ(opener->launcher.started[0].arguments[1], "--directory");
    }
}

TEST(LinuxSessionOpener, TmuxWindowIsTypedIntoItsShellInTheDirectory) {
    Opener opener;
    opener.executables.installed = {"tmux", "xterm"};
    opener.tmuxClientAttached();
    opener.runner.replyOutput("/usr/bin/tmux new-window -t $4: -c /home/me/a b -P -F #{pane_id}",
                              "%9\n");
    opener.opener.launch("tmux", "/home/me/a b");
    const auto requests = opener.runner.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2], "/usr/bin/tmux send-keys -t %9 -l claude ; send-keys -t %9 Enter");
    EXPECT_TRUE(opener.launcher.started.empty());

    Opener detached;  // no client: a new session, shown by a new terminal
    detached.executables.installed = {"tmux", "xterm"};
    detached.runner.replyOutput("/usr/bin/tmux new-session -d -c /p -P -F #{pane_id}", "%1\n");
    detached.opener.launch("tmux", "/p");
    ASSERT_EQ(detached.launcher.started.size(), 1u);
    EXPECT_EQ(detached.launcher.started[0].arguments,
              (std::vector<std::string>{"/usr/bin/xterm", "-e", "/usr/bin/tmux", "attach-session",
                                        "-t", "%1"}));
    // What the tmux host opens for a pane no client shows: true only when it started.
    EXPECT_TRUE(detached.opener.openTerminalRunning({"/usr/bin/tmux"}, std::nullopt));
    detached.launcher.failure = "Permission denied";
    EXPECT_FALSE(detached.opener.openTerminalRunning({"/usr/bin/tmux"}, std::nullopt));
}

// The decision layer over the Linux hosts and launchers.
TEST(LinuxTerminalFocuser, UnknownOwnerActivatesTheFirstTerminalAndOpenSaysWhere) {
    Opener linux;
    linux.executables.installed = {"xterm"};
    linux.workspace.add("Firefox");
    linux.workspace.add("XTerm");
    test::QueueDispatcher dispatcher;
    test::MemoryPreferences preferences;
    TerminalFocuser focuser(dispatcher, preferences, linux.logger, linux.applications,
                            linux.ownership, linux.hosts, linux.opener, nullptr);
    focuser.focusSession(std::make_shared<ClaudeSession>(5, "pts/9", "/p", std::nullopt));
    dispatcher.drain();
    EXPECT_EQ(linux.workspace.calls(), std::vector<std::string>{"activate XTerm none"});
    EXPECT_EQ(linux.logger.texts().back(), "Could not find tty /dev/pts/9 in any terminal app");

    focuser.openNewSession("/srv/a b");
    dispatcher.drain();
    EXPECT_EQ(linux.logger.texts().back(),
              "Opening new session at /srv/a b in XTerm (preferred=Auto)");
    ASSERT_EQ(linux.launcher.started.size(), 1u);
    EXPECT_EQ(linux.launcher.started[0].workingDirectory, "/srv/a b");

    // A window opened in tmux: the terminal that shows the client comes to the front.
    linux.executables.installed = {"xterm", "tmux"};
    linux.tmuxClientAttached();
    linux.runner.replyOutput("/usr/bin/tmux new-window -t $4: -c /p -P -F #{pane_id}", "%9\n");
    linux.table.rows = {{800, 1, std::nullopt, "xterm"}, {801, 800, "pts/1", "bash"}};
    linux.environment.environments[900] = {{"WINDOWID", "55"}};
    focuser.openNewSession("/p");
    dispatcher.drain();
    EXPECT_EQ(linux.workspace.calls().back(), "raise window 55 pid 800");
}

}  // namespace
}  // namespace fernbeacon
