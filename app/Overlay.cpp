#include "app/Overlay.h"

#include <png.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/ErrorCodes.h"
#include "common/Stage.h"

namespace qcl {
namespace {

// Colours of the drawing (BGR): outline, centre, start marker, text background.
const cv::Scalar kOutlineColour(0, 0, 255);
const cv::Scalar kCentreColour(255, 128, 0);
const cv::Scalar kMarkerColour(0, 200, 0);
const cv::Scalar kTextColour(255, 255, 255);
const cv::Scalar kTextBackground(0, 0, 0);
// Colours of the stage findings (BGR): inner zebra edges, outer zebra modules.
const cv::Scalar kInnerZebraColour(0, 255, 255);
const cv::Scalar kOuterZebraColour(255, 0, 255);
// What a module of each read value looks like: bit 1 dark, colour values as the symbol's palette.
const cv::Scalar kModuleColour[8] = {{255, 255, 255}, {0, 0, 0},     {0, 0, 255},   {0, 255, 0},
                                     {255, 0, 0},     {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
// Module dots take this share of the spacing of neighbouring modules, within these radii (px).
constexpr double kModuleDotShare = 0.3;
constexpr int kMinModuleDot = 1;
constexpr int kMaxModuleDot = 8;
// Line width and text scale grow with the image so the drawing stays visible on large photos.
constexpr double kLinePerPixel = 1.0 / 300.0;
constexpr double kTextPerPixel = 1.0 / 900.0;

int lineWidth(const cv::Mat& image) {
    return std::max(
        1, static_cast<int>(std::lround(std::max(image.cols, image.rows) * kLinePerPixel)));
}

double textScale(const cv::Mat& image) {
    return std::max(0.4, std::max(image.cols, image.rows) * kTextPerPixel);
}

// One line of text on a dark band, so it reads on any picture; returns the baseline of the line
// below it.
int label(cv::Mat& picture, const std::string& text, cv::Point at) {
    const double scale = textScale(picture);
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, scale, 1, &baseline);
    at.x = std::clamp(at.x, 0, std::max(0, picture.cols - size.width));
    at.y = std::clamp(at.y, size.height + 2, std::max(size.height + 2, picture.rows - baseline));
    cv::rectangle(picture, at + cv::Point(-2, baseline + 2),
                  at + cv::Point(size.width + 2, -size.height - 2), kTextBackground, cv::FILLED);
    cv::putText(picture, text, at, cv::FONT_HERSHEY_SIMPLEX, scale, kTextColour, 1, cv::LINE_AA);
    return at.y + baseline + size.height + 6;
}

cv::Point pixel(const cv::Point2d& point) {
    return {cvRound(point.x), cvRound(point.y)};
}

void drawPoints(cv::Mat& picture, const std::vector<cv::Point2d>& points, const cv::Scalar& colour,
                int width) {
    for (const cv::Point2d& point : points) {
        cv::circle(picture, pixel(point), 2 * width, colour, width, cv::LINE_AA);
    }
}

// Every sampled module as a dot of its read value, ringed in the opposite shade so that it shows
// on the module itself.
void drawModules(cv::Mat& picture, const std::vector<TracedModule>& modules) {
    if (modules.size() < 2) {
        return;
    }
    const double spacing = cv::norm(modules[1].position - modules[0].position);
    const int radius = std::clamp(cvRound(kModuleDotShare * spacing), kMinModuleDot, kMaxModuleDot);
    for (const TracedModule& module : modules) {
        const cv::Scalar& fill = kModuleColour[module.value & 7];
        const cv::Scalar rim = module.value == 0 ? kModuleColour[1] : kModuleColour[0];
        cv::circle(picture, pixel(module.position), radius, fill, cv::FILLED, cv::LINE_AA);
        cv::circle(picture, pixel(module.position), radius, rim, 1, cv::LINE_AA);
    }
}

// What each stage of one path found, up to the stage it reached.
void drawTrace(cv::Mat& picture, const StageTrace& trace, int width) {
    if (trace.reachedStage >= StageFindCenter && trace.centreDisc.size() > 2) {
        std::vector<cv::Point> disc;
        for (const cv::Point2d& point : trace.centreDisc) {
            disc.push_back(pixel(point));
        }
        cv::polylines(picture, disc, true, kCentreColour, width, cv::LINE_AA);
    }
    if (trace.reachedStage >= StageFindInnerZebra) {
        drawPoints(picture, trace.innerZebra, kInnerZebraColour, width);
    }
    if (trace.reachedStage >= StageFindStartMarker) {
        cv::line(picture, pixel(trace.markerInner), pixel(trace.markerOuter), kMarkerColour,
                 2 * width, cv::LINE_AA);
    }
    if (trace.reachedStage >= StageFindOuterZebra) {
        drawPoints(picture, trace.outerZebra, kOuterZebraColour, width);
    }
    if (trace.reachedStage >= StageReadMaskedData) {
        drawModules(picture, trace.modules);
    }
}

void drawSymbol(cv::Mat& picture, const DecodedSymbol& symbol, int width) {
    drawTrace(picture, symbol.trace, width);
    std::vector<cv::Point> outline;
    for (const cv::Point2d& point : symbol.outline) {
        outline.emplace_back(cvRound(point.x), cvRound(point.y));
    }
    if (!outline.empty()) {
        cv::polylines(picture, outline, true, kOutlineColour, width, cv::LINE_AA);
    }
    const cv::Point centre(cvRound(symbol.center.x), cvRound(symbol.center.y));
    double rim = 0.0;
    for (const cv::Point2d& point : symbol.outline) {
        rim = std::max(rim, cv::norm(point - symbol.center));
    }
    // The rim lies (rings + 3) ring pitches beyond the centre disc of about 3/4 pitch radius.
    const double disc = 0.75 * rim / (symbol.ringCount + 3.75);
    cv::circle(picture, centre, std::max(2, cvRound(disc)), kCentreColour, width, cv::LINE_AA);
    const cv::Point marker(cvRound(symbol.center.x + rim * std::cos(symbol.startMarkerAngle)),
                           cvRound(symbol.center.y + rim * std::sin(symbol.startMarkerAngle)));
    cv::line(picture, centre, marker, kMarkerColour, width, cv::LINE_AA);
    label(picture, symbol.payload.substr(0, 60),
          cv::Point(cvRound(symbol.center.x - rim), cvRound(symbol.center.y + rim) + 4 * width));
}

}  // namespace

cv::Mat drawOverlay(const cv::Mat& image, const InputOutcome& outcome) {
    cv::Mat picture;
    if (image.channels() == 1) {
        cv::cvtColor(image, picture, cv::COLOR_GRAY2BGR);
    } else {
        picture = image.clone();
    }
    const int width = lineWidth(picture);
    for (const DecodedSymbol& symbol : outcome.result.symbols) {
        drawSymbol(picture, symbol, width);
    }
    if (outcome.result.symbols.empty()) {
        drawTrace(picture, outcome.result.failureTrace, width);
        const DecodeStatus& failure = outcome.result.failure;
        const int next = label(
            picture, std::string("No symbol read; deepest stage: ") + stageName(failure.stage),
            cv::Point(4, 0));
        label(picture,
              outcome.decodeError.empty() ? errorMessage(failure.errorCode) : outcome.decodeError,
              cv::Point(4, next));
    }
    return picture;
}

bool writePng(const std::string& path, const cv::Mat& image, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) {
        error = "cannot write overlay '" + path + "': " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "cannot write overlay '" + path + "': PNG encoding failed";
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.cols),
                 static_cast<png_uint_32>(image.rows), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < image.rows; ++y) {
        png_write_row(png, const_cast<png_bytep>(image.ptr<png_byte>(y)));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace qcl
