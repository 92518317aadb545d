#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/CliDispatcher.h"

namespace fernbeacon {
namespace {

TEST(CliDispatcher, MainWorkRunsOnTheWaitingThreadAndTheEndWaitsForTheWorker) {
    const auto self = std::this_thread::get_id();
    std::thread::id mainThread;
    std::atomic<bool> finished = false;
    {
        CliDispatcher dispatcher;
        dispatcher.toBackground(WorkClass::UserInitiated, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            dispatcher.toMain([&] { mainThread = std::this_thread::get_id(); });
        });
        EXPECT_TRUE(dispatcher.runUntilIdle(std::chrono::seconds(5)));
        EXPECT_EQ(mainThread, self);

        dispatcher.toBackground(WorkClass::Utility, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            finished = true;
        });
        EXPECT_FALSE(dispatcher.runUntilIdle(std::chrono::milliseconds(20)));
    }
    EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace fernbeacon
