// Our symbol against a QR code of the same payload at the same width, read in the same image:
// each benchmark iteration times one Quorview decode and one zxing-cpp read (QR only,
// tryHarder) back to back, so both see the same machine load. The counters carry the medians of
// wall time and of processor time, their ratios (ours / QR) and the resident peak growth of one
// of our decodes.
#define ZX_USE_UTF8 1
#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "decoder/Decoder.h"
#include "support/RoundTrip.h"

namespace {

using Clock = std::chrono::steady_clock;

// Side of the reader's working square and of the camera view's centred square.
constexpr int kSquare = 640;
constexpr int kCameraSquare = 384;

// Payloads of the two sizes compared (16 and 48 bytes).
const std::string kPayload16 = "Quorel 16 bytes.";
const std::string kPayload48 = "Quorel code compared with QR at forty-eight B..";

struct Scene {
    cv::Mat ours;  // 8-bit BGR image with our symbol (or none)
    cv::Mat qr;    // 8-bit grey image with the QR code (or none)
};

// Our symbol of `payload`, `diameter` wide, centred at `center` in a white `size` image.
cv::Mat ourSymbol(const std::string& payload, double diameter, cv::Size size, cv::Point center) {
    qcl::RenderOptions render;
    render.imageSize = size;
    render.diameter = diameter;
    render.startAngle = 0.7;
    render.centerOffset = cv::Point2d(center.x - size.width / 2.0, center.y - size.height / 2.0);
    return qcl::test::writeSymbol(payload, {}, render).image;
}

// A QR code of `payload` (error correction M, margin of at least 4 pixels) whose picture
// is `width` wide, centred at `center` in a white `size` image.
cv::Mat qrSymbol(const std::string& payload, int width, cv::Size size, cv::Point center) {
    const ZXing::BitMatrix bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                      .setMargin(4)
                                      .setEccLevel(4)
                                      .encode(payload, width, width);
    const auto matrix = ZXing::ToMatrix<std::uint8_t>(bits);
    const cv::Mat code(matrix.height(), matrix.width(), CV_8UC1,
                       const_cast<std::uint8_t*>(matrix.data()));
    cv::Mat image(size, CV_8UC1, cv::Scalar(255));
    const cv::Rect place(center.x - code.cols / 2, center.y - code.rows / 2, code.cols, code.rows);
    code.copyTo(image(place));
    return image;
}

Scene squareScene(const std::string& payload, int width) {
    const cv::Size size(kSquare, kSquare);
    const cv::Point center(kSquare / 2, kSquare / 2);
    return {ourSymbol(payload, width, size, center), qrSymbol(payload, width, size, center)};
}

bool readsOurs(const cv::Mat& image) {
    qcl::DecodeParameters parameters;
    parameters.codeType = qcl::CodeType::BlackAndWhite;
    try {
        benchmark::DoNotOptimize(qcl::decode(parameters, image, true));
        return true;
    } catch (const qcl::QCException&) {
        return false;
    }
}

// The whole-frame read: every symbol in the frame, through the locator when the designed
// search on the whole image finds none.
bool readsOursWholeFrame(const cv::Mat& image) {
    qcl::DecodeParameters parameters;
    parameters.codeType = qcl::CodeType::BlackAndWhite;
    return !qcl::decodeAll(parameters, image, qcl::DecodeOptions{}).symbols.empty();
}

bool readsQr(const cv::Mat& grey) {
    const ZXing::ImageView view(grey.data, grey.cols, grey.rows, ZXing::ImageFormat::Lum,
                                static_cast<int>(grey.step));
    const ZXing::DecodeHints hints =
        ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode).setTryHarder(true);
    return ZXing::ReadBarcode(view, hints).isValid();
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Processor time of the calling thread, which a loaded machine does not inflate the way it
// inflates the wall clock. Both readers do all their work on it: zxing-cpp reads on one thread,
// and ours runs with the image library's worker threads off (see compare), whose idle spinning
// would otherwise be counted as reading.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) {
            return std::atol(line.c_str() + field.size() + 1);
        }
    }
    return -1;
}

// Growth of the resident size over one call, at its peak, in KiB. Measured in a child process:
// it hands the free heap memory it inherits back to the system and resets its peak mark first,
// so neither the benchmark's history nor the image memory the reader keeps for reuse hides
// what one decode needs.
double peakKiB(const std::function<bool()>& call) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1.0;
    }
    const pid_t child = fork();
    if (child == 0) {
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";  // peak resident size := current
        const long before = statusKiB("VmRSS");
        call();
        const long peak = statusKiB("VmHWM");
        const long grown = before < 0 || peak < 0 ? -1 : peak - before;
        const ssize_t written = write(pipeEnds[1], &grown, sizeof grown);
        _exit(written == sizeof grown ? 0 : 1);
    }
    close(pipeEnds[1]);
    long grown = -1;
    const bool got = child > 0 && read(pipeEnds[0], &grown, sizeof grown) == sizeof grown;
    close(pipeEnds[0]);
    if (child > 0) {
        waitpid(child, nullptr, 0);
    }
    return got ? static_cast<double>(grown) : -1.0;
}

