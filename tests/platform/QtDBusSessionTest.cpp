#include <gtest/gtest.h>

#include <algorithm>

#include "platform/linux/QtDBusSession.h"
#include "support/TestProcesses.h"

namespace fernbeacon::platform {
namespace {

TEST(QtDBusSession, CallsWithArgumentsAndReadsRepliesAndErrors) {
    test::Child daemon;
    const auto address =
        test::startReporting(daemon, {"dbus-daemon", "--session", "--nofork", "--print-address=3"});
    if (!address) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    const test::ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", *address);
    QtDBusSession session;
    const DBusReply owner = session.call({"org.freedesktop.DBus",
                                          "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus",
                                          "GetConnectionUnixProcessID",
                                          {std::string("org.freedesktop.DBus")}});
    ASSERT_TRUE(owner.ok) << owner.error;
    EXPECT_EQ(std::get<std::int64_t>(owner.values.at(0)), daemon.pid());

    // A property comes wrapped in a variant.
    const DBusReply interfaces =
        session.call({"org.freedesktop.DBus",
                      "/org/freedesktop/DBus",
                      "org.freedesktop.DBus.Properties",
                      "Get",
                      {std::string("org.freedesktop.DBus"), std::string("Interfaces")}});
    ASSERT_TRUE(interfaces.ok) << interfaces.error;
    const auto& list = std::get<std::vector<std::string>>(interfaces.values.at(0));
    EXPECT_NE(std::find(list.begin(), list.end(), "org.freedesktop.DBus.Monitoring"), list.end());

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
