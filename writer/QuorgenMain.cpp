// Quorgen: writes a Quorel code symbol for a text, a file or binary data into an image file.
#include <opencv2/imgcodecs.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace {

using qcl::CodeType;
using qcl::ECCtype;
using qcl::Layout;
using qcl::PayloadType;

// Exit codes: a symbol that cannot be made is a different failure from a wrong command line.
constexpr int kExitCannotWrite = 1;
constexpr int kExitUsage = 2;
// Image the symbol fills when neither its size nor its module size is given: the reader's own
// working size.
const cv::Size kDefaultImageSize(640, 640);

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    enum class Source { Text, File, BinaryFile } source = Source::Text;
    std::string input;  // the text itself or a file name
    std::string output = "quorel.png";
    qcl::writer::SymbolOptions symbol;
    qcl::RenderOptions render;
    bool sizeGiven = false;
    bool verbose = false;
    bool help = false;
};

const char* const kUsage = R"(Usage: Quorgen [options] TEXT
       Quorgen [options] --file FILE
       Quorgen [options] --binary-file FILE

Writes a Quorel code symbol holding TEXT (or the bytes of FILE) into an image.

Input:
  TEXT                    the payload; "0b0101..." is stored as binary digits
  -f, --file FILE         the payload is the contents of FILE, byte for byte
  -b, --binary-file FILE  binary payload: the bytes of FILE, stored as "0x" and two
                          hexadecimal digits per byte (the reader's hexadecimal output)
Symbol:
  -e, --ecc NAME          error correction: Low, Medium (default), Quartile, High
  -c, --code-type NAME    BlackAndWhite (default) or Color
  -t, --type NAME         payload type: Automatic (default: fewest bits), Digits, Letters,
                          Numbers, Ascii, Binary, UTF8
  -m, --modules N         modules per ring: 16, 32, 48, 64 or 80 (default: smallest fit)
  -r, --rings N           data rings, at least 2 (default: smallest fit)
  -l, --layout NAME       Horizontal, Vertical, VerticalSnake, HorizontalSnake,
                          HorizontalShortSnake (default; the one Quorview reads), Scrambled
      --mask N            data mask 0..4 (default: the most balanced)
Image:
  -o, --output FILE       image file to write (default quorel.png; PNG keeps it exact)
  -p, --pitch PX          ring pitch: radial size of one module ring, in pixels
  -d, --diameter PX       outer diameter of the symbol, in pixels
  -s, --size WxH          image size (default 640x640, or just large enough for --pitch)
  -q, --quiet-zone PX     white margin round the symbol, in pixels of a 640-pixel view
                          (default 8)
      --rotation DEG      angle of the start marker, degrees clockwise from 3 o'clock
      --mirror            draw the mirror image
  -v, --verbose           print the chosen size and geometry
  -h, --help              this text
)";

// Strict name lookup over an enumeration's names (its numbers are accepted too).
template <typename Enum>
Enum parseName(const std::string& what, const std::string& text, int first, int last) {
    for (int value = first; value <= last; ++value) {
        const Enum candidate = static_cast<Enum>(value);
        if (text == qcl::toString(candidate) || text == std::to_string(value)) {
            return candidate;
        }
    }
    std::string names;
    for (int value = first; value <= last; ++value) {
        names += (value == first ? "" : ", ") + qcl::toString(static_cast<Enum>(value));
    }
    throw UsageError("unknown " + what + " '" + text + "' (choose from " + names + ")");
}

int parseInt(const std::string& what, const std::string& text, int minimum, int maximum) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value < minimum || value > maximum) {
        throw UsageError(what + " must be a whole number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not '" + text + "'");
    }
    return value;
}

double parsePositive(const std::string& what, const std::string& text, bool zeroAllowed) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || !std::isfinite(value) || value < 0 ||
        (value == 0 && !zeroAllowed)) {
        throw UsageError(what + " must be a positive number, not '" + text + "'");
    }
    return value;
}

cv::Size parseSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        throw UsageError("image size must read WIDTHxHEIGHT, not '" + text + "'");
    }
    constexpr int kMaxSide = 20000;  // keeps the image within memory
    return {parseInt("image width", text.substr(0, x), 1, kMaxSide),
            parseInt("image height", text.substr(x + 1), 1, kMaxSide)};
}

