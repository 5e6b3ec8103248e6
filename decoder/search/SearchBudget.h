// What one search may spend: the views that fail (each a whole designed search) and the time the
// caller allows. Checked between views, so a search ends within its time plus one view.
#pragma once

#include <opencv2/core.hpp>

#include <chrono>

namespace qcl {

class SearchBudget {
  public:
    // `timeBudgetMs` 0: no time limit. The views allowed grow with the picture's area.
    SearchBudget(cv::Size imageSize, double timeBudgetMs);

    void viewFailed() { ++failedViews_; }
    int failedViews() const { return failedViews_; }
    // Allows `views` more failed views than the picture's area gives.
    void allowMore(int views) { maxFailedViews_ += views; }
    // True once the failed views or the time are used up.
    bool spent() const;

  private:
    std::chrono::steady_clock::time_point start_;
    double timeBudgetMs_;
    int maxFailedViews_;
    int failedViews_ = 0;
};

}  // namespace qcl
