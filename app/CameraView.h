// The live camera view: decodes the centred square of every frame and prints what it reads;
// keys in the window switch conditioning, code type and test distortions.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>

#include "app/Settings.h"
#include "imaging/Distortion.h"

namespace qcl {

// Which level the digit keys set.
enum class DistortionSelection { None = 0, Perspective = 1, Noise = 2, AreaDestruction = 3 };

// What the keys of the view switch; starts afresh with every view.
struct ViewState {
    CodeType codeType = CodeType::BlackAndWhite;
    bool inverted = false;
    bool binarized = false;
    bool enhanced = false;
    bool timing = true;
    bool output = true;
    bool wholeFrame = false;  // read every symbol in the frame instead of the centre circle
    DistortionSelection selected = DistortionSelection::None;
    DistortionStrengths levels;
};

// Acts on a key of the window (-1: none) and writes its console text. Returns false for the keys
// that end the view (ESC and "x").
bool handleViewKey(int key, ViewState& state, std::ostream& out);

void writeModificationOptions(std::ostream& out);

// Radius of the target circle around the frame's centre: half the shorter side.
int targetRadius(cv::Size frameSize);

// The square around the target circle that is decoded: side 2r, centred.
cv::Rect decodeSquare(cv::Size frameSize);

// Dims every pixel outside the target circle: colour values c -> round(min(4c, 255) * 0.2),
// one-channel pixels -> 255.
void dimOutsideCircle(cv::Mat& frame);

// Status line drawn into the frame.
std::string statusText(const ViewState& state, int framesPerSecond);

// Second status line: what the circle is for, or that the whole frame is read.
std::string aimingText(const ViewState& state);

// Average frames per second since the start; 0 before any time has passed.
int averageFrameRate(std::uint64_t frames, std::int64_t elapsedTicks);

// Opens the camera of the settings and runs the view until ESC, "x" or an error. May change the
// settings' mode, width, height and (on ESC and "x") code type.
void runCameraView(Settings& settings);

}  // namespace qcl
