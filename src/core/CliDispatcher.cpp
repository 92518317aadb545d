#include "core/CliDispatcher.h"

namespace fernbeacon {

CliDispatcher::~CliDispatcher() {
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void CliDispatcher::toMain(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    mainQueue_.push_back(std::move(work));
    changed_.notify_all();
}

void CliDispatcher::toBackground(WorkClass, std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    ++running_;
    workers_.emplace_back([this, work = std::move(work)] {
        work();
        const std::lock_guard done(mutex_);
        --running_;
        changed_.notify_all();
    });
}

bool CliDispatcher::runUntilIdle(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!mainQueue_.empty()) {
            std::function<void()> work = std::move(mainQueue_.front());
            mainQueue_.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
        if (running_ == 0) {
            // Each worker has done its work; joining them here leaves none behind the caller.
            std::vector<std::thread> finished = std::move(workers_);
            workers_.clear();
            lock.unlock();
            for (std::thread& worker : finished) {
                worker.join();
            }
            return true;
        }
        if (!changed_.wait_until(lock, deadline,
                                 [this] { return running_ == 0 || !mainQueue_.empty(); })) {
            return false;
        }
    }
}

}  // namespace fernbeacon
