// Quorgen's command line, and the program itself writing a symbol that the reader reads back.
#include "writer/QuorgenOptions.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "support/ProgramRunner.h"

namespace qcl::writer {
namespace {

using Args = std::vector<std::string>;

// The usage error for a command line, or "" when it is accepted.
std::string usageError(const Args& args) {
    try {
        parseQuorgenArguments(args);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "";
}

// Every field the command line sets, in one line, so a table can compare whole parses.
std::string describe(const QuorgenOptions& o) {
    std::ostringstream out;
    const SymbolOptions& s = o.symbol;
    const RenderOptions& r = o.render;
    out << static_cast<int>(o.source) << ' ' << o.input << ' ' << o.output << ' '
        << toString(s.eccStrength) << ' ' << toString(s.codeType) << ' ' << toString(s.payloadType)
        << ' ' << s.modulesPerRing << 'x' << s.ringCount << ' ' << toString(s.layout) << " m"
        << s.mask << " d" << r.diameter << ' ' << r.imageSize.width << 'x' << r.imageSize.height
        << " q" << r.quietZone << " a" << std::lround(r.startAngle * 180 / CV_PI)
        << (r.mirrored ? 'M' : '-') << (o.verbose ? 'V' : '-') << (o.help ? 'H' : '-') << " p"
        << r.ringPitch;
    return out.str();
}

// Short and long forms, enumerations by name and by number; a pitch or a diameter alone leaves
// the image size to the renderer; a single dash is a text; help needs no payload.
TEST(QuorgenOptions, EveryOptionInShortAndLongForm) {
    const QuorgenOptions defaults;
    const std::pair<Args, std::string> cases[] = {
        {{"-o", "a.png",   "-e", "High", "-c",         "Color",  "-t",       "Ascii", "-m",
          "48", "-r",      "3",  "-l",   "Vertical",   "--mask", "2",        "-d",    "300",
          "-s", "800x600", "-q", "0",    "--rotation", "90",     "--mirror", "-v",    "Text"},
         "0 Text a.png High Color Ascii 48x3 Vertical m2 d300 800x600 q0 a90MV- p"},
        {{"--output",     "b.png", "--ecc",     "0",      "--code-type", "1", "--type",  "7",
          "--modules",    "80",    "--rings",   "9",      "--layout",    "5", "--pitch", "12.5",
          "--quiet-zone", "3.5",   "--verbose", "--file", "payload.txt"},
         "1 payload.txt b.png Low Color UTF8 80x9 Scrambled m-1 d0 0x0 q3.5 a0-V- p12.5"},
        {{"-b", "data.bin", "-p", "20"}, "2 data.bin"},
        {{"-"}, "0 - quorel.png"},
        // The same words as the reader's, in any letter case, and values attached with "=".
        {{"--ecc=high", "-c", "COLOR", "--layout=scrambled", "-t", "digits", "--rings=4", "1"},
         "0 1 quorel.png High Color Digits 0x4 Scrambled"},
        {{"-e", "QUARTILE", "--code-type", "bw", "Text"},
         "0 Text quorel.png Quartile BlackAndWhite"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(describe(parseQuorgenArguments(args)).rfind(expected, 0), 0u)
            << describe(parseQuorgenArguments(args));
    }
    for (const Args& args : {cases[1].first, cases[2].first, Args{"-f", "x", "-d", "500"}}) {
        EXPECT_EQ(parseQuorgenArguments(args).render.imageSize, defaults.render.imageSize);
    }
    EXPECT_TRUE(parseQuorgenArguments({"-h"}).help);
    EXPECT_TRUE(parseQuorgenArguments({"Text", "-f", "file", "--help"}).help);  // even with both
}

TEST(QuorgenOptions, BadValuesAreNamed) {
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"-e", "Huge", "t"},
         "unknown ECC strength 'Huge' (choose from low, medium, quartile or high)"},
        {{"-c", "2", "t"}, "unknown code type '2' (choose from bw or color)"},
        {{"-c", "auto", "t"}, "unknown code type 'auto'"},  // reading only
        {{"--force=yes", "t"}, "option '--force' takes no value"},
        {{"-t", "Words", "t"}, "unknown payload type 'Words'"},
        {{"-l", "Spiral", "t"}, "unknown layout 'Spiral'"},
        {{"-m", "15", "t"}, "modules per ring must be a whole number from 16 to 80, not '15'"},
        {{"-m", "81", "t"}, "from 16 to 80, not '81'"},
        {{"-m", "32x", "t"}, "not '32x'"},
        {{"-r", "1", "t"}, "ring count must be a whole number from 2 to 255, not '1'"},
        {{"--mask", "5", "t"}, "mask must be a whole number from 0 to 4, not '5'"},
        {{"-p", "0", "t"}, "ring pitch must be a positive number, not '0'"},
        {{"-d", "nan", "t"}, "diameter must be a positive number, not 'nan'"},
        {{"-q", "-1", "t"}, "quiet zone must be a positive number, not '-1'"},
        {{"-s", "640", "t"}, "image size must read WIDTHxHEIGHT, not '640'"},
        {{"-s", "0x10", "t"}, "image width must be a whole number from 1 to 20000, not '0'"},
        {{"-s", "10x", "t"}, "image height must be a whole number from 1 to 20000, not ''"},
        {{"--rotation", "east", "t"}, "rotation must be a number of degrees, not 'east'"},
        {{"--bogus", "1", "t"}, "unknown option '--bogus'"},
        {{"t", "-o"}, "option '-o' needs a value"},
        {{"one", "two"}, "more than one text given"},
        {{"text", "-f", "file"}, "give either a text or a file, not both"},
        {{"-v", "-o", "x.png"}, "no payload given"},
    };
    for (const auto& [args, expected] : cases) {
        const std::string error = usageError(args);
        EXPECT_NE(error.find(expected), std::string::npos)
            << "arguments: " << ::testing::PrintToString(args) << "\nerror: " << error;
    }
    EXPECT_EQ(usageError({"-r", "255", "-q", "0", "--rotation", "-45.5", "t"}), "");
}

TEST(QuorgenOptions, PayloadFromFiles) {
    const test::TempDir dir;
    const std::string file = (dir / "payload.txt").string();
    dir.write("payload.txt", "line one\nline two\n");
    QuorgenOptions fromFile = parseQuorgenArguments({"--file", file});
    EXPECT_EQ(quorgenPayload(fromFile), "line one\nline two\n");
    EXPECT_EQ(fromFile.symbol.payloadType, PayloadType::Automatic);

    dir.write("payload.txt", std::string("\x00\x7f\xa5\xff", 4));
    QuorgenOptions binary = parseQuorgenArguments({"-t", "Ascii", "--binary-file", file});
    EXPECT_EQ(quorgenPayload(binary), "0x007fa5ff");
    EXPECT_EQ(binary.symbol.payloadType, PayloadType::Binary);

    // Paths that name no readable file, in our words.
    const std::pair<std::string, std::string> unreadable[] = {
        {(dir / "no-such-file").string(), "it is missing"},
        {dir.path().string(), "it is a directory"},
        {"/dev/zero", "it is a device, not a file"}};
    for (const auto& [path, reason] : unreadable) {
        QuorgenOptions options = parseQuorgenArguments({"--file", path});
        try {
            quorgenPayload(options);
            ADD_FAILURE() << path;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "cannot read '" + path + "': " + reason);
        }
    }
}