// Times `ours` and `qr` alternately; `expectOurs`/`expectQr` are what each must answer.
void compare(benchmark::State& state, const std::function<bool()>& ours, bool expectOurs,
             const std::function<bool()>& qr, bool expectQr) {
    cv::setNumThreads(1);
    std::vector<double> oursMs;
    std::vector<double> qrMs;
    std::vector<double> oursCpuMs;
    std::vector<double> qrCpuMs;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double startCpu = threadCpuMs();
        const bool oursRead = ours();
        const auto middle = Clock::now();
        const double middleCpu = threadCpuMs();
        const bool qrRead = qr();
        const auto end = Clock::now();
        const double endCpu = threadCpuMs();
        if (oursRead != expectOurs || qrRead != expectQr) {
            state.SkipWithError(oursRead != expectOurs ? "our read answered otherwise"
                                                       : "the QR read answered otherwise");
            return;
        }
        oursMs.push_back(std::chrono::duration<double, std::milli>(middle - start).count());
        qrMs.push_back(std::chrono::duration<double, std::milli>(end - middle).count());
        oursCpuMs.push_back(middleCpu - startCpu);
        qrCpuMs.push_back(endCpu - middleCpu);
    }
    const double oursMedian = median(oursMs);
    const double qrMedian = median(qrMs);
    state.counters["ours_ms"] = oursMedian;
    state.counters["qr_ms"] = qrMedian;
    state.counters["ratio"] = oursMedian / qrMedian;
    state.counters["ours_cpu_ms"] = median(oursCpuMs);
    state.counters["qr_cpu_ms"] = median(qrCpuMs);
    state.counters["cpu_ratio"] = median(oursCpuMs) / median(qrCpuMs);
    state.counters["peak_KiB"] = peakKiB(ours);
}

void BM_Clean16At576(benchmark::State& state) {
    const Scene scene = squareScene(kPayload16, 576);
    compare(
        state, [&] { return readsOurs(scene.ours); }, true, [&] { return readsQr(scene.qr); },
        true);
}

void BM_Clean48At576(benchmark::State& state) {
    const Scene scene = squareScene(kPayload48, 576);
    compare(
        state, [&] { return readsOurs(scene.ours); }, true, [&] { return readsQr(scene.qr); },
        true);
}

void BM_Clean16At320(benchmark::State& state) {
    const Scene scene = squareScene(kPayload16, 320);
    compare(
        state, [&] { return readsOurs(scene.ours); }, true, [&] { return readsQr(scene.qr); },
        true);
}

// Nothing to find: a uniform grey square for both readers.
void BM_NoSymbolGrey(benchmark::State& state) {
    const cv::Mat grey(kSquare, kSquare, CV_8UC3, cv::Scalar::all(128));
    cv::Mat greyQr(kSquare, kSquare, CV_8UC1, cv::Scalar(128));
    compare(
        state, [&] { return readsOurs(grey); }, false, [&] { return readsQr(greyQr); }, false);
}

// A 48-byte symbol at 320 px, blurred beyond what its rings survive: the cost of a failed
// decode, against a QR read of the same payload at the same width (which succeeds).
void BM_Failing48At320(benchmark::State& state) {
    // Sharpening reads this symbol up to a blur of about 3 px.
    constexpr double kFailingBlur = 5.0;
    const cv::Size size(kSquare, kSquare);
    const cv::Point center(kSquare / 2, kSquare / 2);
    qcl::RenderOptions render;
    render.imageSize = size;
    render.diameter = 320;
    qcl::writer::SymbolOptions dense;
    dense.modulesPerRing = 80;
    dense.ringCount = 12;
    cv::Mat ours = qcl::test::writeSymbol(kPayload48, dense, render).image;
    cv::GaussianBlur(ours, ours, cv::Size(0, 0), kFailingBlur);
    const cv::Mat qr = qrSymbol(kPayload48, 320, size, center);
    compare(
        state, [&] { return readsOurs(ours); }, false, [&] { return readsQr(qr); }, true);
}

// The camera view's centred square of a 640 x 480 frame.
void BM_CameraSquare384(benchmark::State& state) {
    const cv::Size size(kCameraSquare, kCameraSquare);
    const cv::Point center(kCameraSquare / 2, kCameraSquare / 2);
    const cv::Mat ours = ourSymbol(kPayload16, kCameraSquare - 20, size, center);
    const cv::Mat qr = qrSymbol(kPayload16, kCameraSquare - 20, size, center);
    compare(
        state, [&] { return readsOurs(ours); }, true, [&] { return readsQr(qr); }, true);
}

// A 1280 x 960 frame with the symbol off centre: our whole-frame read against a QR read of the
// same frame.
void BM_Frame1280Locator(benchmark::State& state) {
    const cv::Size size(1280, 960);
    const cv::Point center(820, 420);
    const cv::Mat ours = ourSymbol(kPayload16, 400, size, center);
    const cv::Mat qr = qrSymbol(kPayload16, 400, size, center);
    // Timed whatever the read answers; the counter says whether it found the symbol.
    const bool found = readsOursWholeFrame(ours);
    compare(
        state, [&] { return readsOursWholeFrame(ours); }, found, [&] { return readsQr(qr); }, true);
    state.counters["ours_read"] = found ? 1.0 : 0.0;
}

#define QR_COMPARE(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(100)
QR_COMPARE(BM_Clean16At576);
QR_COMPARE(BM_Clean48At576);
QR_COMPARE(BM_Clean16At320);
QR_COMPARE(BM_NoSymbolGrey);
QR_COMPARE(BM_Failing48At320);
QR_COMPARE(BM_CameraSquare384);
QR_COMPARE(BM_Frame1280Locator);

}  // namespace
