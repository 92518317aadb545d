#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "support/LinuxHostFakes.h"
#include "support/TempTree.h"
#include "terminal/LinuxLaunchers.h"

namespace fernbeacon {
namespace {

using Texts = std::vector<std::string>;

const std::string kClients = "/usr/bin/tmux list-clients -F " + std::string(kClientFormat);

TEST(TerminalLaunchers, DirectoryIsOneArgumentAndNeverInTheCommand) {
    const Texts command = claudeInShellCommand("/bin/bash");
    for (const TerminalDescriptor* terminal : launchableTerminals()) {
        for (const std::string directory : {"/home/me/quo\"te $(touch x)", "/home/me/-e a"}) {
            const auto arguments = terminal->launch->arguments(directory, command);
            // Alone, or as the whole value of a long option.
            const auto count = std::count_if(arguments.begin(), arguments.end(), [&](auto& a) {
                return a == directory || (a.starts_with("--") && a.ends_with("=" + directory) &&
                                          a.find('=') + 1 + directory.size() == a.size());
            });
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
    tree.write("plain/kitty", "#!/bin/sh\n");
    std::filesystem::permissions(tree.write("tools/kitty", "#!/bin/sh\n"),
                                 std::filesystem::perms::owner_all);
    tree.makeDirectory("folder/kitty");
    const SearchPath path("relative:" + tree.path("plain").string() +
                          "::" + tree.path("folder").string() + ":" + tree.path("tools").string());
    EXPECT_EQ(path.find("kitty"), tree.path("tools/kitty").string());
    EXPECT_EQ(path.find("xterm"), std::nullopt);
}

// The opener over the Linux host fakes, with nothing installed until the test says so. Two
// kitties run when asked: 200 does not listen; 300 does, and its prewarmed child holds no socket.
struct Opener : test::LinuxHostFakes {
    test::QueueDispatcher dispatcher;
    test::FakeLauncher launcher;
    TerminalApplications applications{
        workspace, dispatcher, {"tmux", "GNOME Terminal", "Konsole", "kitty", "XTerm"}};
    LinuxSessionOpener opener{
        launcher,
        executables,
        applications,
        tmux,
        "/bin/zsh",
        logger,
        [this](const std::optional<std::string>& directory, const Texts& command) {
            return openKittyTab(services, table, directory, command);
        }};

    explicit Opener(std::set<std::string, std::less<>> programs = {}) {
        executables.installed = std::move(programs);
    }

    void twoKitties() {
        table.rows = {{200, 1, std::nullopt, "kitty"},
                      {201, 200, "pts/1", "bash"},
                      {300, 1, std::nullopt, "kitty"},
                      {301, 300, std::nullopt, "kitty"},
                      {302, 300, "pts/2", "zsh"}};
        environment.environments = {
            {201, {{"KITTY_PID", "200"}}},
            {301, {{"KITTY_LISTEN_ON", "unix:@prewarm"}}},
            {302,
             {{"KITTY_LISTEN_ON", "unix:@kitty-300"}, {"KITTY_PID", "300"}, {"DISPLAY", ":0"}}},
            {::getpid(), {{"DISPLAY", ":0"}}}};
    }
};

TEST(LinuxSessionOpener, AutoTakesTmuxThenRunningTerminalsThenTheSystemsThenXterm) {
    Opener attached({"tmux", "kitty"});
    attached.workspace.add("kitty");
    attached.runner.replyOutput(kClients, "12 900 /dev/pts/1 $4\n");
    EXPECT_EQ(attached.opener.chooseTerminal("Auto"), "tmux");

    Opener running({"tmux", "kitty", "konsole", "x-terminal-emulator"});
    for (const char* name : {"Firefox", "kitty", "Konsole"}) {
        running.workspace.add(name);
    }
    EXPECT_EQ(running.opener.chooseTerminal("Auto"), "Konsole");  // the list's order decides
    EXPECT_EQ(running.opener.chooseTerminal("iTerm2"), "Konsole");

    Opener idle({"x-terminal-emulator", "xterm"});
    EXPECT_EQ(idle.opener.chooseTerminal("Auto"), "x-terminal-emulator");
    idle.executables.installed = {"xterm"};
    EXPECT_EQ(idle.opener.chooseTerminal("Auto"), "XTerm");
    idle.executables.installed = {"tmux", "xterm", "gnome-terminal", "foot"};
    EXPECT_EQ(idle.opener.choices(), (Texts{"Auto", "tmux", "GNOME Terminal", "foot", "XTerm"}));
}

TEST(LinuxSessionOpener, LaunchesDetachedWithTheShellKeptAndXtermInTheDirectory) {
    Opener opener({"kitty", "xterm"});
    opener.opener.launch("kitty", "/home/me/$(x)");
    opener.opener.launch("XTerm", "/home/me/$(x)");
    ASSERT_EQ(opener.launcher.started.size(), 2u);
    EXPECT_EQ(opener.launcher.started[0].workingDirectory, "/home/me/$(x)");
    EXPECT_EQ(opener.launcher.started[1].workingDirectory, "/home/me/$(x)");

    opener.launcher.failure = "Permission denied";
    opener.opener.launch("XTerm", "/p");
    opener.opener.launch("Konsole", "/p");
    EXPECT_EQ(opener.logger.texts(),
              (Texts{"Could not start XTerm: Permission denied", "Konsole is not installed"}));
}

TEST(LinuxSessionOpener, KittyOpensATabInTheKittyThatListensElseAKittyOfItsOwn) {
    const test::TempTree tree;
    const std::string directory = tree.makeDirectory("$HOME ~").string();
    const std::string kitty = "/usr/bin/kitty @ --to unix:@kitty-300 ";
    const std::string launch = kitty +
                               "launch --type=tab -- /bin/sh -c cd -- \"$1\" && shift && exec "
                               "\"$@\" sh " +
                               directory + " /bin/sh -c \"$0\" -ic claude; exec \"$0\" /bin/zsh";
    Opener tab({"kitty"});
    tab.twoKitties();
    tab.runner.replyOutput(launch, "7\n");
    tab.runner.replyOutput(kitty + "ls", R"([
        {"id": 1, "platform_window_id": 4194316, "tabs": [{"id": 1, "windows": [{"id": 1}]}]},
        {"id": 2, "platform_window_id": 4194340, "tabs": [{"id": 4, "windows": [{"id": 7}]}]}])");
    tab.opener.launch("kitty", directory);
    EXPECT_TRUE(tab.launcher.started.empty());
    EXPECT_EQ(tab.runner.requests(), (Texts{launch, kitty + "ls"}));
    EXPECT_EQ(tab.workspace.calls(), Texts{"raise window 4194340 pid 300"});
    tab.workspace.add("kitty");  // a pane no tmux client shows: a tab counts as opened
    tab.runner.replyOutput(kitty + "launch --type=tab -- /usr/bin/tmux", "8\n");
    EXPECT_TRUE(tab.opener.openTerminalRunning({"/usr/bin/tmux"}, std::nullopt));

    // Refused, another kitty's socket, another display, or the directory has gone: a kitty of
    // its own, as before.
    const std::vector<std::function<void(Opener&, std::string&)>> fallbacks{
        [&](Opener& o, std::string&) { o.runner.reply(launch, test::failed("")); },
        [](Opener& o, std::string&) { o.environment.environments[302]["KITTY_PID"] = "999"; },
        [](Opener& o, std::string&) { o.environment.environments[::getpid()]["DISPLAY"] = ":1"; },
        [](Opener&, std::string& where) { where += "/gone"; }};
    for (const auto& fallback : fallbacks) {
        Opener own({"kitty"});
        own.twoKitties();
        std::string where = directory;
        fallback(own, where);
        own.opener.launch("kitty", where);
        EXPECT_LE(own.runner.requests().size(), 1u);
        ASSERT_EQ(own.launcher.started.size(), 1u);
        EXPECT_EQ(own.launcher.started[0].arguments[1], "--directory");
    }
}

TEST(LinuxSessionOpener, TmuxWindowIsTypedIntoItsShellInTheDirectory) {
    Opener opener({"tmux", "xterm"});
    opener.runner.replyOutput(kClients, "12 900 /dev/pts/1 $4\n");
    opener.runner.replyOutput("/usr/bin/tmux new-window -t $4: -c /home/me/a b -P -F #{pane_id}",
                              "%9\n");
    opener.opener.launch("tmux", "/home/me/a b");
    const auto requests = opener.runner.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2], "/usr/bin/tmux send-keys -t %9 -l claude ; send-keys -t %9 Enter");
    EXPECT_TRUE(opener.launcher.started.empty());

    Opener detached({"tmux", "xterm"});  // no client: a new session, shown by a new terminal
    detached.runner.replyOutput("/usr/bin/tmux new-session -d -c /p -P -F #{pane_id}", "%1\n");
    detached.opener.launch("tmux", "/p");
    ASSERT_EQ(detached.launcher.started.size(), 1u);
    EXPECT_EQ(detached.launcher.started[0].arguments,
              (Texts{"/usr/bin/xterm", "-e", "/usr/bin/tmux", "attach-session", "-t", "%1"}));
    // What the tmux host opens for a pane no client shows: true only when it started.
    EXPECT_TRUE(detached.opener.openTerminalRunning({"/usr/bin/tmux"}, std::nullopt));
    detached.launcher.failure = "Permission denied";
    EXPECT_FALSE(detached.opener.openTerminalRunning({"/usr/bin/tmux"}, std::nullopt));
}

}  // namespace
}  // namespace fernbeacon
