#include "decoder/PolarHelpers.h"
#include "common/Angles.h"

#include <algorithm>
#include <cmath>

namespace qcl {

namespace {

// Below this angular step (radians) an edge search has converged.
constexpr double kMinEdgeStep = 0.00025;
// Relative tolerance for taking a raw measured angle as the angle of a grid slot.
constexpr double kSlotAngleTolerance = 0.03;

bool hasColour(int value, bool black) {
    return value >= 0 && ((value == 0) == black);
}

// Walks while the pixel under the point is inside and of the given colour; returns the count.
std::int32_t walkWhile(cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image,
                       bool black) {
    std::int32_t count = 0;
    while (hasColour(pixelAt(point, image), black)) {
        ++count;
        point += step;
    }
    return count;
}

std::int32_t countRun(cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image,
                      bool skipOther, bool black) {
    if (step.x == 0.0 && step.y == 0.0) {
        return 0;  // a standing walk would never leave its pixel
    }
    if (skipOther) {
        walkWhile(point, step, image, !black);
    }
    std::int32_t count = walkWhile(point, step, image, black);
    if (count == 1) {
        point += step;  // one stray pixel of the other colour does not end a run of one
        count += walkWhile(point, step, image, black);
    }
    return count;
}

// Angular walk with bisection shared by both edge searches; `hit` measures the ray at an angle.
template <typename Hit>
double searchEdge(double startAngle, double step, Hit hit) {
    if (std::abs(step) <= kMinEdgeStep) {
        return startAngle;
    }
    double angle = startAngle;
    bool reversed = false;
    do {
        const double distance = CV_PI - std::abs(std::abs(startAngle - angle) - CV_PI);
        if (distance > CV_PI / 2.0) {
            break;
        }
        if (!hit(angle)) {
            step /= 2.0;
            reversed = true;
            angle -= step;
        } else {
            if (reversed) {
                step /= 2.0;
            }
            angle += step;
        }
    } while (std::abs(step) > kMinEdgeStep);
    if ((step > 0.0 && angle < startAngle) || (step < 0.0 && angle > startAngle)) {
        return startAngle;
    }
    return angle;
}

struct Ray {
    cv::Point2d start;
    cv::Point2d step;
};

Ray rayAt(double angle, const cv::Point2d& center, double radius) {
    const cv::Point2d direction(std::cos(angle), std::sin(angle));
    return {center + radius * direction, direction};
}

struct Slot {
    bool filled = false;
    bool interpolated = false;
    double angle = 0.0;
};

// First pass: measured angles into their slots, with gaps between consecutive ones filled from
// the raw angles measured between them.
std::int32_t fillMeasuredSlots(const std::vector<double>& angles, const std::vector<int>& selected,
                               std::int32_t slotCount, std::vector<Slot>& slots) {
    const double step = kTwoPi / slotCount;
    double minAngle = angles[selected.front()];
    for (int index : selected) {
        minAngle = std::min(minAngle, angles[index]);
    }
    std::int32_t prevSlot = -1;
    int prevIndex = -1;
    for (int index : selected) {
        const long rounded = std::lround((angles[index] - minAngle) / step);
        const std::int32_t k = static_cast<std::int32_t>(rounded % slotCount);
        if (slots[k].filled) {
            continue;
        }
        slots[k] = {true, false, angles[index]};
        if (prevSlot != -1 && prevSlot < k - 1) {
            const double inc = (slots[k].angle - slots[prevSlot].angle) / (k - prevSlot);
            double expected = slots[prevSlot].angle;
            for (std::int32_t q = prevSlot + 1; q < k; ++q) {
                expected += inc;
                for (int j = prevIndex + 1; j < index; ++j) {
                    if (!slots[q].filled &&
                        withinTolerance(angles[j], expected, kSlotAngleTolerance)) {
                        slots[q] = {true, false, angles[j]};
                        prevIndex = j;
                        break;
                    }
                }
            }
        }
        prevSlot = k;
        prevIndex = index;
    }
    return prevSlot;
}

// Second pass round the circle: every gap between filled slots takes a raw angle near its
// expected place, or an interpolated one when asked.
void fillGaps(const std::vector<double>& angles, std::int32_t slotCount, std::int32_t last,
              bool fillMissing, std::vector<Slot>& slots) {
    std::int32_t p = last;
    for (std::int32_t i = 0; i < slotCount; ++i) {
        if (!slots[i].filled) {
            continue;
        }
        if (!((i == 0 && p == slotCount - 1) || p == i - 1)) {
            const std::int32_t count = p < i ? i - p : slotCount - p + i;
            double d = slots[i].angle - slots[p].angle;
            if (slots[i].angle <= slots[p].angle) {
                d += kTwoPi;
            }
            const double inc = d / count;
            double expected = slots[p].angle;
            for (std::int32_t n = 1; n < count; ++n) {
                const std::int32_t q = (p + n) % slotCount;
                expected += inc;
                if (expected > kTwoPi) {
                    expected -= kTwoPi;
                }
                if (slots[q].filled) {
                    continue;
                }
                const auto found = std::find_if(angles.begin(), angles.end(), [expected](double a) {
                    return withinTolerance(a, expected, kSlotAngleTolerance);
                });
                if (found != angles.end()) {
                    slots[q] = {true, false, *found};
                } else if (fillMissing) {
                    slots[q] = {true, true, expected};
                }
            }
        }
        p = i;
    }
}

}  // namespace

std::int32_t countBlackRun(cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image,
                           bool skipOther) {
    return countRun(point, step, image, skipOther, true);
}

std::int32_t countWhiteRun(cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image,
                           bool skipOther) {
    return countRun(point, step, image, skipOther, false);
}

double findMarkerEdgeAngle(double startAngle, double initialStep, const cv::Mat& image,
                           const cv::Point2d& center, double radius, std::int32_t expectedRun,
                           double factor) {
    const double needed = expectedRun * factor;
    return searchEdge(startAngle, initialStep, [&](double angle) {
        Ray ray = rayAt(angle, center, radius);
        std::int32_t black = countBlackRun(ray.start, ray.step, image, true);
        if (black < needed) {
            const std::int32_t white = countWhiteRun(ray.start, ray.step, image, false);
            if (black + white < expectedRun &&
                countBlackRun(ray.start, ray.step, image, false) > 0 &&
                ((expectedRun - white) + black) * 0.125 > white) {
                black += expectedRun;  // a short white gap inside the bar
            }
        }
        return black >= needed;
    });
}

double findRunEdgeAngle(double startAngle, double initialStep, const cv::Mat& image,
                        const cv::Point2d& center, double radius, std::int32_t runLength,
                        double factor) {
    const double limit = runLength / factor + 1.0;
    return searchEdge(startAngle, initialStep, [&](double angle) {
        Ray ray = rayAt(angle, center, radius);
        return countBlackRun(ray.start, ray.step, image, true) <= limit;
    });
}

std::vector<GridSlot> fitAngularGrid(const std::vector<double>& angles,
                                     const std::vector<int>& selected, std::int32_t slotCount,
                                     bool fillMissing) {
    std::vector<GridSlot> grid;
    if (selected.empty() || slotCount <= 0) {
        return grid;
    }
    std::vector<Slot> slots(static_cast<std::size_t>(slotCount));
    const std::int32_t last = fillMeasuredSlots(angles, selected, slotCount, slots);
    fillGaps(angles, slotCount, last, fillMissing, slots);

    std::int32_t first = -1;
    for (std::int32_t i = 0; i < slotCount; ++i) {
        if (!slots[i].filled) {
            continue;
        }
        if (first == -1 || slots[i].angle < slots[first].angle ||
            (slots[i].angle == slots[first].angle && !slots[i].interpolated &&
             slots[first].interpolated)) {
            first = i;
        }
    }
    for (std::int32_t n = 0; n < slotCount; ++n) {
        const Slot& s = slots[(first + n) % slotCount];
        if (s.filled) {
            grid.push_back({s.angle, 0.0f, n, s.interpolated});
        }
    }
    return grid;
}

}  // namespace qcl
