#include <gtest/gtest.h>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcTerminalSources.h"
#include "platform/linux/X11Workspace.h"
#include "support/Fakes.h"
#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

// Xvfb with openbox, and two xterms: the first runs a fake claude, the second is in front.
class RealX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto missing = VirtualDisplay::missingProgram({"xterm"})) {
            GTEST_SKIP() << *missing << " is not installed";
        }
        ASSERT_EQ(display_.start(), "");
        withClaude_ = Child({"xterm", "-e", home_.claude().string(), "120"});
        ASSERT_TRUE(waitUntil([&] { return VirtualDisplay::windowCount() == 1; }));
        inFront_ = Child({"xterm", "-e", "sleep", "120"});
        ASSERT_TRUE(waitUntil([&] { return VirtualDisplay::windowCount() == 2; }));
        // The window manager may still be settling the first window's focus.
        RecordingLogger logger;
        ASSERT_TRUE(waitUntil([&] {
            platform::X11Workspace(logger).raiseWindowOfProcess(inFront_.pid(), std::nullopt);
            return waitUntil([&] { return VirtualDisplay::activePid() == inFront_.pid(); },
                             std::chrono::milliseconds(500));
        }));
    }

    ProgramHome home_;
    VirtualDisplay display_;
    Child withClaude_;
    Child inFront_;
};

// xterm tells its programs its inner window; the managed window is an ancestor. A fallback to
// the process's window would hide a failed walk up, so the workspace is asked directly.
TEST_F(RealX11, WorkspaceRaisesTheTerminalOfAnInnerWindowAndOnlyForItsProcess) {
    RecordingLogger logger;
    platform::X11Workspace workspace(logger);
    const auto claude = onlyChildOf(withClaude_.pid(), "claude");
    ASSERT_TRUE(claude);
    const auto inner =
        parseInt64(environmentValue(platform::ProcEnvironment().environmentOf(*claude), "WINDOWID")
                       .value_or(""));
    ASSERT_TRUE(inner);
    EXPECT_FALSE(workspace.raiseWindow(static_cast<std::uint64_t>(*inner), inFront_.pid()));
    EXPECT_TRUE(workspace.raiseWindow(static_cast<std::uint64_t>(*inner), withClaude_.pid()));
    EXPECT_TRUE(waitUntil([&] { return VirtualDisplay::activePid() == withClaude_.pid(); }));
}

TEST(X11WorkspaceWithoutDisplay, SaysOnceThatNothingCanBeRaised) {
    ScopedEnvironment noDisplay("DISPLAY", ":99999");
    RecordingLogger logger;
    platform::X11Workspace workspace(logger);
    EXPECT_FALSE(workspace.canRaiseWindows());
    EXPECT_FALSE(workspace.canRaiseWindows());
    EXPECT_TRUE(workspace.runningApplications().empty());
    EXPECT_EQ(logger.texts(), std::vector<std::string>{"No X11 display: tabs are selected but "
                                                       "their windows cannot be raised"});
}

}  // namespace
}  // namespace fernbeacon::test
