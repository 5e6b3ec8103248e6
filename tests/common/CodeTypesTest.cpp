#include "common/CodeTypes.h"

#include <gtest/gtest.h>
#include <opencv2/core/persistence.hpp>

#include <sstream>

#include "support/LogCapture.h"

namespace qcl {
namespace {

using test::LogCapture;

TEST(CodeTypeNames, EveryTableValueHasItsName) {
    EXPECT_EQ(toString(CodeType::BlackAndWhite), "BlackAndWhite");
    EXPECT_EQ(toString(CodeType::Color), "Color");
    EXPECT_EQ(toString(Layout::Horizontal), "Horizontal");
    EXPECT_EQ(toString(Layout::VerticalSnake), "VerticalSnake");
    EXPECT_EQ(toString(Layout::HorizontalShortSnake), "HorizontalShortSnake");
    EXPECT_EQ(toString(Layout::Scrambled), "Scrambled");
    EXPECT_EQ(toString(ECCtype::Low), "Low");
    EXPECT_EQ(toString(ECCtype::Quartile), "Quartile");
    EXPECT_EQ(toString(ECCtype::High), "High");
    // The payload numbers are not in the order of the names' usual listing.
    EXPECT_EQ(toString(PayloadType::Numbers), "Numbers");
    EXPECT_EQ(toString(static_cast<PayloadType>(3)), "Numbers");
    EXPECT_EQ(toString(static_cast<PayloadType>(5)), "Binary");
    EXPECT_EQ(toString(static_cast<PayloadType>(6)), "BigLetters");
    EXPECT_EQ(toString(PayloadType::UTF8), "UTF8");
    EXPECT_EQ(toString(BinaryFormat::HexaLowerCase), "HexaLowerCase");
    EXPECT_EQ(toString(LogLevel::All), "All");
    EXPECT_EQ(toString(LogLevel::Off), "Off");
}

TEST(CodeTypeNames, ValuesOutsideTheTablesHaveTheirFallbackNames) {
    EXPECT_EQ(toString(static_cast<LogLevel>(7)), "Undefined");
    EXPECT_EQ(toString(static_cast<LogLevel>(-1)), "Undefined");
    EXPECT_EQ(toString(static_cast<CodeType>(2)), "");
    EXPECT_EQ(toString(static_cast<CodeType>(-3)), "");
    EXPECT_EQ(toString(static_cast<BinaryFormat>(3)), "");
    EXPECT_EQ(toString(static_cast<PayloadType>(9)), "Automatic");
    EXPECT_EQ(toString(static_cast<PayloadType>(-1)), "Automatic");
    EXPECT_EQ(toString(static_cast<ECCtype>(4)), "Undefined");
    EXPECT_EQ(toString(static_cast<ECCtype>(255)), "Undefined");
}

TEST(CodeTypeNames, OutputOperatorsWriteTheNames) {
    std::ostringstream out;
    out << CodeType::Color << '|' << Layout::HorizontalSnake << '|' << ECCtype::Medium << '|'
        << PayloadType::Ascii << '|' << BinaryFormat::HexaUpperCase << '|' << LogLevel::Fatal << '|'
        << static_cast<ECCtype>(9) << '|' << static_cast<CodeType>(5) << '|';
    EXPECT_EQ(out.str(), "Color|HorizontalSnake|Medium|Ascii|HexaUpperCase|Fatal|Undefined||");
}

TEST(CodeTypeParsing, ExactNamesParseWithoutMessages) {
    LogCapture log(LogLevel::All);
    EXPECT_EQ(parseCodeType("Color"), CodeType::Color);
    EXPECT_EQ(parseCodeType("BlackAndWhite"), CodeType::BlackAndWhite);
    EXPECT_EQ(parseBinaryFormat("HexaUpperCase"), BinaryFormat::HexaUpperCase);
    EXPECT_EQ(parseBinaryFormat("HexaLowerCase"), BinaryFormat::HexaLowerCase);
    EXPECT_EQ(parseLogLevel("Warning"), LogLevel::Warning);
    EXPECT_EQ(parseLogLevel("Off"), LogLevel::Off);
    EXPECT_EQ(parseLogLevel("All"), LogLevel::All);
    EXPECT_EQ(log.text(), "");
}

TEST(CodeTypeParsing, UnknownCodeTypeFallsBackWithOneWarningEach) {
    for (const char* text : {"color", "COLOR", "Color ", " Color", ""}) {
        LogCapture log;
        EXPECT_EQ(parseCodeType(text), CodeType::BlackAndWhite) << '"' << text << '"';
        EXPECT_EQ(log.text(), "Warning\tWrong CodeType: changed to BlackAndWhite\n");
    }
}

TEST(CodeTypeParsing, UnknownBinaryFormatFallsBackWithAWarning) {
    LogCapture log;
    EXPECT_EQ(parseBinaryFormat("Hexa"), BinaryFormat::Binary);
    EXPECT_EQ(log.text(), "Warning\tWrong BinaryFormat: changed to Binary\n");
}

TEST(CodeTypeParsing, UnknownLogLevelIsInfoWithoutAnyMessage) {
    LogCapture log(LogLevel::All);
    EXPECT_EQ(parseLogLevel("Trace"), LogLevel::Info);  // a line name, not a threshold name
    EXPECT_EQ(parseLogLevel("warning"), LogLevel::Info);
    EXPECT_EQ(parseLogLevel(""), LogLevel::Info);
    EXPECT_EQ(log.text(), "");
}

TEST(CodeTypeParsing, WarningsFollowTheConsoleThreshold) {
    LogCapture log(LogLevel::Error);
    EXPECT_EQ(parseCodeType("Colour"), CodeType::BlackAndWhite);
    EXPECT_EQ(log.text(), "");
}

TEST(CodeTypeChoices, ListsReadValueColonNameJoinedByCommas) {
    EXPECT_EQ(codeTypeChoices(), "0: BlackAndWhite, 1: Color");
    EXPECT_EQ(logLevelChoices(),
              "0: All, 1: Debug, 2: Info, 3: Warning, 4: Error, 5: Fatal, 6: Off");
    EXPECT_EQ(binaryFormatChoices(), "0: Binary, 1: HexaLowerCase, 2: HexaUpperCase");
}

// Settings as a JSON text in memory.
std::string writeSettings(CodeType code, BinaryFormat format, LogLevel file, LogLevel console) {
    cv::FileStorage fs(
        ".json", cv::FileStorage::WRITE | cv::FileStorage::MEMORY | cv::FileStorage::FORMAT_JSON);
    writeName(fs, "codeType", code);
    writeName(fs, "binFormat", format);
    writeName(fs, "logLevelFile", file);
    writeName(fs, "logLevelConsole", console);
    return fs.releaseAndGetString();
}

cv::FileStorage readSettings(const std::string& json) {
    return cv::FileStorage(
        json, cv::FileStorage::READ | cv::FileStorage::MEMORY | cv::FileStorage::FORMAT_JSON);
}

TEST(CodeTypeSettings, NamesWrittenAreReadBack) {
    const std::string json =
        writeSettings(CodeType::Color, BinaryFormat::HexaLowerCase, LogLevel::Off, LogLevel::All);
    EXPECT_NE(json.find("\"Color\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"HexaLowerCase\""), std::string::npos) << json;
    LogCapture log(LogLevel::All);
    cv::FileStorage fs = readSettings(json);
    ASSERT_TRUE(fs.isOpened());
    EXPECT_EQ(readCodeType(fs["codeType"]), CodeType::Color);
    EXPECT_EQ(readBinaryFormat(fs["binFormat"]), BinaryFormat::HexaLowerCase);
    EXPECT_EQ(readLogLevel(fs["logLevelFile"]), LogLevel::Off);
    EXPECT_EQ(readLogLevel(fs["logLevelConsole"]), LogLevel::All);
    EXPECT_EQ(log.text(), "");
}

TEST(CodeTypeSettings, MissingKeysGiveTheDefaultsSilently) {
    LogCapture log(LogLevel::All);
    cv::FileStorage fs = readSettings("{\"other\": 1}");
    ASSERT_TRUE(fs.isOpened());
    EXPECT_EQ(readCodeType(fs["codeType"]), CodeType::BlackAndWhite);
    EXPECT_EQ(readBinaryFormat(fs["binFormat"]), BinaryFormat::Binary);
    EXPECT_EQ(readLogLevel(fs["logLevelConsole"]), LogLevel::Info);
    EXPECT_EQ(log.text(), "");
}

TEST(CodeTypeSettings, MisspeltNamesFallBackWithTheWarning) {
    LogCapture log;
    cv::FileStorage fs = readSettings(
        "{\"codeType\": \"Colour\", \"binFormat\": \"hex\", \"logLevelFile\": \"Loud\"}");
    ASSERT_TRUE(fs.isOpened());
    EXPECT_EQ(readCodeType(fs["codeType"]), CodeType::BlackAndWhite);
    EXPECT_EQ(readBinaryFormat(fs["binFormat"]), BinaryFormat::Binary);
    EXPECT_EQ(readLogLevel(fs["logLevelFile"]), LogLevel::Info);
    EXPECT_EQ(log.text(),
              "Warning\tWrong CodeType: changed to BlackAndWhite\n"
              "Warning\tWrong BinaryFormat: changed to Binary\n");
}

}  // namespace
}  // namespace qcl
