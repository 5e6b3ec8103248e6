#include "app/CameraView.h"

#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <iostream>

#include "app/StatusPanel.h"
#include "app/ViewMarks.h"
#include "common/ErrorCodes.h"
#include "common/Logger.h"
#include "common/Stopwatch.h"
#include "decoder/Decoder.h"
#include "imaging/Preprocessing.h"

namespace qcl {
namespace {

const char* const kWindowName = "Camera";
constexpr int kKeyWaitMs = 1;
// A frame's read may run the reader's further alternatives for this long (ms): a frame without a
// symbol then still leaves the view at ten frames a second at least, and the next frame tries
// again.
constexpr double kFrameBudgetMs = 100.0;
// A source that stops delivering frames (a video that ended, a camera unplugged) ends the view
// after this many empty reads in a row; keys are still polled while waiting.
constexpr int kMaxEmptyReads = 200;
constexpr int kEmptyReadWaitMs = 5;
constexpr std::int64_t kTicksPerMillisecond = 10000;

// The window exists from its creation to the end of the view, on every way out. It shows the
// picture at its own size, keeps its aspect ratio when a screen or a window manager makes it
// smaller, and has no tool bar or status bar of the window library's own.
class ViewWindow {
  public:
    ViewWindow() {
        cv::namedWindow(kWindowName,
                        cv::WINDOW_AUTOSIZE | cv::WINDOW_KEEPRATIO | cv::WINDOW_GUI_NORMAL);
    }
    ~ViewWindow() {
        try {
            cv::destroyWindow(kWindowName);
        } catch (...) {
            // the view ends either way
        }
    }
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;
};

bool openCapture(cv::VideoCapture& capture, const Settings& settings) {
    if (settings.launch.empty()) {
        if (!capture.open(settings.device, settings.backend)) {
            std::cerr << "Couldn't open camera device " << settings.device << " with backend "
                      << settings.backend << std::endl;
            return false;
        }
    } else if (!capture.open(settings.launch, settings.backend)) {
        std::cerr << "Couldn't open camera '" << settings.launch << "' with backend "
                  << settings.backend << std::endl;
        return false;
    }
    return true;
}

// Mode and frame size as asked; what the camera really uses ends up in the settings. A size of
// 0 x 0 asks for nothing: the camera keeps its own, without a warning.
void configureCapture(cv::VideoCapture& capture, Settings& settings) {
    if (settings.mode >= 0 && !capture.set(cv::CAP_PROP_MODE, settings.mode)) {
        logWarning() << "Camera mode " << settings.mode << " not supported. Use default mode.";
        settings.mode = -1;
    }
    const bool sizeAsked = settings.width > 0 || settings.height > 0;
    bool sized = !sizeAsked || capture.set(cv::CAP_PROP_FRAME_WIDTH, settings.width);
    if (sizeAsked && sized) {
        sized = capture.set(cv::CAP_PROP_FRAME_HEIGHT, settings.height);
    }
    if (!sized) {
        logWarning() << "Frame size " << settings.width << " x " << settings.height
                     << " not supported. Use last valid size.";
    }
    settings.width = static_cast<std::int32_t>(capture.get(cv::CAP_PROP_FRAME_WIDTH));
    settings.height = static_cast<std::int32_t>(capture.get(cv::CAP_PROP_FRAME_HEIGHT));
    capture.set(cv::CAP_PROP_CONVERT_RGB, 1.0);
}

// Inversion, binarisation preview, distortion and dimming, in this order.
void conditionFrame(cv::Mat& frame, const ViewState& state) {
    if (state.inverted) {
        cv::bitwise_not(frame, frame);
    }
    if (state.binarized) {
        if (state.enhanced) {
            enhanceImage(frame, frame);
        }
        cv::Mat binary;
        binarizeImage(frame, binary, static_cast<int>(state.codeType), Otsu);
        frame = binary;
    }
    frame = distortImage(state.levels, frame);
    if (!state.wholeFrame) {  // the whole frame is read: nothing to aim at
        dimOutsideCircle(frame);
    }
}

// What one view keeps from frame to frame besides the key state.
struct ViewMemory {
    HeldMarks marks;
    OutputRepeats repeats;
};

// The symbols of this frame: the one in the centre square (as the plain decode reads it, the
// designed search first), or every symbol of the whole frame; positions in frame coordinates.
std::vector<DecodedSymbol> readFrame(const cv::Mat& frame, const ViewState& state,
                                     BinaryFormat binaryFormat) {
    DecodeParameters parameters;
    parameters.codeType = state.codeType;
    parameters.layout = Layout::HorizontalShortSnake;
    parameters.binaryFormat = binaryFormat;
    DecodeOptions options;
    options.enhance = state.enhanced;
    options.timeBudgetMs = kFrameBudgetMs;
    if (state.wholeFrame) {
        return decodeAll(parameters, frame, options).symbols;
    }
    const cv::Rect square = decodeSquare(frame.size());
    if (square.width <= 0) {
        return {};
    }
    options.maxSymbols = 1;
    std::vector<DecodedSymbol> symbols = decodeAll(parameters, frame(square), options).symbols;
    const cv::Point2d offset(square.x, square.y);
    for (DecodedSymbol& symbol : symbols) {
        symbol.center += offset;
        for (cv::Point2d& p : symbol.outline) {
            p += offset;
        }
    }
    return symbols;
}

void decodeFrame(const cv::Mat& frame, const ViewState& state, BinaryFormat binaryFormat,
                 int framesPerSecond, ViewMemory& memory) {
    std::vector<DecodedSymbol> symbols;
    const std::int64_t before = Stopwatch::nowTicks();
    try {
        symbols = readFrame(frame, state, binaryFormat);
    } catch (const QCException&) {
        return;  // nothing in this frame
    }
    const std::int64_t after = Stopwatch::nowTicks();
    symbols.erase(std::remove_if(symbols.begin(), symbols.end(),
                                 [](const DecodedSymbol& s) { return s.payload.empty(); }),
                  symbols.end());
    if (symbols.empty()) {
        return;
    }
    memory.marks.update(symbols, after);
    if (!memory.repeats.shouldPrint(symbols)) {
        return;
    }
    for (const DecodedSymbol& symbol : symbols) {
        std::cout << "Output:\t" << symbol.payload;
        if (state.timing) {
            std::cout << "\t"
                      << static_cast<std::int64_t>((after - before) / double(kTicksPerMillisecond))
                      << " ms, "
                      << "\t" << framesPerSecond << " fps";
        }
        std::cout << std::endl;
    }
}

enum class ViewEnd { Key, NoFrames };

ViewEnd runFrames(cv::VideoCapture& capture, ViewState& state, const Settings& settings) {
    ViewMemory memory{HeldMarks(), OutputRepeats(settings.outputChangesOnly)};
    const std::int64_t start = Stopwatch::nowTicks();
    std::uint64_t frames = 0;
    int emptyReads = 0;
    cv::Mat frame;
    for (;;) {
        capture.read(frame);
        if (frame.empty()) {
            if (++emptyReads >= kMaxEmptyReads) {
                return ViewEnd::NoFrames;
            }
            if (!handleViewKey(cv::waitKey(kEmptyReadWaitMs), state, std::cout)) {
                return ViewEnd::Key;
            }
            continue;
        }
        emptyReads = 0;
        ++frames;
        conditionFrame(frame, state);
        const int fps = averageFrameRate(frames, Stopwatch::nowTicks() - start);
        decodeFrame(frame, state, settings.binFormat, fps, memory);
        memory.marks.draw(frame, Stopwatch::nowTicks());
        // The status of this frame, below the picture rather than over the target circle.
        const std::vector<std::string> status = {statusText(state, fps), aimingText(state)};
        const bool goOn = handleViewKey(cv::waitKey(kKeyWaitMs), state, std::cout);
        if (!goOn) {
            return ViewEnd::Key;
        }
        if (state.output) {
            cv::imshow(kWindowName, withStatusPanel(frame, status));
        }
    }
}

}  // namespace

void runCameraView(Settings& settings) {
    try {
        cv::VideoCapture capture;
        if (!openCapture(capture, settings)) {
            return;
        }
        configureCapture(capture, settings);

        ViewState state;
        state.codeType = settings.codeType;
        writeModificationOptions(std::cout);
        ViewWindow window;
        const ViewEnd end = runFrames(capture, state, settings);
        if (end == ViewEnd::Key) {
            settings.codeType = state.codeType;
        } else {
            std::cerr << "Error: the camera delivered no frame " << kMaxEmptyReads
                      << " times in a row; camera view stopped" << std::endl;
        }
    } catch (const std::exception& e) {
        std::cerr << "Error: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "Error: " << std::strerror(errno) << std::endl;
    }
}

}  // namespace qcl
