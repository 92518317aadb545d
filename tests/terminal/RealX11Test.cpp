#include <gtest/gtest.h>

#include <fstream>

#include "core/ProcessOutput.h"
#include "platform/linux/ProcProbes.h"
#include "platform/linux/X11Workspace.h"
#include "support/Fakes.h"
#include "support/TempTree.h"
#include "terminal/RealProcesses.h"

namespace fernbeacon::test {
namespace {

// The children of a process, from /proc.
std::vector<std::int32_t> childrenOf(std::int32_t parent, std::string_view name) {
    std::vector<std::int32_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto pid = parseInt32(entry.path().filename().string());
        const auto text = pid ? platform::readSmallFile(entry.path() / "stat") : std::nullopt;
        const auto stat = text ? platform::parseProcStat(*text) : std::nullopt;
        if (stat && stat->ppid == parent && stat->comm == name) {
            children.push_back(*pid);
        }
    }
    return children;
}

// Xvfb with openbox, and two xterms: the first runs a fake claude, the second is in front.
class RealX11 : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "openbox", "xterm", "xprop"}) {
            if (!installed(program)) {
                GTEST_SKIP() << program << " is not installed";
            }
        }
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        server_ =
            std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen",
                                                             "0", "800x600x24", "-nolisten", "tcp"},
                                    pipe[1]);
        ::close(pipe[1]);
        std::string number;
        char c = 0;
        while (::read(pipe[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(pipe[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display_ = std::make_unique<ScopedVariable>("DISPLAY", ":" + number);
        windowManager_ = std::make_unique<Child>(std::vector<std::string>{"openbox"});
        ASSERT_TRUE(waitUntil([] {
            return toolOutput({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
                   std::string::npos;
        }));
        home_.makeDirectory("bin");
        std::filesystem::copy_file("/bin/sleep", home_.path("bin/claude"));
        withClaude_ = std::make_unique<Child>(
            std::vector<std::string>{"xterm", "-e", home_.path("bin/claude").string(), "120"});
        ASSERT_TRUE(waitUntil([&] { return windowCount() == 1; }));
        inFront_ = std::make_unique<Child>(std::vector<std::string>{"xterm", "-e", "sleep", "120"});
        ASSERT_TRUE(waitUntil([&] { return windowCount() == 2; }));
        // The window manager may still be settling the first window's focus.
        RecordingLogger logger;
        ASSERT_TRUE(waitUntil([&] {
            platform::X11Workspace(logger).raiseWindowOfProcess(inFront_->pid(), std::nullopt);
            return waitUntil([&] { return activePid() == inFront_->pid(); },
                             std::chrono::milliseconds(500));
        }));
    }

    static std::size_t windowCount() {
        const std::string list = toolOutput({"xprop", "-root", "_NET_CLIENT_LIST"});
        return list.find('#') == std::string::npos
                   ? 0
                   : static_cast<std::size_t>(std::count(list.begin(), list.end(), ',') + 1);
    }

    static std::optional<std::int32_t> activePid() {
        const std::string active = toolOutput({"xprop", "-root", "_NET_ACTIVE_WINDOW"});
        const std::size_t hash = active.find("# ");
        if (hash == std::string::npos) {
            return std::nullopt;
        }
        std::string id = active.substr(hash + 2);
        id = id.substr(0, id.find_first_of(",\n"));
        const std::string pid = toolOutput({"xprop", "-id", id, "_NET_WM_PID"});
        const std::size_t equals = pid.find("= ");
        return equals == std::string::npos
                   ? std::nullopt
                   : parseInt32(pid.substr(equals + 2, pid.find('\n') - equals - 2));
    }

    TempHome home_;
    std::unique_ptr<Child> server_;
    std::unique_ptr<ScopedVariable> display_;
    std::unique_ptr<Child> windowManager_;
    std::unique_ptr<Child> withClaude_;
    std::unique_ptr<Child> inFront_;
};

TEST_F(RealX11, FocusMakesTheBackgroundXtermTheActiveWindow) {
    std::vector<std::int32_t> claude;
    ASSERT_TRUE(waitUntil([&] {
        claude = childrenOf(withClaude_->pid(), "claude");
        return claude.size() == 1;
    }));
    const auto focused = runTool({FERNBEACON_BINARY, "focus", std::to_string(claude.front())},
                                 std::chrono::seconds(30));
    EXPECT_EQ(focused.exitStatus, 0) << focused.standardError;
    EXPECT_TRUE(waitUntil([&] { return activePid() == withClaude_->pid(); }))
        << "active: " << activePid().value_or(0);
}

TEST_F(RealX11, WorkspaceNamesTerminalsTopmostFirstAndRaisesByProcess) {
    RecordingLogger logger;
    platform::X11Workspace workspace(logger);
    const auto applications = workspace.runningApplications();
    ASSERT_EQ(applications.size(), 2u);
    EXPECT_EQ(applications[0].localizedName, "XTerm");
    EXPECT_TRUE(workspace.raiseWindowOfProcess(withClaude_->pid(), std::nullopt));
    EXPECT_TRUE(waitUntil([&] { return activePid() == withClaude_->pid(); }));
    EXPECT_FALSE(workspace.raiseWindow(applications[0].handle, 1));  // not that process's
    EXPECT_FALSE(workspace.raiseWindowOfProcess(1, std::nullopt));
}

TEST(X11WorkspaceWithoutDisplay, SaysOnceThatNothingCanBeRaised) {
    ScopedVariable noDisplay("DISPLAY", ":99999");
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
