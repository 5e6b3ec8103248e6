// Error codes of the reader and the one exception type that leaves the decoder.
#pragma once

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>

namespace qcl {

// Every failure of the decoder is one of these numbers; 0 is success. 18 is unused on purpose:
// the numbers are part of what users see and report, so the gap is kept.
enum ErrorCode : std::int32_t {
    Success = 0,
    InnerCircleNotFound = 1,
    PerspectiveMarkersNotDetected = 2,
    WrongNumberOfPerspectiveMarkers = 3,
    StartMarkerNotDetected = 4,
    WrongNumberOfOuterZebraModules = 5,
    OuterZebraNotDetected = 6,
    RadialZebraNotDetected = 7,
    WrongGrid = 8,
    EccCannotCorrect = 9,
    WrongChecksum = 10,
    DataSizeExceedsMaximum = 11,
    NotEnoughCapacity = 12,
    CodeCannotBeCreated = 13,
    MultipleStartMarkers = 14,
    UnwantedRadialZebra = 15,
    InvalidConfiguration = 16,
    UnknownDataType = 17,
    EccParamsWrong = 19,
    EccStrengthInconsistent = 20,
    CodeTypeImageMismatch = 21,
    WrongImageType = 22,
    InvalidInputSymbols = 23,
    InvalidOutputSymbols = 24,
};

// Message text of a code; the empty text for 18 and any number outside the table.
const std::string& errorMessage(std::int32_t code);

// Writes the message text of the code.
std::ostream& operator<<(std::ostream& os, ErrorCode code);

class QCException : public std::runtime_error {
public:
    // The message is the code's text, followed by " (detail)" when a detail is given.
    explicit QCException(ErrorCode code, const std::string& detail = std::string());

    ErrorCode code;
};

}  // namespace qcl
