// The public interface as a program outside the project uses it: nothing but quorview.h.
#include <quorview/quorview.h>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
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
    try {
        quorview::read(cv::Mat());
        ADD_FAILURE() << "an empty image was read";
    } catch (const quorview::Error& e) {
        EXPECT_STREQ(e.what(), "The image is empty: it has no pixels to read");
    }
    EXPECT_STREQ(quorview::version(), QUORVIEW_EXPECTED_VERSION);
}

// The automatic code type reads either kind and says which it read; a layout other than the
// writers' default reads when the reader is told it.
TEST(PublicApi, AutoCodeTypeAndLayoutsAsWritten) {
    quorview::WriteOptions colour;
    colour.codeType = quorview::CodeType::Color;
    colour.layout = quorview::Layout::Vertical;
    colour.imageSize = 400;
    const cv::Mat image = quorview::write("Vertical", colour);
    quorview::ReadOptions read;
    read.codeType = quorview::CodeType::Color;
    read.layout = quorview::Layout::Vertical;
    const quorview::ReadResult result = quorview::read(image, read);
    ASSERT_EQ(result.symbols.size(), 1u) << result.errorMessage;
    EXPECT_EQ(result.symbols[0].payload, "Vertical");
    EXPECT_EQ(result.symbols[0].codeType, quorview::CodeType::Color);
    EXPECT_GE(result.symbols[0].startMarkerAngle, 0.0);
    EXPECT_LT(result.symbols[0].startMarkerAngle, 2 * M_PI);

    const quorview::ReadResult automatic = quorview::read(quorview::write("grey"));
    ASSERT_EQ(automatic.symbols.size(), 1u);
    EXPECT_EQ(automatic.symbols[0].codeType, quorview::CodeType::BlackAndWhite);
    EXPECT_EQ(quorview::ReadOptions().codeType, quorview::CodeType::Auto);
}

// A small colour symbol on a page of black text: too little of the picture to make it a colour
// picture, so the automatic code type must go by the symbol's own pixels, in both entries.
TEST(PublicApi, AutoCodeTypeReadsASmallColourSymbolOnAPage) {
    quorview::WriteOptions colour;
    colour.codeType = quorview::CodeType::Color;
    colour.imageSize = 130;
    const cv::Mat symbol = quorview::write("on a page", colour);
    cv::Mat page(640, 640, CV_8UC3, cv::Scalar::all(245));
    for (int line = 0; line < 20; ++line) {
        cv::putText(page, "Lorem ipsum dolor sit amet, consectetur", cv::Point(20, 30 + 30 * line),
                    cv::FONT_HERSHEY_SIMPLEX, 0.8, cv::Scalar::all(20), 2);
    }
    symbol.copyTo(page(cv::Rect(cv::Point(400, 380), symbol.size())));
    const quorview::ReadResult result = quorview::read(page);
    ASSERT_EQ(result.symbols.size(), 1u) << result.errorMessage;
    EXPECT_EQ(result.symbols[0].payload, "on a page");
    EXPECT_EQ(result.symbols[0].codeType, quorview::CodeType::Color);
    EXPECT_EQ(quorview::decode(page, quorview::CodeType::Auto), "on a page");
}

TEST(PublicApi, NamesAreTheProgramsWordsInAnyCase) {
    EXPECT_EQ(quorview::parseCodeType("AUTO"), quorview::CodeType::Auto);
    EXPECT_EQ(quorview::parseCodeType("BlackAndWhite"), quorview::CodeType::BlackAndWhite);
    EXPECT_EQ(quorview::parseEccStrength("high"), quorview::EccStrength::High);
    EXPECT_EQ(quorview::parseLayout("5"), quorview::Layout::Scrambled);
    EXPECT_EQ(quorview::parseBinaryFormat("HEX"), quorview::BinaryFormat::HexUpperCase);
    EXPECT_EQ(quorview::parsePayloadType("utf8"), quorview::PayloadType::UTF8);
    try {
        quorview::parseEccStrength("huge");
        ADD_FAILURE() << "huge accepted";
    } catch (const quorview::Error& e) {
        EXPECT_STREQ(e.what(), "ecc must be low, medium, quartile or high, not 'huge'");
    }
}

// A file is read as the program reads it, and one that is no image says why in the program's
// words; the JSON line is the program's.
TEST(PublicApi, FilesAndJsonLinesAsTheProgramHasThem) {
    const std::string path = ::testing::TempDir() + "quorview-api-read.png";
    cv::Mat image = quorview::write("File");
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(cv::imencode(".png", image, png));
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(png.data(), 1, png.size(), file);
    std::fclose(file);
    const quorview::ReadResult read = quorview::readFile(path);
    ASSERT_EQ(read.symbols.size(), 1u);
    EXPECT_EQ(read.symbols[0].payload, "File");
    std::remove(path.c_str());

    const quorview::ReadResult missing = quorview::readFile(path);
    EXPECT_TRUE(missing.symbols.empty());
    EXPECT_EQ(missing.errorCode, 22);
    EXPECT_EQ(missing.failedStage, "ReadImage");
    EXPECT_EQ(missing.errorMessage, "Image file '" + path + "' cannot be read: it is missing");
    EXPECT_EQ(quorview::toJsonLine("x.png", missing),
              "{\"decodeMs\":0.0,\"error\":{\"code\":22,\"message\":\"Image file '" + path +
                  "' cannot be read: it is missing\",\"stage\":\"ReadImage\"},\"file\":\"x.png\","
                  "\"symbols\":[]}");
}

}  // namespace
