// The real Quorview program run as a child process. Scripting mode: help and version, several
// inputs, standard input, text and JSON output, exit codes, the split of results and diagnostics,
// -j ordering. Command-line decoding and its options, the menu through standard input, and the
// settings file's edge cases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include <sstream>

#include "support/ProgramRunner.h"
#include "support/RoundTrip.h"

namespace qcl {
namespace {

using test::contains;
using test::ProgramResult;
using test::TempDir;
namespace fs = std::filesystem;

std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

// A working directory with a few inputs: two symbols (black-and-white and colour), a blank
// picture and a text file that is no image.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        render_.diameter = 300;
        render_.imageSize = cv::Size(360, 360);
        writePng("plain.png", test::writeSymbol("Hello Quorel", {}, render_).image);
        writer::SymbolOptions colour;
        colour.codeType = CodeType::Color;
        writePng("colour.png", test::writeSymbol("Colourful", colour, render_).image);
        writePng("blank.png", cv::Mat(200, 200, CV_8UC3, cv::Scalar::all(255)));
        dir_.write("notes.txt", "not an image\n");
    }
    void writePng(const std::string& name, const cv::Mat& image) {
        cv::imwrite((dir_ / name).string(), image);
    }
    ProgramResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return test::runProgram(dir_.path(), arguments, input);
    }
    RenderOptions render_;
    TempDir dir_;
};

TEST_F(ProgramTest, HelpAndVersionGoToStandardOutputAndEndWithZero) {
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> expected;
    } cases[] = {
        {{"-h"}, {"Usage of Quorview", "-r filename", "--format text|json", "Exit codes"}},
        {{"--help"}, {"Usage of Quorview", "--code-type", "--time-budget MS"}},
        {{"--version"}, {"Quorview 1.26.34 (OpenCV 4."}},
        {{"plain.png", "--version"}, {"Quorview 1.26.34"}},
    };
    for (const auto& c : cases) {
        const ProgramResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 0) << c.arguments[0];
        for (const std::string& part : c.expected) {
            EXPECT_TRUE(contains(result.output, part)) << part << "\n" << result.output;
        }
        EXPECT_EQ(result.errors, "");
        EXPECT_FALSE(contains(result.output, "Decode Quorel Codes"));  // no banner
    }
}

TEST_F(ProgramTest, ExitCodesTellScriptsWhatHappened) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
        std::string errorPart;   // "" when the error stream must stay empty
        std::string input = "";  // standard input: the bytes of plain.png when "plain.png"
    } cases[] = {
        {{"plain.png", "colour.png"}, 0, "plain.png: Hello Quorel\ncolour.png: Colourful\n", ""},
        {{"--code-type", "bw", "colour.png"}, 1, "", "colour.png: no symbol read: "},
        {{"plain.png", "blank.png"}, 1, "plain.png: Hello Quorel\n", "blank.png: no symbol read"},
        {{"notes.txt", "blank.png"}, 3, "", "notes.txt: "},
        {{"blank.png", "missing.png", "plain.png"}, 3, "plain.png: Hello Quorel\n", "missing.png"},
        {{"--format", "xml", "plain.png"}, 2, "", "Option --format must be text or json"},
        {{"--bogus", "plain.png"}, 2, "", "Unknown option --bogus"},
        {{"--format", "json"}, 2, "", "No image file given"},
        {{"-j", "0", "plain.png"}, 2, "", "Option -j needs a whole number"},
        {{"--max-symbols"}, 2, "", "Option --max-symbols needs a value"},
        // "-" reads image bytes from standard input.
        {{"-"}, 0, "Hello Quorel\n", "", "plain.png"},
        {{"colour.png", "-"}, 0, "colour.png: Colourful\n-: Hello Quorel\n", "", "plain.png"},
        {{"-"}, 3, "", "-: ", "GIF89a and nothing more"},
    };
    for (const auto& c : cases) {
        const ProgramResult result =
            run(c.arguments, c.input == "plain.png" ? dir_.read("plain.png") : c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments[0] << "\n" << result.errors;
        EXPECT_EQ(result.output, c.output) << c.arguments[0];
        if (c.errorPart.empty()) {
            EXPECT_EQ(result.errors, "") << c.arguments[0];
        } else {
            EXPECT_TRUE(contains(result.errors, c.errorPart)) << result.errors;
        }
    }
    // The four inputs only: no log or settings file written.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 4);
}

