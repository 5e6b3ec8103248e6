#include "app/JsonOutput.h"

#include "common/ErrorCodes.h"
#include "common/Stage.h"
#include "decoder/Decoder.h"

namespace qcl {
namespace {

using nlohmann::json;

// Points drawn from the rim of a symbol are reported to this many decimals of a pixel.
constexpr double kPointScale = 100.0;

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
    entry["startMarkerAngle"] = rounded(symbol.startMarkerAngle);
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

bool isValidUtf8(const std::string& text) {
    try {
        (void)json(text).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

json outcomeToJson(const InputOutcome& outcome) {
    json entry;
    entry["file"] = outcome.name;
    json symbols = json::array();
    for (const DecodedSymbol& symbol : outcome.result.symbols) {
        symbols.push_back(symbolToJson(symbol));
    }
    entry["symbols"] = symbols;
    if (outcome.unreadable()) {
        entry["error"] = {{"message", outcome.readError}, {"stage", "ReadImage"}};
    } else if (!outcome.read()) {
        const DecodeStatus& failure = outcome.result.failure;
        entry["error"] = {{"code", failure.errorCode},
                          {"message", outcome.decodeError.empty() ? errorMessage(failure.errorCode)
                                                                  : outcome.decodeError},
                          {"stage", stageName(failure.stage)}};
    }
    entry["decodeMs"] = rounded(outcome.decodeMs);
    return entry;
}

}  // namespace qcl
