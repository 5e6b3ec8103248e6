// How the arguments choose the run: a lone image path, the options of the usage text, or the
// menu; and the checking of integer option values.
#include <gtest/gtest.h>

#include <sstream>

#include "app/CommandLine.h"

namespace qcl {
namespace {

using Arguments = std::vector<std::string>;

// The parsed line in one text: mode letter, image path, then the options that are set.
std::string summary(const CommandLine& line) {
    std::ostringstream text;
    text << "DVI"[static_cast<int>(line.mode)] << " " << line.imagePath;
    const std::pair<const char*, std::optional<int>> numbers[] = {
        {" c", line.codeType}, {" ll", line.logLevel}, {" lc", line.logLevelConsole}};
    for (const auto& [name, value] : numbers) {
        if (value) {
            text << name << *value;
        }
    }
    text << (line.logFile ? " lf" + *line.logFile : "");
    return text.str();
}

TEST(CommandLineTest, ArgumentsChooseTheModeAndTheOptionValues) {
    // A single argument is the image path, whatever it looks like; "-r" wins over "-v"; the
    // first occurrence of an option wins; anything that is not an option or its value runs the
    // plain menu.
    const std::pair<Arguments, std::string> cases[] = {
        {{}, "I "},
        {{"code.png"}, "D code.png"},
        {{"-v"}, "D -v"},
        {{"-r", "a.png", "-c", "1", "-ll", "0", "-lc", "+6", "-lf", "x.log"},
         "D a.png c1 ll0 lc6 lfx.log"},
        {{"-c", "1", "-v", "-lf", "v.log"}, "V  c1 lfv.log"},
        {{"-v", "-r", "a.png"}, "D a.png"},
        {{"-r", "first.png", "-r", "second.png", "-c", "1", "-c", "0"}, "D first.png c1"},
        {{"-ll", "1", "-lc", "2"}, "I  ll1 lc2"},
        {{"-r", "code.png", "extra"}, "I "},
        {{"-v", "-r"}, "I "},
        {{"-R", "code.png"}, "I "}};
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(summary(parseCommandLine(arguments)), expected)
            << ::testing::PrintToString(arguments);
    }
}

TEST(CommandLineTest, IntegerOptionsMustBeWholeSigned32BitNumbersWithinTheirValues) {
    std::vector<std::pair<Arguments, std::string>> cases;
    // Numbers at the ends of the 32-bit range are read, and then refused by the range check.
    for (const std::string value : {"2", "-1", "2147483647", "-2147483648"}) {
        cases.push_back({{"-r", "a.png", "-c", value},
                         "Option -c must lie between 0 and 1, but read: " + value});
    }
    cases.push_back({{"-lc", "7", "-v"}, "Option -lc must lie between 0 and 6, but read: 7"});
    // No digits, something after them, nothing, a space, another base, beyond the 32-bit range.
    for (const std::string value : {"abc", "1.5", "", " 1", "0x1", "2147483648", "-2147483649"}) {
        cases.push_back(
            {{"-ll", value, "-v"}, "Option -ll must be an integer, but read: " + value});
    }
    for (const auto& [arguments, message] : cases) {
        try {
            parseCommandLine(arguments);
            ADD_FAILURE() << "accepted " << ::testing::PrintToString(arguments);
        } catch (const BadOption& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

}  // namespace
}  // namespace qcl
