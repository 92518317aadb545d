#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/QtDBusSession.h"
#include "terminal/ProcessServices.h"

extern char** environ;

namespace fernbeacon::platform {
namespace {

// A private session bus for the test process, gone when the test is.
class PrivateBus {
public:
    PrivateBus() {
        const char* path = std::getenv("PATH");
        const auto daemon = SearchPath(path != nullptr ? path : "/usr/bin").find("dbus-daemon");
        int pipe[2];
        if (!daemon || ::pipe(pipe) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
        std::vector<std::string> arguments{*daemon, "--session", "--nofork", "--print-address"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        char c = 0;
        while (::read(pipe[0], &c, 1) == 1 && c != '\n') {
            address_ += c;
        }
        ::close(pipe[0]);
        if (!address_.empty()) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
        }
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool running() const { return !address_.empty(); }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

TEST(QtDBusSession, CallsWithArgumentsAndReadsRepliesAndErrors) {
    PrivateBus bus;
    if (!bus.running()) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    QtDBusSession session;
    const DBusReply owner = session.call({"org.freedesktop.DBus",
                                          "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus",
                                          "GetConnectionUnixProcessID",
                                          {std::string("org.freedesktop.DBus")}});
    ASSERT_TRUE(owner.ok) << owner.error;
    EXPECT_EQ(std::get<std::int64_t>(owner.values.at(0)), bus.pid());

    const DBusReply names = session.call(
        {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames", {}});
    ASSERT_TRUE(names.ok);
    const auto& list = std::get<std::vector<std::string>>(names.values.at(0));
    EXPECT_NE(std::find(list.begin(), list.end(), "org.freedesktop.DBus"), list.end());

    const DBusReply missing = session.call({"org.kde.konsole-1",
                                            "/Windows/1",
                                            "org.kde.konsole.Window",
                                            "setCurrentSession",
                                            {std::int32_t{2}}});
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("ServiceUnknown"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace fernbeacon::platform
