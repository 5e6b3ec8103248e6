// The scripting mode of the real program with what scripts write: attached option values and the
// short options of the usage text among several files, every kind of path as an input, settings
// files it cannot use, the layouts Quorgen writes, and the start marker's angle in degrees.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "support/ProgramRunner.h"
#include "support/RoundTrip.h"

namespace qcl {
namespace {

using test::contains;
using test::ProgramResult;

class ScriptingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RenderOptions render;
        render.imageSize = cv::Size(360, 360);
        cv::imwrite((dir_ / "plain.png").string(), test::writeSymbol("Plain", {}, render).image);
        writer::SymbolOptions colour;
        colour.codeType = CodeType::Color;
        cv::imwrite((dir_ / "colour.png").string(),
                    test::writeSymbol("Colourful", colour, render).image);
    }
    ProgramResult run(const std::vector<std::string>& arguments) {
        return test::runProgram(dir_.path(), arguments);
    }
    test::TempDir dir_;
};

TEST_F(ScriptingTest, ConventionalOptionFormsAndTheShortOptionsOfTheUsageText) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
        std::string errorPart;  // "" when the error stream must stay empty
    } cases[] = {
        {{"--format=text", "--jobs=2", "plain.png"}, 0, "Plain\n", ""},
        {{"-j1", "--format", "text", "plain.png"}, 0, "Plain\n", ""},
        {{"colour.png", "colour.png", "-c", "1"},
         0,
         "colour.png: Colourful\ncolour.png: Colourful\n",
         ""},
        {{"-c0", "plain.png", "plain.png"}, 0, "plain.png: Plain\nplain.png: Plain\n", ""},
        {{"--code-type=COLOR", "colour.png"}, 0, "Colourful\n", ""},
        {{"--format=json", "--code-type=auto", "plain.png"},
         0,
         "\"codeType\":\"BlackAndWhite\"",
         ""},
        {{"--code-type", "BlackAndWhite", "plain.png"}, 0, "Plain\n", ""},
        // (Every case reads: a failed search is slow, and the automatic code type makes one of a
        // colour symbol, black-and-white first.)
        {{"-r", "plain.png", "-r", "plain.png", "--format", "text"},
         0,
         "plain.png: Plain\nplain.png: Plain\n",
         ""},
        {{"plain.png", "plain.png", "-lf", "run.log", "-ll", "3"}, 0, "plain.png: Plain\n", ""},
        {{"plain.png", "colour.png", "-v"}, 2, "", "Option -v opens the camera view"},
        {{"--no-enhance=1", "plain.png"}, 2, "", "Option --no-enhance takes no value"},
        {{"--jobs=", "plain.png"}, 2, "", "Option --jobs needs a whole number from 1 to 256"},
        {{"--code-type=colour", "-c", "grey", "plain.png"},
         2,
         "",
         "Option -c must be bw, color or auto, but read: grey"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = run(c.arguments);
        const std::string where = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << where << "\n" << result.errors;
        EXPECT_TRUE(c.output.empty() ? result.output.empty() : contains(result.output, c.output))
            << where << "\n"
            << result.output;
        EXPECT_TRUE(c.errorPart.empty() ? result.errors.empty()
                                        : contains(result.errors, c.errorPart))
            << where << "\n"
            << result.errors;
    }
    EXPECT_TRUE(contains(dir_.read("run.log"), "Start logging on "));
}

// A directory, a device, a pipe without a writer and a file the system will not read: each a
// line of our own and exit code 3, never a crash. A pipe with a writer is read.
TEST_F(ScriptingTest, EveryKindOfPathIsReadOrRefusedInOurWords) {
    ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    const ProgramResult json =
        run({"--format", "json", ".", "/dev/null", "pipe", "/proc/self/mem"});
    EXPECT_EQ(json.exitCode, 3) << json.errors;
    EXPECT_EQ(json.errors, "");
    const char* const reasons[] = {"it is a directory", "it is a device, not a file",
                                   "it is a pipe that delivered nothing (no writer)",
                                   "it is unreadable (Input/output error)"};
    std::istringstream lines(json.output);
    for (const char* reason : reasons) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << json.output;
        const nlohmann::json entry = nlohmann::json::parse(line);
        EXPECT_EQ(entry["error"]["code"], 22) << line;
        EXPECT_EQ(entry["error"]["stage"], "ReadImage") << line;
        EXPECT_TRUE(contains(entry["error"]["message"], reason)) << line;
    }
    const ProgramResult text = run({"--format", "text", "."});
    EXPECT_EQ(text.exitCode, 3);
    EXPECT_EQ(text.errors, ".: Image file '.' cannot be read: it is a directory\n");
    // Process substitution hands the program a pipe with its writer at the other end.
    const std::string command =
        "exec " + test::quoted(test::kProgram) + " --format text <(cat plain.png)";
    const ProgramResult piped = test::runProgram(dir_.path(), {"-c", command}, "", {}, "/bin/bash");
    EXPECT_EQ(piped.output, "Plain\n") << piped.errors;
}

