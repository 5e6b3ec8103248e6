// One input's outcome as the scripting mode reports it, and its JSON form: the program's JSON
// Lines, which the public interfaces write in the same form.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "decoder/SymbolResult.h"

namespace qcl {

// The stage an input that cannot be read as an image failed in, and the error number it gets.
extern const char* const kReadImageStage;
constexpr ErrorCode kUnreadableImageCode = WrongImageType;

// What became of one input of the scripting mode.
struct InputOutcome {
    std::string name;       // the argument as given ("-" for standard input)
    std::string readError;  // set when the input could not be read as an image
    DecodeAllResult result;
    std::string decodeError;  // an exception text from the decode, e.g. a code type mismatch
    double decodeMs = 0.0;
    std::string overlayError;  // set when the overlay picture could not be written

    bool unreadable() const { return !readError.empty(); }
    bool read() const { return !result.symbols.empty(); }
};

// Why nothing was read: the reader's error number, its message and the deepest stage reached.
struct FailureReport {
    std::int32_t code = 0;
    std::string message;
    std::string stage;
};

// The failure of an outcome without a symbol: an unreadable input, or the decode's deepest one.
FailureReport failureOf(const InputOutcome& outcome);

// The bytes of a payload: a Binary payload's "0b" or "0x" text turned back into its bytes,
// any other payload as it is. A trailing half byte is dropped.
std::string payloadBytes(const DecodedSymbol& symbol);

// Standard base64 with padding.
std::string toBase64(const std::string& bytes);

// The start marker's direction in degrees from +x towards +y, within [0, 360), to the tenth of a
// degree.
double startMarkerDegrees(double radians);

// {"decodeMs", "file", "symbols": [...]} and, with a failure, "error": {"code", "message",
// "stage"}.
nlohmann::json jsonLine(const std::string& file, const std::vector<DecodedSymbol>& symbols,
                        const FailureReport* failure, double decodeMs);

// The line of one input of the scripting mode.
nlohmann::json outcomeToJson(const InputOutcome& outcome);

// A line as compact text without a line end; ill-formed UTF-8 is replaced.
std::string jsonText(const nlohmann::json& line);

}  // namespace qcl
