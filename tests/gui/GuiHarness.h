#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidgetAction>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/MenuRowView.h"
#include "app/TrayController.h"
#include "platform/linux/XdgAutostart.h"
#include "support/Fakes.h"
#include "support/TempTree.h"

namespace fernbeacon::test {

// Keeps every piece of work until the test runs it, so that the test decides the order.
struct ManualDispatcher final : Dispatcher {
    explicit ManualDispatcher(std::vector<std::string>& log) : events(log) {}
    std::vector<std::string>& events;
    std::deque<std::function<void()>> background;
    std::deque<std::function<void()>> main;

    void toMain(std::function<void()> work) override { main.push_back(std::move(work)); }
    void toBackground(WorkClass, std::function<void()> work) override {
        events.push_back("background");
        background.push_back(std::move(work));
    }
    void runBackground(std::size_t index) {
        auto work = std::move(background.at(index));
        background.erase(background.begin() + static_cast<std::ptrdiff_t>(index));
        work();
    }
    void runMain() {
        for (; !main.empty(); main.pop_front()) {
            main.front()();
        }
    }
};

struct FakeTerminal final : TerminalControl {
    explicit FakeTerminal(std::vector<std::string>& log) : events(log) {}
    std::vector<std::string>& events;

    void focusSession(const ClaudeSessionPtr& session) override {
        events.push_back("focus " + std::to_string(session->pid));
    }
    void openNewSession(const std::string& directory) override {
        events.push_back("open " + directory);
    }
    void warmUp() override { events.push_back("warmUp"); }
    std::vector<std::string> terminalChoices() const override {
        return {"Auto", "kitty", "Konsole"};
    }
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
        while (!dispatcher.background.empty()) {
            dispatcher.runBackground(0);
        }
        dispatcher.runMain();
    }
    QMenu& menu() const { return *icon.menu(); }
};

// A session in a VS Code terminal, titled, on branch main, with its context used.
inline ClaudeSessionPtr live(std::int32_t pid, const char* directory,
                             std::optional<std::string> status, std::int64_t tokens) {
    auto session = std::make_shared<ClaudeSession>(pid, "pts/3", directory, "VS Code");
    session->summary = "Speed work";
    session->gitBranch = "main";
    session->contextTokensUsed = tokens;
    session->status = std::move(status);
    return session;
}

inline app::MenuRowView& rowAt(const QMenu& menu, int index) {
    return *static_cast<app::MenuRowView*>(
        static_cast<QWidgetAction*>(menu.actions()[index])->defaultWidget());
}

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
