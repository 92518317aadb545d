#pragma once

#include <QObject>
#include <QThreadPool>

#include "core/Dispatcher.h"

namespace fernbeacon::app {

// Main-thread work as queued calls on the Qt event loop; background work on a pool of its own,
// large enough that a hanging child process cannot hold up the next scan. Destroying the
// dispatcher waits for the background work and drops main-thread calls not yet run.
class QtDispatcher final : public Dispatcher {
public:
    QtDispatcher();
    ~QtDispatcher() override;

    void toMain(std::function<void()> work) override;
    void toBackground(WorkClass workClass, std::function<void()> work) override;

    // Waits for the background work given so far; for tests and shutdown.
    void waitForBackground();

private:
    QObject mainContext_;
    QThreadPool pool_;
};

}  // namespace fernbeacon::app