TEST_F(ProgramTest, JsonLinesDescribeEverySymbolAndEveryFailure) {
    writePng("binary.png", test::writeSymbol("0b1010000011110001", {}, render_).image);
    const ProgramResult result =
        run({"--format", "json", "plain.png", "blank.png", "notes.txt", "binary.png"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.errors, "");
    const std::vector<nlohmann::json> lines = jsonLines(result.output);
    ASSERT_EQ(lines.size(), 4U) << result.output;

    const nlohmann::json& plain = lines[0];
    EXPECT_EQ(plain["file"], "plain.png");
    ASSERT_EQ(plain["symbols"].size(), 1U);
    const nlohmann::json& symbol = plain["symbols"][0];
    EXPECT_EQ(symbol["payload"], "Hello Quorel");
    EXPECT_EQ(symbol["codeType"], "BlackAndWhite");
    EXPECT_FALSE(symbol.contains("base64"));
    EXPECT_EQ(symbol["mirrored"], false);
    // Where the symbol lies is checked with the whole-image read; here only that it is given.
    EXPECT_EQ(symbol["center"].size(), 2U);
    EXPECT_FALSE(symbol["outline"].empty());
    EXPECT_LE(symbol["rsCorrected"].get<int>(), symbol["rsCorrectable"].get<int>());
    EXPECT_FALSE(plain.contains("error"));
    EXPECT_GE(plain["decodeMs"].get<double>(), 0.0);

    const nlohmann::json& blank = lines[1];
    EXPECT_TRUE(blank["symbols"].empty());
    EXPECT_NE(blank["error"]["code"].get<int>(), 0);
    EXPECT_FALSE(blank["error"]["message"].get<std::string>().empty());
    EXPECT_FALSE(blank["error"]["stage"].get<std::string>().empty());
    EXPECT_EQ(lines[2]["error"]["stage"], "ReadImage");

    // 0b1010 0000 1111 0001, four bits at a time least significant first: bytes 0x50 0xf8.
    const nlohmann::json& binary = lines[3]["symbols"][0];
    EXPECT_EQ(binary["payloadType"], "Binary");
    EXPECT_EQ(binary["base64"], "UPg=");
}

TEST_F(ProgramTest, ThreadsKeepTheResultsInInputOrder) {
    std::vector<std::string> arguments = {"-j", "3", "--format", "json"};
    for (int i = 0; i < 7; ++i) {
        const std::string name = "s" + std::to_string(i) + ".png";
        // Odd inputs are blank and fail slowly, so later inputs tend to finish first.
        writePng(name, i % 2 == 0 ? test::writeSymbol("Item" + std::to_string(i), {}, render_).image
                                  : cv::Mat(360, 360, CV_8UC3, cv::Scalar::all(128)));
        arguments.push_back(name);
    }
    const ProgramResult result = run(arguments);
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<nlohmann::json> lines = jsonLines(result.output);
    ASSERT_EQ(lines.size(), 7U);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(lines[i]["file"], "s" + std::to_string(i) + ".png");
        EXPECT_EQ(lines[i]["symbols"].size(), i % 2 == 0 ? 1U : 0U);
    }
    EXPECT_EQ(lines[4]["symbols"][0]["payload"], "Item4");
}

TEST_F(ProgramTest, SettingsAndLogFilesOnlyWhenAskedFor) {
    dir_.write("decoder_settings.json", "{ \"binFormat\": \"HexaUpperCase\" }");
    writePng("binary.png", test::writeSymbol("0b1010000011110001", {}, render_).image);
    EXPECT_EQ(run({"--format", "text", "binary.png"}).output, "0b1010000011110001\n");
    const ProgramResult withSettings =
        run({"--settings", "decoder_settings.json", "--log", "run.log", "binary.png"});
    EXPECT_EQ(withSettings.output, "0x50F8\n");
    EXPECT_TRUE(contains(dir_.read("run.log"), "Start logging on "));
    EXPECT_EQ(run({"--binary-format", "hex", "binary.png"}).output, "0x50f8\n");
}

