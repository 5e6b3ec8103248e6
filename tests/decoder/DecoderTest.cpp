#include "decoder/Decoder.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <functional>
#include <string>
#include <vector>

#include "decoder/StageChain.h"
#include "imaging/Preprocessing.h"
#include "support/FakeStages.h"

namespace qcl {
namespace {

using test::LogCapture;
using test::succeedingStages;

// A grey image with some structure, so that Otsu and maximum entropy pick different thresholds.
cv::Mat greyScene(const cv::Size& size) {
    cv::Mat image(size, CV_8UC1, cv::Scalar(200));
    cv::circle(image, {size.width / 2, size.height / 2}, size.height / 4, cv::Scalar(40), -1);
    cv::rectangle(image, {2, 2}, {size.width / 5, size.height / 5}, cv::Scalar(120), -1);
    return image;
}

cv::Mat colourScene(const cv::Size& size) {
    cv::Mat grey = greyScene(size);
    cv::Mat colour;
    cv::cvtColor(grey, colour, cv::COLOR_GRAY2BGR);
    return colour;
}

DecodeParameters parameters(CodeType codeType = CodeType::BlackAndWhite,
                            BinaryFormat format = BinaryFormat::Binary) {
    DecodeParameters result;
    result.codeType = codeType;
    result.binaryFormat = format;
    return result;
}

// Stages whose frame decoder hands back `payload` as `type`.
StageFunctions decodingTo(const std::string& payload, PayloadType type) {
    StageFunctions stages = succeedingStages();
    stages.decodeFrame = [payload, type](const SamplingGrid&, const ModuleList&, std::string* out,
                                         std::uint8_t* payloadType, std::uint8_t* eccType) {
        *out = payload;
        *payloadType = static_cast<std::uint8_t>(type);
        *eccType = static_cast<std::uint8_t>(ECCtype::Quartile);
        return Success;
    };
    return stages;
}

ErrorCode thrownCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const QCException& error) {
        return error.code;
    }
    return Success;
}

TEST(BinaryToHex, GroupsOfFourLeastSignificantFirst) {
    EXPECT_EQ(binaryToHex("0b10100000", false), "0x50");
    EXPECT_EQ(binaryToHex("0b0101", true), "0xa");
    EXPECT_EQ(binaryToHex("0b0101", false), "0xA");
    EXPECT_EQ(binaryToHex("0b00011111", true), "0x8f");
    EXPECT_EQ(binaryToHex("0b110100110111", false), "0xBCE");
}

TEST(BinaryToHex, MalformedTextsFailWithTheirCodes) {
    EXPECT_EQ(thrownCode([] { binaryToHex("0b101", false); }), InvalidInputSymbols);
    EXPECT_EQ(thrownCode([] { binaryToHex("0b", false); }), InvalidInputSymbols);
    EXPECT_EQ(thrownCode([] { binaryToHex("1b0000", false); }), InvalidInputSymbols);
    EXPECT_EQ(thrownCode([] { binaryToHex("0x0000", false); }), InvalidInputSymbols);
    EXPECT_EQ(thrownCode([] { binaryToHex("", true); }), InvalidInputSymbols);
    EXPECT_EQ(thrownCode([] { binaryToHex("0b1020", false); }), InvalidOutputSymbols);
}

TEST(DecodeImageSize, LongerSideLimitedTo640WithTruncation) {
    const struct {
        cv::Size in;
        cv::Size out;
    } cases[] = {
        {{800, 600}, {640, 480}}, {{600, 800}, {480, 640}},  {{1000, 1000}, {640, 640}},
        {{640, 640}, {640, 640}}, {{641, 10}, {640, 9}},     {{10, 641}, {9, 640}},
        {{320, 200}, {320, 200}}, {{1280, 960}, {640, 480}},
    };
    for (const auto& c : cases) {
        const cv::Mat image(c.in, CV_8UC3, cv::Scalar::all(128));
        const cv::Mat limited = limitImageSize(image);
        EXPECT_EQ(limited.size(), c.out) << c.in;
        EXPECT_EQ(limited.type(), CV_8UC3);
    }
    const cv::Mat small(100, 100, CV_8UC1, cv::Scalar(3));
    EXPECT_EQ(limitImageSize(small).data, small.data) << "no copy of an image that fits";
}

TEST(Decode, ChainSeesTheLimitedImageAndTheCallerKeepsTheirs) {
    const cv::Mat image = colourScene({1280, 960});
    const cv::Mat before = image.clone();
    StageFunctions stages = succeedingStages();
    cv::Size seen;
    stages.warpInputImage = [&seen](const cv::Mat&, const cv::Mat& input, const cv::Matx33d&,
                                    const StartMarkerCandidate&) {
        seen = input.size();
        return input.clone();
    };
    EXPECT_EQ(decode(parameters(), image, true, stages), "payload");
    EXPECT_EQ(seen, cv::Size(640, 480));

    const cv::Mat fits = colourScene({320, 240});
    const cv::Mat fitsBefore = fits.clone();
    decode(parameters(), fits, true, stages);
    EXPECT_EQ(cv::norm(fits, fitsBefore, cv::NORM_INF), 0.0) << "enhancement works on a copy";
    EXPECT_EQ(cv::norm(image, before, cv::NORM_INF), 0.0);
}

