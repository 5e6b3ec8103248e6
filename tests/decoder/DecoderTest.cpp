#include "decoder/Decoder.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <string>
#include <vector>

#include "decoder/StageChain.h"
#include "imaging/Preprocessing.h"
#include "support/FakeStages.h"
#include "support/ThrownCode.h"

namespace qcl {
namespace {

using test::succeedingStages;

// A grey image with some structure, so that Otsu and maximum entropy pick different thresholds.
cv::Mat greyScene(const cv::Size& size = {64, 48}) {
    cv::Mat image(size, CV_8UC1, cv::Scalar(200));
    cv::circle(image, {size.width / 2, size.height / 2}, size.height / 4, cv::Scalar(40), -1);
    cv::rectangle(image, {2, 2}, {size.width / 5, size.height / 5}, cv::Scalar(120), -1);
    return image;
}

DecodeParameters parameters(CodeType codeType = CodeType::BlackAndWhite,
                            BinaryFormat format = BinaryFormat::Binary) {
    DecodeParameters result;
    result.codeType = codeType;
    result.binaryFormat = format;
    return result;
}

// What decode returns, or "code N" for the QCException it throws.
std::string outcome(const cv::Mat& image, const StageFunctions& stages,
                    const DecodeParameters& p = parameters(), bool enhance = false) {
    std::string result;
    const ErrorCode code = test::thrownCode([&] { result = decode(p, image, enhance, stages); });
    return code == Success ? result : "code " + std::to_string(code);
}

TEST(BinaryToHex, GroupsOfFourLeastSignificantFirstOrTheirCodes) {
    EXPECT_EQ(binaryToHex("0b10100000", false), "0x50");
    EXPECT_EQ(binaryToHex("0b00011111", true), "0x8f");
    EXPECT_EQ(binaryToHex("0b110100110111", false), "0xBCE");
    // Length - 2 not a multiple of 4, or no "0b" before the digits.
    for (const char* text : {"0b101", "0b", "1b0000", "0x0000", ""}) {
        EXPECT_EQ(test::thrownCode([&] { binaryToHex(text, false); }), InvalidInputSymbols) << text;
    }
    EXPECT_EQ(test::thrownCode([] { binaryToHex("0b1020", false); }), InvalidOutputSymbols);
}

TEST(DecodeImageSize, LongerSideLimitedTo640WithTruncation) {
    using Sizes = std::pair<cv::Size, cv::Size>;
    for (const auto& [in, out] : {Sizes{{800, 600}, {640, 480}}, Sizes{{600, 800}, {480, 640}},
                                  Sizes{{1000, 1000}, {640, 640}}, Sizes{{640, 640}, {640, 640}},
                                  Sizes{{641, 10}, {640, 9}}, Sizes{{10, 641}, {9, 640}},
                                  Sizes{{2, 3000}, {1, 640}}, Sizes{{3000, 2}, {640, 1}}}) {
        const cv::Mat limited = limitImageSize(cv::Mat(in, CV_8UC3, cv::Scalar::all(128)));
        EXPECT_EQ(limited.size(), out) << in;
        EXPECT_EQ(limited.type(), CV_8UC3);
    }
    const cv::Mat small(100, 100, CV_8UC1, cv::Scalar(3));
    EXPECT_EQ(limitImageSize(small).data, small.data) << "no copy of an image that fits";
}

TEST(Decode, ImageTypeChecks) {
    int centreCalls = 0;
    StageFunctions stages = succeedingStages();
    stages.findCenter = [&centreCalls](cv::Mat&, cv::RotatedRect&) {
        ++centreCalls;
        return InnerCircleNotFound;
    };
    EXPECT_EQ(outcome(greyScene({2000, 1000}), stages, parameters(CodeType::Color)), "code 21");
    EXPECT_EQ(centreCalls, 0) << "before any resizing";
    EXPECT_EQ(outcome(cv::Mat(50, 50, CV_8UC2, cv::Scalar::all(9)), stages), "code 22");
    // A grey image of a black-and-white code goes through the chain.
    EXPECT_EQ(outcome(greyScene(), stages), "code 1");
    EXPECT_EQ(centreCalls, 3) << "one call per pass: Otsu, maximum entropy, evened light";
}

TEST(Decode, ThrowsTheDeepestFailureOverBothPasses) {
    StageFunctions stages = succeedingStages();
    int pass = 0;
    stages.findCenter = [&pass](cv::Mat& binary, cv::RotatedRect& ellipse) {
        return ++pass == 2 ? InnerCircleNotFound : succeedingStages().findCenter(binary, ellipse);
    };
    stages.findStartMarker = [](auto&&...) { return std::vector<StartMarkerCandidate>{}; };
    EXPECT_EQ(outcome(greyScene(), stages), "code 4") << "stage 4 of pass 1 beats stage 1 of 2";

    stages = succeedingStages();
    int calls = 0;
    stages.findInnerZebra = [&calls](const cv::Mat&, double, InnerZebra&) {
        // Two calls per pass: identity and affine view.
        return ++calls <= 2 ? WrongNumberOfPerspectiveMarkers : PerspectiveMarkersNotDetected;
    };
    EXPECT_EQ(outcome(greyScene(), stages), "code 3") << "same depth: the first pass's code";
}

TEST(Decode, FirstPassOtsuSecondPassMaximumEntropy) {
    const cv::Mat image = greyScene();
    cv::Mat scratch;
    const int otsu = binarizeImage(image, scratch, 0, Otsu);
    const int entropy = binarizeImage(image, scratch, 0, MaximumEntropy);
    ASSERT_NE(otsu, entropy) << "the scene must tell the two methods apart";

    StageFunctions stages = succeedingStages();
    std::vector<std::int32_t> thresholds;
    stages.readMaskedData = [&thresholds](const SamplingGrid& grid, auto&&...) {
        thresholds.push_back(grid.threshold);
        return ModuleList(4, 0);
    };
    EXPECT_EQ(outcome(image, stages), "payload");
    int pass = 0;
    stages.findCenter = [&pass](cv::Mat& binary, cv::RotatedRect& ellipse) {
        return ++pass == 1 ? InnerCircleNotFound : succeedingStages().findCenter(binary, ellipse);
    };
    EXPECT_EQ(outcome(image, stages), "payload");
    EXPECT_EQ(thresholds, (std::vector<std::int32_t>{otsu, entropy}));
}

}  // namespace
}  // namespace qcl
