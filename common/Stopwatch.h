// Elapsed-time measurement in 100-nanosecond ticks of the system clock.
#pragma once

#include <cstdint>
#include <functional>

namespace qcl {

class Stopwatch {
public:
    using Clock = std::function<std::int64_t()>;  // current time in 100 ns ticks

    Stopwatch();
    explicit Stopwatch(Clock clock);  // for tests: a clock under the caller's control

    void start();  // start time = now, accumulated = 0, running
    void stop();   // when running: accumulated += now - start time

    // Accumulated time, plus the running interval while running.
    double elapsedMilliseconds() const;
    std::uint64_t elapsedNanoseconds() const;

    // The system clock in 100 ns ticks since the epoch.
    static std::int64_t nowTicks();

private:
    std::int64_t elapsedTicks() const;

    Clock clock_;
    std::int64_t startTicks_ = 0;
    std::int64_t accumulatedTicks_ = 0;
    bool running_ = false;
};

}  // namespace qcl
