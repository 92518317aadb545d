#include <gtest/gtest.h>
#include <simdjson.h>

#include <map>

#include "core/ProcessOutput.h"
#include "core/Text.h"
#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

// Where kitty shows one of its windows, from `kitty @ ls`.
struct Placement {
    std::uint64_t osWindow = 0;  // its X11 window
    bool osWindowFocused = false;
    bool tabActive = false;
    bool focused = false;
    std::int32_t pid = 0;  // what the window started
};

// A kitty with remote control on a private socket, on Xvfb with openbox; its first window runs
// a fake claude under a shell.
class RealKitty : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto missing = VirtualDisplay::missingProgram({"kitty", "xdotool"})) {
            GTEST_SKIP() << *missing << " is not installed";
        }
        ASSERT_EQ(display_.start(), "");
        const auto claude = home_.claude().string();
        socket_ = "unix:" + home_.path("kitty.sock").string();
        kitty_ = std::make_unique<Child>(
            std::vector<std::string>{"kitty", "--config", "NONE", "-o", "allow_remote_control=yes",
                                     "--listen-on", socket_, "/bin/sh", "-c", claude + " 120; :"});
        // kitty needs OpenGL 3.3; Mesa's software renderer gives it on Xvfb.
        waitUntil(
            [&] {
                return std::filesystem::exists(home_.path("kitty.sock")) ||
                       !isRunning(kitty_->pid());
            },
            std::chrono::seconds(20));
        if (!isRunning(kitty_->pid())) {
            GTEST_SKIP() << "kitty does not start on Xvfb here (no OpenGL 3.3 renderer?)";
        }
        ASSERT_TRUE(std::filesystem::exists(home_.path("kitty.sock")));
    }

    void TearDown() override { endProcessesWith("HOME", home_.root().string()); }

    CommandResult kitty(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"kitty", "@", "--to", socket_});
        return runTool(std::move(arguments));
    }

    // Every kitty window by its id.
    std::map<std::int64_t, Placement> placements() {
        std::map<std::int64_t, Placement> all;
        const std::string listing = kitty({"ls"}).standardOutput;
        simdjson::dom::parser parser;
        simdjson::dom::array osWindows;
        if (parser.parse(listing).get(osWindows) != simdjson::SUCCESS) {
            return all;
        }
        const auto array = [](simdjson::dom::element parent, const char* key) {
            simdjson::dom::array items;
            return parent[key].get(items) == simdjson::SUCCESS ? items : simdjson::dom::array();
        };
        const auto flag = [](simdjson::dom::element parent, const char* key) {
            bool value = false;
            return parent[key].get(value) == simdjson::SUCCESS && value;
        };
        for (simdjson::dom::element osWindow : osWindows) {
            for (simdjson::dom::element tab : array(osWindow, "tabs")) {
                for (simdjson::dom::element window : array(tab, "windows")) {
                    std::int64_t id = 0;
                    std::int64_t pid = 0;
                    std::uint64_t platformWindow = 0;
                    if (window["id"].get(id) == simdjson::SUCCESS &&
                        window["pid"].get(pid) == simdjson::SUCCESS &&
                        osWindow["platform_window_id"].get(platformWindow) == simdjson::SUCCESS) {
                        all[id] = {platformWindow, flag(osWindow, "is_focused"),
                                   flag(tab, "is_active_tab"), flag(window, "is_focused"),
                                   static_cast<std::int32_t>(pid)};
                    }
                }
            }
        }
        return all;
    }

    // The fake claude under a shell.
    static std::optional<std::int32_t> claudeUnder(std::int32_t shell) {
        return onlyChildOf(shell, "claude");
    }

    ProgramHome home_;
    VirtualDisplay display_;
    std::string socket_;
    std::unique_ptr<Child> kitty_;
};

// Besides, in front of that tab, a tab whose fake claude does not know its kitty window. That
// OS window waits on another desktop; a second one is in front.
class RealKittyWindows : public RealKitty {
protected:
    void SetUp() override {
        RealKitty::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(kitty({"launch", "--type=tab", "/bin/sh", "-c",
                         "env -u KITTY_WINDOW_ID " + home_.claude().string() + " 120; :"})
                      .exitStatus,
                  0);
        const auto launched = kitty({"launch", "--type=os-window", "sleep", "120"});
        const auto front = parseInt64(trimWhitespaceAndNewlines(launched.standardOutput));
        ASSERT_TRUE(front) << launched.standardOutput << launched.standardError;
        // Each `kitty @` is a Python start-up; waits poll the X server instead.
        initial_ = placements();
        ASSERT_TRUE(initial_.contains(1) && initial_.contains(2) && initial_.contains(*front));
        ASSERT_TRUE(
            waitUntil([&] { return VirtualDisplay::activeWindow() == initial_[*front].osWindow; }));
        const std::string window = std::to_string(initial_[1].osWindow);
        runTool({"xdotool", "set_desktop_for_window", window, "1"});
        ASSERT_TRUE(waitUntil([&] {
            return toolOutput({"xprop", "-id", window, "_NET_WM_DESKTOP"}).ends_with("= 1\n");
        }));
    }

    std::map<std::int64_t, Placement> initial_;
};

TEST_F(RealKittyWindows, FocusSelectsTheTabAndRaisesItsOsWindow) {
    // kitty numbers its windows from 1, in the order they open.
    for (const std::int64_t window : {1, 2}) {
        const Placement& before = initial_[window];
        const auto claude = claudeUnder(before.pid);
        ASSERT_TRUE(claude) << "window " << window;
        const auto focused = fernbeacon({"focus", std::to_string(*claude)});
        EXPECT_EQ(focused.exitStatus, 0) << focused.standardError;
        EXPECT_TRUE(waitUntil([&] { return VirtualDisplay::activeWindow() == before.osWindow; }))
            << "window " << window << " active: " << VirtualDisplay::activeWindow().value_or(0);
        EXPECT_TRUE(waitUntil([&] {
            const Placement after = placements()[window];
            return after.focused && after.tabActive && after.osWindowFocused;
        })) << "window "
            << window;
    }
}

TEST_F(RealKitty, OpenWithKittyPreferredOpensATabOfTheRunningKittyInTheDirectory) {
    home_.prefer("kitty");
    ScopedEnvironment shell("SHELL", "/bin/sh");
    // kitty expands these in a --cwd.
    const auto directory =
        home_.makeDirectory("projects/" + std::string(kInjection) + " $HOME ${PATH} ~");
    // kitty says where it listens to the programs in its windows, once they run.
    ASSERT_TRUE(claudeUnder(placements()[1].pid));
    const auto opened = fernbeacon({"open", directory.string()});
    EXPECT_EQ(opened.exitStatus, 0) << opened.standardError;
    EXPECT_EQ(home_.startedIn(std::chrono::seconds(20)), directory.string());
    EXPECT_FALSE(home_.pwned());

    // A second window of this kitty, in front, rather than a kitty of its own.
    const auto now = placements();
    ASSERT_EQ(now.size(), 2u);
    const Placement& added = now.rbegin()->second;
    EXPECT_TRUE(added.focused && added.tabActive);
    EXPECT_TRUE(waitUntil([&] { return VirtualDisplay::activeWindow() == added.osWindow; }));
}

}  // namespace
}  // namespace fernbeacon::test
