// Quorgen's command line, and the program itself writing a symbol that the reader reads back.
#include "writer/QuorgenOptions.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decoder/Decoder.h"

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

// A file name of this process alone: test programs may run side by side.
std::string scratchPath(const std::string& name) {
    return testing::TempDir() + "quorgen-test-" + std::to_string(::getpid()) + "-" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
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
         "1 payload.txt b.png Low Color UTF8 80x9 Scrambled m"},
        {{"-b", "data.bin", "-p", "20"}, "2 data.bin"},
        {{"-"}, "0 - quorel.png"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(describe(parseQuorgenArguments(args)).rfind(expected, 0), 0u)
            << describe(parseQuorgenArguments(args));
    }
    const QuorgenOptions l = parseQuorgenArguments(cases[1].first);
    EXPECT_EQ(l.render.ringPitch, 12.5);
    EXPECT_EQ(l.render.quietZone, 3.5);
    EXPECT_TRUE(l.verbose);
    for (const Args& args : {cases[1].first, cases[2].first, Args{"-f", "x", "-d", "500"}}) {
        EXPECT_EQ(parseQuorgenArguments(args).render.imageSize, defaults.render.imageSize);
    }
    EXPECT_TRUE(parseQuorgenArguments({"-h"}).help);
    EXPECT_TRUE(parseQuorgenArguments({"Text", "-f", "file", "--help"}).help);  // even with both
}

TEST(QuorgenOptions, BadValuesAreNamed) {
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"-e", "Huge", "t"},
         "unknown ECC strength 'Huge' (choose from Low, Medium, Quartile, High)"},
        {{"-e", "high", "t"}, "unknown ECC strength 'high'"},  // names are case-sensitive
        {{"-c", "2", "t"}, "unknown code type '2'"},
        {{"-t", "Words", "t"}, "unknown payload type 'Words'"},
        {{"-l", "Spiral", "t"}, "unknown layout 'Spiral'"},
        {{"-m", "15", "t"}, "modules per ring must be a whole number from 16 to 80, not '15'"},
        {{"-m", "81", "t"}, "from 16 to 80, not '81'"},
        {{"-m", "32x", "t"}, "not '32x'"},
        {{"-m", "", "t"}, "not ''"},
        {{"-r", "1", "t"}, "ring count must be a whole number from 2 to 255, not '1'"},
        {{"--mask", "5", "t"}, "mask must be a whole number from 0 to 4, not '5'"},
        {{"-p", "0", "t"}, "ring pitch must be a positive number, not '0'"},
        {{"-p", "-3", "t"}, "not '-3'"},
        {{"-d", "nan", "t"}, "diameter must be a positive number, not 'nan'"},
        {{"-d", "inf", "t"}, "not 'inf'"},
        {{"-q", "-1", "t"}, "quiet zone must be a positive number, not '-1'"},
        {{"-s", "640", "t"}, "image size must read WIDTHxHEIGHT, not '640'"},
        {{"-s", "0x10", "t"}, "image width must be a whole number from 1 to 20000, not '0'"},
        {{"-s", "10x", "t"}, "image height must be a whole number from 1 to 20000, not ''"},
        {{"--rotation", "east", "t"}, "rotation must be a number of degrees, not 'east'"},
        {{"--bogus", "1", "t"}, "unknown option '--bogus'"},
        {{"t", "-o"}, "option '-o' needs a value"},
        {{"one", "two"}, "more than one text given"},
        {{"text", "-f", "file"}, "give either a text or a file, not both"},
        {{}, "no payload given"},
        {{"-v", "-o", "x.png"}, "no payload given"},
    };
    for (const auto& [args, expected] : cases) {
        const std::string error = usageError(args);
        EXPECT_NE(error.find(expected), std::string::npos)
            << "arguments: " << ::testing::PrintToString(args) << "\nerror: " << error;
    }
    EXPECT_EQ(usageError({"-r", "255", "-q", "0", "--rotation", "-45.5", "t"}), "");
}

TEST(QuorgenOptions, PayloadFromTextAndFiles) {
    QuorgenOptions text = parseQuorgenArguments({"0b0110"});
    EXPECT_EQ(quorgenPayload(text), "0b0110");

    const std::string file = scratchPath("payload.txt");
    writeFile(file, "line one\nline two\n");
    QuorgenOptions fromFile = parseQuorgenArguments({"--file", file});
    EXPECT_EQ(quorgenPayload(fromFile), "line one\nline two\n");
    EXPECT_EQ(fromFile.symbol.payloadType, PayloadType::Automatic);

    writeFile(file, std::string("\x00\x7f\xa5\xff", 4));
    QuorgenOptions binary = parseQuorgenArguments({"-t", "Ascii", "--binary-file", file});
    EXPECT_EQ(quorgenPayload(binary), "0x007fa5ff");
    EXPECT_EQ(binary.symbol.payloadType, PayloadType::Binary);
    std::remove(file.c_str());

    QuorgenOptions missing = parseQuorgenArguments({"--file", scratchPath("no-such-file")});
    EXPECT_THROW(quorgenPayload(missing), std::runtime_error);
}

