#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidgetAction>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/TrayController.h"
#include "platform/linux/XdgAutostart.h"
#include "support/Fakes.h"
#include "support/TempTree.h"

namespace fernbeacon::test {

// Keeps every piece of work until the test runs it, so that the test decides the order.
class ManualDispatcher final : public Dispatcher {
public:
    explicit ManualDispatcher(std::vector<std::string>& events) : events_(events) {}

    void toMain(std::function<void()> work) override { main_.push_back(std::move(work)); }
    void toBackground(WorkClass, std::function<void()> work) override {
        events_.push_back("background");
        background_.push_back(std::move(work));
    }

    std::size_t pendingBackground() const { return background_.size(); }
    std::size_t pendingMain() const { return main_.size(); }
    void runBackground(std::size_t index) {
        auto work = std::move(background_.at(index));
        background_.erase(background_.begin() + static_cast<std::ptrdiff_t>(index));
        work();
    }
    void runMain() {
        while (!main_.empty()) {
            auto work = std::move(main_.front());
            main_.pop_front();
            work();
        }
    }

private:
    std::vector<std::string>& events_;
    std::deque<std::function<void()>> background_;
    std::deque<std::function<void()>> main_;
};

class FakeTerminal final : public TerminalControl {
public:
    explicit FakeTerminal(std::vector<std::string>& events) : events_(events) {}
    void focusSession(const ClaudeSessionPtr& session) override {
        events_.push_back("focus " + std::to_string(session->pid));
    }
    void openNewSession(const std::string& directory) override {
        events_.push_back("open " + directory);
    }
    void warmUp() override { events_.push_back("warmUp"); }
    std::vector<std::string> terminalChoices() const override {
        return {"Auto", "kitty", "Konsole"};
    }

private:
    std::vector<std::string>& events_;
};

// The tray over a temporary home, a fake process table and fakes that record what they were
// asked, in one list of events.
struct TrayHarness {
    TempHome home;
    FakeProbes probes;
    MemoryPreferences preferences;
    SystemClock clock;
    RecordingLogger logger;
    std::vector<std::string> events;
    ManualDispatcher dispatcher{events};
    FakeTerminal terminal{events};
    platform::XdgAutostart loginItem{home.path(".config/autostart"), "/usr/bin/fernbeacon"};
    std::vector<QUrl> opened;
    app::TrayIcon icon{false};
    std::unique_ptr<app::TrayController> tray = makeTray();

    // What the tray gets from its process: these fakes, and this notifier when one is given.
    app::TrayEnvironment environment(SessionNotifier* notifier = nullptr) {
        return {{home.root(), probes, preferences, clock, logger},
                dispatcher,
                terminal,
                loginItem,
                false,
                [this](const QUrl& url) { opened.push_back(url); },
                nullptr,
                notifier};
    }
    std::unique_ptr<app::TrayController> makeTray(SessionNotifier* notifier = nullptr) {
        return std::make_unique<app::TrayController>(environment(notifier), icon);
    }

    void addProcess(std::int32_t pid, const std::string& directory) {
        probes.pids.push_back(pid);
        probes.processes[pid] = FakeProcess{"pts/1", directory, "kitty", "2 min"};
    }
    // Runs every scan submitted so far, oldest first, then their completions.
    void completeScans() {
        while (dispatcher.pendingBackground() > 0) {
            dispatcher.runBackground(0);
        }
        dispatcher.runMain();
    }
    QMenu& menu() const { return *icon.menu(); }
};

// The menu's items as text: titles, "-" for separators, "[row]" for custom rows.
inline std::vector<std::string> menuShape(const QMenu& menu) {
    std::vector<std::string> shape;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            shape.push_back("-");
        } else if (qobject_cast<const QWidgetAction*>(action) != nullptr) {
            shape.push_back("[row]");
        } else {
            shape.push_back(action->text().toStdString());
        }
    }
    return shape;
}

}  // namespace fernbeacon::test
