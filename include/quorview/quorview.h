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

// Black-and-white symbols carry one bit per module, colour symbols three (eight colours). Auto
// is for reading only: black-and-white first, then colour when the image shows colour; a symbol
// read says which of the two it is.
enum class CodeType : std::int32_t { BlackAndWhite = 0, Color = 1, Auto = 2 };

// The order in which a symbol's data modules hold the frame's bits. Writers use
// HorizontalShortSnake unless told otherwise; a reader reads only the layout it is given.
enum class Layout : std::int32_t {
    Horizontal = 0,
    Vertical = 1,
    VerticalSnake = 2,
    HorizontalSnake = 3,
    HorizontalShortSnake = 4,
    Scrambled = 5,
};

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

// The names the program and its files use ("BlackAndWhite", "Medium", "Digits", ...; "Auto").
std::string toString(CodeType value);
std::string toString(Layout value);
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

// The words every surface takes (the program's options, Quorgen's, the Python module's): the
// short words (bw, color, auto; low, medium, quartile, high; binary, hex, HEX), the names above
// and the values' numbers, in any letter case except between hex and HEX. Throw Error
// (InvalidConfiguration) with the words allowed, naming the value `what` ("ecc must be low,
// medium, quartile or high, not 'huge'"). parseCodeType takes auto.
CodeType parseCodeType(const std::string& name, const std::string& what = "code type");
Layout parseLayout(const std::string& name, const std::string& what = "layout");
EccStrength parseEccStrength(const std::string& name, const std::string& what = "ecc");
PayloadType parsePayloadType(const std::string& name, const std::string& what = "payload type");
BinaryFormat parseBinaryFormat(const std::string& name, const std::string& what = "binary format");

struct Point {
    double x = 0.0;  // column, pixels
    double y = 0.0;  // row, pixels
};

// One symbol read from an image. Positions are pixels of the image given to read(). The
// program's JSON and the Python module name each field as the comment says.
struct Symbol {
    std::string payload;  // "payload": the bytes; a Binary payload as text in the asked format
    PayloadType payloadType = PayloadType::Automatic;  // "payloadType"
    EccStrength eccStrength = EccStrength::Low;        // "ecc"
    CodeType codeType = CodeType::BlackAndWhite;       // "codeType": never Auto
    int modulesPerRing = 0;                            // "modulesPerRing"
    int ringCount = 0;                                 // "rings"
    bool mirrored = false;       // "mirrored": the image shows the symbol's mirror image
    Point center;                // "center": the centre of the symbol
    std::vector<Point> outline;  // "outline": points on the symbol's rim, in order around it
    // "startMarkerAngle", which gives degrees: here radians from +x towards +y, in [0, 2 pi).
    double startMarkerAngle = 0.0;
    int correctedSymbols = 0;    // "rsCorrected": Reed-Solomon symbols (bytes) corrected
    int correctableSymbols = 0;  // "rsCorrectable": the most that could have been corrected
};

struct ReadOptions {
    CodeType codeType = CodeType::Auto;
    BinaryFormat binaryFormat = BinaryFormat::Bits;
    Layout layout = Layout::HorizontalShortSnake;  // the layout the symbols were written with
    bool enhance = true;        // condition the image (contrast, noise) before reading
    int maxSymbols = 0;         // stop after this many symbols; 0: every symbol found
    double timeBudgetMs = 0.0;  // return what was found after this many ms; 0: no limit
};

// Every symbol found, and when there is none, why: the deepest failure of the search.
struct ReadResult {
    std::vector<Symbol> symbols;
    int errorCode = 0;         // 0 when a symbol was read
    std::string errorMessage;  // the error's message
    std::string failedStage;   // the stage the deepest attempt failed in ("ReadImage": the file)
    double decodeMs = 0.0;     // how long the read took
};

// Reads every symbol in the image. Throws Error for an image the reader cannot take (wrong type,
// a grey image with the colour code type); an image without a symbol is no error.
ReadResult read(const cv::Mat& image, const ReadOptions& options = {});

// Reads an image file (PNG, JPEG, WebP, TIFF, PNM or BMP) as the Quorview program does, and every
// symbol in it. A path that names no readable image is no exception either: the result then
// says why in the program's words (error 22, stage "ReadImage").
ReadResult readFile(const std::string& path, const ReadOptions& options = {});

// The Quorview program's JSON line for a result (without the line end): "file", "symbols" with
// the fields named at Symbol, "decodeMs" and, when nothing was read, "error".
std::string toJsonLine(const std::string& file, const ReadResult& result);

// Reads one symbol as the Quorview program does and returns its payload (with Auto: black and
// white first, then colour when the image shows colour). Throws Error with the deepest failure
// when there is none.
std::string decode(const cv::Mat& image, CodeType codeType = CodeType::BlackAndWhite,
                   BinaryFormat binaryFormat = BinaryFormat::Bits, bool enhance = true);

struct WriteOptions {
    CodeType codeType = CodeType::BlackAndWhite;  // BlackAndWhite or Color
    EccStrength eccStrength = EccStrength::Medium;
    PayloadType payloadType = PayloadType::Automatic;  // Binary: the text is "0b" + bits
    Layout layout = Layout::HorizontalShortSnake;
    int modulesPerRing = 0;   // 0: the smallest symbol that holds it
    int ringCount = 0;        // 0: the smallest symbol that holds it
    int imageSize = 640;      // side of the square image, 1 to 20000 pixels
    double startAngle = 0.0;  // direction of the start marker, radians from +x towards +y
    bool mirrored = false;    // draw the mirror image
    bool force = false;       // hand out a symbol even when the reader does not read it back
};

// Writes `text` as a symbol and returns the 8-bit BGR image; bytes that are not UTF-8 are
// written as a Binary payload (as writeBytes does). The symbol is read back first: one that the
// reader does not read at this size is refused with the smallest image size that reads, unless
// `force` is set. Throws Error when the text is empty, does not fit, does not suit the payload
// type, the options are impossible, or the symbol does not read back.
cv::Mat write(const std::string& text, const WriteOptions& options = {});

// Writes raw bytes as a Binary payload (as Quorgen --binary-file does).
cv::Mat writeBytes(const std::vector<std::uint8_t>& bytes, const WriteOptions& options = {});

// The bytes a symbol holds: for a Binary payload the bytes that writeBytes wrote (whichever
// BinaryFormat it was read with; a trailing half byte is dropped), otherwise the payload's bytes.
std::vector<std::uint8_t> payloadBytes(const Symbol& symbol);

}  // namespace quorview
