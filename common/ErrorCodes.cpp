#include "common/ErrorCodes.h"

#include <array>

namespace qcl {
namespace {

// Texts as users have always seen them, spelling included.
const std::array<std::string, 25> kMessages = {
    "SUCCESS",
    "Inner circle not found",
    "Perspective correction markers not detected",
    "Wrong number of perspective correction markers",
    "Start marker not detected",
    "Wrong number of modules in the outer zebra pattern",
    "Outer angular zebra pattern not detected",
    "Radial zebra pattern not detected",
    "Wrong grid",
    "ECC cannot correct all errors",
    "Wrong checksum",
    "Data size exceeds maxium",
    "Quorel code does not have enough capacity",
    "Quorel code cannot be created",
    "Multiple start markers found",
    "Unwanted radial zebra found",
    "Quorel code configuration is invalid",
    "Quorel code data type is unknwon",
    "",
    "ECC params are wrong",
    "ECC strength is inconsistent with header",
    "CodeType and image type don't fit",
    "Image type should be binary, grayscale or BGR",
    "Input data contains invalid symbols",
    "Output data contains invalid symbols",
};

const std::string kEmpty;

std::string composeMessage(ErrorCode code, const std::string& detail) {
    if (detail.empty()) {
        return errorMessage(code);
    }
    return errorMessage(code) + " (" + detail + ")";
}

}  // namespace

const std::string& errorMessage(std::int32_t code) {
    if (code < 0 || static_cast<std::size_t>(code) >= kMessages.size()) {
        return kEmpty;
    }
    return kMessages[static_cast<std::size_t>(code)];
}

std::ostream& operator<<(std::ostream& os, ErrorCode code) { return os << errorMessage(code); }

QCException::QCException(ErrorCode code, const std::string& detail)
    : std::runtime_error(composeMessage(code, detail)), code(code) {}

}  // namespace qcl
