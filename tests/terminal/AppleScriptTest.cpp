#include <gtest/gtest.h>

#include <fstream>

#include "platform/posix/PosixCommandRunner.h"
#include "support/TempTree.h"
#include "terminal/AppleScript.h"

namespace fernbeacon {
namespace {

// The text of an AppleScript string literal that starts at `open`, as AppleScript reads it.
std::string appleScriptStringAt(const std::string& script, std::size_t open) {
    std::string value;
    for (std::size_t i = open + 1; i < script.size() && script[i] != '"'; ++i) {
        if (script[i] == '\\' && i + 1 < script.size()) {
            ++i;
        }
        value += script[i];
    }
    return value;
}

// Runs the command line that the script hands to the terminal through a real shell, with a
// `claude` on the search path that records where it was started.
TEST(AppleScriptTexts, HostileDirectoriesArriveIntactAndNothingRuns) {
    const test::TempTree tree;
    const auto record = tree.path("claude-ran-in");
    std::filesystem::permissions(
        tree.write("bin/claude", "#!/bin/sh\npwd > '" + record.string() + "'\n"),
        std::filesystem::perms::owner_all);
    for (const std::string& name : std::initializer_list<std::string>{
             "quo\"te", "back\\slash", "line\nfeed", "a'b $HOME", std::string(test::kInjection)}) {
        const auto directory = tree.makeDirectory("d/" + name);
        for (const std::string& script : {iTerm2NewSessionScript(directory.string()),
                                          terminalAppNewSessionScript(directory.string())}) {
            const std::size_t marker = script.find("\"cd ");
            ASSERT_NE(marker, std::string::npos);
            const std::string commandLine = appleScriptStringAt(script, marker);
            std::filesystem::remove(record);
            const auto ran = platform::PosixCommandRunner().run(
                {{"/usr/bin/env", "HOME=" + tree.root().string(),
                  "PATH=" + tree.path("bin").string() + ":/usr/bin:/bin", "/bin/sh", "-c",
                  commandLine}});
            ASSERT_EQ(ran.exitStatus, 0) << commandLine << ran.standardError;
            std::ifstream in(record);
            std::string arrived;
            std::getline(in, arrived, '\0');
            EXPECT_EQ(arrived, directory.string() + "\n") << commandLine;
            EXPECT_FALSE(std::filesystem::exists(tree.path("pwned")));
        }
    }
}

}  // namespace
}  // namespace fernbeacon
