// Quorview's public interface: read Quorel codes from images and write them as images.
//
// Everything a program needs is declared here; the types are this header's own, so callers need
// no other Quorview header. Images are OpenCV matrices: 8-bit, 1 channel (grey) or 3 channels in
// BGR order, as cv::imread gives them.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorview {

// The library's version, "major.minor.patch".
const char* version();

// Keeps the memory of the images a read frees in the process's heap (up to 64 MiB) instead of
// handing it back to the system, so the next read reuses it without a page fault per 4 KiB: in a
// program that reads many images, a clean read then takes about a quarter of the time and a
// failing one a third. It changes the C library allocator's settings for the whole process
// (glibc only; elsewhere it does nothing), so it is the program's choice: call it once at
// start-up. The Quorview program and the Python module do.
void keepImageMemory();

// Black-and-white symbols carry one bit per module, colour symbols three (eight colours).
enum class CodeType : std::int32_t { BlackAndWhite = 0, Color = 1 };

// Error-correction strength: the share of the frame that may be damaged and still read
// (7.5 %, 15 %, 25 %, 30 %).
enum class EccStrength : std::int32_t { Low = 0, Medium = 1, Quartile = 2, High = 3 };

// How the payload is stored; Automatic lets the writer pick the type that needs the fewest bits.
enum class PayloadType : std::int32_t {
    Automatic = 0,
    Digits = 1,
    Letters = 2,
    Numbers = 3,
    Ascii = 4,
    Binary = 5,
    UTF8 = 7,
};

// How a Binary payload is returned as text: "0b" + bits (each group of four least significant
// bit first), or "0x" + hexadecimal digits in lower or upper case.
enum class BinaryFormat : std::int32_t { Bits = 0, HexLowerCase = 1, HexUpperCase = 2 };

// The names the program and its files use ("BlackAndWhite", "Medium", "Digits", ...).
std::string toString(CodeType value);
std::string toString(EccStrength value);
std::string toString(PayloadType value);
std::string toString(BinaryFormat value);

// A failure of reading or writing, with the reader's own error number and message.
class Error : public std::runtime_error {
  public:
    Error(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    // The reader's error number (1..24); see errorMessage().
    int code() const { return code_; }

  private:
    int code_;
};

// The message text of a reader error number; "" for a number without one.
std::string errorMessage(int code);

struct Point {
    double x = 0.0;  // column, pixels
    double y = 0.0;  // row, pixels
};

// One symbol read from an image. Positions are pixels of the image given to read().
struct Symbol {
    std::string payload;  // the payload bytes; a Binary payload as text in the asked format
    PayloadType payloadType = PayloadType::Automatic;
    EccStrength eccStrength = EccStrength::Low;
    CodeType codeType = CodeType::BlackAndWhite;
    int modulesPerRing = 0;
    int ringCount = 0;
    bool mirrored = false;          // the image shows the symbol's mirror image
    Point center;                   // the centre of the symbol
    std::vector<Point> outline;     // points on the symbol's rim, in order around it
    double startMarkerAngle = 0.0;  // radians from +x towards +y
    int correctedSymbols = 0;       // Reed-Solomon symbols (bytes) the reader had to correct
    int correctableSymbols = 0;     // the most it could have corrected
};

struct ReadOptions {
    CodeType codeType = CodeType::BlackAndWhite;
    BinaryFormat binaryFormat = BinaryFormat::Bits;
    bool enhance = true;        // condition the image (contrast, noise) before reading
    int maxSymbols = 0;         // stop after this many symbols; 0: every symbol found
    double timeBudgetMs = 0.0;  // return what was found after this many ms; 0: no limit
};

// Every symbol found, and when there is none, why: the deepest failure of the search.
struct ReadResult {
    std::vector<Symbol> symbols;
    int errorCode = 0;         // 0 when a symbol was read
    std::string errorMessage;  // the error's message
    std::string failedStage;   // the stage the deepest attempt failed in
};

// Reads every symbol in the image. Throws Error for an image the reader cannot take (wrong type,
// a grey image with the colour code type); an image without a symbol is no error.
ReadResult read(const cv::Mat& image, const ReadOptions& options = {});

// Reads one symbol as the Quorview program does and returns its payload. Throws Error with the
// deepest failure when there is none.
std::string decode(const cv::Mat& image, CodeType codeType = CodeType::BlackAndWhite,
                   BinaryFormat binaryFormat = BinaryFormat::Bits, bool enhance = true);

struct WriteOptions {
    CodeType codeType = CodeType::BlackAndWhite;
    EccStrength eccStrength = EccStrength::Medium;
    PayloadType payloadType = PayloadType::Automatic;  // Binary: the text is "0b" + bits
    int modulesPerRing = 0;                            // 0: the smallest symbol that holds it
    int ringCount = 0;                                 // 0: the smallest symbol that holds it
    int imageSize = 640;                               // side of the square image, pixels
    double startAngle = 0.0;  // direction of the start marker, radians from +x towards +y
    bool mirrored = false;    // draw the mirror image
};

// Writes `text` as a symbol and returns the 8-bit BGR image. Throws Error when the text does not
// fit, does not suit the payload type, or the options are impossible.
cv::Mat write(const std::string& text, const WriteOptions& options = {});

// Writes raw bytes as a Binary payload (as Quorgen --binary-file does).
cv::Mat writeBytes(const std::vector<std::uint8_t>& bytes, const WriteOptions& options = {});

// The bytes a symbol holds: for a Binary payload the bytes that writeBytes wrote (whichever
// BinaryFormat it was read with; a trailing half byte is dropped), otherwise the payload's bytes.
std::vector<std::uint8_t> payloadBytes(const Symbol& symbol);

}  // namespace quorview
