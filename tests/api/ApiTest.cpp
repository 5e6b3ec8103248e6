// The public interface as a program outside the project uses it: nothing but quorview.h.
#include <quorview/quorview.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// The payload read, a mirrored symbol, the High strength and where the symbol lies are checked
// through the Python module, which reads through the same interface.
TEST(PublicApi, WrittenSymbolsReadBackWithTheirRecord) {
    const std::tuple<std::string, quorview::CodeType, quorview::EccStrength> cases[] = {
        {"Hello, Quorel!", quorview::CodeType::BlackAndWhite, quorview::EccStrength::Medium},
        {"colour", quorview::CodeType::Color, quorview::EccStrength::Low}};
    for (const auto& [text, codeType, strength] : cases) {
        quorview::WriteOptions write;
        write.codeType = codeType;
        write.eccStrength = strength;
        const cv::Mat image = quorview::write(text, write);
        quorview::ReadOptions read;
        read.codeType = codeType;
        const quorview::ReadResult result = quorview::read(image, read);
        ASSERT_EQ(result.symbols.size(), 1u) << text << ": " << result.errorMessage;
        const quorview::Symbol& symbol = result.symbols[0];
        EXPECT_EQ(symbol.eccStrength, strength);
        EXPECT_EQ(symbol.codeType, codeType);
        EXPECT_FALSE(symbol.mirrored);
        EXPECT_EQ(result.errorCode, 0);
        EXPECT_EQ(quorview::decode(image, codeType), text);
    }
}

TEST(PublicApi, BytesComeBackAsTheBytesWrittenInEveryBinaryFormat) {
    const std::vector<std::uint8_t> bytes = {0x00, 0x41, 0xC3, 0xFF, 0x10};
    const cv::Mat image = quorview::writeBytes(bytes);
    for (const auto format : {quorview::BinaryFormat::Bits, quorview::BinaryFormat::HexLowerCase,
                              quorview::BinaryFormat::HexUpperCase}) {
        quorview::ReadOptions read;
        read.binaryFormat = format;
        const quorview::ReadResult result = quorview::read(image, read);
        ASSERT_EQ(result.symbols.size(), 1u);
        EXPECT_EQ(quorview::payloadBytes(result.symbols[0]), bytes)
            << quorview::toString(format) << ": " << result.symbols[0].payload;
    }
}

TEST(PublicApi, FailuresCarryTheReadersCodeAndMessage) {
    const cv::Mat blank(200, 200, CV_8UC3, cv::Scalar::all(255));
    const quorview::ReadResult none = quorview::read(blank);
    EXPECT_TRUE(none.symbols.empty());
    EXPECT_NE(none.errorCode, 0);
    EXPECT_EQ(none.errorMessage, quorview::errorMessage(none.errorCode));
    EXPECT_FALSE(none.failedStage.empty());
    EXPECT_THROW(quorview::decode(blank), quorview::Error);
    EXPECT_STREQ(quorview::version(), QUORVIEW_EXPECTED_VERSION);
}

}  // namespace
