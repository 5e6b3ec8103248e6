#include "decoder/search/SearchBudget.h"

#include <algorithm>

namespace qcl {
namespace {

// Failed views allowed in a picture of the chain's own working size (640 x 640): enough for every
// alternative of one symbol that looks readable and does not read (a blurred one needs the last of
// them, the sharpened views), or the cheap ones of several.
constexpr int kFailedViewsPerWorkingImage = 12;
constexpr double kWorkingImageArea = 640.0 * 640.0;
// ... and at most this many in any picture: a 12-megapixel photo full of false candidates
// still ends.
constexpr int kMaxFailedViews = 36;

}  // namespace

SearchBudget::SearchBudget(cv::Size imageSize, double timeBudgetMs)
    : start_(std::chrono::steady_clock::now()), timeBudgetMs_(timeBudgetMs) {
    const double areas = static_cast<double>(imageSize.area()) / kWorkingImageArea;
    maxFailedViews_ =
        std::clamp(static_cast<int>(kFailedViewsPerWorkingImage * std::max(1.0, areas)),
                   kFailedViewsPerWorkingImage, kMaxFailedViews);
}

bool SearchBudget::spent() const {
    if (failedViews_ >= maxFailedViews_) {
        return true;
    }
    if (timeBudgetMs_ <= 0.0) {
        return false;
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start_;
    return elapsed.count() > timeBudgetMs_;
}

}  // namespace qcl