TEST_F(ProgramTest, OverlayPicturesShowWhatWasFound) {
    const ProgramResult one = run({"--overlay", "out/plain-overlay.png", "plain.png"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_TRUE(contains(one.errors, "cannot write overlay 'out/plain-overlay.png'"))
        << "a missing folder is reported: " << one.errors;
    fs::create_directory(dir_ / "out");
    EXPECT_EQ(run({"--overlay", "out/plain-overlay.png", "plain.png"}).errors, "");
    EXPECT_EQ(run({"--overlay-dir", "pictures", "plain.png", "blank.png", "notes.txt"}).exitCode,
              3);

    // The outline and markers of the symbol are drawn over the input.
    cv::Mat changed;
    cv::compare(cv::imread((dir_ / "pictures/1-plain.png").string(), cv::IMREAD_COLOR),
                cv::imread((dir_ / "plain.png").string(), cv::IMREAD_COLOR), changed, cv::CMP_NE);
    EXPECT_GT(cv::countNonZero(changed.reshape(1)), 200);
    EXPECT_TRUE(fs::exists(dir_ / "pictures" / "2-blank.png"));
    EXPECT_FALSE(fs::exists(dir_ / "pictures" / "3-notes.png")) << "no picture of no image";
    const ProgramResult several = run({"--overlay", "x.png", "plain.png", "blank.png"});
    EXPECT_EQ(several.exitCode, 2);
}

TEST_F(ProgramTest, AFileDecodeLoadsNeitherVideoNorWindowModules) {
    // The dynamic loader lists every library it opens on the error stream.
    const ProgramResult result =
        test::runProgram(dir_.path(), {"--format", "text", "plain.png"}, "", {"LD_DEBUG=files"});
    EXPECT_EQ(result.output, "Hello Quorel\n");
    ASSERT_TRUE(contains(result.errors, "libopencv_core")) << "the loader's list is there";
    for (const char* module :
         {"libopencv_videoio", "libopencv_highgui", "libquorview_cameraview"}) {
        EXPECT_FALSE(contains(result.errors, module)) << module;
    }
}

TEST_F(ProgramTest, ProgressBarOnlyWhenTheErrorStreamIsATerminal) {
    std::vector<std::string> arguments = {"--format", "text"};
    std::string command = test::quoted(QUORVIEW_BINARY) + " --format text";
    for (int i = 0; i < 20; ++i) {
        arguments.push_back("plain.png");
        command += " plain.png";
    }
    const ProgramResult piped = run(arguments);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.errors, "");
    // Under a pseudo-terminal both streams reach it: the bar ends at 20 of 20.
    const std::string shell = "cd " + test::quoted(dir_.path().string()) + " && script -qec " +
                              test::quoted(command + " >/dev/null") + " /dev/null >terminal.txt";
    ASSERT_EQ(std::system(shell.c_str()), 0);
    const std::string terminal = dir_.read("terminal.txt");
    EXPECT_TRUE(contains(terminal, "] 20/20")) << terminal;
    EXPECT_FALSE(contains(terminal, "Hello Quorel")) << "results went to standard output";
}

TEST_F(ProgramTest, UnreadableFileIsLoggedAndTimedWhateverTheSettingsSay) {
    // The settings' log thresholds and file do not reach command-line mode.
    dir_.write("decoder_settings.json",
               "{ \"logLevel\": \"All\", \"logLevelConsole\": \"All\", "
               "\"logFileName\": \"other.txt\" }");
    const ProgramResult result = run({"missing.png"});
    ASSERT_EQ(result.exitCode, 0);
    const std::string& out = result.output;
    EXPECT_EQ(out.rfind("Quorview - Quorel Code Reader 1.26.34\n\nDecode Quorel Codes\n\n"
                        "Read quorel code image file 'missing.png'\n\n",
                        0),
              0U)
        << out;
    EXPECT_TRUE(contains(out,
                         "\nError\tImage file 'missing.png' cannot be read: it is missing, "
                         "unreadable or not an image\n"))
        << out;
    EXPECT_EQ(result.errors, "") << "no warning of the image library's own";
    EXPECT_FALSE(contains(out, "Encoded text is: ") || contains(out, "No data found") ||
                 contains(out, "-c 1"));
    EXPECT_FALSE(contains(out, "Decoding"));  // an Info line, below Warning
    const std::size_t ms = out.rfind(" ms\n");
    ASSERT_NE(ms, std::string::npos);
    EXPECT_EQ(out.find(" ns\n", ms) + 4, out.size());
    const std::string log = dir_.read("log.txt");
    EXPECT_TRUE(contains(log, "Start logging on ") && contains(log, "\nError\t")) << log;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "other.txt"));
}

