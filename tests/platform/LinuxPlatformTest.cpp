#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Platform.h"
#include "platform/StreamLogger.h"
#include "platform/linux/DetachedProcessLauncher.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

using test::ScopedEnvironment;
using test::TempTree;

// What it starts outlives it: only the program's own effects tell that it ran as asked, with
// output it can write.
TEST(DetachedProcessLauncher, StartsTheProgramInTheDirectoryWithTheVariables) {
    TempTree tree;
    const auto directory = tree.makeDirectory("a b");
    LaunchCommand command{
        {"/bin/sh", "-c",
         "printf '%s|%s' \"$PWD\" \"$FERN_SET\" > ../x && printf . && mv ../x ../ran"},
        directory.string(),
        {{"FERN_SET", "set"}}};
    DetachedProcessLauncher launcher;
    EXPECT_EQ(launcher.start(command), "");
    ASSERT_TRUE(test::waitUntil([&] { return std::filesystem::exists(tree.path("ran")); }));
    EXPECT_EQ(tree.read("ran"), directory.string() + "|set");

    for (const LaunchCommand& refused :
         {LaunchCommand{{"sh", "-c", "true"}, std::nullopt, {}},
          LaunchCommand{{"/nonexistent/program"}, std::nullopt, {}},
          LaunchCommand{{"/bin/true"}, tree.path("missing").string(), {}}}) {
        EXPECT_NE(launcher.start(refused), "") << refused.arguments[0];
    }
}

TEST(LinuxPlatform, FindsLsofOnTheSearchPathAndRunsItAsOneProgramElseLeavesItToTheShell) {
    TempTree tree;
    const std::string folder = "my tools;$(touch pwned)";
    const auto lsof = tree.write(folder + "/lsof",
                                 "#!/bin/sh\nprintf 'p%s\\nfcwd\\nn/from/fake lsof\\n' \"$5\"\n");
    ::chmod(lsof.c_str(), 0755);
    {
        const ScopedEnvironment path("PATH", tree.path(folder).string() + ":/usr/bin:/bin");
        EXPECT_EQ(probeCommandSet().lsof, lsof.string());
        const auto runner = makeCommandRunner();
        test::RecordingLogger logger;
        const auto probes = makeProcessProbes(ProbeSource::Commands, *runner, logger);
        EXPECT_EQ(probes->workingDirectoryForPID(42), "/from/fake lsof");
    }
    const ScopedEnvironment path("PATH", tree.root().string());
    EXPECT_EQ(probeCommandSet().lsof, "lsof");
}

TEST(LinuxPlatform, PlacesPreferencesUnderTheConfigurationHome) {
    TempTree tree;
    const ScopedEnvironment home("HOME", tree.root().string());
    {
        const ScopedEnvironment config("XDG_CONFIG_HOME", tree.path("xdg").string());
        EXPECT_EQ(preferencesFile(), tree.path("xdg/Fernbeacon/Fernbeacon.conf"));
    }
    {
        // A relative value is not a base directory and is ignored.
        const ScopedEnvironment config("XDG_CONFIG_HOME", "relative");
        EXPECT_EQ(preferencesFile(), tree.path(".config/Fernbeacon/Fernbeacon.conf"));
    }
    EXPECT_EQ(claudeDirectory(), tree.path(".claude"));
    // An empty HOME is no home: the user database's is.
    const ScopedEnvironment noHome("HOME", "");
    EXPECT_EQ(homeDirectory(), ::getpwuid(::getuid())->pw_dir);
}

TEST(LinuxPlatform, SeesAGraphicalSessionInANonEmptyDisplayVariable) {
    const ScopedEnvironment x11("DISPLAY", "");
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", "");
    EXPECT_FALSE(hasGraphicalSession());
    // X11 alone is the menu and tray tests' case.
    const ScopedEnvironment set("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(hasGraphicalSession());
}

TEST(StreamLogger, WritesOneLinePerMessageAboveItsLevel) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = ::open_memstream(&buffer, &size);
    ASSERT_NE(stream, nullptr);
    {
        StreamLogger errorsOnly("SessionScanner", stream, LogLevel::Error);
        errorsOnly.info("Found %ld claude PIDs", 2L);
        errorsOnly.error("Failed to run: %s \u2014 %s", "/bin/ps", "No such file or directory");
        StreamLogger everything("TerminalFocuser", stream, LogLevel::Info);
        everything.info("100%% of %d", 3);
    }
    std::fclose(stream);
    const std::string written(buffer, size);
    std::free(buffer);
    EXPECT_EQ(
        written,
        "fernbeacon[SessionScanner] error: Failed to run: /bin/ps \xE2\x80\x94 No such file or "
        "directory\n"
        "fernbeacon[TerminalFocuser] 100% of 3\n");
}

}  // namespace
}  // namespace fernbeacon::platform
