#include "bench/eval/EvalReaders.h"

#include "bench/eval/EvalFamilies.h"

#ifdef QUORVIEW_HAVE_ZXING
#define ZX_USE_UTF8 1
#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>
#endif

#include <opencv2/imgproc.hpp>

#include <ctime>

#include "common/ErrorCodes.h"
#include "decoder/Decoder.h"

namespace qcl::eval {
namespace {

// Processor time of the calling thread, in milliseconds: what one read costs, however busy the
// machine is with other programs.
double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

double millisecondsSince(double start) {
    return threadMilliseconds() - start;
}

DecodeParameters parametersFor(CodeType codeType) {
    DecodeParameters parameters;
    parameters.codeType = codeType;
    return parameters;
}

}  // namespace

ReadOutcome readOurs(const cv::Mat& image, CodeType codeType) {
    ReadOutcome outcome;
    const double start = threadMilliseconds();
    try {
        outcome.payloads.push_back(decode(parametersFor(codeType), image, true));
    } catch (const QCException&) {
        outcome.payloads.clear();
    }
    outcome.milliseconds = millisecondsSince(start);
    return outcome;
}

ReadOutcome readOursAll(const cv::Mat& image, CodeType codeType, bool autoCodeType) {
    ReadOutcome outcome;
    DecodeOptions options;
    options.autoCodeType = autoCodeType;
    const double start = threadMilliseconds();
    const DecodeAllResult result = decodeAll(parametersFor(codeType), image, options);
    outcome.milliseconds = millisecondsSince(start);
    for (const DecodedSymbol& symbol : result.symbols) {
        outcome.payloads.push_back(symbol.payload);
    }
    return outcome;
}

#ifdef QUORVIEW_HAVE_ZXING

// zxing-cpp's error correction levels run 0-8; 4 is level M.
constexpr int kQrEccLevelM = 4;

bool haveQr() {
    return true;
}

cv::Mat qrPicture(const std::string& payload) {
    const ZXing::BitMatrix bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                      .setMargin(4)
                                      .setEccLevel(kQrEccLevelM)
                                      .encode(payload, kPictureSide, kPictureSide);
    const auto matrix = ZXing::ToMatrix<std::uint8_t>(bits);
    cv::Mat grey(matrix.height(), matrix.width(), CV_8UC1,
                 const_cast<std::uint8_t*>(matrix.data()));
    cv::Mat bgr;
    cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
    return bgr;
}

ReadOutcome readQr(const cv::Mat& image, bool all) {
    cv::Mat grey = image;
    if (image.channels() == 3) {
        cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    }
    ReadOutcome outcome;
    const double start = threadMilliseconds();
    const ZXing::ImageView view(grey.data, grey.cols, grey.rows, ZXing::ImageFormat::Lum,
                                static_cast<int>(grey.step));
    const ZXing::DecodeHints hints =
        ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode).setTryHarder(true);
    const ZXing::Results results =
        all ? ZXing::ReadBarcodes(view, hints) : ZXing::Results{ZXing::ReadBarcode(view, hints)};
    outcome.milliseconds = millisecondsSince(start);
    for (const ZXing::Result& result : results) {
        if (result.isValid()) {
            outcome.payloads.push_back(result.text());
        }
    }
    return outcome;
}

#else

bool haveQr() {
    return false;
}
cv::Mat qrPicture(const std::string&) {
    return {};
}
ReadOutcome readQr(const cv::Mat&, bool) {
    return {};
}

#endif

}  // namespace qcl::eval
