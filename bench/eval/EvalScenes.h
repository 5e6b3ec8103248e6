// Scene families of the evaluation: symbols placed in larger or busier pictures, as a user's
// photographs show them, and pictures without any symbol. Each is a SceneBuilder (EvalFamilies.h).
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace qcl::eval {

// The symbol at a random place wholly inside the working square; `share` (0-1) of the free room
// on each side may be used.
cv::Mat offCentreScene(const std::vector<cv::Mat>& symbols, int width, double share,
                       std::uint32_t seed);
// The symbol centred on a photo-like textured background whose grey levels spread by
// `amplitude` (standard deviation), with a few dark shapes.
cv::Mat textureScene(const std::vector<cv::Mat>& symbols, int width, double amplitude,
                     std::uint32_t seed);
// The symbol at a random place on a page of text lines (font scale `scale`) and dark shapes.
cv::Mat textScene(const std::vector<cv::Mat>& symbols, int width, double scale, std::uint32_t seed);
// All the symbols, apart from each other, at random places on white paper of at least 1280 x 960
// pixels (larger when they do not fit).
cv::Mat multiScene(const std::vector<cv::Mat>& symbols, int width, double count,
                   std::uint32_t seed);
// The symbol at a random place in a 1280 x 960 or 4000 x 3000 photo-like frame of `amplitude`.
cv::Mat frame1280Scene(const std::vector<cv::Mat>& symbols, int width, double amplitude,
                       std::uint32_t seed);
cv::Mat frame4000Scene(const std::vector<cv::Mat>& symbols, int width, double amplitude,
                       std::uint32_t seed);
// Kinds 1-4: textScene at font scales 0.5, 0.8, 1.2, 1.8; kinds 5-7: frame1280Scene at texture
// spreads 10, 25, 40 (for the colour symbols read with the automatic code type).
cv::Mat colourScene(const std::vector<cv::Mat>& symbols, int width, double kind,
                    std::uint32_t seed);
// No symbol: kinds 1-4 in the working square, 5-8 the same in 1280 x 960: noise, photo-like
// texture, a page of text, random discs and rings.
cv::Mat noSymbolScene(const std::vector<cv::Mat>& symbols, int width, double kind,
                      std::uint32_t seed);

}  // namespace qcl::eval
