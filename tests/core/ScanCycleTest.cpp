#include <gtest/gtest.h>

#include "support/ScannerHarness.h"

namespace fernbeacon {
namespace {

using test::FakeProcess;

class ScanCycleTest : public ::testing::Test {
protected:
    test::ScannerHarness h_;
};

TEST_F(ScanCycleTest, KeepsEveryProcessInListOrderEvenOneThatEndedBeforeItsProbes) {
    h_.addProcess(30, FakeProcess{"pts/3", "/nowhere", "kitty", "5 mins"});
    h_.addProcess(10, FakeProcess{});
    h_.probes.pids.push_back(20);
    const auto sessions = runScanCycle(h_.scanner).live;
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions[1]->pid, 10);
    EXPECT_EQ(test::describe({{sessions[0], sessions[2]}, {}}),
              "|30|pts/3|/nowhere|kitty|-|5 mins|200000|-|-|-|-|-|-\n"
              "|20|-|-|-|-|-|200000|-|-|-|-|-|-\n");
}

}  // namespace
}  // namespace fernbeacon
