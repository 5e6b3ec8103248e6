// Keys, status text and frame dimming of the camera view.
#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <ostream>

#include "app/CameraView.h"

namespace qcl {
namespace {

constexpr int kEscape = 27;
// Digit d sets perspective d / 20, noise d / 40, area destruction d / 100.
constexpr double kPerspectivePerDigit = 20.0;
constexpr double kNoisePerDigit = 40.0;
constexpr double kAreaPerDigit = 100.0;
constexpr std::int64_t kTicksPerSecond = 10000000;
// The target circle is as large as the frame allows: a symbol shown whole, filling the frame's
// shorter side, lies inside it, and the decoded square never reaches outside the frame.
constexpr int kCircleDiameterShare = 2;

const char* flag(bool value) {
    return value ? "true" : "false";
}

void setLevel(int digit, ViewState& state, std::ostream& out) {
    switch (state.selected) {
        case DistortionSelection::Perspective:
            state.levels.perspective = digit / kPerspectivePerDigit;
            out << "Perspective Distortion Level: " << digit << std::endl;
            break;
        case DistortionSelection::Noise:
            state.levels.noise = digit / kNoisePerDigit;
            out << "Noise Level: " << digit << std::endl;
            break;
        case DistortionSelection::AreaDestruction:
            state.levels.areaDestruction = digit / kAreaPerDigit;
            out << "Area Destruction Level: " << digit << std::endl;
            break;
        case DistortionSelection::None:
            break;
    }
}

// Lookup table of the dimming of colour values.
cv::Mat dimmingTable() {
    cv::Mat table(1, 256, CV_8U);
    for (int c = 0; c < 256; ++c) {
        table.at<std::uint8_t>(c) =
            static_cast<std::uint8_t>(std::lround(std::min(4 * c, 255) * 0.2));
    }
    return table;
}

}  // namespace

bool handleViewKey(int key, ViewState& state, std::ostream& out) {
    if (key >= '0' && key <= '9') {
        setLevel(key - '0', state, out);
        return true;
    }
    switch (key) {
        case kEscape:
        case 'x':
            return false;
        case ' ':
            state.selected = DistortionSelection::None;
            state.levels = DistortionStrengths{};
            state.codeType = CodeType::BlackAndWhite;
            out << "No Distortion, code type = BlackAndWhite" << std::endl;
            break;
        case 'c':
            state.codeType = state.codeType == CodeType::BlackAndWhite ? CodeType::Color
                                                                       : CodeType::BlackAndWhite;
            out << "Set code type to " << toString(state.codeType) << std::endl;
            break;
        case 'p':
            state.selected = DistortionSelection::Perspective;
            out << "Perspective Distortion [0,9]" << std::endl;
            break;
        case 'n':
            state.selected = DistortionSelection::Noise;
            out << "Noise [0,9]" << std::endl;
            break;
        case 'a':
            state.selected = DistortionSelection::AreaDestruction;
            out << "Area Destruction [0,9]" << std::endl;
            break;
        case 'b':
            state.binarized = !state.binarized;
            break;
        case 'e':
            state.enhanced = !state.enhanced;
            break;
        case 'i':
            state.inverted = !state.inverted;
            break;
        case 't':
            state.timing = !state.timing;
            break;
        case 'v':
            state.output = !state.output;
            break;
        case 'h':
            writeModificationOptions(out);
            break;
        case 'f':
            state.wholeFrame = !state.wholeFrame;
            out << (state.wholeFrame ? "Decode the whole frame" : "Decode the centre circle")
                << std::endl;
            break;
        default:
            break;
    }
    return true;
}

void writeModificationOptions(std::ostream& out) {
    out << "\n"
        << "------------Modification Options------------\n"
        << " : disable all distortions and set black and white code type\n"
        << "0..9: change distortion level\n"
        << "a: set area destruction state\n"
        << "b: toggle binarization\n"
        << "c: toggle color mode\n"
        << "e: toggle image enhancement\n"
        << "f: toggle decoding the whole frame or the centre circle\n"
        << "h: show these image modification options\n"
        << "i: toggle image inversion\n"
        << "n: set noise distortion state\n"
        << "p: set perspective transform state\n"
        << "t: toggle measuring decoding time\n"
        << "v: toggle camera output\n"
        << "x: stop camera\n"
        << "--------------------------------------------" << std::endl;
}

int targetRadius(cv::Size frameSize) {
    return std::min(frameSize.width, frameSize.height) / kCircleDiameterShare;
}

cv::Rect decodeSquare(cv::Size frameSize) {
    const int r = targetRadius(frameSize);
    return cv::Rect(frameSize.width / 2 - r, frameSize.height / 2 - r, 2 * r, 2 * r);
}

void dimOutsideCircle(cv::Mat& frame) {
    static const cv::Mat table = dimmingTable();
    const int cx = frame.cols / 2;
    const int cy = frame.rows / 2;
    const std::int64_t r = targetRadius(frame.size());
    const int channels = frame.channels();
    for (int y = 0; y < frame.rows; ++y) {
        std::uint8_t* row = frame.ptr<std::uint8_t>(y);
        const std::int64_t dy = y - cy;
        for (int x = 0; x < frame.cols; ++x) {
            const std::int64_t dx = x - cx;
            if (dx * dx + dy * dy <= r * r) {
                continue;
            }
            std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * channels;
            if (channels == 1) {
                *pixel = 255;
            } else {
                for (int c = 0; c < channels; ++c) {
                    pixel[c] = table.at<std::uint8_t>(pixel[c]);
                }
            }
        }
    }
}

std::string statusText(const ViewState& state, int framesPerSecond) {
    return std::to_string(framesPerSecond) + " fps | " + toString(state.codeType) +
           " | Inverted: " + flag(state.inverted) + " | Binarized: " + flag(state.binarized) +
           " | Enhanced: " + flag(state.enhanced);
}

std::string aimingText(const ViewState& state) {
    return state.wholeFrame
               ? "Whole frame: every symbol in view is read (f: centre circle)"
               : "Hold the symbol inside the bright circle to read it (f: whole frame)";
}

int averageFrameRate(std::uint64_t frames, std::int64_t elapsedTicks) {
    if (elapsedTicks <= 0) {
        return 0;
    }
    const double seconds = static_cast<double>(elapsedTicks) / kTicksPerSecond;
    return static_cast<int>(static_cast<double>(frames) / seconds);
}

}  // namespace qcl
