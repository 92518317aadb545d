#pragma once

#include <signal.h>

#include <QSocketNotifier>
#include <array>
#include <memory>

namespace fernbeacon::app {

// SIGINT, SIGTERM and SIGPIPE end the Qt event loop with status 0 instead of killing the
// process, so that it leaves as after any other stop. The handler only writes to a pipe that
// the loop watches. One instance at a time; the previous handlers come back when it goes.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether one of the signals has arrived; a SIGPIPE has by the time the failed write returns.
    static bool received();

private:
    std::array<int, 2> pipe_{-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, 3> previous_{};
};

// Whether nobody reads the pipe or socket `descriptor` any more; a writer learns it without
// writing.
bool readerGone(int descriptor);

}  // namespace fernbeacon::app
