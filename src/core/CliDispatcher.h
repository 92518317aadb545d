#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Dispatcher.h"

namespace fernbeacon {

// For a command that does one thing and exits: background work gets a thread of its own, and
// main-thread work runs on the thread that waits in runUntilIdle.
class CliDispatcher final : public Dispatcher {
public:
    CliDispatcher() = default;
    CliDispatcher(const CliDispatcher&) = delete;
    CliDispatcher& operator=(const CliDispatcher&) = delete;
    // Waits for the workers still running.
    ~CliDispatcher() override;

    void toMain(std::function<void()> work) override;
    void toBackground(WorkClass workClass, std::function<void()> work) override;

    // Runs main-thread work until nothing is queued or running, then joins the workers. False
    // when `limit` passed first; the workers are then still waited for at destruction.
    bool runUntilIdle(std::chrono::milliseconds limit);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> mainQueue_;
    std::vector<std::thread> workers_;
    int running_ = 0;
};

}  // namespace fernbeacon
