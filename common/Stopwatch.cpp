#include "common/Stopwatch.h"

#include <chrono>

namespace qcl {

namespace {
constexpr double kTicksPerMillisecond = 10000.0;
constexpr std::uint64_t kNanosecondsPerTick = 100;
}  // namespace

Stopwatch::Stopwatch() : clock_(&Stopwatch::nowTicks) {}

Stopwatch::Stopwatch(Clock clock) : clock_(std::move(clock)) {}

std::int64_t Stopwatch::nowTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void Stopwatch::start() {
    startTicks_ = clock_();
    accumulatedTicks_ = 0;
    running_ = true;
}

void Stopwatch::stop() {
    if (running_) {
        accumulatedTicks_ += clock_() - startTicks_;
        running_ = false;
    }
}

std::int64_t Stopwatch::elapsedTicks() const {
    return running_ ? accumulatedTicks_ + (clock_() - startTicks_) : accumulatedTicks_;
}

double Stopwatch::elapsedMilliseconds() const {
    return static_cast<double>(elapsedTicks()) / kTicksPerMillisecond;
}

std::uint64_t Stopwatch::elapsedNanoseconds() const {
    return static_cast<std::uint64_t>(elapsedTicks()) * kNanosecondsPerTick;
}

}  // namespace qcl
