#include "app/ScriptingMode.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "app/CommandLine.h"
#include "app/JsonOutput.h"
#include "app/Overlay.h"
#include "app/ScriptSettings.h"
#include "common/ErrorCodes.h"
#include "common/Logger.h"
#include "common/Stage.h"
#include "common/Stopwatch.h"
#include "decoder/Decoder.h"
#include "imaging/ImageFile.h"

namespace qcl {
namespace {

// Batches of at least this many inputs show a progress bar when standard error is a terminal.
constexpr std::size_t kProgressFrom = 20;
// Width of the progress bar in characters.
constexpr int kProgressWidth = 40;
struct RunChoices {
    DecodeParameters parameters;
    CodeTypeChoice codeType = CodeTypeChoice::Automatic;
    DecodeOptions decodeOptions;
};

void decodeImage(const cv::Mat& image, const RunChoices& choices, InputOutcome& outcome) {
    Stopwatch stopwatch;
    stopwatch.start();
    try {
        DecodeParameters parameters = choices.parameters;
        DecodeOptions options = choices.decodeOptions;
        parameters.codeType =
            choices.codeType == CodeTypeChoice::Color ? CodeType::Color : CodeType::BlackAndWhite;
        options.autoCodeType = choices.codeType == CodeTypeChoice::Automatic;
        outcome.result = decodeAll(parameters, image, options);
    } catch (const std::exception& e) {
        outcome.decodeError = e.what();
    }
    stopwatch.stop();
    outcome.decodeMs = stopwatch.elapsedMilliseconds();
}

std::vector<std::uint8_t> readStandardInput() {
    std::cin >> std::noskipws;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(std::cin),
                                     std::istreambuf_iterator<char>());
}

// Where the overlay picture of input `index` goes; "" for none.
std::string overlayPath(const ScriptingOptions& options, std::size_t index) {
    if (!options.overlayFile.empty()) {
        return options.overlayFile;
    }
    if (options.overlayDir.empty()) {
        return std::string();
    }
    const std::string& name = options.inputs[index];
    const std::string stem =
        name == "-" ? std::string("stdin") : std::filesystem::path(name).stem().string();
    // The input's number keeps the names apart when two inputs share a file name.
    return (std::filesystem::path(options.overlayDir) /
            (std::to_string(index + 1) + "-" + stem + ".png"))
        .string();
}

// Reads and decodes one input; `stdinBytes` holds standard input when some input is "-".
InputOutcome processInput(const ScriptingOptions& options, const RunChoices& choices,
                          std::size_t index, const std::vector<std::uint8_t>& stdinBytes) {
    InputOutcome outcome;
    outcome.name = options.inputs[index];
    const ImageReadResult read =
        outcome.name == "-" ? readImageBytes(stdinBytes) : readImageFile(outcome.name);
    if (!read.ok()) {
        outcome.readError = read.error;
        return outcome;
    }
    decodeImage(read.image, choices, outcome);
    const std::string overlay = overlayPath(options, index);
    std::string error;
    if (!overlay.empty() && !writePng(overlay, drawOverlay(read.image, outcome), error)) {
        outcome.overlayError = error;
    }
    return outcome;
}

void printText(const InputOutcome& outcome, bool withName) {
    const std::string prefix = withName ? outcome.name + ": " : std::string();
    for (const DecodedSymbol& symbol : outcome.result.symbols) {
        std::cout << prefix << symbol.payload << '\n';
    }
    if (outcome.unreadable()) {
        std::cerr << outcome.name << ": " << outcome.readError << '\n';
    } else if (!outcome.read()) {
        const FailureReport failure = failureOf(outcome);
        std::cerr << outcome.name << ": no symbol read: " << failure.message << " (deepest stage "
                  << failure.stage << ")\n";
    }
    if (!outcome.overlayError.empty()) {
        std::cerr << outcome.name << ": " << outcome.overlayError << '\n';
    }
}

void printOutcome(const ScriptingOptions& options, const InputOutcome& outcome) {
    if (options.format == OutputFormat::Json) {
        std::cout << jsonText(outcomeToJson(outcome)) << '\n';
        if (!outcome.overlayError.empty()) {
            std::cerr << outcome.name << ": " << outcome.overlayError << '\n';
        }
    } else {
        printText(outcome, options.inputs.size() > 1);
    }
    std::cout.flush();
}

void drawProgress(std::size_t done, std::size_t total) {
    const int filled = static_cast<int>(kProgressWidth * done / total);
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kProgressWidth - filled, ' ')
              << "] " << done << "/" << total << (done == total ? "\n" : "") << std::flush;
}

