#include "decoder/search/CandidateViews.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "imaging/AdaptiveBinarisation.h"
#include "imaging/AreaReduction.h"
#include "imaging/Sharpening.h"

namespace qcl {
namespace {

// Half the crop's side in rim radii: a quiet zone of 8 % keeps the symbol's outline clear of the
// view's edge.
constexpr double kViewHalfSide = 1.08;
// Everything beyond the rim (plus this share of it and half a disc radius) is painted white,
// so that neighbours of the symbol do not reach the chain's centre search.
constexpr double kRimMargin = 0.05;
// Smallest view side (px): below it the chain's ring walks have no room.
constexpr int kMinViewSide = 64;
// Sharpening: an unsharp mask of this radius (px of the picture) and strength, which
// undoes enough of a blur of up to about 3 px for the thresholds to find the modules again.
constexpr double kSharpenSigma = 3.0;
constexpr double kSharpenAmount = 3.0;

// Where the quiet zone is read for the crop's fill: just beyond the rim, from this many points.
constexpr double kQuietRing = 1.04;
constexpr int kQuietSamples = 64;
// A crop scaled by less than this either way is read at its own size: the interpolation would
// blur more than the pitch gains.
constexpr double kKeepScale = 1.25;

// The paper's colour around the symbol: the mean of the quiet zone just beyond the rim, or white
// when most of that ring lies outside the picture. Painting the crop's outside in the paper's own
// colour keeps its histogram, and so the thresholds, what they are in the picture.
cv::Scalar paperColour(const cv::Mat& image, const Hypothesis& hypothesis) {
    cv::Scalar sum = cv::Scalar::all(0.0);
    int inside = 0;
    for (int k = 0; k < kQuietSamples; ++k) {
        const double a = 2.0 * CV_PI * k / kQuietSamples;
        const double rho = kQuietRing * hypothesis.outerRadius;
        const int x = static_cast<int>(std::lround(hypothesis.center.x + rho * std::cos(a)));
        const int y = static_cast<int>(std::lround(hypothesis.center.y + rho * std::sin(a)));
        if (x < 0 || y < 0 || x >= image.cols || y >= image.rows) {
            continue;
        }
        ++inside;
        if (image.channels() == 3) {
            const cv::Vec3b& p = image.at<cv::Vec3b>(y, x);
            sum += cv::Scalar(p[0], p[1], p[2]);
        } else {
            sum += cv::Scalar::all(image.at<std::uint8_t>(y, x));
        }
    }
    if (2 * inside < kQuietSamples) {
        return cv::Scalar::all(255);
    }
    return sum * (1.0 / inside);
}

}  // namespace

CandidateCrop cutCrop(const cv::Mat& image, const Hypothesis& hypothesis) {
    const double half = hypothesis.outerRadius * kViewHalfSide + 2.0;
    const int side = static_cast<int>(std::ceil(2.0 * half));
    CandidateCrop crop;
    crop.origin = cv::Point(static_cast<int>(std::floor(hypothesis.center.x - half)),
                            static_cast<int>(std::floor(hypothesis.center.y - half)));
    const cv::Scalar paper = paperColour(image, hypothesis);
    crop.image = cv::Mat(side, side, image.type(), paper);
    const cv::Rect wanted(crop.origin, cv::Size(side, side));
    const cv::Rect inside = wanted & cv::Rect(0, 0, image.cols, image.rows);
    if (inside.area() > 0) {
        image(inside).copyTo(crop.image(inside - wanted.tl()));
    }
    cv::Mat outside(crop.image.size(), CV_8UC1, cv::Scalar(255));
    const double rim = hypothesis.outerRadius * (1.0 + kRimMargin) + 0.5 * hypothesis.discRadius;
    cv::circle(outside,
               cv::Point(static_cast<int>(std::lround(hypothesis.center.x - crop.origin.x)),
                         static_cast<int>(std::lround(hypothesis.center.y - crop.origin.y))),
               static_cast<int>(std::ceil(rim)), cv::Scalar(0), cv::FILLED);
    crop.image.setTo(paper, outside);
    crop.scaleToPitch = hypothesis.pitch > 0.0 ? kViewPitch / hypothesis.pitch : 1.0;
    return crop;
}

CandidateView scaledView(const CandidateCrop& crop, int side, int interpolation) {
    CandidateView view;
    const double scale = static_cast<double>(side) / crop.image.cols;
    if (side == crop.image.cols) {
        view.image = crop.image;
    } else if (scale < 1.0) {
        view.image = reduceByArea(crop.image, cv::Size(side, side));
    } else {
        cv::resize(crop.image, view.image, cv::Size(side, side), 0, 0, interpolation);
    }
    // Pixel centres: view u maps to crop (u + 0.5) / scale - 0.5.
    const cv::Point2d shift(crop.origin.x + 0.5 / scale - 0.5, crop.origin.y + 0.5 / scale - 0.5);
    view.toCaller =
        cv::Matx33d(1.0 / scale, 0.0, shift.x, 0.0, 1.0 / scale, shift.y, 0.0, 0.0, 1.0);
    return view;
}

CandidateView pitchView(const CandidateCrop& crop, double scale) {
    double factor = scale > 0.0 ? scale : crop.scaleToPitch;
    if (factor < kKeepScale && factor > 1.0 / kKeepScale) {
        factor = 1.0;
    }
    const int wanted = static_cast<int>(std::lround(crop.image.cols * factor));
    const int side = std::clamp(wanted, kMinViewSide, kMaxViewSide);
    return scaledView(crop, side, cv::INTER_CUBIC);
}

cv::Mat sharpenedPicture(const cv::Mat& image) {
    return unsharpMask(flattenIllumination(image), kSharpenSigma, kSharpenAmount);
}

CandidateCrop sharpenedCrop(const CandidateCrop& crop) {
    CandidateCrop sharpened = crop;
    sharpened.image = sharpenedPicture(crop.image);
    return sharpened;
}

}  // namespace qcl
