#include "writer/QuorgenOptions.h"

#include <cmath>

#include <opencv2/imgcodecs.hpp>

#include "common/CodeTypes.h"
#include "imaging/ImageFile.h"
#include "writer/OptionNames.h"
#include "writer/PayloadEncoder.h"
#include "writer/SymbolWriter.h"

namespace qcl::writer {

namespace {

constexpr int kMaxRingCount = 255;

// A value by its name in any letter case, or by its number.
template <typename Enum>
Enum parseName(const std::string& what, NameKind kind, const std::string& text) {
    const std::optional<int> value = valueNamed(kind, text);
    if (!value) {
        throw UsageError("unknown " + what + " '" + text + "' (choose from " + nameChoices(kind) +
                         ")");
    }
    return static_cast<Enum>(*value);
}

// The whole text read as a number by `convert` (std::stoi or std::stod); false when it is not
// one, or has anything after it.
template <typename Number, typename Convert>
bool readWhole(const std::string& text, Convert convert, Number& value) {
    std::size_t used = 0;
    try {
        value = convert(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return !text.empty() && used == text.size();
}

int parseInt(const std::string& what, const std::string& text, int minimum, int maximum) {
    int value = 0;
    const auto convert = [](const std::string& t, std::size_t* used) { return std::stoi(t, used); };
    if (!readWhole(text, convert, value) || value < minimum || value > maximum) {
        throw UsageError(what + " must be a whole number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not '" + text + "'");
    }
    return value;
}

double parseReal(const std::string& text, bool& ok) {
    double value = 0.0;
    const auto convert = [](const std::string& t, std::size_t* used) { return std::stod(t, used); };
    ok = readWhole(text, convert, value) && std::isfinite(value);
    return value;
}

double parsePositive(const std::string& what, const std::string& text, bool zeroAllowed) {
    bool ok = false;
    const double value = parseReal(text, ok);
    if (!ok || value < 0 || (value == 0 && !zeroAllowed)) {
        throw UsageError(what + " must be a positive number, not '" + text + "'");
    }
    return value;
}

cv::Size parseSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        throw UsageError("image size must read WIDTHxHEIGHT, not '" + text + "'");
    }
    return {parseInt("image width", text.substr(0, x), 1, kMaxImageSide),
            parseInt("image height", text.substr(x + 1), 1, kMaxImageSide)};
}

// Applies one option that takes a value.
void applyValueOption(QuorgenOptions& o, const std::string& name, const std::string& value,
                      bool& sizeGiven) {
    using Source = QuorgenOptions::Source;
    if (name == "-o" || name == "--output") {
        o.output = value;
    } else if (name == "--format") {
        o.format = value;
    } else if (name == "-f" || name == "--file") {
        o.source = Source::File;
        o.input = value;
    } else if (name == "-b" || name == "--binary-file") {
        o.source = Source::BinaryFile;
        o.input = value;
    } else if (name == "-e" || name == "--ecc") {
        o.symbol.eccStrength = parseName<ECCtype>("ECC strength", NameKind::Ecc, value);
    } else if (name == "-c" || name == "--code-type") {
        o.symbol.codeType = parseName<CodeType>("code type", NameKind::CodeType, value);
    } else if (name == "-t" || name == "--type") {
        o.symbol.payloadType = parseName<PayloadType>("payload type", NameKind::PayloadType, value);
    } else if (name == "-m" || name == "--modules") {
        o.symbol.modulesPerRing = parseInt("modules per ring", value, 16, 80);
    } else if (name == "-r" || name == "--rings") {
        o.symbol.ringCount = parseInt("ring count", value, 2, kMaxRingCount);
    } else if (name == "-l" || name == "--layout") {
        o.symbol.layout = parseName<Layout>("layout", NameKind::Layout, value);
    } else if (name == "--mask") {
        o.symbol.mask = parseInt("mask", value, 0, 4);
    } else if (name == "-p" || name == "--pitch") {
        o.render.ringPitch = parsePositive("ring pitch", value, false);
    } else if (name == "-d" || name == "--diameter") {
        o.render.diameter = parsePositive("diameter", value, false);
    } else if (name == "-s" || name == "--size") {
        o.render.imageSize = parseSize(value);
        sizeGiven = true;
    } else if (name == "-q" || name == "--quiet-zone") {
        o.render.quietZone = parsePositive("quiet zone", value, true);
    } else if (name == "--rotation") {
        bool ok = false;
        const double degrees = parseReal(value, ok);
        if (!ok) {
            throw UsageError("rotation must be a number of degrees, not '" + value + "'");
        }
        o.render.startAngle = degrees * CV_PI / 180.0;
    } else {
        throw UsageError("unknown option '" + name + "'");
    }
}

std::string readFile(const std::string& name) {
    const FileBytes file = readFileBytes(name);
    if (!file.ok()) {
        throw std::runtime_error("cannot read '" + name + "': " + file.error);
    }
    return std::string(file.bytes.begin(), file.bytes.end());
}

// Splits "--name=value" into its name and value; other arguments are left as they are.
bool splitAttached(const std::string& arg, std::string& name, std::string& value) {
    const std::size_t equals = arg.find('=');
    if (arg.rfind("--", 0) != 0 || equals == std::string::npos) {
        return false;
    }
    name = arg.substr(0, equals);
    value = arg.substr(equals + 1);
    return true;
}

bool isFlag(const std::string& arg, QuorgenOptions& o) {
    if (arg == "-h" || arg == "--help") {
        o.help = true;
    } else if (arg == "--version") {
        o.version = true;
    } else if (arg == "-v" || arg == "--verbose") {
        o.verbose = true;
    } else if (arg == "--mirror") {
        o.render.mirrored = true;
    } else if (arg == "--force") {
        o.force = true;
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* const kQuorgenUsage = R"(Usage: Quorgen [options] TEXT
       Quorgen [options] --file FILE
       Quorgen [options] --binary-file FILE

Writes a Quorel code symbol holding TEXT (or the bytes of FILE) into an image. The symbol is
read back before it is written: one that Quorview cannot read at the asked size is refused,
with the smallest size that reads, unless --force is given.

Input:
  TEXT                    the payload; "0b0101..." is stored as binary digits
  -f, --file FILE         the payload is the contents of FILE, byte for byte (bytes that are
                          not UTF-8 text are stored as a Binary payload)
  -b, --binary-file FILE  binary payload: the bytes of FILE, stored as "0x" and two
                          hexadecimal digits per byte (the reader's hexadecimal output)
Symbol (names in any letter case, or their numbers):
  -e, --ecc NAME          error correction: low, medium (default), quartile, high
  -c, --code-type NAME    bw (default) or color; BlackAndWhite and Color too
  -t, --type NAME         payload type: Automatic (default: fewest bits), Digits, Letters,
                          Numbers, Ascii, Binary, UTF8
  -m, --modules N         modules per ring: 16, 32, 48, 64 or 80 (default: smallest fit)
  -r, --rings N           data rings, at least 2 (default: smallest fit)
  -l, --layout NAME       Horizontal (0), Vertical (1), VerticalSnake (2), HorizontalSnake (3),
                          HorizontalShortSnake (4, default), Scrambled (5); readers use
                          layout 4 unless told (Quorview --layout NAME)
      --mask N            data mask 0..4 (default: the most balanced)
Image:
  -o, --output FILE       image file to write (default quorel.png; PNG keeps it exact);
                          - writes to standard output
      --format png|svg    image type (default: from the file name's extension; png for -);
                          svg draws the symbol as vector shapes, sharp at any size
  -p, --pitch PX          ring pitch: radial size of one module ring, in pixels
  -d, --diameter PX       outer diameter of the symbol, in pixels
  -s, --size WxH          image size (default 640x640, or just large enough for --pitch);
                          at most 20000x20000
  -q, --quiet-zone PX     white margin round the symbol, in pixels of a 640-pixel view
                          (default 8)
      --rotation DEG      angle of the start marker, degrees clockwise from 3 o'clock (the
                          reader's startMarkerAngle)
      --mirror            draw the mirror image
      --force             write the symbol even when the reader does not read it back
  -v, --verbose           print the chosen size and geometry
  -h, --help              this text
      --version           program and version
Options that take a value also take it as --name=VALUE.
Exit codes: 0 written, 1 the symbol or the file could not be written, 2 usage error.
)";

QuorgenOptions parseQuorgenArguments(const std::vector<std::string>& args) {
    QuorgenOptions o;
    bool textGiven = false;
    bool sizeGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name;
        std::string value;
        if (isFlag(arg, o)) {
            continue;
        }
        if (splitAttached(arg, name, value)) {
            if (isFlag(name, o)) {
                throw UsageError("option '" + name + "' takes no value");
            }
            applyValueOption(o, name, value, sizeGiven);
        } else if (arg.size() > 1 && arg[0] == '-') {
            if (i + 1 >= args.size()) {
                throw UsageError("option '" + arg + "' needs a value");
            }
            applyValueOption(o, arg, args[++i], sizeGiven);
        } else {
            if (textGiven) {
                throw UsageError("more than one text given; quote a text with blanks");
            }
            o.input = arg;
            textGiven = true;
        }
    }
    if (o.help || o.version) {
        return o;
    }
    if (textGiven == (o.source != QuorgenOptions::Source::Text)) {
        throw UsageError(textGiven ? "give either a text or a file, not both"
                                   : "no payload given: a text, --file or --binary-file");
    }
    if (!sizeGiven && o.render.ringPitch <= 0 && o.render.diameter <= 0) {
        o.render.imageSize = kDefaultQuorgenImage;
    }
    return o;
}

std::string quorgenPayload(QuorgenOptions& options) {
    switch (options.source) {
        case QuorgenOptions::Source::Text:
            return options.input;
        case QuorgenOptions::Source::File:
            return readFile(options.input);
        case QuorgenOptions::Source::BinaryFile:
            options.symbol.payloadType = PayloadType::Binary;
            return bytesAsHexText(readFile(options.input));
    }
    return {};
}

}  // namespace qcl::writer

namespace qcl::writer {

std::string quorgenFormat(const QuorgenOptions& options) {
    std::string format = options.format;
    if (format.empty()) {
        const std::size_t dot = options.output.rfind('.');
        const std::size_t slash = options.output.rfind('/');
        if (options.output == "-") {
            format = "png";
        } else if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
            throw UsageError("output '" + options.output +
                             "' has no extension; name it .png or .svg, or give --format");
        } else {
            format = options.output.substr(dot + 1);
        }
    }
    for (char& c : format) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (format != "svg" && !cv::haveImageWriter("x." + format)) {
        throw UsageError("cannot write images of type '" + format + "'; use png or svg");
    }
    return format;
}

}  // namespace qcl::writer
