// The public interface as a program outside the project uses it: nothing but quorview.h.
#include <quorview/quorview.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PublicApi, WrittenSymbolsReadBackWithTheirRecord) {
    struct Case {
        std::string text;
        quorview::CodeType codeType;
        quorview::EccStrength strength;
        bool mirrored;
    };
    const Case cases[] = {
        {"Hello, Quorel!", quorview::CodeType::BlackAndWhite, quorview::EccStrength::Medium, false},
        {"0123456789", quorview::CodeType::BlackAndWhite, quorview::EccStrength::High, true},
        {"colour", quorview::CodeType::Color, quorview::EccStrength::Low, false}};
    for (const Case& c : cases) {
        quorview::WriteOptions write;
        write.codeType = c.codeType;
        write.eccStrength = c.strength;
        write.mirrored = c.mirrored;
        const cv::Mat image = quorview::write(c.text, write);
        ASSERT_EQ(image.type(), CV_8UC3);

        quorview::ReadOptions read;
        read.codeType = c.codeType;
        const quorview::ReadResult result = quorview::read(image, read);
        ASSERT_EQ(result.symbols.size(), 1u) << c.text << ": " << result.errorMessage;
        const quorview::Symbol& symbol = result.symbols[0];
        EXPECT_EQ(symbol.payload, c.text);
        EXPECT_EQ(symbol.eccStrength, c.strength);
        EXPECT_EQ(symbol.codeType, c.codeType);
        EXPECT_EQ(symbol.mirrored, c.mirrored);
        EXPECT_EQ(result.errorCode, 0);
        EXPECT_NEAR(symbol.center.x, image.cols / 2.0, 3.0);
        EXPECT_EQ(quorview::decode(image, c.codeType), c.text);
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
        EXPECT_EQ(result.symbols[0].payloadType, quorview::PayloadType::Binary);
        EXPECT_EQ(quorview::payloadBytes(result.symbols[0]), bytes)
            << quorview::toString(format) << ": " << result.symbols[0].payload;
    }
    quorview::ReadOptions hex;
    hex.binaryFormat = quorview::BinaryFormat::HexLowerCase;
    EXPECT_EQ(quorview::read(image, hex).symbols[0].payload, "0x0041c3ff10");
}

TEST(PublicApi, FailuresCarryTheReadersCodeAndMessage) {
    const cv::Mat blank(200, 200, CV_8UC3, cv::Scalar::all(255));
    const quorview::ReadResult none = quorview::read(blank);
    EXPECT_TRUE(none.symbols.empty());
    EXPECT_NE(none.errorCode, 0);
    EXPECT_EQ(none.errorMessage, quorview::errorMessage(none.errorCode));
    EXPECT_FALSE(none.failedStage.empty());
    EXPECT_THROW(quorview::decode(blank), quorview::Error);

    // A grey image cannot hold a colour symbol: refused with the reader's code 21.
    const cv::Mat grey(200, 200, CV_8UC1, cv::Scalar(255));
    quorview::ReadOptions colour;
    colour.codeType = quorview::CodeType::Color;
    try {
        quorview::read(grey, colour);
        ADD_FAILURE() << "a grey image was taken for a colour read";
    } catch (const quorview::Error& error) {
        EXPECT_EQ(error.code(), 21);
        EXPECT_EQ(std::string(error.what()), quorview::errorMessage(21));
    }

    quorview::WriteOptions tooSmall;
    tooSmall.modulesPerRing = 16;
    tooSmall.ringCount = 2;
    EXPECT_THROW(quorview::write(std::string(200, 'x'), tooSmall), quorview::Error);
    EXPECT_STREQ(quorview::version(), QUORVIEW_EXPECTED_VERSION);
}

}  // namespace