TEST(Decode, ImageTypeChecks) {
    int centreCalls = 0;
    StageFunctions stages = succeedingStages();
    stages.findCenter = [&centreCalls](cv::Mat&, cv::RotatedRect&) {
        ++centreCalls;
        return InnerCircleNotFound;
    };
    const cv::Mat grey = greyScene({2000, 1000});
    EXPECT_EQ(thrownCode([&] { decode(parameters(CodeType::Color), grey, false, stages); }),
              CodeTypeImageMismatch);
    EXPECT_EQ(centreCalls, 0);

    const cv::Mat twoChannels(50, 50, CV_8UC2, cv::Scalar::all(9));
    EXPECT_EQ(thrownCode([&] { decode(parameters(), twoChannels, false, stages); }),
              WrongImageType);

    // A grey image of a black-and-white code goes through the chain.
    EXPECT_EQ(thrownCode([&] {
                  decode(parameters(), greyScene({64, 48}), false, stages);
              }),
              InnerCircleNotFound);
    EXPECT_EQ(centreCalls, 2) << "one call per binarisation pass";
}

TEST(Decode, ThrowsTheDeepestFailureOverBothPasses) {
    StageFunctions stages = succeedingStages();
    int pass = 0;
    stages.findCenter = [&pass](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ++pass;
        if (pass == 2) {
            return InnerCircleNotFound;
        }
        return succeedingStages().findCenter(binary, ellipse);
    };
    stages.findStartMarker = [](const cv::Mat&, double, std::int32_t) {
        return std::vector<StartMarkerCandidate>{};
    };
    EXPECT_EQ(thrownCode([&] {
                  decode(parameters(), greyScene({64, 48}), false, stages);
              }),
              StartMarkerNotDetected)
        << "stage 4 of the first pass beats stage 1 of the second";

    stages = succeedingStages();
    pass = 0;
    stages.findInnerZebra = [&pass](const cv::Mat&, double, InnerZebra&) {
        ++pass;
        // Two calls per pass: identity and affine view.
        return pass <= 2 ? WrongNumberOfPerspectiveMarkers : PerspectiveMarkersNotDetected;
    };
    EXPECT_EQ(thrownCode([&] {
                  decode(parameters(), greyScene({64, 48}), false, stages);
              }),
              WrongNumberOfPerspectiveMarkers)
        << "same depth in both passes: the first pass's code";
}

TEST(Decode, FirstPassOtsuSecondPassMaximumEntropy) {
    const cv::Mat image = greyScene({64, 48});
    cv::Mat scratch;
    const int otsu = binarizeImage(image, scratch, 0, Otsu);
    const int entropy = binarizeImage(image, scratch, 0, MaximumEntropy);
    ASSERT_NE(otsu, entropy) << "the scene must tell the two methods apart";

    StageFunctions stages = decodingTo("decoded", PayloadType::Ascii);
    std::vector<std::int32_t> thresholds;
    stages.readMaskedData = [&thresholds](const SamplingGrid& grid, const cv::Point2d&, double,
                                          const RadialZebra&) {
        thresholds.push_back(grid.threshold);
        return ModuleList(4, 0);
    };
    EXPECT_EQ(decode(parameters(), image, false, stages), "decoded");
    EXPECT_EQ(thresholds, std::vector<std::int32_t>{otsu}) << "one pass, Otsu";

    thresholds.clear();
    int pass = 0;
    stages.findCenter = [&pass](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ++pass;
        return pass == 1 ? InnerCircleNotFound : succeedingStages().findCenter(binary, ellipse);
    };
    EXPECT_EQ(decode(parameters(), image, false, stages), "decoded");
    EXPECT_EQ(thresholds, std::vector<std::int32_t>{entropy}) << "second pass, maximum entropy";
}

TEST(Decode, BinaryPayloadsConvertedOnlyWhenAskedFor) {
    const cv::Mat image = greyScene({64, 48});
    const StageFunctions binary = decodingTo("0b10100000", PayloadType::Binary);
    EXPECT_EQ(decode(parameters(CodeType::BlackAndWhite, BinaryFormat::HexaUpperCase), image, false,
                     binary),
              "0x50");
    EXPECT_EQ(
        decode(parameters(CodeType::BlackAndWhite, BinaryFormat::Binary), image, false, binary),
        "0b10100000");
    const StageFunctions lower = decodingTo("0b01011111", PayloadType::Binary);
    EXPECT_EQ(decode(parameters(CodeType::BlackAndWhite, BinaryFormat::HexaLowerCase), image, false,
                     lower),
              "0xaf");
    const StageFunctions digits = decodingTo("0b10100000", PayloadType::Digits);
    EXPECT_EQ(decode(parameters(CodeType::BlackAndWhite, BinaryFormat::HexaUpperCase), image, false,
                     digits),
              "0b10100000");
    const StageFunctions odd = decodingTo("0b101", PayloadType::Binary);
    EXPECT_EQ(thrownCode([&] {
                  decode(parameters(CodeType::BlackAndWhite, BinaryFormat::HexaLowerCase), image,
                         false, odd);
              }),
              InvalidInputSymbols);
}

TEST(Decode, EmptyPayloadIsASuccess) {
    EXPECT_EQ(decode(parameters(), greyScene({64, 48}), false, decodingTo("", PayloadType::Ascii)),
              "");
}

TEST(Decode, ReportLinesWithAlignedLabels) {
    const std::string payload("a\0b", 3);
    LogCapture log(LogLevel::Info);
    decode(parameters(), greyScene({64, 48}), false, decodingTo(payload, PayloadType::UTF8));
    const std::vector<std::string> expected = {
        "Decoding",
        "decoded ECC type                 : Quartile",
        "decoded data type                : UTF8",
        "decoded payload                  : \"" + payload + "\"",
    };
    EXPECT_EQ(log.lines(), expected);
}

}  // namespace
}  // namespace qcl