TEST_F(ScriptingTest, ASettingsFileThatCannotBeUsedStopsTheRun) {
    dir_.write("numbers.json", "{ \"codeType\": 1, \"binFormat\": 0 }");
    dir_.write("seven.json", "{ \"codeType\": 7 }");
    dir_.write("damaged.json", "{ \"codeType\": ");
    dir_.write("list.json", "[1, 2]");
    const struct {
        std::string file;
        int exitCode;
        std::string message;  // the error stream; "" when the run reads
    } cases[] = {
        {"numbers.json", 0, ""},
        {"missing.json", 2, "Settings file 'missing.json' cannot be read: it is missing\n"},
        {"damaged.json", 2,
         "Settings file 'damaged.json' cannot be read: it is not a JSON object of settings\n"},
        {"list.json", 2,
         "Settings file 'list.json' cannot be read: it is not a JSON object of settings\n"},
        {"seven.json", 2,
         "Settings file 'seven.json': codeType must be bw or color (or its number), but read: 7\n"},
        {".", 2, "Settings file '.' cannot be read: it is a directory\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = run({"--settings", c.file, "--format", "text", "colour.png"});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.file;
        EXPECT_EQ(result.errors, c.message) << c.file;
        EXPECT_EQ(result.output, c.exitCode == 0 ? "Colourful\n" : "") << c.file;
    }
}

#ifdef QUORGEN_BINARY

// What Quorgen writes with -l reads with the same --layout; the default layout needs no option.
TEST_F(ScriptingTest, EveryLayoutQuorgenWritesReadsWithTheMatchingLayout) {
    for (const char* layout : {"0", "1", "2", "3", "4", "5"}) {
        const std::string name = std::string("layout") + layout + ".png";
        const ProgramResult written = test::runProgram(
            dir_.path(), {"-l", layout, "-s", "400x400", "-o", name, "Layout test"}, "", {},
            QUORGEN_BINARY);
        ASSERT_EQ(written.exitCode, 0) << written.errors;
        const ProgramResult read = run({"--layout", layout, "--format", "text", name});
        EXPECT_EQ(read.output, "Layout test\n") << layout << ": " << read.errors;
    }
    EXPECT_EQ(run({"--format", "text", "layout4.png"}).output, "Layout test\n");
    EXPECT_EQ(run({"--layout=Scrambled", "layout5.png"}).output, "Layout test\n");
    EXPECT_TRUE(contains(run({"--layout", "7", "layout5.png"}).errors,
                         "Option --layout must be Horizontal, Vertical"));
}

// Degrees in [0, 360), as Quorgen's --rotation gives them; a symbol drawn at 0 reads as 0. The
// marker's angle is measured to within a degree, a fifth of the finest module.
TEST_F(ScriptingTest, TheStartMarkerAngleIsInDegreesAsQuorgenDrawsIt) {
    // The marker's direction is measured from its sampled edges, a small part of a module.
    constexpr double kAngleTolerance = 1.5;
    for (const double degrees : {0.0, 90.0, 330.0}) {
        const std::string rotation = std::to_string(static_cast<int>(degrees));
        ASSERT_EQ(test::runProgram(dir_.path(), {"--rotation", rotation, "-o", "r.png", "Turned"},
                                   "", {}, QUORGEN_BINARY)
                      .exitCode,
                  0);
        const ProgramResult read = run({"--format", "json", "r.png"});
        const double angle =
            nlohmann::json::parse(read.output)["symbols"][0]["startMarkerAngle"].get<double>();
        EXPECT_GE(angle, 0.0);
        EXPECT_LT(angle, 360.0);
        // Compared round the circle: a symbol drawn at 0 may read as 359.8.
        const double off = std::fmod(std::fabs(angle - degrees), 360.0);
        EXPECT_LE(std::min(off, 360.0 - off), kAngleTolerance) << rotation << " read " << angle;
    }
}

#endif  // QUORGEN_BINARY

}  // namespace
}  // namespace qcl
