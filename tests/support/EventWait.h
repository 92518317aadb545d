#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace fernbeacon::test {

// Processes events until `done` holds, for at most `limitMs`.
inline bool waitFor(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::usleep(2000);
    }
    return true;
}

}  // namespace fernbeacon::test
