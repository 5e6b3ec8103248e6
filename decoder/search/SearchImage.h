// The analysis of one picture that every hypothesis and view of a search shares: each image is
// made once, when something first asks for it, and kept for the rest of the decode.
#pragma once

#include <opencv2/core.hpp>

#include <optional>

namespace qcl {

class SearchImage {
  public:
    // `image`: 8-bit, 1 or 3 (BGR) channels; it must outlive the search.
    explicit SearchImage(const cv::Mat& image) : image_(image) {}

    const cv::Mat& image() const { return image_; }
    // The part `region` of the picture in grey (the caller's own pixels when it is grey), from
    // the whole picture's grey, made when first asked for.
    cv::Mat greyRegion(const cv::Rect& region);
    // The whole picture in grey at its own size when it has been made (always, when the detection
    // looked at the picture unreduced); empty otherwise.
    const cv::Mat& fullGrey();
    // What the detector looks at: the grey picture reduced by area so that its longer side is at
    // most kDetectionSide, with a 3 x 3 median that removes salt-and-pepper noise.
    const cv::Mat& detectionGrey();
    // Whether the picture is noisy enough for that median to have been applied.
    bool noisy();
    // Detection pixels per caller pixel (1 when the picture was not reduced).
    double detectionScale();
    // The detection grey binarised by its local light (0 black).
    const cv::Mat& detectionBinary();
    // Grey levels between the mean of the detection grey's light pixels and the mean of its dark
    // ones (split by Otsu's threshold).
    double detectionContrast();
    // Whether the picture shows colour at all (grey, black and white pixels do not count).
    bool hasColour();

  private:
    const cv::Mat& image_;
    cv::Mat fullGrey_;
    std::optional<cv::Mat> detectionGrey_;
    double detectionScale_ = 1.0;
    bool noisy_ = false;
    std::optional<cv::Mat> detectionBinary_;
    int detectionThreshold_ = 0;
    std::optional<double> detectionContrast_;
    std::optional<bool> hasColour_;
};

// Longer side (px) of the detection picture: a 12-megapixel photo is looked at at two thirds of
// its size, where the disc of a 120 px symbol spans enough pixels for the row scan (at half its
// size, most such discs were lost).
constexpr int kDetectionSide = 2730;

}  // namespace qcl