#ifdef QUORGEN_BINARY

// Runs the built Quorgen in a working directory of its own.
class QuorgenProgram : public ::testing::Test {
  protected:
    test::ProgramResult run(const Args& args) {
        return test::runProgram(dir_.path(), args, "", {}, QUORGEN_BINARY);
    }
    cv::Mat image(const std::string& name) const {
        return cv::imread((dir_ / name).string(), cv::IMREAD_COLOR);
    }
    test::TempDir dir_;
};

TEST_F(QuorgenProgram, WritesSymbolsTheReaderReadsBack) {
    const std::string text = "Quorgen round trip 2026";
    const test::ProgramResult run1 =
        run({"-e", "Quartile", "--rotation", "33", "-v", "-o", "symbol.png", text});
    ASSERT_EQ(run1.exitCode, 0) << run1.errors;
    EXPECT_TRUE(test::contains(run1.output, "Wrote symbol.png: 640x640 px")) << run1.output;
    EXPECT_EQ(image("symbol.png").size(), kDefaultQuorgenImage);
    EXPECT_EQ(decode(DecodeParameters(), image("symbol.png"), true), text);

    // Bytes that are not UTF-8 come back as the same bytes, not as text with replacements.
    dir_.write("bytes.dat", std::string("\xff\xfe\0a", 4));
    ASSERT_EQ(run({"-f", "bytes.dat", "-o", "bytes.png"}).exitCode, 0);
    DecodeParameters hex;
    hex.binaryFormat = BinaryFormat::HexaLowerCase;
    EXPECT_EQ(decode(hex, image("bytes.png"), true), "0xfffe0061");

    const test::ProgramResult png = run({"-o", "-", "To stdout"});
    ASSERT_EQ(png.exitCode, 0) << png.errors;
    const std::vector<std::uint8_t> bytes(png.output.begin(), png.output.end());
    EXPECT_EQ(decode(DecodeParameters(), cv::imdecode(bytes, cv::IMREAD_COLOR), true), "To stdout");

    // A rasteriser turns the vector symbol back into pixels, at its own size and larger.
    const struct {
        Args args;
        CodeType codeType;
        std::string width;
    } cases[] = {
        {{"-m", "48", "--mirror", "Vector 48"}, CodeType::BlackAndWhite, "1200"},
        {{"-c", "Color", "-m", "32", "Colour vector"}, CodeType::Color, "640"},
    };
    for (const auto& c : cases) {
        Args args = {"-o", "symbol.svg"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::ProgramResult written = run(args);
        ASSERT_EQ(written.exitCode, 0) << written.errors;
        EXPECT_TRUE(test::contains(dir_.read("symbol.svg"), "<path d=\"M"));
        const std::string command = "cd " + test::quoted(dir_.path()) + " && rsvg-convert -w " +
                                    c.width + " symbol.svg -o raster.png";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        DecodeParameters parameters;
        parameters.codeType = c.codeType;
        EXPECT_EQ(decode(parameters, image("raster.png"), true), c.args.back());
    }
}

// Every failure gives one line that starts with the program's name, and no image.
TEST_F(QuorgenProgram, FailuresExitWithAReason) {
    const struct {
        Args args;
        int exitCode;
        std::vector<std::string> errorParts;
    } cases[] = {
        // More than the largest automatic symbol holds, and more than a frame header can count.
        {{"-o", "x.png", std::string(250, 'x')},
         1,
         {"Quorgen: cannot write the symbol: ", "payload bytes, at most"}},
        {{"-o", "x.png", std::string(2000, 'x')}, 1, {"payload bits, 2047 at most"}},
        // Fits some symbol, but not the one asked for.
        {{"-m", "16", "-r", "2", "-o", "x.png", std::string(60, 'x')},
         1,
         {"16 modules per ring and 2 rings hold"}},
        {{"--mask", "9", "t"},
         2,
         {"mask must be a whole number", "Quorgen --help lists the options"}},
        {{"-o", "x.unknown", "Hi"}, 2, {"cannot write images of type 'unknown'"}},
        {{"-o", "noextension", "Hi"}, 2, {"has no extension"}},
        {{"--format", "gif", "-o", "-", "Hi"}, 2, {"cannot write images of type 'gif'"}},
        {{"-o", "/nonexistent-dir/x.png", "Hi"}, 1, {"cannot write '/nonexistent-dir/x.png': "}},
        {{"-o", "x.png", ""}, 1, {"the payload is empty"}},
        // Symbols the reader would not read are refused, with the size that reads.
        {{"-r", "100", "-o", "x.png", "Hello"},
         1,
         {"our reader does not read this symbol at an image of 640 x 640 px; no larger size "
          "reads it either",
          "--force writes it anyway"}},
        {{"-d", "50", "-o", "x.png", "Hello"},
         1,
         {"at a diameter of 50 px; the smallest size that reads is a diameter of "}},
        {{"-p", "2", "-o", "x.png", "Hello"},
         1,
         {"the smallest size that reads is a ring pitch of "}},
        {{"-f", ".", "-o", "x.png"}, 1, {"Quorgen: cannot read '.': it is a directory"}},
    };
    for (const auto& c : cases) {
        const test::ProgramResult result = run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << result.errors;
        EXPECT_EQ(result.errors.rfind("Quorgen: ", 0), 0U) << result.errors;
        EXPECT_FALSE(test::contains(result.errors, "OpenCV")) << result.errors;
        for (const std::string& part : c.errorParts) {
            EXPECT_TRUE(test::contains(result.errors, part)) << result.errors;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "x.png")) << "no image for a failed symbol";
    // Forced, the unreadable symbol is written as asked: 50 px across in an image just large
    // enough for it.
    EXPECT_EQ(run({"--force", "-d", "50", "-o", "x.png", "Hello"}).exitCode, 0);
    EXPECT_LT(image("x.png").cols, 100);
    for (const auto& [option, output] :
         {std::pair<std::string, std::string>{"--version", "Quorgen 1.26.34\n"},
          {"--help", kQuorgenUsage}}) {
        const test::ProgramResult result = run({option});
        EXPECT_EQ(result.exitCode, 0) << option;
        EXPECT_EQ(result.output, output);
        EXPECT_EQ(result.errors, "") << option;
    }
}

#endif  // QUORGEN_BINARY

}  // namespace
}  // namespace qcl::writer
