// One input's outcome as the scripting mode reports it, and its JSON form.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/SymbolResult.h"

namespace qcl {

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

// The bytes of a payload: a Binary payload's "0b" or "0x" text turned back into its bytes,
// any other payload as it is.
std::string payloadBytes(const DecodedSymbol& symbol);

// Standard base64 with padding.
std::string toBase64(const std::string& bytes);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(const std::string& text);

// {"file", "symbols": [...], "decodeMs"} and, when nothing was read, "error": {"code",
// "message", "stage"} (an unreadable input: {"message", "stage": "ReadImage"}).
nlohmann::json outcomeToJson(const InputOutcome& outcome);

}  // namespace qcl
