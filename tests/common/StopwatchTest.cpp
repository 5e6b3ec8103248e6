#include "common/Stopwatch.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qcl {
namespace {

// A clock the test moves by hand, in 100-ns ticks.
struct ManualClock {
    std::int64_t now = 1000000;
    Stopwatch::Clock reader() {
        return [this] { return now; };
    }
};

TEST(Stopwatch, StoppedWatchKeepsItsTimeAndARunningOneCountsOn) {
    ManualClock clock;
    Stopwatch watch(clock.reader());
    EXPECT_EQ(watch.elapsedNanoseconds(), 0u);  // never started
    watch.start();
    clock.now += 15000;
    watch.stop();
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 1.5);
    EXPECT_EQ(watch.elapsedNanoseconds(), 1500000u);
    clock.now += 987654;  // no longer running: later questions give the same answer
    watch.stop();         // and a second stop adds nothing
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 1.5);
    EXPECT_EQ(watch.elapsedNanoseconds(), 1500000u);

    watch.start();  // forgets the 1.5 ms
    clock.now += 10;
    EXPECT_EQ(watch.elapsedNanoseconds(), 1000u);
    clock.now += 40000;
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 4.001);
}

}  // namespace
}  // namespace qcl
