#include "common/CodeTypes.h"

#include <gtest/gtest.h>
#include <opencv2/core/persistence.hpp>

#include <algorithm>
#include <sstream>
#include <utility>

#include "support/LogCapture.h"

namespace qcl {
namespace {

using test::LogCapture;

// Names through the output operators, values outside the tables included.
TEST(CodeTypeNames, NamesAndFallbackNames) {
    std::ostringstream out;
    out << CodeType::Color << '|' << Layout::HorizontalShortSnake << '|' << ECCtype::Medium << '|'
        << static_cast<PayloadType>(3) << '|' << static_cast<PayloadType>(5) << '|'
        << static_cast<PayloadType>(6) << '|' << BinaryFormat::HexaUpperCase << '|' << LogLevel::Off
        << '|' << static_cast<LogLevel>(7) << '|' << static_cast<LogLevel>(-1) << '|'
        << static_cast<CodeType>(2) << '|' << static_cast<BinaryFormat>(3) << '|'
        << static_cast<PayloadType>(9) << '|' << static_cast<ECCtype>(4);
    EXPECT_EQ(out.str(),
              "Color|HorizontalShortSnake|Medium|Numbers|Binary|BigLetters|HexaUpperCase|Off|"
              "Undefined|Undefined|||Automatic|Undefined");
}

// Names parse exactly. An unknown CodeType or BinaryFormat name falls back to value 0 with one
// warning (expected value -1 below); an unknown LogLevel name silently gives Info.
template <typename Parse>
void expectParses(Parse parse, const std::pair<const char*, int> (&cases)[6],
                  const std::string& warning) {
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        LogCapture log(LogLevel::All);
        EXPECT_EQ(static_cast<int>(parse(text)), std::max(expected, 0));
        EXPECT_EQ(log.text(), expected < 0 ? warning : "");
    }
}

TEST(CodeTypeParsing, ExactNamesOnly) {
    expectParses(parseCodeType,
                 {{"Color", 1},
                  {"BlackAndWhite", 0},
                  {"color", -1},
                  {"COLOR", -1},
                  {"Color ", -1},
                  {"", -1}},
                 "Warning\tWrong CodeType: changed to BlackAndWhite\n");
    expectParses(parseBinaryFormat,
                 {{"HexaUpperCase", 2},
                  {"HexaLowerCase", 1},
                  {"Binary", 0},
                  {"Hexa", -1},
                  {"binary", -1},
                  {"", -1}},
                 "Warning\tWrong BinaryFormat: changed to Binary\n");
    expectParses(parseLogLevel,
                 {{"Warning", 3}, {"Off", 6}, {"All", 0}, {"Trace", 2}, {"warning", 2}, {"", 2}},
                 "");
}

}  // namespace
}  // namespace qcl