TEST_F(ProgramTest, DecodesSymbolImageFilesWithTheOptionsGivenAndRefusesBadValues) {
    // The default code type fails on the colour symbol and says how to read it.
    const ProgramResult hinted = run({"colour.png"});
    EXPECT_TRUE(contains(hinted.output,
                         "\nThe image looks like a colour symbol: -c 1 reads "
                         "colour symbols (-r FILE -c 1)\n"))
        << hinted.output;
    EXPECT_FALSE(contains(hinted.output, "Encoded text is: "));
    // Colour code type, Info on the console and a log file of its own.
    const ProgramResult options = run({"-r", "colour.png", "-c", "1", "-lc", "2", "-lf", "x.log"});
    ASSERT_EQ(options.exitCode, 0);
    EXPECT_TRUE(contains(options.output, "Info\tDecoding\n")) << options.output;
    EXPECT_TRUE(contains(options.output, "\nEncoded text is: Colourful\n"));
    EXPECT_TRUE(contains(dir_.read("x.log"), "Start logging on "));
    // A bad integer value ends the run with its message before any image is read.
    const ProgramResult bad = run({"-r", "a.png", "-ll", "high"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(contains(bad.errors, "Option -ll must be an integer, but read: high\n"))
        << bad.errors;
    EXPECT_FALSE(contains(bad.output, "Read quorel code image file"));
}

TEST_F(ProgramTest, WithoutArgumentsTheMenuRunsAndItsChangesAreSavedOnExit) {
    // What each command changes, and how the file stores it, the menu and settings tests check.
    const ProgramResult result = run({}, "c\n1\nx\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output,
                         "\nWarning\tSettings not found!\n\n"
                         "Usage: Present an image of an Quorel Code to the camera and\n"
                         "move the code center to the center of the camera view\n"
                         "until the code is recognized and the result is displayed in the "
                         "console window.\n"
                         "Quit the video window by pressing ESC inside of the video window.\n\n"
                         "Available camera devices are: \n"))
        << result.output;
    EXPECT_TRUE(contains(dir_.read("decoder_settings.json"), "Color"));
}

TEST_F(ProgramTest, UnopenableCameraAndUnwritableDirectoryStillEndWithZero) {
    // Root may write into any directory, but never create files in /proc.
    std::filesystem::path where = dir_.path();
    if (::geteuid() == 0) {
        where = "/proc";
    } else {
        std::filesystem::permissions(
            where, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    const ProgramResult result = test::runProgram(
        where, {}, "p\n/nonexistent/frame%03d.png\ns\nx\n", test::captureEnvironment());
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.errors,
                         "Couldn't open camera '/nonexistent/frame%03d.png' with backend 0\n"))
        << result.errors;
    EXPECT_FALSE(contains(result.output, "Modification Options"));
    EXPECT_TRUE(contains(result.output, "Warning\tSettings have not been saved.\n"));
    EXPECT_TRUE(contains(result.errors, "log file 'log.txt' cannot be opened for appending"));
}

}  // namespace
}  // namespace qcl
