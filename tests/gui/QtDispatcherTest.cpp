#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <future>

#include "app/QtDispatcher.h"
#include "support/EventWait.h"

namespace fernbeacon::app {
namespace {

TEST(QtDispatcher, BackgroundRunsConcurrentlyAndResultsReturnToTheMainThreadInOrder) {
    QtDispatcher dispatcher;
    QThread* const mainThread = QThread::currentThread();
    std::promise<void> secondStarted;
    auto secondHasStarted = secondStarted.get_future().share();
    std::vector<int> arrivals;

    // The first work waits for the second: both must be in flight at once, off the main thread.
    dispatcher.toBackground(WorkClass::UserInitiated, [&, secondHasStarted] {
        const bool overlapped =
            secondHasStarted.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        dispatcher.toMain([&arrivals, overlapped] { arrivals.push_back(overlapped ? 1 : -1); });
    });
    dispatcher.toBackground(WorkClass::Utility, [&] {
        dispatcher.toMain([&arrivals, mainThread] {
            arrivals.push_back(QThread::currentThread() == mainThread ? 2 : -2);
        });
        secondStarted.set_value();
    });
    ASSERT_TRUE(test::waitFor([&] { return arrivals.size() == 2; }));
    // The second finished first, so its result arrived first.
    EXPECT_EQ(arrivals, (std::vector<int>{2, 1}));
}

TEST(QtDispatcher, MainThreadWorkNotYetRunIsDroppedWithTheDispatcher) {
    bool ran = false;
    {
        QtDispatcher dispatcher;
        dispatcher.toMain([&ran] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace fernbeacon::app
