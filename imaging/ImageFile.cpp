#include "imaging/ImageFile.h"

#include <opencv2/imgcodecs.hpp>

namespace qcl {

ImageReadResult readImageFile(const std::string& path) {
    ImageReadResult result;
    result.image = cv::imread(path, cv::IMREAD_COLOR);
    if (result.image.empty()) {
        result.error = "Image file '" + path +
                       "' cannot be read: it is missing, unreadable or not an image";
    }
    return result;
}

ImageReadResult readImageBytes(const std::vector<std::uint8_t>& bytes) {
    ImageReadResult result;
    if (!bytes.empty()) {
        result.image = cv::imdecode(bytes, cv::IMREAD_COLOR);
    }
    if (result.image.empty()) {
        result.error = "The image bytes cannot be read: they are not an image";
    }
    return result;
}

}  // namespace qcl
