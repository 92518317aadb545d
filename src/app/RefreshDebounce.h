#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace fernbeacon::app {

// Between two scans when nothing tells of a change.
inline constexpr int kRefreshIntervalMilliseconds = 5000;
// After the first change of a burst: long enough for the writer to finish the file.
inline constexpr int kSettleMilliseconds = 100;
// Between two refreshes a storm of changes causes: the scan is what costs.
inline constexpr int kMinimumGapMilliseconds = 500;

// Turns changes on disk into refreshes: a burst gives one, soon after it starts, and a storm
// one every kMinimumGapMilliseconds at most. Main thread only.
class RefreshDebounce {
public:
    explicit RefreshDebounce(std::function<void()> refresh);
    void changed();

private:
    QTimer timer_;
    QElapsedTimer sinceRefresh_;
    std::function<void()> refresh_;
};

}  // namespace fernbeacon::app
