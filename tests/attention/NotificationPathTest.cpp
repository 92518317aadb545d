// The tray in this process with its real parts: the /proc probes, the inotify watcher, the
// notifier on a private session bus with a notification server written for the test, and tmux.
// The sessions are fake `claude` processes in tmux windows; the test writes their registry files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>
#include <algorithm>
#include <mutex>

#include "app/TrayApplication.h"
#include "app/TrayController.h"
#include "platform/linux/DBusSessionNotifier.h"
#include "support/EventWait.h"
#include "support/Fakes.h"
#include "support/RealTmux.h"
#include "support/TestProcesses.h"

namespace fernbeacon::test {
namespace {

// The desktop's side: records every call, answers as servers with actions do.
class NotificationServer final : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const std::lock_guard lock(mutex_);
        calls_.push_back(message);
        if (message.member() == "GetCapabilities") {
            connection.send(message.createReply(QStringList{"actions", "body"}));
        } else if (message.member() == "Notify") {
            connection.send(message.createReply(QVariant::fromValue(++lastId_)));
        } else {
            connection.send(message.createReply());
        }
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    // The arguments of each call of `method`, oldest first.
    std::vector<QVariantList> calls(const QString& method) const {
        const std::lock_guard lock(mutex_);
        std::vector<QVariantList> found;
        for (const QDBusMessage& call : calls_) {
            if (call.member() == method) {
                found.push_back(call.arguments());
            }
        }
        return found;
    }

private:
    mutable std::mutex mutex_;
    std::vector<QDBusMessage> calls_;
    uint lastId_ = 0;
};

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class NotificationPath : public RealTmuxTest {
protected:
    void SetUp() override {
        ::unsetenv("CLAUDE_CONFIG_DIR");
        RealTmuxTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!installed("dbus-daemon")) {
            GTEST_SKIP() << "needs dbus-daemon";
        }
        const auto address =
            startReporting(daemon_, {"dbus-daemon", "--session", "--nofork", "--print-address=3"});
        ASSERT_TRUE(address);
        address_ = QString::fromStdString(*address).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(address_, "server");
        ASSERT_TRUE(bus.registerVirtualObject(kPath, &server_));
        ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
    }

    // A fake claude in a new window of "work", in ~/work/harbor, with a transcript titled "Fix the
    // login" named for its pid, which is also its session's id.
    void addWindows() override {
        const auto directory = home_.makeDirectory("work/harbor");
        tmux({"new-window", "-t", "work:", "-c", directory.string(),
              home_.claude().string() + " 300"});
        harbor_ = std::stoi(tmux({"display", "-p", "-t", "work:", "#{pane_pid}"}));
        harborPane_ = tmux({"display", "-p", "-t", "work:", "#{pane_id}"});
        home_.writeProjectFile(
            "any", std::to_string(harbor_) + ".jsonl",
            cwdRecord(directory.string()) + "\n" + userRecord("Fix the login") + "\n");
    }

    void TearDown() override {
        tray_.reset();
        notifier_.reset();
        services_.reset();
        RealTmuxTest::TearDown();
    }

    // Rewrites the registry file in place, or replaces it by rename.
    void setStatus(std::int32_t pid, const std::string& status, bool rename = false) {
        const std::string text =
            "{\"pid\":" + std::to_string(pid) + ",\"sessionId\":\"" + std::to_string(pid) +
            "\",\"status\":\"" + status + "\"" +
            (status == "waiting" ? ",\"waitingFor\":\"permission prompt\"" : "") + "}";
        const std::string name = ".claude/sessions/" + std::to_string(pid) + ".json";
        std::filesystem::rename(home_.write(name + (rename ? ".tmp" : ""), text), home_.path(name));
    }

    void launch() {
        services_ = std::make_unique<app::SystemServices>();
        notifier_ = std::make_unique<platform::DBusSessionNotifier>(
            noticeLog_, QDBusConnection::connectToBus(address_, "tray"));
        app::TrayEnvironment environment = services_->environment();
        environment.notifier = notifier_.get();
        icon_ = std::make_unique<app::TrayIcon>(environment.trayMenuIsExported);
        tray_ = std::make_unique<app::TrayController>(std::move(environment), *icon_);
        QObject::connect(tray_.get(), &app::TrayController::sessionsShown,
                         [this](const std::vector<ClaudeSessionPtr>& live) { shown_ = live; });
        tray_->start();
        ASSERT_TRUE(waitFor([&] {
            return std::ranges::any_of(shown_, [&](const auto& s) { return s->pid == harbor_; });
        }));
    }
    std::size_t count(const QString& method) const { return server_.calls(method).size(); }

    Child daemon_;
    QString address_;
    std::int32_t harbor_ = 0;
    std::string harborPane_;
    NotificationServer server_;
    RecordingLogger noticeLog_;
    std::unique_ptr<app::SystemServices> services_;
    std::unique_ptr<platform::DBusSessionNotifier> notifier_;
    std::unique_ptr<app::TrayIcon> icon_;
    std::unique_ptr<app::TrayController> tray_;
    std::vector<ClaudeSessionPtr> shown_;
};

// A notice when the session starts waiting, withdrawn when it stops; the notice's action focuses
// its pane. Each within 3 s, sooner than the refresh timer: the registry watcher drives it.
TEST_F(NotificationPath, AWaitingSessionIsAnnouncedWithdrawnAndItsNoticeFocusesItsPane) {
    setStatus(harbor_, "idle");
    ASSERT_NO_FATAL_FAILURE(launch());

    setStatus(harbor_, "waiting");
    ASSERT_TRUE(waitFor([&] { return count("Notify") == 1; }, 3000));
    const QVariantList arguments = server_.calls("Notify").back();
    EXPECT_EQ(arguments[0].toString() + arguments[2].toString(), "Fernbeaconfernbeacon");
    EXPECT_EQ(arguments[3].toString(), "harbor: Fix the login");
    EXPECT_EQ(arguments[4].toString(), "Waiting: permission prompt");
    EXPECT_TRUE(arguments[5].toStringList().contains("default"));
    setStatus(harbor_, "idle", true);
    ASSERT_TRUE(waitFor([&] { return count("CloseNotification") == 1; }, 3000));
    EXPECT_EQ(server_.calls("CloseNotification").back()[0].toUInt(), 1u);

    setStatus(harbor_, "waiting");
    ASSERT_TRUE(waitFor([&] { return count("Notify") == 2; }, 3000));
    QDBusMessage action = QDBusMessage::createSignal(
        kPath, QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    action << uint{2} << QStringLiteral("default");
    QDBusConnection::connectToBus(address_, "server").send(action);
    std::string focused;
    EXPECT_TRUE(waitFor([&] {
        focused = tmux({"list-clients", "-F", "#{session_name} #{pane_id}"});
        return focused == "work " + harborPane_;
    })) << focused;
}

}  // namespace
}  // namespace fernbeacon::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
