#include <gtest/gtest.h>
#include <simdjson.h>

#include <map>

#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

// Each `kitty @` is a Python start-up, seconds long on a loaded machine: waits on what kitty says
// poll a few times only.
constexpr std::chrono::seconds kKittyWait{30};

// A kitty with remote control on a private socket, on Xvfb with openbox. Window 1 runs a fake
// claude under a shell and waits on another desktop, where openbox refuses kitty's own raise;
// window 2, an OS window of its own, is in front.
class RealKitty : public ::testing::Test {
protected:
    // Where kitty shows one of its windows.
    struct Placement {
        std::uint64_t osWindow = 0;  // its X11 window
        bool focused = false;        // the window, its tab and its OS window
        std::int32_t pid = 0;        // what the window started
    };

    void SetUp() override {
        if (const auto missing = VirtualDisplay::missingProgram({"kitty", "xdotool"})) {
            GTEST_SKIP() << *missing << " is not installed";
        }
        ASSERT_EQ(display_.start(), "");
        const auto claude = home_.claude().string();
        socket_ = "unix:" + home_.path("kitty.sock").string();
        kitty_ = Child({"kitty", "--config", "NONE", "-o", "allow_remote_control=yes",
                        "--listen-on", socket_, "/bin/sh", "-c", claude + " 120; :"});
        // kitty needs OpenGL 3.3; Mesa's software renderer gives it on Xvfb.
        waitUntil(
            [&] {
                return std::filesystem::exists(home_.path("kitty.sock")) ||
                       !isRunning(kitty_.pid());
            },
            std::chrono::seconds(20));
        if (!isRunning(kitty_.pid())) {
            GTEST_SKIP() << "kitty does not start on Xvfb here (no OpenGL 3.3 renderer?)";
        }
        ASSERT_EQ(kitty({"launch", "--type=os-window", "sleep", "120"}).exitStatus, 0);
        // Waits poll the X server where they can.
        initial_ = placements();
        ASSERT_EQ(initial_.size(), 2u);
        ASSERT_TRUE(
            waitUntil([&] { return VirtualDisplay::activeWindow() == initial_[2].osWindow; }));
        const std::string window = std::to_string(initial_[1].osWindow);
        runTool({"xdotool", "set_desktop_for_window", window, "1"});
        ASSERT_TRUE(waitUntil([&] {
            return runTool({"xprop", "-id", window, "_NET_WM_DESKTOP"})
                .standardOutput.ends_with("= 1\n");
        }));
    }

    void TearDown() override { endProcessesWith("HOME", home_.root().string()); }

    CommandResult kitty(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"kitty", "@", "--to", socket_});
        return runTool(std::move(arguments));
    }

    // Every kitty window by its id; kitty numbers them from 1, in the order they open.
    std::map<std::int64_t, Placement> placements() {
        std::map<std::int64_t, Placement> all;
        simdjson::dom::parser parser;
        simdjson::dom::array osWindows;
        if (parser.parse(kitty({"ls"}).standardOutput).get(osWindows) != simdjson::SUCCESS) {
            return all;  // kitty did not answer in time
        }
        for (simdjson::dom::object osWindow : osWindows) {
            for (simdjson::dom::object tab : osWindow["tabs"].get_array()) {
                for (simdjson::dom::object window : tab["windows"].get_array()) {
                    const bool focused = bool(osWindow["is_focused"]) &&
                                         bool(tab["is_active_tab"]) && bool(window["is_focused"]);
                    all[std::int64_t(window["id"])] = {
                        std::uint64_t(osWindow["platform_window_id"]), focused,
                        std::int32_t(std::int64_t(window["pid"]))};
                }
            }
        }
        return all;
    }

    ProgramHome home_;
    VirtualDisplay display_;
    std::string socket_;
    Child kitty_;
    std::map<std::int64_t, Placement> initial_;
};

// The new tab first, so that the focus must leave it for the other desktop.
TEST_F(RealKitty, OpenAddsATabInTheDirectoryAndFocusRaisesTheWindowsOsWindow) {
    const auto claude = onlyChildOf(initial_[1].pid, "claude");
    ASSERT_TRUE(claude);  // kitty says where it listens to the programs in its windows
    home_.prefer("kitty");
    ScopedEnvironment shell("SHELL", "/bin/sh");
    // kitty expands these in a --cwd.
    const auto directory =
        home_.makeDirectory("projects/" + std::string(kInjection) + " $HOME ${PATH} ~");
    const auto opened = fernbeacon({"open", directory.string()});
    EXPECT_EQ(opened.exitStatus, 0) << opened.standardError;
    EXPECT_EQ(home_.startedIn(std::chrono::seconds(20)), directory.string());
    EXPECT_FALSE(home_.pwned());
    // A third window of this kitty rather than a kitty of its own.
    EXPECT_TRUE(waitUntil([&] { return placements()[3].focused; }, kKittyWait));

    const auto focused = fernbeacon({"focus", std::to_string(*claude)});
    EXPECT_EQ(focused.exitStatus, 0) << focused.standardError;
    EXPECT_TRUE(waitUntil([&] { return VirtualDisplay::activeWindow() == initial_[1].osWindow; }))
        << "active: " << VirtualDisplay::activeWindow().value_or(0);
    EXPECT_TRUE(waitUntil([&] { return placements()[1].focused; }, kKittyWait));
}

}  // namespace
}  // namespace fernbeacon::test
