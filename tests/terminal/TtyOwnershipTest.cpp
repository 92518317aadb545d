#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "terminal/TtyOwnership.h"

namespace fernbeacon {
namespace {

using test::FakeRunner;
using test::RecordingLogger;

constexpr const char* kPsCommand = "/bin/zsh -c /bin/ps -eo pid,ppid,tty,comm";

struct OwnerFixture {
    FakeRunner runner;
    RecordingLogger logger;
    PsProcessTable table{runner, "/bin/zsh", "/bin/ps"};

    std::optional<TtyOwner> owner(const std::string& psOutput, std::string_view tty,
                                  Desktop desktop = Desktop::Other) {
        runner.replyOutput(kPsCommand, "  PID  PPID TTY      COMM\n" + psOutput);
        return TtyOwnership(table, desktop, logger).ownerOfTTY(tty);
    }
};

// The first row that matches the parent names it; Linux has rows of its own, tried first.
TEST(TtyOwnership, FirstMatchingRowOfTheParentWinsLinuxRowsFirst) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        // The parent's command, its name on Linux, elsewhere.
        {"/opt/Cursor iTerm wrapper", "Cursor", "Cursor"},
        {"gnome-terminal-", "GNOME Terminal", "Terminal"},
        {"tmux: server", "tmux", ""},
    };
    for (const auto& [parent, linux, other] : cases) {
        const std::string table = "  50     1 ?        " + parent + "\n  51    50 pts/3    bash\n";
        for (const auto& [desktop, expected] :
             {std::pair{Desktop::Linux, linux}, std::pair{Desktop::Other, other}}) {
            OwnerFixture fixture;
            const auto owner = fixture.owner(table, "/dev/pts/3", desktop);
            EXPECT_EQ(owner ? owner->name : "", expected) << parent;
            EXPECT_EQ(owner ? owner->rootPid : 51, 51);
        }
    }
}

TEST(TtyOwnership, UnknownParentsAreLoggedAndTheSearchGoesOn) {
    OwnerFixture fixture;
    const auto owner = fixture.owner(
        "300 1 ?? /usr/libexec/sshd-session\n"
        "301 300 ttys005 -zsh\n"
        "400 1 ?? /Applications/Hyper.app/Contents/MacOS/Hyper\n"
        "401 400 ttys005 -zsh\n"
        "500 1 ?? /Applications/iTerm.app/Contents/MacOS/iTerm2\n"
        "501 500 ttys005 -zsh\n",
        "ttys005");
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->name, "iTerm2");
    EXPECT_EQ(owner->rootPid, 501);
    EXPECT_EQ(fixture.logger.texts().at(1),
              "TTY ttys005 root process 301 (-zsh), parent 300 not a known terminal");
}

}  // namespace
}  // namespace fernbeacon