#ifdef QUORGEN_BINARY

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built Quorgen with the arguments (each quoted for the shell).
RunResult runQuorgen(const Args& args) {
    const std::string out = scratchPath("stdout.txt");
    const std::string err = scratchPath("stderr.txt");
    std::string command = std::string("'") + QUORGEN_BINARY + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    command += " > '" + out + "' 2> '" + err + "'";
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return result;
}

TEST(QuorgenProgram, WritesASymbolTheReaderReadsBack) {
    const std::string image = scratchPath("symbol.png");
    const std::string text = "Quorgen round trip 2026";
    const RunResult run =
        runQuorgen({"-e", "Quartile", "--rotation", "33", "-v", "-o", image, text});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Wrote " + image + ": 640x640 px"), std::string::npos) << run.out;

    const cv::Mat written = cv::imread(image, cv::IMREAD_COLOR);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.size(), kDefaultQuorgenImage);
    EXPECT_EQ(decode(DecodeParameters(), written, true), text);
    std::remove(image.c_str());
}

TEST(QuorgenProgram, FailuresExitWithAReason) {
    const std::string image = scratchPath("never.png");
    // More than the largest automatic symbol holds, and more than a frame header can count.
    const RunResult tooLong = runQuorgen({"-o", image, std::string(250, 'x')});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_NE(tooLong.err.find("Quorgen: cannot write the symbol: "), std::string::npos)
        << tooLong.err;
    EXPECT_NE(tooLong.err.find("payload bytes, at most"), std::string::npos) << tooLong.err;
    const RunResult tooManyBits = runQuorgen({"-o", image, std::string(2000, 'x')});
    EXPECT_EQ(tooManyBits.exitCode, 1);
    EXPECT_NE(tooManyBits.err.find("payload bits, 2047 at most"), std::string::npos)
        << tooManyBits.err;

    // Fits some symbol, but not the one asked for.
    const RunResult tooSmall =
        runQuorgen({"-m", "16", "-r", "2", "-o", image, std::string(60, 'x')});
    EXPECT_EQ(tooSmall.exitCode, 1);
    EXPECT_NE(tooSmall.err.find("16 modules per ring and 2 rings hold"), std::string::npos)
        << tooSmall.err;
    EXPECT_TRUE(readFile(image).empty()) << "no image for a failed symbol";

    const RunResult usage = runQuorgen({"--mask", "9", "t"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("mask must be a whole number"), std::string::npos) << usage.err;
    EXPECT_NE(usage.err.find("Quorgen --help lists the options"), std::string::npos);

    const RunResult help = runQuorgen({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, kQuorgenUsage);
}

TEST(QuorgenProgram, OutputTypesAndTheirFailuresEachGiveOneLine) {
    const struct {
        Args args;
        int exitCode;
        std::string errorPart;  // "" when nothing is written to the error stream
    } cases[] = {
        {{"--version"}, 0, ""},
        {{"-o", scratchPath("x.unknown"), "Hi"}, 2, "cannot write images of type 'unknown'"},
        {{"-o", scratchPath("noextension"), "Hi"}, 2, "has no extension"},
        {{"--format", "gif", "-o", "-", "Hi"}, 2, "cannot write images of type 'gif'"},
        {{"-o", "/nonexistent-dir/x.png", "Hi"}, 1, "cannot write '/nonexistent-dir/x.png': "},
        {{"-o", scratchPath("e.png"), ""}, 2, "the payload is empty"},
    };
    for (const auto& c : cases) {
        const RunResult run = runQuorgen(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << run.err;
        if (c.errorPart.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err.rfind("Quorgen: ", 0), 0U) << run.err;
            EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("OpenCV"), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(runQuorgen({"--version"}).out, "Quorgen 1.26.34\n");
}

TEST(QuorgenProgram, StandardOutputAndVectorOutputReadBack) {
    const RunResult png = runQuorgen({"-o", "-", "To stdout"});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    const cv::Mat image =
        cv::imdecode(std::vector<std::uint8_t>(png.out.begin(), png.out.end()), cv::IMREAD_COLOR);
    EXPECT_EQ(decode(DecodeParameters(), image, true), "To stdout");

    // A rasteriser turns the vector symbol back into pixels, at its own size and larger.
    const struct {
        Args args;
        CodeType codeType;
        std::string width;
    } cases[] = {
        {{"-m", "16", "V16"}, CodeType::BlackAndWhite, "640"},
        {{"-m", "48", "--mirror", "Vector 48"}, CodeType::BlackAndWhite, "1200"},
        {{"-c", "Color", "-m", "32", "Colour vector"}, CodeType::Color, "640"},
    };
    const std::string svg = scratchPath("symbol.svg");
    const std::string raster = scratchPath("symbol-raster.png");
    for (const auto& c : cases) {
        Args args = {"-o", svg};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult written = runQuorgen(args);
        ASSERT_EQ(written.exitCode, 0) << written.err;
        EXPECT_NE(readFile(svg).find("<path d=\"M"), std::string::npos);
        const std::string command =
            "rsvg-convert -w " + c.width + " '" + svg + "' -o '" + raster + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        DecodeParameters parameters;
        parameters.codeType = c.codeType;
        EXPECT_EQ(decode(parameters, cv::imread(raster, cv::IMREAD_COLOR), true), c.args.back());
    }
    std::remove(svg.c_str());
    std::remove(raster.c_str());
}

#endif  // QUORGEN_BINARY

}  // namespace
}  // namespace qcl::writer
