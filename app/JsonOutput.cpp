#include "app/JsonOutput.h"

#include <cmath>

#include "common/Angles.h"
#include "common/Stage.h"
#include "decoder/Decoder.h"
#include "writer/PayloadEncoder.h"

namespace qcl {

const char* const kReadImageStage = "ReadImage";

namespace {

using nlohmann::json;
using writer::isValidUtf8;

// Points are reported to this many parts of a pixel...
constexpr double kPointScale = 100.0;
// ...and the start marker's angle to this many parts of a degree: finer than the reader measures,
// so that a symbol drawn at 0 degrees reads as 0 rather than 359.99.
constexpr double kAngleScale = 10.0;
constexpr double kFullTurnDegrees = 360.0;

double rounded(double value) {
    return std::round(value * kPointScale) / kPointScale;
}

json pointToJson(const cv::Point2d& point) {
    return json::array({rounded(point.x), rounded(point.y)});
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "0x" + an even number of hex digits -> the bytes; "" when the text is not of that form.
std::string hexToBytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 2; i + 1 < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::string();
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

json symbolToJson(const DecodedSymbol& symbol) {
    json entry;
    const bool binary = symbol.payloadType == PayloadType::Binary;
    if (isValidUtf8(symbol.payload)) {
        entry["payload"] = symbol.payload;
    } else {
        // The text with each ill-formed sequence replaced; the bytes go into "base64".
        entry["payload"] =
            json::parse(json(symbol.payload).dump(-1, ' ', false, json::error_handler_t::replace));
    }
    if (binary || !isValidUtf8(symbol.payload)) {
        entry["base64"] = toBase64(payloadBytes(symbol));
    }
    entry["payloadType"] = toString(symbol.payloadType);
    entry["ecc"] = toString(symbol.eccType);
    entry["codeType"] = toString(symbol.codeType);
    entry["modulesPerRing"] = symbol.modulesPerRing;
    entry["rings"] = symbol.ringCount;
    entry["mirrored"] = symbol.mirrored;
    entry["center"] = pointToJson(symbol.center);
    json outline = json::array();
    for (const cv::Point2d& point : symbol.outline) {
        outline.push_back(pointToJson(point));
    }
    entry["outline"] = outline;
    entry["startMarkerAngle"] = startMarkerDegrees(symbol.startMarkerAngle);
    entry["rsCorrected"] = symbol.correctedSymbols;
    entry["rsCorrectable"] = symbol.correctableSymbols;
    return entry;
}

}  // namespace

std::string payloadBytes(const DecodedSymbol& symbol) {
    const std::string& text = symbol.payload;
    if (symbol.payloadType != PayloadType::Binary) {
        return text;
    }
    if (text.rfind("0b", 0) == 0) {
        return hexToBytes(binaryToHex(text, true));
    }
    if (text.rfind("0x", 0) == 0) {
        return hexToBytes(text);
    }
    return text;
}

std::string toBase64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63],
                kAlphabet[v & 63]};
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

double startMarkerDegrees(double radians) {
    double degrees = std::fmod(radians * kFullTurnDegrees / kTwoPi, kFullTurnDegrees);
    if (degrees < 0) {
        degrees += kFullTurnDegrees;
    }
    // A turn just short of a whole one rounds to 360, which is 0.
    const double shown = std::round(degrees * kAngleScale) / kAngleScale;
    return shown >= kFullTurnDegrees ? 0.0 : shown;
}

FailureReport failureOf(const InputOutcome& outcome) {
    if (outcome.unreadable()) {
        return {kUnreadableImageCode, outcome.readError, kReadImageStage};
    }
    const DecodeStatus& failure = outcome.result.failure;
    return {failure.errorCode,
            outcome.decodeError.empty() ? errorMessage(failure.errorCode) : outcome.decodeError,
            stageName(failure.stage)};
}

json jsonLine(const std::string& file, const std::vector<DecodedSymbol>& symbols,
              const FailureReport* failure, double decodeMs) {
    json entry;
    entry["file"] = file;
    json list = json::array();
    for (const DecodedSymbol& symbol : symbols) {
        list.push_back(symbolToJson(symbol));
    }
    entry["symbols"] = list;
    if (failure != nullptr) {
        entry["error"] = {
            {"code", failure->code}, {"message", failure->message}, {"stage", failure->stage}};
    }
    entry["decodeMs"] = rounded(decodeMs);
    return entry;
}

json outcomeToJson(const InputOutcome& outcome) {
    const FailureReport failure = failureOf(outcome);
    return jsonLine(outcome.name, outcome.result.symbols, outcome.read() ? nullptr : &failure,
                    outcome.decodeMs);
}

std::string jsonText(const json& line) {
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace qcl