// Throws BadOption for a settings file that cannot be used.
RunChoices makeChoices(const ScriptingOptions& options) {
    ScriptSettings settings;
    if (!options.settingsFile.empty()) {
        settings = readScriptSettings(options.settingsFile);
    }
    RunChoices choices;
    choices.parameters.layout = options.layout.value_or(Layout::HorizontalShortSnake);
    choices.parameters.binaryFormat =
        options.binaryFormat.value_or(settings.binaryFormat.value_or(BinaryFormat::Binary));
    std::optional<CodeTypeChoice> fromSettings;
    if (settings.codeType) {
        fromSettings = *settings.codeType == CodeType::Color ? CodeTypeChoice::Color
                                                             : CodeTypeChoice::BlackAndWhite;
    }
    choices.codeType = options.codeType.value_or(fromSettings.value_or(CodeTypeChoice::Automatic));
    choices.decodeOptions.enhance = options.enhance;
    // Only a picture of the search needs what each stage found.
    choices.decodeOptions.traceStages = !options.overlayFile.empty() || !options.overlayDir.empty();
    choices.decodeOptions.maxSymbols = options.maxSymbols;
    choices.decodeOptions.timeBudgetMs = options.timeBudgetMs;
    return choices;
}

}  // namespace

int runScriptingMode(const ScriptingOptions& options) {
    // Diagnostics only on the error stream, and a log file only when asked for.
    logger().setConsoleStream(&std::cerr);
    const LogLevel console = options.consoleLevel.value_or(LogLevel::Error);
    if (options.logFile.empty()) {
        logger().setFileThreshold(LogLevel::Off);
        logger().setConsoleThreshold(console);
    } else {
        logger().start(options.logFile, options.fileLevel.value_or(LogLevel::Warning), console);
    }
    RunChoices choices;
    try {
        choices = makeChoices(options);
    } catch (const BadOption& e) {
        std::cerr << e.what() << std::endl;
        return kExitUsage;
    }
    if (!options.overlayDir.empty()) {
        std::error_code ignored;  // a folder that cannot be made shows as each picture's failure
        std::filesystem::create_directories(options.overlayDir, ignored);
    }
    std::vector<std::uint8_t> stdinBytes;
    for (const std::string& input : options.inputs) {
        if (input == "-") {
            stdinBytes = readStandardInput();
            break;
        }
    }

    const std::size_t total = options.inputs.size();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threadCount =
        std::min<std::size_t>(total, options.threads > 0 ? options.threads : cores);
    const bool progress = total >= kProgressFrom && ::isatty(STDERR_FILENO) == 1;

    std::vector<InputOutcome> outcomes(total);
    std::vector<bool> finished(total, false);
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < total; i = next++) {
            InputOutcome outcome = processInput(options, choices, i, stdinBytes);
            const std::lock_guard<std::mutex> lock(mutex);
            outcomes[i] = std::move(outcome);
            finished[i] = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < threadCount; ++t) {
        workers.emplace_back(work);
    }
    // This thread prints in input order as the results arrive.
    int exitCode = kExitAllRead;
    for (std::size_t i = 0; i < total; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return finished[i]; });
        const InputOutcome outcome = std::move(outcomes[i]);
        lock.unlock();
        if (progress) {
            std::cerr << "\r\033[K" << std::flush;  // the bar gives way to the result line
        }
        printOutcome(options, outcome);
        if (outcome.unreadable()) {
            exitCode = kExitBadImage;
        } else if (!outcome.read() && exitCode == kExitAllRead) {
            exitCode = kExitSomeUnread;
        }
        if (progress) {
            drawProgress(i + 1, total);
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return exitCode;
}

}  // namespace qcl
