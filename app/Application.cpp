#include "app/Application.h"

#include <opencv2/core/utils/logger.hpp>

#include <exception>
#include <iostream>
#include <stdexcept>
#include <utility>

#include "app/CameraViewLoader.h"
#include "app/CommandLine.h"
#include "app/Menu.h"
#include "app/ScriptingMode.h"
#include "camera/CameraList.h"
#include "common/Logger.h"
#include "common/Stopwatch.h"
#include "common/Version.h"
#include "decoder/Decoder.h"
#include "imaging/ColourImage.h"
#include "imaging/ImageFile.h"

namespace qcl {

namespace {

// Added to a failed black-and-white read of an image that shows colour.
const char* const kColourHint =
    "The image looks like a colour symbol: -c 1 reads colour symbols (-r FILE -c 1)";

// Exit code of a run refused for a bad option value.
constexpr int kBadOptionExit = 2;

void writeBanner() {
    std::cout << "Quorview - Quorel Code Reader " << kVersion << "\n"
              << "\n"
              << "Decode Quorel Codes\n"
              << std::endl;
}

void writeInteractiveUsage() {
    std::cout << "\n"
              << "Usage: Present an image of an Quorel Code to the camera and\n"
              << "move the code center to the center of the camera view\n"
              << "until the code is recognized and the result is displayed in the console "
                 "window.\n"
              << "Quit the video window by pressing ESC inside of the video window.\n"
              << std::endl;
}

// Options given on the command line replace the settings of this run.
void applyOptions(const CommandLine& options, Settings& settings) {
    if (options.codeType) {
        settings.codeType = static_cast<CodeType>(*options.codeType);
    }
    if (options.logLevel) {
        settings.logLevel = static_cast<LogLevel>(*options.logLevel);
    }
    if (options.logLevelConsole) {
        settings.logLevelConsole = static_cast<LogLevel>(*options.logLevelConsole);
    }
    if (options.logFile) {
        settings.logFileName = *options.logFile;
    }
}

int runDecodeFile(const CommandLine& options, Settings settings) {
    // One-shot decoding logs warnings and worse to "log.txt" unless the options say otherwise;
    // the settings file's logging choices are for the interactive program.
    settings.logFileName = "log.txt";
    settings.logLevel = LogLevel::Warning;
    settings.logLevelConsole = LogLevel::Warning;
    applyOptions(options, settings);
    logger().start(settings.logFileName, settings.logLevel, settings.logLevelConsole);
    decodeImageFile(options.imagePath, settings);
    return 0;
}

int runCameraOnly(const CommandLine& options, Settings settings) {
    applyOptions(options, settings);
    logger().start(settings.logFileName, settings.logLevel, settings.logLevelConsole);
    openCameraView(settings);
    return 0;
}

int runInteractive(const CommandLine& options, Settings& settings, ChoiceLists choices) {
    applyOptions(options, settings);
    logger().start(settings.logFileName, settings.logLevel, settings.logLevelConsole);
    writeInteractiveUsage();
    listCameraDevices();
    // The menu accepts the frame sizes the cameras list; the common sizes when none lists any.
    std::vector<std::uint64_t> listed = listedFrameSizes();
    if (!listed.empty()) {
        choices.frameSizes = std::move(listed);
    }
    Menu menu(settings, choices, std::cin, std::cout,
              [](Settings& current) { openCameraView(current); });
    menu.run();
    return 0;
}

// -h, --version and the scripting mode: no banner, no settings file unless asked for.
int runScripting(const std::vector<std::string>& arguments) {
    ScriptingOptions options;
    try {
        options = parseScriptingOptions(arguments);
    } catch (const BadOption& e) {
        std::cerr << e.what() << std::endl;
        return kExitUsage;
    }
    if (options.help) {
        writeUsage(std::cout, makeChoiceLists());
        std::cout << scriptingUsage() << std::flush;
        return kExitAllRead;
    }
    if (options.version) {
        std::cout << "Quorview " << kVersion << " (OpenCV " << CV_VERSION << ")" << std::endl;
        return kExitAllRead;
    }
    return runScriptingMode(options);
}

}  // namespace

void decodeImageFile(const std::string& path, const Settings& settings) {
    DecodeParameters parameters;
    parameters.codeType = settings.codeType;
    parameters.layout = Layout::HorizontalShortSnake;
    parameters.binaryFormat = settings.binFormat;

    std::cout << "Read quorel code image file '" << path << "'\n" << std::endl;
    const cv::Mat image = readImageFile(path).image;

    Stopwatch stopwatch;
    stopwatch.start();
    try {
        if (image.empty()) {
            // Said in the reader's own words rather than as the image library's assertion text.
            throw std::runtime_error("Image file '" + path +
                                     "' cannot be read: it is missing, unreadable or not an image");
        }
        // Every symbol in the image, top to bottom, then left to right.
        const DecodeAllResult result = decodeAll(parameters, image, DecodeOptions{});
        stopwatch.stop();
        if (result.symbols.empty()) {
            throw QCException(static_cast<ErrorCode>(result.failure.errorCode));
        }
        for (const DecodedSymbol& symbol : result.symbols) {
            if (!symbol.payload.empty()) {
                std::cout << "Encoded text is: " << symbol.payload << std::endl;
            } else {
                std::cout << "No data found" << std::endl;
            }
        }
    } catch (const std::exception& e) {
        stopwatch.stop();
        logError() << e.what();
        if (settings.codeType == CodeType::BlackAndWhite && hasColour(image)) {
            std::cout << kColourHint << std::endl;
        }
    }
    std::cout << stopwatch.elapsedMilliseconds() << " ms" << std::endl;
    std::cout << stopwatch.elapsedNanoseconds() << " ns" << std::endl;
}

int runApplication(const std::vector<std::string>& arguments) {
    // The program reports its own failures; the image library's warnings would only repeat them.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
    if (wantsScriptingMode(arguments)) {
        return runScripting(arguments);
    }
    writeBanner();
    const ChoiceLists choices = makeChoiceLists();
    Settings settings;
    readSettings(settings);

    CommandLine options;
    try {
        options = parseCommandLine(arguments);
    } catch (const BadOption& e) {
        std::cerr << e.what() << std::endl;
        return kBadOptionExit;
    }
    switch (options.mode) {
        case RunMode::DecodeFile:
            return runDecodeFile(options, settings);
        case RunMode::CameraView:
            return runCameraOnly(options, settings);
        case RunMode::Interactive:
            break;
    }
    return runInteractive(options, settings, choices);
}

}  // namespace qcl
