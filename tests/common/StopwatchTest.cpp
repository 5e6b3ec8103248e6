#include "common/Stopwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace qcl {
namespace {

// A clock the test moves by hand.
struct ManualClock {
    std::int64_t now = 1000000;
    Stopwatch::Clock reader() {
        return [this] { return now; };
    }
};

TEST(Stopwatch, StoppedAfter15000TicksReportsOneAndAHalfMilliseconds) {
    ManualClock clock;
    Stopwatch watch(clock.reader());
    watch.start();
    clock.now += 15000;
    watch.stop();
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 1.5);
    EXPECT_EQ(watch.elapsedNanoseconds(), 1500000u);

    clock.now += 987654;  // no longer running: later questions give the same answer
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 1.5);
    EXPECT_EQ(watch.elapsedNanoseconds(), 1500000u);
    watch.stop();  // a second stop adds nothing
    EXPECT_EQ(watch.elapsedNanoseconds(), 1500000u);
}

TEST(Stopwatch, RunningWatchIncludesTheCurrentInterval) {
    ManualClock clock;
    Stopwatch watch(clock.reader());
    watch.start();
    clock.now += 10;
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 0.001);
    EXPECT_EQ(watch.elapsedNanoseconds(), 1000u);
    clock.now += 40000;
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 4.001);
}

TEST(Stopwatch, StartForgetsWhatWasAccumulated) {
    ManualClock clock;
    Stopwatch watch(clock.reader());
    watch.start();
    clock.now += 50000;
    watch.stop();
    clock.now += 777;
    watch.start();
    clock.now += 20000;
    watch.stop();
    EXPECT_DOUBLE_EQ(watch.elapsedMilliseconds(), 2.0);
}

TEST(Stopwatch, NeverStartedReportsZero) {
    ManualClock clock;
    const Stopwatch watch(clock.reader());
    EXPECT_EQ(watch.elapsedMilliseconds(), 0.0);
    EXPECT_EQ(watch.elapsedNanoseconds(), 0u);
}

TEST(Stopwatch, SystemTicksAreHundredNanosecondsSinceTheEpoch) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const std::int64_t ticks = Stopwatch::nowTicks();
    EXPECT_NEAR(static_cast<double>(ticks) / 1e7, static_cast<double>(seconds), 5.0);

    Stopwatch watch;  // the real clock never runs backwards over a short interval
    watch.start();
    EXPECT_GE(watch.elapsedMilliseconds(), 0.0);
}

}  // namespace
}  // namespace qcl
