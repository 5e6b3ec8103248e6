// Image files and in-memory image bytes read as 8-bit images for the reader.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace qcl {

// An image read from a file or from bytes: 8-bit, 1 or 3 (BGR) channels, or empty with a
// one-line reason in our own words.
struct ImageReadResult {
    cv::Mat image;
    std::string error;  // empty when `image` holds the picture

    bool ok() const { return error.empty(); }
};

// Reads an image file as 8-bit BGR.
ImageReadResult readImageFile(const std::string& path);

// Decodes image file bytes (PNG, JPEG, ...) held in memory as 8-bit BGR.
ImageReadResult readImageBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace qcl