// Applies one option that takes a value.
void applyValueOption(Options& o, const std::string& name, const std::string& value) {
    if (name == "-o" || name == "--output") {
        o.output = value;
    } else if (name == "-f" || name == "--file") {
        o.source = Options::Source::File;
        o.input = value;
    } else if (name == "-b" || name == "--binary-file") {
        o.source = Options::Source::BinaryFile;
        o.input = value;
    } else if (name == "-e" || name == "--ecc") {
        o.symbol.eccStrength = parseName<ECCtype>("ECC strength", value, 0, 3);
    } else if (name == "-c" || name == "--code-type") {
        o.symbol.codeType = parseName<CodeType>("code type", value, 0, 1);
    } else if (name == "-t" || name == "--type") {
        o.symbol.payloadType = parseName<PayloadType>("payload type", value, 0, 7);
    } else if (name == "-m" || name == "--modules") {
        o.symbol.modulesPerRing = parseInt("modules per ring", value, 16, 80);
    } else if (name == "-r" || name == "--rings") {
        o.symbol.ringCount = parseInt("ring count", value, 2, 255);
    } else if (name == "-l" || name == "--layout") {
        o.symbol.layout = parseName<Layout>("layout", value, 0, 5);
    } else if (name == "--mask") {
        o.symbol.mask = parseInt("mask", value, 0, 4);
    } else if (name == "-p" || name == "--pitch") {
        o.render.ringPitch = parsePositive("ring pitch", value, false);
    } else if (name == "-d" || name == "--diameter") {
        o.render.diameter = parsePositive("diameter", value, false);
    } else if (name == "-s" || name == "--size") {
        o.render.imageSize = parseSize(value);
        o.sizeGiven = true;
    } else if (name == "-q" || name == "--quiet-zone") {
        o.render.quietZone = parsePositive("quiet zone", value, true);
    } else if (name == "--rotation") {
        std::size_t used = 0;
        double degrees = 0;
        try {
            degrees = std::stod(value, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != value.size() || value.empty() || !std::isfinite(degrees)) {
            throw UsageError("rotation must be a number of degrees, not '" + value + "'");
        }
        o.render.startAngle = degrees * CV_PI / 180.0;
    } else {
        throw UsageError("unknown option '" + name + "'");
    }
}

Options parseArguments(const std::vector<std::string>& args) {
    Options o;
    bool textGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "-v" || arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "--mirror") {
            o.render.mirrored = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            if (i + 1 >= args.size()) {
                throw UsageError("option '" + arg + "' needs a value");
            }
            applyValueOption(o, arg, args[++i]);
        } else {
            if (textGiven) {
                throw UsageError("more than one text given; quote a text with blanks");
            }
            o.input = arg;
            textGiven = true;
        }
    }
    if (o.help) {
        return o;
    }
    if (textGiven == (o.source != Options::Source::Text)) {
        throw UsageError(textGiven ? "give either a text or a file, not both"
                                   : "no payload given: a text, --file or --binary-file");
    }
    if (!o.sizeGiven && o.render.ringPitch <= 0 && o.render.diameter <= 0) {
        o.render.imageSize = kDefaultImageSize;
    }
    return o;
}

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read '" + name + "'");
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Binary data as the reader hands it back in hexadecimal: "0x", two digits per byte.
std::string hexText(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text = "0x";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string payloadText(Options& o) {
    switch (o.source) {
        case Options::Source::Text:
            return o.input;
        case Options::Source::File:
            return readFile(o.input);
        case Options::Source::BinaryFile:
            o.symbol.payloadType = PayloadType::Binary;
            return hexText(readFile(o.input));
    }
    return {};
}

void printSummary(const qcl::writer::SymbolContent& content, const qcl::SymbolGeometry& g,
                  const std::string& output) {
    std::cout << "Wrote " << output << ": " << g.imageSize.width << "x" << g.imageSize.height
              << " px, " << content.codeType << ", " << content.modulesPerRing
              << " modules per ring, " << content.ringCount << " rings, ECC " << content.eccStrength
              << ", payload " << content.payloadType << " (" << content.payloadBits
              << " bits), layout " << content.layout << ", mask " << content.mask << "\n"
              << "  diameter " << 2 * g.outerRadius() << " px, ring pitch " << g.pitch
              << " px, centre disc radius " << g.discRadius << " px\n";
}

int run(const std::vector<std::string>& args) {
    Options o = parseArguments(args);
    if (o.help) {
        std::cout << kUsage;
        return EXIT_SUCCESS;
    }
    const std::string text = payloadText(o);
    const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol(text, o.symbol);
    const qcl::SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                       o.render);
    const qcl::SymbolGeometry& g = renderer.geometry();
    const double workingPitch = g.pitch / g.workingScale;
    if (workingPitch < qcl::minimumRingPitch(content.modulesPerRing)) {
        std::cerr << "Quorgen: warning: ring pitch " << workingPitch
                  << " px (in a 640-px view) is below "
                  << qcl::minimumRingPitch(content.modulesPerRing)
                  << " px; the reader may not find this symbol\n";
    }
    const cv::Mat image = renderer.render(content.modules);
    if (!cv::imwrite(o.output, image)) {
        throw std::runtime_error("cannot write '" + o.output + "'");
    }
    if (o.verbose) {
        printSummary(content, g, o.output);
    }
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return run(args);
    } catch (const UsageError& error) {
        std::cerr << "Quorgen: " << error.what() << "\n(Quorgen --help lists the options)\n";
        return kExitUsage;
    } catch (const qcl::QCException& error) {
        std::cerr << "Quorgen: cannot write the symbol: " << error.what() << "\n";
        return kExitCannotWrite;
    } catch (const std::exception& error) {
        std::cerr << "Quorgen: " << error.what() << "\n";
        return kExitCannotWrite;
    }
}
