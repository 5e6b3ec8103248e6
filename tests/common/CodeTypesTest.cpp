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

TEST(CodeTypeNames, ChoiceListsReadValueColonName) {
    EXPECT_EQ(codeTypeChoices(), "0: BlackAndWhite, 1: Color");
    EXPECT_EQ(logLevelChoices(),
              "0: All, 1: Debug, 2: Info, 3: Warning, 4: Error, 5: Fatal, 6: Off");
    EXPECT_EQ(binaryFormatChoices(), "0: Binary, 1: HexaLowerCase, 2: HexaUpperCase");
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

// Names are written as texts; on reading, a missing key gives the default silently and a
// misspelt name falls back like a parsed one.
TEST(CodeTypeSettings, NamesWrittenAreReadBack) {
    const int json = cv::FileStorage::MEMORY | cv::FileStorage::FORMAT_JSON;
    cv::FileStorage out(".json", cv::FileStorage::WRITE | json);
    writeName(out, "codeType", CodeType::Color);
    writeName(out, "logLevelFile", LogLevel::Off);
    out << "binFormat"
        << "hex";
    const std::string text = out.releaseAndGetString();
    EXPECT_NE(text.find("\"Color\""), std::string::npos) << text;

    LogCapture log(LogLevel::All);
    cv::FileStorage fs(text, cv::FileStorage::READ | json);
    ASSERT_TRUE(fs.isOpened());
    EXPECT_EQ(readCodeType(fs["codeType"]), CodeType::Color);
    EXPECT_EQ(readLogLevel(fs["logLevelFile"]), LogLevel::Off);
    EXPECT_EQ(readBinaryFormat(fs["binFormat"]), BinaryFormat::Binary);
    EXPECT_EQ(readCodeType(fs["missing"]), CodeType::BlackAndWhite);
    EXPECT_EQ(readLogLevel(fs["missing"]), LogLevel::Info);
    EXPECT_EQ(log.text(), "Warning\tWrong BinaryFormat: changed to Binary\n");
}

}  // namespace
}  // namespace qcl
