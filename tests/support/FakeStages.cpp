#include "support/FakeStages.h"

namespace qcl::test {

ChainRun::ChainRun(CodeType codeType) {
    binary = cv::Mat(kFakeImageSize, CV_8UC1, cv::Scalar(255));
    binary.at<std::uint8_t>(kFakeMarkPixel) = 0;
    image = cv::Mat(kFakeImageSize, CV_8UC3, cv::Scalar(255, 255, 255));
    context.status = &status;
    context.payload = &payload;
    context.payloadType = &payloadType;
    context.eccType = &eccType;
    context.parameters.codeType = codeType;
    context.image = &image;
    context.binaryImage = &binary;
    context.threshold = kFakeThreshold;
}

DecodeContext ChainRun::markerContext(const StartMarkerCandidate& marker) const {
    DecodeContext next = context;
    next.modulesPerRing = 16;
    next.transform = &identity;
    next.startMarker = &marker;
    return next;
}

StartMarkerCandidate fakeMarker(const cv::Size& size, std::int32_t plausibility, double length) {
    const cv::Point2d center(size.width * 0.5, size.height * 0.5);
    StartMarkerCandidate marker;
    marker.plausibility = plausibility;
    marker.angle = 0.0;
    marker.innerPoint = center + cv::Point2d(kFakeDiscDiameter / 2, 0);
    marker.outerPoint = marker.innerPoint + cv::Point2d(length, 0);
    marker.measuredOuterPoint = marker.outerPoint;
    return marker;
}

StageFunctions succeedingStages() {
    StageFunctions stages;
    stages.findCenter = [](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ellipse = cv::RotatedRect(cv::Point2f(binary.cols * 0.5f, binary.rows * 0.5f),
                                  cv::Size2f(kFakeDiscDiameter, kFakeDiscDiameter), 0.0f);
        return Success;
    };
    stages.findInnerZebra = [](const cv::Mat& binary, double, InnerZebra& zebra) {
        const cv::Point2d center(binary.cols * 0.5, binary.rows * 0.5);
        zebra.slotCount = kFakeSlotCount;
        zebra.radius = kFakeZebraRadius;
        zebra.edges.clear();
        for (int slot = 0; slot < kFakeSlotCount; ++slot) {
            const double angle = slot * 2 * CV_PI / kFakeSlotCount;
            RingPoint point;
            point.slot = slot;
            point.angle = angle;
            point.position = cv::Point2f(
                center + kFakeZebraRadius * cv::Point2d(std::cos(angle), std::sin(angle)));
            zebra.edges.push_back(point);
        }
        return Success;
    };
    stages.findStartMarker = [](const cv::Mat& binary, double, std::int32_t) {
        return std::vector<StartMarkerCandidate>{fakeMarker(binary.size())};
    };
    stages.findOuterZebra = [](const auto&, std::int32_t modulesPerRing, const auto&,
                               OuterZebra& zebra) {
        zebra.radius = kFakeOuterRadius;
        zebra.slotCount = modulesPerRing / 2;
        return Success;
    };
    stages.applyTransform2 = [](const cv::Mat& binary, const auto&, auto&, cv::Mat& corrected,
                                cv::Matx33d& homography) {
        corrected = binary.clone();
        homography = cv::Matx33d::eye();
        return Success;
    };
    stages.radialProbe = [](const auto&, double, double, std::int32_t startRadius, bool black) {
        return startRadius + (black ? 12 : 2);
    };
    stages.findRadialZebra = [](const auto&, double, double angle, auto&&...) {
        RadialZebra zebra;
        zebra.angle = angle;
        zebra.ringCount = 3;
        return zebra;
    };
    stages.warpInputImage = [](const auto&, const cv::Mat& image, auto&&...) {
        return image.clone();
    };
    stages.readMaskedData = [](const SamplingGrid& grid, auto&&...) {
        return ModuleList(static_cast<std::size_t>(grid.modulesPerRing * grid.ringCount), 0);
    };
    stages.applyMaskAndLayout = [](auto&&...) { return Success; };
    stages.decodeFrame = [](const auto&, const auto&, std::string* payload,
                            std::uint8_t* payloadType, std::uint8_t* eccType, auto) {
        *payload = "payload";
        *payloadType = static_cast<std::uint8_t>(PayloadType::Ascii);
        *eccType = static_cast<std::uint8_t>(ECCtype::High);
        return Success;
    };
    return stages;
}

}  // namespace qcl::test
